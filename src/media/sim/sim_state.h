// The simulated service's own state, shared by its store and its operations.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "media/sim/sim_store.h"

namespace camknob::sim {

// The object behind a string reference that a data call hands out.
struct HandedString {
  std::string text;
  bool convertible;
};

struct State {
  System system;
  std::vector<Call> log;
  bool recording = false;
  std::set<const HandedString*> liveStrings;
  WriteHook writeHook;
};

State& state();

}  // namespace camknob::sim
