// The browser's way in without the token: a one-time code in a link (printed
// at start, or made by POST /api/v1/session/page), which GET /login trades
// for a session cookie. Codes and sessions are random, live as long as the
// program, and are shared by every connection.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace camknob::http {

// Unused codes beyond this many are dropped, oldest first; so are sessions.
inline constexpr std::size_t maxLoginCodes = 16;
inline constexpr std::size_t maxSessions = 64;

struct LoginSessions {
  std::mutex mutex;
  std::vector<std::string> codes;     // not used yet, oldest first
  std::vector<std::string> sessions;  // oldest first
};

// A new one-time code.
std::string newLoginCode(LoginSessions& logins);

// The code, once: a new session; nothing for a code that is unknown or used.
std::optional<std::string> redeemLoginCode(LoginSessions& logins, std::string_view code);

// The sessions as they are now.
std::vector<std::string> currentSessions(LoginSessions& logins);

}  // namespace camknob::http
