#include "http/listen_address.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <optional>

namespace camknob::http {

namespace {

constexpr std::string_view numericAddressFault =
    "ADDRESS:PORT takes a numeric address, such as 127.0.0.1:9734 or [::1]:9734, or "
    "localhost:PORT.";

std::optional<int> portOf(std::string_view text) {
  if (text.empty() || text.size() > 5 ||
      text.find_first_not_of("0123456789") != std::string_view::npos)
    return std::nullopt;
  int port = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
  if (error != std::errc() || end != text.data() + text.size() || port > 65535) return std::nullopt;
  return port;
}

// The address in its canonical text, and whether it is a loopback one.
struct NumericAddress {
  std::string text;
  bool loopback;
};

std::optional<NumericAddress> ipv4Address(const std::string& text) {
  in_addr address{};
  if (::inet_pton(AF_INET, text.c_str(), &address) != 1) return std::nullopt;
  std::array<char, INET_ADDRSTRLEN> canonical{};
  ::inet_ntop(AF_INET, &address, canonical.data(), canonical.size());
  const auto* bytes = reinterpret_cast<const unsigned char*>(&address.s_addr);
  return NumericAddress{canonical.data(), bytes[0] == 127};
}

std::optional<NumericAddress> ipv6Address(const std::string& text) {
  in6_addr address{};
  if (::inet_pton(AF_INET6, text.c_str(), &address) != 1) return std::nullopt;
  std::array<char, INET6_ADDRSTRLEN> canonical{};
  ::inet_ntop(AF_INET6, &address, canonical.data(), canonical.size());
  const unsigned char* bytes = address.s6_addr;
  constexpr std::array<unsigned char, 16> loopback{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
  constexpr std::array<unsigned char, 12> mappedPrefix{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
  const bool isLoopback =
      std::memcmp(bytes, loopback.data(), loopback.size()) == 0 ||
      (std::memcmp(bytes, mappedPrefix.data(), mappedPrefix.size()) == 0 && bytes[12] == 127);
  return NumericAddress{canonical.data(), isLoopback};
}

}  // namespace

ListenPlan defaultListenPlan() {
  return ListenPlan{{"127.0.0.1", "::1"}, defaultPort, true, true, "127.0.0.1"};
}

std::variant<ListenPlan, std::string> parseListenAddress(std::string_view text) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string_view::npos) return std::string(numericAddressFault);
  const std::optional<int> port = portOf(text.substr(colon + 1));
  if (!port) return std::string("the port must be a number from 0 to 65535.");
  const std::string_view host = text.substr(0, colon);
  if (host == "localhost") {
    ListenPlan plan = defaultListenPlan();
    plan.port = *port;
    return plan;
  }
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
    const std::optional<NumericAddress> address =
        ipv6Address(std::string(host.substr(1, host.size() - 2)));
    if (!address) return std::string(numericAddressFault);
    return ListenPlan{{address->text}, *port, false, address->loopback, "[" + address->text + "]"};
  }
  const std::optional<NumericAddress> address = ipv4Address(std::string(host));
  if (!address) return std::string(numericAddressFault);
  return ListenPlan{{address->text}, *port, false, address->loopback, address->text};
}

namespace {

void addWithPort(std::vector<std::string>& hosts, const std::string& name, int port) {
  const std::string withPort = name + ":" + std::to_string(port);
  for (const std::string& host : {withPort, name})
    if (std::find(hosts.begin(), hosts.end(), host) == hosts.end() &&
        (host == withPort || port == 80))
      hosts.push_back(host);
}

bool isHostLabel(std::string_view label) {
  return !label.empty() && label.size() <= 63 && label.front() != '-' && label.back() != '-' &&
         std::all_of(label.begin(), label.end(), [](char c) {
           return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  c == '-';
         });
}

}  // namespace

std::vector<std::string> acceptedHosts(const ListenPlan& plan, int port,
                                       const std::vector<std::string>& otherNames) {
  std::vector<std::string> names{plan.urlHost};
  if (plan.loopback || isWildcard(plan))
    for (const char* name : {"localhost", "127.0.0.1", "[::1]"}) names.emplace_back(name);
  names.insert(names.end(), otherNames.begin(), otherNames.end());
  std::vector<std::string> hosts;
  for (const std::string& name : names) addWithPort(hosts, name, port);
  return hosts;
}

std::vector<std::string> arrivalHosts(const std::string& address, int port) {
  std::vector<std::string> hosts;
  if (address.empty()) return hosts;
  addWithPort(hosts, address.find(':') != std::string::npos ? "[" + address + "]" : address, port);
  return hosts;
}

bool isWildcard(const ListenPlan& plan) {
  return plan.urlHost == "0.0.0.0" || plan.urlHost == "[::]";
}

std::optional<std::string> allowedHostName(std::string_view text) {
  if (text.size() > 2 && text.front() == '[' && text.back() == ']') {
    const std::optional<NumericAddress> address =
        ipv6Address(std::string(text.substr(1, text.size() - 2)));
    if (!address) return std::nullopt;
    return "[" + address->text + "]";
  }
  if (const std::optional<NumericAddress> address = ipv4Address(std::string(text)))
    return address->text;
  if (text.empty() || text.size() > 253) return std::nullopt;
  for (std::size_t start = 0;;) {
    const std::size_t dot = text.find('.', start);
    if (!isHostLabel(text.substr(start, dot == std::string_view::npos ? text.npos : dot - start)))
      return std::nullopt;
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
  // A name of digits and dots alone would be an address, and is not one.
  if (text.find_first_not_of("0123456789.") == std::string_view::npos) return std::nullopt;
  return std::string(text);
}

std::string baseUrl(const ListenPlan& plan, int port) {
  return "http://" + plan.urlHost + ":" + std::to_string(port);
}

}  // namespace camknob::http
