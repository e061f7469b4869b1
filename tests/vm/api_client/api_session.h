// Requests to the running camknobd over one keep-alive connection, with the
// token and the Host header it checks, and the answers as JSON records.
#pragma once

#include <httplib.h>

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "api_client/daemon_keeper.h"

namespace camknob::vmclient {

class ApiSession {
 public:
  explicit ApiSession(const RunningDaemon& daemon);

  // {"status": N, "body": the answer's JSON (or its text when it is none),
  //  "closes": whether the server closed the connection after it}; status -1
  // and "error" when no answer came.
  nlohmann::json send(const std::string& method, const std::string& path,
                      const std::string& body = {});

 private:
  httplib::Client client_;
  httplib::Headers headers_;
};

// "METHOD PATH" or "METHOD PATH BODY" as one text.
struct RequestText {
  std::string method;
  std::string path;
  std::string body;
};
RequestText requestText(const std::string& text);

// CLOCK_MONOTONIC and CLOCK_REALTIME (strace's -ttt) now.
std::int64_t monotonicNanoseconds();
std::int64_t realtimeMicroseconds();

}  // namespace camknob::vmclient
