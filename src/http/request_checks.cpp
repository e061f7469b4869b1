#include "http/request_checks.h"

#include <algorithm>

#include "text/ascii_case.h"

namespace camknob::http {

namespace {

constexpr std::string_view blanks = " \t";

std::string_view trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool isAccepted(const std::vector<std::string>& accepted, std::string_view host) {
  return std::any_of(accepted.begin(), accepted.end(),
                     [&](const std::string& name) { return equalIgnoringCase(name, host); });
}

bool isSession(const std::vector<std::string>& sessions, std::string_view candidate) {
  bool found = false;
  for (const std::string& session : sessions) found |= constantTimeEqual(session, candidate);
  return found;
}

bool bearerMatches(std::string_view token, std::string_view header) {
  constexpr std::string_view scheme = "bearer";
  header = trimmed(header);
  if (header.size() <= scheme.size() || !equalIgnoringCase(header.substr(0, scheme.size()), scheme))
    return false;
  const std::string_view rest = header.substr(scheme.size());
  if (rest.find_first_of(blanks) != 0) return false;
  return constantTimeEqual(token, trimmed(rest));
}

// Each "name=value" of a Cookie header.
template <typename Visit>
void forEachCookie(std::string_view header, Visit visit) {
  while (!header.empty()) {
    const std::size_t end = std::min(header.find(';'), header.size());
    const std::string_view pair = trimmed(header.substr(0, end));
    const std::size_t equals = pair.find('=');
    if (equals != std::string_view::npos)
      visit(trimmed(pair.substr(0, equals)), trimmed(pair.substr(equals + 1)));
    header.remove_prefix(std::min(end + 1, header.size()));
  }
}

}  // namespace

bool hostAccepted(const std::vector<std::string>& accepted, const std::vector<std::string>& hosts,
                  const std::vector<std::string>& arrivedAs) {
  if (hosts.size() != 1) return false;
  const std::string_view host = trimmed(hosts.front());
  return isAccepted(accepted, host) || isAccepted(arrivedAs, host);
}

bool originAccepted(const std::vector<std::string>& accepted,
                    const std::vector<std::string>& origins,
                    const std::vector<std::string>& arrivedAs) {
  if (origins.empty()) return true;
  constexpr std::string_view scheme = "http://";
  if (origins.size() != 1) return false;
  const std::string_view origin = trimmed(origins.front());
  if (origin.size() <= scheme.size() || !equalIgnoringCase(origin.substr(0, scheme.size()), scheme))
    return false;
  const std::string_view host = origin.substr(scheme.size());
  return isAccepted(accepted, host) || isAccepted(arrivedAs, host);
}

bool needsCredentials(std::string_view path) {
  return path.substr(0, 5) == "/api/";
}

bool authorized(std::string_view token, std::string_view key,
                const std::vector<std::string>& sessions,
                const std::vector<std::string>& authorizations,
                const std::vector<std::string>& cookies) {
  bool granted = false;
  // Both compared every time, so that the time taken does not tell which.
  for (const std::string& header : authorizations) {
    const bool byToken = bearerMatches(token, header);
    const bool byKey = bearerMatches(key, header) && !key.empty();
    granted |= byToken || byKey;
  }
  for (const std::string& header : cookies)
    forEachCookie(header, [&](std::string_view name, std::string_view value) {
      if (name == sessionCookie) granted |= isSession(sessions, value);
    });
  return granted && !token.empty();
}

bool constantTimeEqual(std::string_view a, std::string_view b) {
  unsigned char difference = a.size() == b.size() ? 0 : 1;
  for (std::size_t at = 0; at < a.size(); ++at)
    difference |= static_cast<unsigned char>(a[at] ^ (at < b.size() ? b[at] : ~a[at]));
  return difference == 0;
}

bool isJsonContentType(const std::vector<std::string>& contentTypes) {
  if (contentTypes.size() != 1) return false;
  const std::string_view type = contentTypes.front();
  return equalIgnoringCase(trimmed(type.substr(0, type.find(';'))), "application/json");
}

bool isUncompressed(const std::vector<std::string>& contentEncodings) {
  return std::all_of(
      contentEncodings.begin(), contentEncodings.end(),
      [](const std::string& coding) { return equalIgnoringCase(trimmed(coding), "identity"); });
}

BodyFraming bodyFraming(const RequestHead& head) {
  if (!head.transferEncodings.empty()) return BodyFraming::Unread;
  if (head.contentLengths.empty()) return BodyFraming::None;
  const std::string_view first = trimmed(head.contentLengths.front());
  const bool numeric = !first.empty() && first.size() <= 18 &&
                       first.find_first_not_of("0123456789") == std::string_view::npos;
  const bool agreeing =
      std::all_of(head.contentLengths.begin(), head.contentLengths.end(),
                  [&](const std::string& length) { return trimmed(length) == first; });
  if (!numeric || !agreeing) return BodyFraming::Unread;
  return first.find_first_not_of('0') == std::string_view::npos ? BodyFraming::None
                                                                : BodyFraming::Length;
}

}  // namespace camknob::http
