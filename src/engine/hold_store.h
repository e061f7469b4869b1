// The holds, "keep this camera at this profile": a profile name for each
// held camera's uid, kept in holds.json beside the profiles so that they
// outlive the engine.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace camknob::engine {

using Holds = std::map<std::string, std::string>;  // camera uid → profile name

struct HoldsLoad {
  Holds holds;
  std::string fault;  // why the file could not be used (then no holds); empty when it could
  bool corrupt;       // read, but not a holds document: to be kept aside
};

std::string holdsPath(const std::string& configFolder);

// The holds saved; none when there is no file yet.
HoldsLoad loadHolds(const std::string& configFolder);

// Saves them in one step; the reason when it cannot.
std::optional<std::string> storeHolds(const std::string& configFolder, const Holds& holds);

}  // namespace camknob::engine
