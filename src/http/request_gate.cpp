#include "http/request_gate.h"

#include <array>
#include <utility>

namespace camknob::http {

namespace {

bool takesBody(std::string_view method) {
  return method == "POST";
}

}  // namespace

std::variant<Rejection, const Route*> passGate(const GateKeys& keys, const RequestHead& head) {
  if (!hostAccepted(keys.acceptedHosts, head.hosts, head.arrivedAs))
    return Rejection{403, "The Host header does not name this server."};
  if (!originAccepted(keys.acceptedHosts, head.origins, head.arrivedAs))
    return Rejection{403, "Requests from another origin are refused."};
  if (needsCredentials(head.path) &&
      !authorized(keys.token, keys.key, keys.sessions, head.authorizations, head.cookies))
    return Rejection{401,
                     "This needs the token or the key (Authorization: Bearer SECRET) or the "
                     "session of a login."};
  const RouteMatch match = findRoute(head.method, head.path);
  if (match.route == nullptr)
    return match.pathKnown
               ? Rejection{405, "This route does not take the method " + head.method + "."}
               : Rejection{404, "There is no such route."};
  if (takesBody(head.method)) {
    if (!isJsonContentType(head.contentTypes))
      return Rejection{415, "The body must be of type application/json."};
    if (!isUncompressed(head.contentEncodings))
      return Rejection{415, "The body must not be compressed."};
    if (bodyFraming(head) == BodyFraming::Unread)
      return Rejection{411, "The body must come with its Content-Length."};
  }
  return match.route;
}

std::string libraryStatusMessage(int status) {
  constexpr std::array<std::pair<int, std::string_view>, 7> messages{{
      {400, "The request is malformed."},
      {408, "The request's head did not come whole in time."},
      {413, "The body is larger than 64 KiB."},
      {414, "The request's target is too long."},
      {416, "The Range header cannot be read."},
      {431, "The request's headers are too large."},
      {500, "The server failed to answer."},
  }};
  for (const auto& [code, message] : messages)
    if (code == status) return std::string(message);
  return "The request failed with the status " + std::to_string(status) + ".";
}

}  // namespace camknob::http
