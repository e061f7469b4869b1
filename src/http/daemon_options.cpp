#include "http/daemon_options.h"

#include "text/one_line.h"

namespace camknob::http {

namespace {

std::string quoted(std::string_view text) {
  return std::string("\"").append(oneLine(text)).append("\"");
}

}  // namespace

std::variant<DaemonOptions, std::string> parseDaemonOptions(
    const std::vector<std::string_view>& texts) {
  DaemonOptions options{defaultListenPlan(), std::nullopt, false};
  bool listenGiven = false;
  for (std::size_t at = 0; at < texts.size(); ++at) {
    const std::string_view name = texts[at];
    if (name == "--help") {
      options.help = true;
      continue;
    }
    if (name != "--listen" && name != "--token-file") return "Unknown option " + quoted(name) + ".";
    if (at + 1 == texts.size() || texts[at + 1].empty())
      return std::string(name) + (name == "--listen" ? " needs ADDRESS:PORT." : " needs a PATH.");
    const std::string_view value = texts[++at];
    if (name == "--listen") {
      if (listenGiven) return std::string("--listen is given twice.");
      listenGiven = true;
      auto plan = parseListenAddress(value);
      if (auto* fault = std::get_if<std::string>(&plan))
        return "--listen " + quoted(value) + ": " + *fault;
      options.listen = std::get<ListenPlan>(std::move(plan));
    } else {
      if (options.tokenFile) return std::string("--token-file is given twice.");
      options.tokenFile = std::string(value);
    }
  }
  return options;
}

std::string daemonUsage(std::string_view program) {
  return "Usage: " + std::string(program) + " [--listen ADDRESS:PORT] [--token-file PATH]";
}

}  // namespace camknob::http
