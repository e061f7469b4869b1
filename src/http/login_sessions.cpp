#include "http/login_sessions.h"

#include "http/request_checks.h"
#include "http/secret_text.h"

namespace camknob::http {

namespace {

void keepAtMost(std::vector<std::string>& texts, std::size_t count) {
  if (texts.size() > count)
    texts.erase(texts.begin(), texts.begin() + static_cast<std::ptrdiff_t>(texts.size() - count));
}

}  // namespace

std::string newLoginCode(LoginSessions& logins) {
  std::string code = randomHex(secretBytes);
  const std::lock_guard lock(logins.mutex);
  logins.codes.push_back(code);
  keepAtMost(logins.codes, maxLoginCodes);
  return code;
}

std::optional<std::string> redeemLoginCode(LoginSessions& logins, std::string_view code) {
  std::string session = randomHex(secretBytes);
  const std::lock_guard lock(logins.mutex);
  std::optional<std::size_t> found;
  for (std::size_t at = 0; at < logins.codes.size(); ++at)
    if (constantTimeEqual(logins.codes[at], code)) found = at;
  if (!found) return std::nullopt;
  logins.codes.erase(logins.codes.begin() + static_cast<std::ptrdiff_t>(*found));
  logins.sessions.push_back(session);
  keepAtMost(logins.sessions, maxSessions);
  return session;
}

std::vector<std::string> currentSessions(LoginSessions& logins) {
  const std::lock_guard lock(logins.mutex);
  return logins.sessions;
}

}  // namespace camknob::http
