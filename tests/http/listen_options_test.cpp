// camknobd's options and listening addresses: what binds, which Host values
// name the server, and one clear fault for each bad command line.
#include <gtest/gtest.h>

#include <optional>

#include "http/daemon_options.h"
#include "http/listen_address.h"

namespace camknob::http {
namespace {

TEST(ListenAddress, ReadsNumericAddressesAndTheLoopbackPair) {
  struct Case {
    std::string text;
    std::vector<std::string> addresses;
    int port;
    bool pair;
    bool loopback;
    std::string urlHost;
  };
  const std::vector<Case> cases{
      {"127.0.0.1:9734", {"127.0.0.1"}, 9734, false, true, "127.0.0.1"},
      {"127.0.0.2:0", {"127.0.0.2"}, 0, false, true, "127.0.0.2"},
      {"[::1]:8080", {"::1"}, 8080, false, true, "[::1]"},
      {"[0:0:0:0:0:0:0:1]:80", {"::1"}, 80, false, true, "[::1]"},
      {"[::ffff:127.0.0.1]:5", {"::ffff:127.0.0.1"}, 5, false, true, "[::ffff:127.0.0.1]"},
      {"0.0.0.0:9734", {"0.0.0.0"}, 9734, false, false, "0.0.0.0"},
      {"192.168.1.20:65535", {"192.168.1.20"}, 65535, false, false, "192.168.1.20"},
      {"[::]:1", {"::"}, 1, false, false, "[::]"},
      {"[fe80::1]:1", {"fe80::1"}, 1, false, false, "[fe80::1]"},
      {"localhost:0", {"127.0.0.1", "::1"}, 0, true, true, "127.0.0.1"},
  };
  for (const Case& c : cases) {
    const auto read = parseListenAddress(c.text);
    ASSERT_TRUE(std::holds_alternative<ListenPlan>(read)) << c.text << ": " << std::get<1>(read);
    const ListenPlan& plan = std::get<ListenPlan>(read);
    EXPECT_EQ(plan.addresses, c.addresses) << c.text;
    EXPECT_EQ(plan.port, c.port) << c.text;
    EXPECT_EQ(plan.loopbackPair, c.pair) << c.text;
    EXPECT_EQ(plan.loopback, c.loopback) << c.text;
    EXPECT_EQ(plan.urlHost, c.urlHost) << c.text;
  }
}

TEST(ListenAddress, RefusesNamesMalformedAddressesAndPorts) {
  const std::string numeric =
      "ADDRESS:PORT takes a numeric address, such as 127.0.0.1:9734 or [::1]:9734, or "
      "localhost:PORT.";
  const std::string port = "the port must be a number from 0 to 65535.";
  const std::vector<std::pair<std::string, std::string>> cases{
      {"127.0.0.1", numeric},     {"9734", numeric},          {"example.com:80", numeric},
      {"::1:9734", numeric},      {"[::1:9734", numeric},     {"127.1:9734", numeric},
      {"127.0.0.256:1", numeric}, {"[127.0.0.1]:1", numeric}, {"[fe80::1%eth0]:1", numeric},
      {":9734", numeric},         {"127.0.0.1:", port},       {"127.0.0.1:65536", port},
      {"127.0.0.1:-1", port},     {"127.0.0.1:+80", port},    {"127.0.0.1:0x50", port},
      {"127.0.0.1: 80", port},    {"127.0.0.1:000080", port}, {"LOCALHOST:1", numeric},
  };
  for (const auto& [text, fault] : cases) {
    const auto read = parseListenAddress(text);
    ASSERT_TRUE(std::holds_alternative<std::string>(read)) << text;
    EXPECT_EQ(std::get<std::string>(read), fault) << text;
  }
}

TEST(ListenAddress, AcceptsTheListeningNameAndLoopbackNamesOnlyForLoopback) {
  EXPECT_EQ(acceptedHosts(defaultListenPlan(), 9734),
            (std::vector<std::string>{"127.0.0.1:9734", "localhost:9734", "[::1]:9734"}));
  EXPECT_EQ(acceptedHosts(std::get<ListenPlan>(parseListenAddress("[::1]:5")), 5),
            (std::vector<std::string>{"[::1]:5", "localhost:5", "127.0.0.1:5"}));
  EXPECT_EQ(acceptedHosts(std::get<ListenPlan>(parseListenAddress("127.0.0.2:0")), 41000),
            (std::vector<std::string>{"127.0.0.2:41000", "localhost:41000", "127.0.0.1:41000",
                                      "[::1]:41000"}));
  EXPECT_EQ(acceptedHosts(std::get<ListenPlan>(parseListenAddress("192.168.1.20:8080")), 8080),
            (std::vector<std::string>{"192.168.1.20:8080"}));
  // Browsers leave port 80 out of Host and Origin.
  EXPECT_EQ(acceptedHosts(std::get<ListenPlan>(parseListenAddress("10.0.0.1:80")), 80),
            (std::vector<std::string>{"10.0.0.1:80", "10.0.0.1"}));
  EXPECT_EQ(baseUrl(std::get<ListenPlan>(parseListenAddress("[::1]:0")), 4321),
            "http://[::1]:4321");
  EXPECT_EQ(baseUrl(defaultListenPlan(), 9734), "http://127.0.0.1:9734");
}

TEST(ListenAddress, AcceptsTheMachinesNamesAndThoseAllowedBesideTheListeningOnes) {
  const std::vector<std::string> others{"camera-pc", "camera-pc.local", "192.168.1.20",
                                        "[fe80::1]"};
  EXPECT_EQ(
      acceptedHosts(std::get<ListenPlan>(parseListenAddress("192.168.1.20:8080")), 8080, others),
      (std::vector<std::string>{"192.168.1.20:8080", "camera-pc:8080", "camera-pc.local:8080",
                                "[fe80::1]:8080"}));
  // A wildcard address is no name of the server: the loopback names are.
  EXPECT_EQ(
      acceptedHosts(std::get<ListenPlan>(parseListenAddress("0.0.0.0:80")), 80, {"pc"}),
      (std::vector<std::string>{"0.0.0.0:80", "0.0.0.0", "localhost:80", "localhost",
                                "127.0.0.1:80", "127.0.0.1", "[::1]:80", "[::1]", "pc:80", "pc"}));
  EXPECT_TRUE(isWildcard(std::get<ListenPlan>(parseListenAddress("[::]:1"))));
  EXPECT_FALSE(isWildcard(std::get<ListenPlan>(parseListenAddress("192.168.1.20:1"))));
  EXPECT_EQ(arrivalHosts("127.0.0.2", 41000), (std::vector<std::string>{"127.0.0.2:41000"}));
  EXPECT_EQ(arrivalHosts("fe80::1", 80), (std::vector<std::string>{"[fe80::1]:80", "[fe80::1]"}));
  EXPECT_EQ(arrivalHosts("", 80), (std::vector<std::string>{}));
}

TEST(ListenAddress, TakesHostNamesAndAddressesToAllow) {
  const std::vector<std::pair<std::string, std::optional<std::string>>> cases{
      {"camera-pc.local", "camera-pc.local"},
      {"Camera-PC", "Camera-PC"},
      {"a", "a"},
      {"studio-1.example.org", "studio-1.example.org"},
      {"192.168.1.20", "192.168.1.20"},
      {"[fe80::1]", "[fe80::1]"},
      {"[FE80:0::1]", "[fe80::1]"},
      {"", std::nullopt},
      {"fe80::1", std::nullopt},
      {"camera-pc.local:9734", std::nullopt},
      {"http://camera-pc.local", std::nullopt},
      {"camera pc", std::nullopt},
      {"-camera", std::nullopt},
      {"camera-.local", std::nullopt},
      {"camera..local", std::nullopt},
      {"camera.local.", std::nullopt},
      {"caméra.local", std::nullopt},
      {"256.1.1.1", std::nullopt},
      {"1.2.3", std::nullopt},
      {std::string(64, 'a') + ".local", std::nullopt},
      {std::string(63, 'a') + ".local", std::string(63, 'a') + ".local"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(allowedHostName(text), expected) << text;
}

TEST(DaemonOptions, DefaultsToTheLoopbackPairOnPort9734) {
  const auto read = parseDaemonOptions({});
  ASSERT_TRUE(std::holds_alternative<DaemonOptions>(read));
  const DaemonOptions& options = std::get<DaemonOptions>(read);
  EXPECT_EQ(options.listen.addresses, (std::vector<std::string>{"127.0.0.1", "::1"}));
  EXPECT_EQ(options.listen.port, 9734);
  EXPECT_TRUE(options.listen.loopbackPair);
  EXPECT_FALSE(options.tokenFile);
  EXPECT_EQ(options.allowedHosts, (std::vector<std::string>{}));
  EXPECT_FALSE(options.help);
  EXPECT_EQ(options.keyAction, KeyAction::None);
}

TEST(DaemonOptions, ReadsEachOptionInAnyOrder) {
  const auto read = parseDaemonOptions({"--token-file", "/run/t.token", "--listen", "[::1]:0"});
  ASSERT_TRUE(std::holds_alternative<DaemonOptions>(read));
  const DaemonOptions& options = std::get<DaemonOptions>(read);
  EXPECT_EQ(options.listen.addresses, (std::vector<std::string>{"::1"}));
  EXPECT_EQ(options.listen.port, 0);
  EXPECT_EQ(options.tokenFile, "/run/t.token");
  EXPECT_TRUE(std::get<DaemonOptions>(parseDaemonOptions({"--help"})).help);
  const auto allowing = parseDaemonOptions(
      {"--allow-host", "camera-pc.local", "--listen", "0.0.0.0:0", "--allow-host", "[FE80::1]"});
  ASSERT_TRUE(std::holds_alternative<DaemonOptions>(allowing));
  EXPECT_EQ(std::get<DaemonOptions>(allowing).allowedHosts,
            (std::vector<std::string>{"camera-pc.local", "[fe80::1]"}));
  const std::vector<std::pair<std::vector<std::string_view>, KeyAction>> keyCases{
      {{"--show-key"}, KeyAction::Show},
      {{"--new-key"}, KeyAction::Replace},
      {{"--listen", "127.0.0.1:0", "--new-key", "--new-key"}, KeyAction::Replace},
  };
  for (const auto& [texts, action] : keyCases) {
    const auto read = parseDaemonOptions(texts);
    ASSERT_TRUE(std::holds_alternative<DaemonOptions>(read));
    EXPECT_EQ(std::get<DaemonOptions>(read).keyAction, action);
  }
}

TEST(DaemonOptions, NamesTheFaultOfABadCommandLine) {
  const std::vector<std::pair<std::vector<std::string_view>, std::string>> cases{
      {{"--port", "1"}, "Unknown option \"--port\"."},
      {{"serve"}, "Unknown option \"serve\"."},
      {{"--listen=127.0.0.1:1"}, "Unknown option \"--listen=127.0.0.1:1\"."},
      {{"--bad\nline"}, "Unknown option \"--bad\\x0aline\"."},
      {{"--listen"}, "--listen needs ADDRESS:PORT."},
      {{"--listen", ""}, "--listen needs ADDRESS:PORT."},
      {{"--token-file"}, "--token-file needs a PATH."},
      {{"--listen", "127.0.0.1:1", "--listen", "127.0.0.1:2"}, "--listen is given twice."},
      {{"--token-file", "a", "--token-file", "b"}, "--token-file is given twice."},
      {{"--listen", "host:1"},
       "--listen \"host:1\": ADDRESS:PORT takes a numeric address, such as 127.0.0.1:9734 or "
       "[::1]:9734, or localhost:PORT."},
      {{"--listen", "127.0.0.1:99999"},
       "--listen \"127.0.0.1:99999\": the port must be a number from 0 to 65535."},
      {{"--allow-host"}, "--allow-host needs a NAME."},
      {{"--allow-host", ""}, "--allow-host needs a NAME."},
      {{"--allow-host", "evil.example:80"},
       "--allow-host \"evil.example:80\": NAME is a host name such as camera-pc.local, or an "
       "address such as 192.168.1.20 or [fe80::1]."},
      {{"--show-key", "--new-key"}, "--show-key and --new-key cannot both be given."},
      {{"--new-key", "--listen", "x"},
       "--listen \"x\": ADDRESS:PORT takes a numeric address, such as 127.0.0.1:9734 or "
       "[::1]:9734, or localhost:PORT."},
  };
  for (const auto& [texts, fault] : cases) {
    const auto read = parseDaemonOptions(texts);
    ASSERT_TRUE(std::holds_alternative<std::string>(read)) << fault;
    EXPECT_EQ(std::get<std::string>(read), fault);
  }
}

}  // namespace
}  // namespace camknob::http
