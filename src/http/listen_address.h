// Where camknobd listens: the loopback pair (127.0.0.1 and ::1) by default,
// or the one address of --listen ADDRESS:PORT; and the Host header values a
// request may name the server by once it listens.
#pragma once

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

// The Host values a request may carry: the listening address with its port,
// and for a loopback address also "localhost", "127.0.0.1" and "[::1]" with
// it (without the port too when it is 80, as browsers leave it out).
std::vector<std::string> acceptedHosts(const ListenPlan& plan, int port);

// "http://127.0.0.1:9734"
std::string baseUrl(const ListenPlan& plan, int port);

}  // namespace camknob::http
