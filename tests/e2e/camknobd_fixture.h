// The fixture of camknobd-sim's end-to-end tests: one camknobd-sim over its
// own copy of the demo system, its own configuration folder and token
// folder, with the clients and checks those tests share.
#pragma once

#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "e2e/daemon_process.h"
#include "e2e/run_process.h"
#include "support/temporary_folder.h"

namespace camknob::testing {

using namespace std::chrono_literals;

inline const std::string demoFixture = std::string(CAMKNOB_EXAMPLES_DIR) + "/demo-system.json";

inline mode_t modeOf(const std::string& path) {
  struct stat status {};
  EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
  return status.st_mode & 07777;
}

// One camknobd-sim over its own copy of the demo system, its own config
// folder and token folder.
class Camknobd : public ::testing::Test {
 protected:
  testing::TemporaryFolder folder{"camknobd-e2e"};
  std::string fixture = folder.path + "/camera.json";
  std::string fixtureText = fileText(demoFixture);
  std::string tokenFolder = folder.path + "/tokens";
  std::string tokenPath = tokenFolder + "/camknobd.token";
  DaemonProcess daemon;
  nlohmann::json start;
  int port = 0;
  std::string token;
  std::string host;

  void SetUp() override {
    std::ofstream(fixture) << fixtureText;
    ASSERT_EQ(::mkdir(tokenFolder.c_str(), 0700), 0);
  }

  void TearDown() override {
    if (daemon.pid >= 0) endDaemon(daemon, SIGTERM, 10s);
    EXPECT_EQ(fileText(fixture), fixtureText) << "the fixture changed";
  }

  EnvironmentChanges environment() const {
    return {{"CAMKNOB_SIM_FIXTURE", fixture},
            {"XDG_CONFIG_HOME", folder.path + "/config"},
            {"XDG_RUNTIME_DIR", std::nullopt}};
  }

  void launch(std::vector<std::string> arguments, EnvironmentChanges changes = {}) {
    EnvironmentChanges env = environment();
    for (auto& [name, value] : changes) env[name] = value;
    daemon = startDaemon(CAMKNOBD_SIM_PATH, arguments, env);
    const std::optional<std::string> line = readStartLine(daemon, 10s);
    ASSERT_TRUE(line) << "no start line; standard error: " << daemon.errText;
    start = nlohmann::json::parse(*line);
    const std::string url = start.at("url");
    port = std::stoi(url.substr(url.rfind(':') + 1));
    token = fileText(start.at("tokenFile"));
    host = "127.0.0.1:" + std::to_string(port);
  }

  void launch() { launch({"--listen", "127.0.0.1:0", "--token-file", tokenPath}); }

  httplib::Client client() const {
    httplib::Client made("127.0.0.1", port);
    made.set_read_timeout(10, 0);
    return made;
  }

  httplib::Headers withToken(httplib::Headers headers = {}) const {
    headers.emplace("Authorization", "Bearer " + token);
    return headers;
  }

  httplib::Result get(const std::string& path, const httplib::Headers& headers) const {
    return client().Get(path.c_str(), headers);
  }

  httplib::Result post(const std::string& path, const httplib::Headers& headers,
                       const std::string& body,
                       const std::string& type = "application/json") const {
    return client().Post(path.c_str(), headers, body, type.c_str());
  }

  // The error answer of the status, checked for its shape.
  static std::string errorOf(const httplib::Result& result, int status) {
    EXPECT_TRUE(result) << "no answer";
    if (!result) return {};
    EXPECT_EQ(result->status, status) << result->body;
    EXPECT_EQ(result->get_header_value("Content-Type"), "application/json");
    EXPECT_FALSE(result->has_header("Access-Control-Allow-Origin"));
    EXPECT_EQ(result->body.find('\n'), std::string::npos);
    const nlohmann::json answer = nlohmann::json::parse(result->body, nullptr, false);
    EXPECT_EQ(answer.size(), 2u) << result->body;
    EXPECT_EQ(answer.value("ok", true), false) << result->body;
    const std::string message = answer.value("error", "");
    EXPECT_EQ(message.empty() ? '?' : message.back(), '.') << message;
    return message;
  }

  // The cameras as camknob-sim lists them over the same fixture.
  nlohmann::json listedCameras() const {
    const ProcessResult listed = runProcess(CAMKNOB_SIM_PATH, {"list"}, fixture);
    EXPECT_EQ(listed.exitStatus, 0);
    return nlohmann::json::parse(listed.out);
  }

  void expectCameras(const httplib::Result& result) const {
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200) << result->body;
    EXPECT_EQ(result->get_header_value("Content-Type"), "application/json");
    EXPECT_EQ(nlohmann::json::parse(result->body), listedCameras());
  }

  std::string codeOf(const std::string& page) const {
    const std::string prefix = std::string(start.at("url")) + "/login?code=";
    EXPECT_EQ(page.rfind(prefix, 0), 0u) << page;
    return page.substr(prefix.size());
  }
};

}  // namespace camknob::testing
