#include "http/daemon_options.h"

#include <algorithm>
#include <array>
#include <utility>

#include "text/one_line.h"

namespace camknob::http {

namespace {

std::string quoted(std::string_view text) {
  return std::string("\"").append(oneLine(text)).append("\"");
}

// The options that take a value: what the value is called when it is missing.
constexpr std::array<std::pair<std::string_view, std::string_view>, 3> valueNames{{
    {"--listen", "ADDRESS:PORT"},
    {"--token-file", "a PATH"},
    {"--allow-host", "a NAME"},
}};

// The options that take none, and what each sets.
constexpr std::array<std::pair<std::string_view, KeyAction>, 2> keyFlags{{
    {"--show-key", KeyAction::Show},
    {"--new-key", KeyAction::Replace},
}};

std::optional<std::string> readValue(DaemonOptions& options, std::string_view name,
                                     std::string_view value, bool& listenGiven) {
  if (name == "--listen") {
    if (listenGiven) return std::string("--listen is given twice.");
    listenGiven = true;
    auto plan = parseListenAddress(value);
    if (auto* fault = std::get_if<std::string>(&plan))
      return "--listen " + quoted(value) + ": " + *fault;
    options.listen = std::get<ListenPlan>(std::move(plan));
  } else if (name == "--token-file") {
    if (options.tokenFile) return std::string("--token-file is given twice.");
    options.tokenFile = std::string(value);
  } else {
    const std::optional<std::string> host = allowedHostName(value);
    if (!host)
      return "--allow-host " + quoted(value) +
             ": NAME is a host name such as camera-pc.local, or an address such as "
             "192.168.1.20 or [fe80::1].";
    options.allowedHosts.push_back(*host);
  }
  return std::nullopt;
}

}  // namespace

std::variant<DaemonOptions, std::string> parseDaemonOptions(
    const std::vector<std::string_view>& texts) {
  DaemonOptions options{defaultListenPlan(), std::nullopt, {}, false, KeyAction::None};
  bool listenGiven = false;
  for (std::size_t at = 0; at < texts.size(); ++at) {
    const std::string_view name = texts[at];
    if (name == "--help") {
      options.help = true;
      continue;
    }
    if (const auto* flag = std::find_if(keyFlags.begin(), keyFlags.end(),
                                        [&](const auto& entry) { return entry.first == name; });
        flag != keyFlags.end()) {
      if (options.keyAction != KeyAction::None && options.keyAction != flag->second)
        return std::string("--show-key and --new-key cannot both be given.");
      options.keyAction = flag->second;
      continue;
    }
    const auto* valued = std::find_if(valueNames.begin(), valueNames.end(),
                                      [&](const auto& entry) { return entry.first == name; });
    if (valued == valueNames.end()) return "Unknown option " + quoted(name) + ".";
    if (at + 1 == texts.size() || texts[at + 1].empty())
      return std::string(name) + " needs " + std::string(valued->second) + ".";
    if (auto fault = readValue(options, name, texts[++at], listenGiven)) return *fault;
  }
  return options;
}

std::string daemonUsage(std::string_view program) {
  return "Usage: " + std::string(program) +
         " [--listen ADDRESS:PORT] [--token-file PATH] [--allow-host NAME ...] "
         "[--show-key | --new-key]";
}

}  // namespace camknob::http
