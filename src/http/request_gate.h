// The order in which a request is checked before it is answered; the first
// check it fails gives its answer, and nothing reaches the engine:
//   1. Host names this server (else 403: DNS rebinding), even with the token;
//   2. Origin, when present, is this server's (else 403; an empty one too);
//      no CORS headers are ever sent, so OPTIONS is only a method no route
//      takes;
//   3. under /api/: the token or the key (Authorization: Bearer) or the
//      session cookie of a login (else 401);
//   4. a route of that path (else 404) and method (else 405);
//   5. a POST's body: of type application/json, not compressed (else 415),
//      delimited by a Content-Length (else 411); over 64 KiB is 413 (the HTTP
//      library counts it); then the route reads its fields (else 400).
#pragma once

#include <cstddef>
#include <string>
#include <variant>
#include <vector>

#include "http/api_routes.h"
#include "http/request_checks.h"

namespace camknob::http {

inline constexpr std::size_t maxBodyBytes = 64 * 1024;

// An answer of the server's own: the status, and the message of its
// {"error":...,"ok":false}.
struct Rejection {
  int status;
  std::string message;
};

// What the checks compare with: the Host values that name the server, the
// token of this start, the key that outlives starts (empty: none), and the
// sessions of logins so far.
struct GateKeys {
  const std::vector<std::string>& acceptedHosts;
  std::string_view token;
  std::string_view key;
  const std::vector<std::string>& sessions;
};

// Checks 1 to 4 and the body's type and delimiting: the first failure, or
// the route.
std::variant<Rejection, const Route*> passGate(const GateKeys& keys, const RequestHead& head);

// The message of an answer the HTTP library or the connection front makes
// itself (a malformed request 400, a head too slow 408, a body over the limit
// 413, headers too large 431, ...).
std::string libraryStatusMessage(int status);

}  // namespace camknob::http
