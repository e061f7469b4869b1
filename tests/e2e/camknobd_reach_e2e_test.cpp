// camknobd-sim reached as a button box or a phone on the network reaches
// it: by the names of the machine and those --allow-host gives (a second
// loopback address, 127.0.0.2, stands in for the network), never by another
// name; and with the key that outlasts its starts.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "e2e/camknobd_fixture.h"

namespace camknob::testing {
namespace {

// Whether this machine has 127.0.0.2 (Linux gives the whole of 127.0.0.0/8
// to its loopback; macOS only 127.0.0.1 unless told).
bool secondLoopbackAddress() {
  const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(0x7f000002);
  const bool bound = ::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(socket);
  return bound;
}

class CamknobdReach : public Camknobd {
 protected:
  void SetUp() override {
    Camknobd::SetUp();
    if (!secondLoopbackAddress()) GTEST_SKIP() << "127.0.0.2 is not an address of this machine";
  }

  // A request to the server at `address` naming it by `host`.
  httplib::Result getAt(const std::string& address, const std::string& path,
                        const httplib::Headers& headers) const {
    httplib::Client made(address, port);
    made.set_connection_timeout(5, 0);
    made.set_read_timeout(10, 0);
    return made.Get(path.c_str(), headers);
  }

  std::string keyFile() const { return folder.path + "/config/camknob/camknobd.key"; }

  // camknobd-sim with a key option: its status, standard output and error.
  DaemonEnd keyRun(const std::string& option) const {
    DaemonProcess run = startDaemon(CAMKNOBD_SIM_PATH, {option}, environment());
    return endDaemon(run, std::nullopt, 10s);
  }

  int statusWithBearer(const std::string& secret) const {
    const auto answer = get("/api/v1/cameras", {{"Authorization", "Bearer " + secret}});
    return answer ? answer->status : -1;
  }
};

TEST_F(CamknobdReach, AnswersToTheNamesAllowedAndRefusesOthers) {
  launch({"--listen", "127.0.0.2:0", "--token-file", tokenPath, "--allow-host", "camera-pc.local",
          "--allow-host", "studio"});
  EXPECT_EQ(start.at("url"), std::string("http://127.0.0.2:").append(std::to_string(port)));
  const std::string at = std::string(":").append(std::to_string(port));
  const std::string otherPort =
      std::string(":").append(std::to_string(port == 65535 ? 1 : port + 1));
  const std::vector<std::pair<std::string, int>> hosts{
      {"camera-pc.local" + at, 200}, {"CAMERA-PC.Local" + at, 200},
      {"studio" + at, 200},          {"127.0.0.2" + at, 200},
      {"localhost" + at, 200},       {"evil.example" + at, 403},
      {"camera-pc.local", 403},      {"camera-pc.local" + otherPort, 403},
      {"camera-pc" + at, 403},       {"camera-pc.local.evil.example" + at, 403},
  };
  for (const auto& [name, status] : hosts) {
    SCOPED_TRACE(name);
    const auto answer = getAt("127.0.0.2", "/api/v1/cameras", withToken({{"Host", name}}));
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, status) << answer->body;
    // An Origin follows the same names.
    const auto fromPage =
        getAt("127.0.0.2", "/api/v1/cameras",
              withToken({{"Host", "camera-pc.local" + at}, {"Origin", "http://" + name}}));
    ASSERT_TRUE(fromPage);
    EXPECT_EQ(fromPage->status, status) << fromPage->body;
  }
  const auto foreign = getAt("127.0.0.2", "/", {{"Host", "evil.example" + at}});
  ASSERT_TRUE(foreign);
  EXPECT_EQ(errorOf(foreign, 403), "The Host header does not name this server.");
}

TEST_F(CamknobdReach, OnEveryAddressAnswersToTheMachinesNamesAndAddresses) {
  launch({"--listen", "0.0.0.0:0", "--token-file", tokenPath});
  char name[256] = {};
  ASSERT_EQ(::gethostname(name, sizeof name - 1), 0);
  const std::string host = name;
  const bool mdns = host.size() > 6 && host.compare(host.size() - 6, 6, ".local") == 0;
  const std::string at = std::string(":").append(std::to_string(port));
  const std::vector<std::tuple<std::string, std::string, int>> cases{
      {"127.0.0.2", "127.0.0.2" + at, 200},  // the address the request came to
      {"127.0.0.1", "127.0.0.1" + at, 200},
      {"127.0.0.2", "localhost" + at, 200},
      {"127.0.0.2", host + at, 200},
      {"127.0.0.2", host + (mdns ? "" : ".local") + at, 200},
      {"127.0.0.2", "127.0.0.3" + at, 403},  // the machine's, but not where it came
      {"127.0.0.2", "evil.example" + at, 403},
      {"127.0.0.2", "0.0.0.0" + at, 200},
  };
  for (const auto& [address, host, status] : cases) {
    SCOPED_TRACE(address + " as " + host);
    const auto answer = getAt(address, "/api/v1/cameras", withToken({{"Host", host}}));
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, status) << answer->body;
  }
  const DaemonEnd end = endDaemon(daemon, SIGTERM, 10s);
  EXPECT_EQ(end.exitStatus, 0);
}

TEST_F(CamknobdReach, TheKeyIsMadeOnceKeptAcrossStartsAndReplacedWhenAsked) {
  EXPECT_FALSE(std::filesystem::exists(keyFile()));
  launch();
  ASSERT_TRUE(std::filesystem::exists(keyFile()));
  EXPECT_EQ(modeOf(keyFile()), 0600u);
  EXPECT_EQ(modeOf(folder.path + "/config/camknob"), 0700u);
  const std::string stored = fileText(keyFile());
  ASSERT_TRUE(std::regex_match(stored, std::regex("[0-9a-f]{64}\n"))) << stored;
  const std::string key = stored.substr(0, 64);
  EXPECT_NE(key, token);

  const DaemonEnd shown = keyRun("--show-key");
  EXPECT_EQ(shown.exitStatus, 0);
  EXPECT_EQ(shown.out, key + "\n");
  EXPECT_EQ(shown.err, "");

  EXPECT_EQ(statusWithBearer(key), 200);
  EXPECT_EQ(statusWithBearer(token), 200);
  EXPECT_EQ(statusWithBearer(std::string(64, '0')), 401);
  expectCameras(get("/api/v1/cameras", {{"Authorization", "bearer " + key}}));
  EXPECT_EQ(daemon.outText.find(key), std::string::npos) << "the key is on the start line";

  // Another start: the same key, a new token.
  const std::string firstToken = token;
  DaemonEnd ended = endDaemon(daemon, SIGTERM, 10s);
  EXPECT_EQ(ended.exitStatus, 0);
  EXPECT_EQ(ended.out.find(key), std::string::npos);
  EXPECT_EQ(ended.err.find(key), std::string::npos);
  launch();
  EXPECT_NE(token, firstToken);
  EXPECT_EQ(statusWithBearer(key), 200);
  EXPECT_EQ(statusWithBearer(firstToken), 401);

  // Replaced while the server runs: the old key is refused at once.
  const DaemonEnd replaced = keyRun("--new-key");
  EXPECT_EQ(replaced.exitStatus, 0);
  ASSERT_TRUE(std::regex_match(replaced.out, std::regex("[0-9a-f]{64}\n"))) << replaced.out;
  const std::string newKey = replaced.out.substr(0, 64);
  EXPECT_NE(newKey, key);
  EXPECT_EQ(fileText(keyFile()), newKey + "\n");
  EXPECT_EQ(modeOf(keyFile()), 0600u);
  EXPECT_EQ(statusWithBearer(key), 401);
  EXPECT_EQ(statusWithBearer(newKey), 200);
  EXPECT_EQ(statusWithBearer(token), 200);
  ended = endDaemon(daemon, SIGTERM, 10s);
  EXPECT_EQ(ended.exitStatus, 0);
  EXPECT_EQ(ended.err.find(newKey), std::string::npos);
  EXPECT_EQ(keyRun("--show-key").out, newKey + "\n");
}

TEST_F(CamknobdReach, AKeyFileThatCannotBeUsedStopsTheStart) {
  ASSERT_EQ(keyRun("--show-key").exitStatus, 0);  // made, with its folder
  struct Case {
    std::string what;
    std::string text;
    mode_t mode;
    std::string error;
  };
  const std::vector<Case> cases{
      {"not a key", "hello\n", 0600,
       "camknobd-sim: The key file " + keyFile() +
           " does not hold a key (64 hexadecimal digits); --new-key makes a new one.\n"},
      {"readable by others", std::string(64, 'a') + "\n", 0644,
       "camknobd-sim: The key file " + keyFile() +
           " must be a file of this user's that no one else may read (mode 0600).\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(keyFile());
    std::ofstream(keyFile()) << c.text;
    ASSERT_EQ(::chmod(keyFile().c_str(), c.mode), 0);
    DaemonProcess run = startDaemon(
        CAMKNOBD_SIM_PATH, {"--listen", "127.0.0.1:0", "--token-file", tokenPath}, environment());
    const DaemonEnd end = endDaemon(run, std::nullopt, 10s);
    EXPECT_EQ(end.exitStatus, 2);
    EXPECT_EQ(end.out, "");
    EXPECT_EQ(end.err, c.error);
    EXPECT_EQ(keyRun("--show-key").err, c.error);
    EXPECT_EQ(fileText(keyFile()), c.text) << "left as it was";
  }
  // --new-key mends it.
  const DaemonEnd mended = keyRun("--new-key");
  EXPECT_EQ(mended.exitStatus, 0);
  launch();
  EXPECT_EQ(statusWithBearer(mended.out.substr(0, 64)), 200);
}

}  // namespace
}  // namespace camknob::testing
