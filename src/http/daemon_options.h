// camknobd's command line: [--listen ADDRESS:PORT] [--token-file PATH], each
// name and its value as two arguments, each at most once; or --help.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "http/listen_address.h"

namespace camknob::http {

struct DaemonOptions {
  ListenPlan listen;
  std::optional<std::string> tokenFile;  // the default place without it
  bool help;
};

// The options, or the fault as a sentence (the program prefixes its name).
std::variant<DaemonOptions, std::string> parseDaemonOptions(
    const std::vector<std::string_view>& texts);

// "Usage: PROGRAM [--listen ADDRESS:PORT] [--token-file PATH]"
std::string daemonUsage(std::string_view program);

}  // namespace camknob::http
