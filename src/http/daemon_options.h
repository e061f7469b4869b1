// camknobd's command line: [--listen ADDRESS:PORT] [--token-file PATH]
// [--allow-host NAME ...], each name and its value as two arguments, the first
// two at most once; or --help, --show-key or --new-key, which do their one
// thing when the rest of the line is valid.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "http/listen_address.h"

namespace camknob::http {

// What a run does besides serving, in the order it is looked at.
enum class KeyAction { None, Show, Replace };

struct DaemonOptions {
  ListenPlan listen;
  std::optional<std::string> tokenFile;   // the default place without it
  std::vector<std::string> allowedHosts;  // as Host names them
  bool help = false;
  KeyAction keyAction = KeyAction::None;
};

// The options, or the fault as a sentence (the program prefixes its name).
std::variant<DaemonOptions, std::string> parseDaemonOptions(
    const std::vector<std::string_view>& texts);

// "Usage: PROGRAM [--listen ADDRESS:PORT] [--token-file PATH] ..."
std::string daemonUsage(std::string_view program);

}  // namespace camknob::http
