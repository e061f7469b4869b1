#include "http/machine_names.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <climits>

namespace camknob::http {

namespace {

void addOnce(std::vector<std::string>& names, std::string name) {
  if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end())
    names.push_back(std::move(name));
}

std::string addressText(const sockaddr* address) {
  std::array<char, INET6_ADDRSTRLEN> text{};
  if (address->sa_family == AF_INET) {
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
    return ::inet_ntop(AF_INET, &v4->sin_addr, text.data(), text.size()) ? text.data() : "";
  }
  if (address->sa_family == AF_INET6) {
    const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
    if (::inet_ntop(AF_INET6, &v6->sin6_addr, text.data(), text.size()) == nullptr) return "";
    std::string bracketed = "[";
    bracketed += text.data();
    bracketed += ']';
    return bracketed;
  }
  return "";
}

}  // namespace

std::vector<std::string> machineNames() {
  std::vector<std::string> names;
  std::array<char, 256> host{};
  if (::gethostname(host.data(), host.size() - 1) == 0 && host[0] != '\0') {
    const std::string name = host.data();
    addOnce(names, name);
    constexpr std::string_view mdns = ".local";
    if (name.size() < mdns.size() ||
        name.compare(name.size() - mdns.size(), mdns.size(), mdns) != 0)
      addOnce(names, name + std::string(mdns));
  }
  ifaddrs* interfaces = nullptr;
  if (::getifaddrs(&interfaces) == 0) {
    for (const ifaddrs* at = interfaces; at != nullptr; at = at->ifa_next)
      if (at->ifa_addr != nullptr) addOnce(names, addressText(at->ifa_addr));
    ::freeifaddrs(interfaces);
  }
  return names;
}

}  // namespace camknob::http
