// Where camknobd listens: the loopback pair (127.0.0.1 and ::1) by default,
// or the one address of --listen ADDRESS:PORT; and the Host header values a
// request may name the server by once it listens.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace camknob::http {

inline constexpr int defaultPort = 9734;

struct ListenPlan {
  // The addresses to bind, as the socket layer takes them ("127.0.0.1",
  // "::1"). For the loopback pair the second one is bound where it can be.
  std::vector<std::string> addresses;
  int port;  // 0: a free port, the same one for every address
  bool loopbackPair;
  bool loopback;        // every address is a loopback address
  std::string urlHost;  // the host of the URLs printed: "127.0.0.1", "[::1]"
};

// 127.0.0.1 and ::1, port 9734.
ListenPlan defaultListenPlan();

// "127.0.0.1:9734", "[::1]:0", "192.168.1.20:8080" (numeric addresses only),
// or "localhost:PORT" for the loopback pair on that port; else the fault, a
// sentence.
std::variant<ListenPlan, std::string> parseListenAddress(std::string_view text);

// The Host values a request may carry, each name with the port (and without
// it too when the port is 80, as browsers leave it out): the listening
// address; for a loopback or wildcard address also "localhost", "127.0.0.1"
// and "[::1]"; then `otherNames` (the machine's own names and addresses for
// an address of the network, and those of --allow-host).
std::vector<std::string> acceptedHosts(const ListenPlan& plan, int port,
                                       const std::vector<std::string>& otherNames = {});

// The Host values that name the address a connection came to ("127.0.0.2",
// "::1"), with the port as above: a request that names the server by the very
// address it reached is not from a page of another name.
std::vector<std::string> arrivalHosts(const std::string& address, int port);

// Whether the plan listens on every address of the machine (0.0.0.0, [::]).
bool isWildcard(const ListenPlan& plan);

// A name --allow-host takes: a host name (letters, digits and hyphens in
// labels between dots, such as camera-pc.local), an IPv4 address, or an IPv6
// one in brackets; as the Host header names it, or nothing.
std::optional<std::string> allowedHostName(std::string_view text);

// "http://127.0.0.1:9734"
std::string baseUrl(const ListenPlan& plan, int port);

}  // namespace camknob::http
