// The checks every request passes before anything reaches the engine, each a
// pure function of the request's headers as they came (every value of each;
// header names are matched without case by whoever collects them).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace camknob::http {

struct RequestHead {
  std::string method;
  std::string path;  // decoded, without the query
  std::vector<std::string> hosts;
  std::vector<std::string> origins;
  std::vector<std::string> authorizations;
  std::vector<std::string> cookies;
  std::vector<std::string> contentTypes;
  std::vector<std::string> contentEncodings;
  std::vector<std::string> contentLengths;
  std::vector<std::string> transferEncodings;
  // The Host values that name the address the connection came to (none when
  // it is not known): http/listen_address.h's arrivalHosts.
  std::vector<std::string> arrivedAs;
};

// One Host header naming the server as one of `accepted` or of `arrivedAs`
// (ASCII case aside): a page of another name that resolves to this machine
// (DNS rebinding) is refused.
bool hostAccepted(const std::vector<std::string>& accepted, const std::vector<std::string>& hosts,
                  const std::vector<std::string>& arrivedAs = {});

// No Origin header, or one that is "http://" and a host as above; an empty
// one names no such host.
bool originAccepted(const std::vector<std::string>& accepted,
                    const std::vector<std::string>& origins,
                    const std::vector<std::string>& arrivedAs = {});

// The routes under /api/ need the token or a login session.
bool needsCredentials(std::string_view path);

// The session cookie's name, as the login sets it.
inline constexpr std::string_view sessionCookie = "camknob_session";

// "Authorization: Bearer SECRET" (the scheme in any case) with the token or
// the key (none when empty), or a camknob_session cookie naming one of
// `sessions`; compared in constant time. Without a token, nothing.
bool authorized(std::string_view token, std::string_view key,
                const std::vector<std::string>& sessions,
                const std::vector<std::string>& authorizations,
                const std::vector<std::string>& cookies);

// Equal texts, in a time that depends on the lengths only.
bool constantTimeEqual(std::string_view a, std::string_view b);

// One Content-Type header of application/json, parameters allowed
// ("application/json; charset=utf-8").
bool isJsonContentType(const std::vector<std::string>& contentTypes);

// No Content-Encoding, or only "identity".
bool isUncompressed(const std::vector<std::string>& contentEncodings);

// How a request's body is delimited: none; a Content-Length (the HTTP
// library reads it, up to its limit); or some other way this server does not
// read (a transfer coding, or a length that is not one number).
enum class BodyFraming { None, Length, Unread };
BodyFraming bodyFraming(const RequestHead& head);

}  // namespace camknob::http
