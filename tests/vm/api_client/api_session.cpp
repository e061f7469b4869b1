#include "api_client/api_session.h"

#include <time.h>

namespace camknob::vmclient {

ApiSession::ApiSession(const RunningDaemon& daemon)
    : client_("127.0.0.1", daemon.port), headers_{{"Authorization", "Bearer " + daemon.token}} {
  client_.set_keep_alive(true);
  client_.set_read_timeout(30, 0);
  client_.set_tcp_nodelay(true);
}

nlohmann::json ApiSession::send(const std::string& method, const std::string& path,
                                const std::string& body) {
  const httplib::Result result =
      method == "GET" ? client_.Get(path.c_str(), headers_)
                      : client_.Post(path.c_str(), headers_, body, "application/json");
  if (!result) return {{"status", -1}, {"error", httplib::to_string(result.error())}};
  nlohmann::json parsed = nlohmann::json::parse(result->body, nullptr, false);
  return {{"status", result->status},
          {"body", parsed.is_discarded() ? nlohmann::json(result->body) : parsed},
          {"closes", result->get_header_value("Connection") == "close"}};
}

RequestText requestText(const std::string& text) {
  const auto space = text.find(' ');
  if (space == std::string::npos) return {text, "/", {}};
  const auto second = text.find(' ', space + 1);
  if (second == std::string::npos) return {text.substr(0, space), text.substr(space + 1), {}};
  return {text.substr(0, space), text.substr(space + 1, second - space - 1),
          text.substr(second + 1)};
}

std::int64_t monotonicNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

std::int64_t realtimeMicroseconds() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return std::int64_t{now.tv_sec} * 1'000'000 + now.tv_nsec / 1000;
}

}  // namespace camknob::vmclient
