// camknobd(1) against camknobd itself: the messages of its command line, of
// the checks every request passes and of the bodies it reads, as the code
// gives them, are the page's DIAGNOSTICS; and every piece of a message in
// the sources of the HTTP layer and the engine is on the page.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "http/api_texts.h"
#include "http/body_fields.h"
#include "http/command_body.h"
#include "http/daemon_options.h"
#include "http/request_gate.h"
#include "support/man_page.h"
#include "support/source_literals.h"

namespace camknob {
namespace {

using testing::fileText;
using testing::sectionLines;
using testing::shownText;

const std::string manualPage = fileText(CAMKNOB_MAN_DIR "/camknobd.1");

using Placeholders = std::vector<std::pair<std::string, std::string>>;

// A message as the code gives it, and the parts of it the page names by a
// placeholder.
struct GivenMessage {
  std::string what;
  std::string message;
  Placeholders placeholders;
};

std::string faultOf(const std::variant<http::DaemonOptions, std::string>& read) {
  const auto* fault = std::get_if<std::string>(&read);
  return fault ? *fault : std::string("(no fault)");
}

std::vector<GivenMessage> optionMessages() {
  struct Case {
    std::vector<std::string_view> texts;
    Placeholders placeholders;
  };
  const Case cases[] = {
      {{"--frob"}, {{"--frob", "OPTION"}}},
      {{"--listen"}, {}},
      {{"--token-file", ""}, {}},
      {{"--listen", "127.0.0.1:1", "--listen", "127.0.0.1:2"}, {}},
      {{"--token-file", "a", "--token-file", "b"}, {}},
      {{"--listen", "camera.local:9734"}, {{"camera.local:9734", "TEXT"}}},
      {{"--listen", "127.0.0.1:65536"}, {{"127.0.0.1:65536", "TEXT"}}},
      {{"--allow-host"}, {}},
      {{"--allow-host", "a:1"}, {{"a:1", "TEXT"}}},
      {{"--show-key", "--new-key"}, {}},
  };
  std::vector<GivenMessage> messages;
  for (const Case& run : cases)
    messages.push_back({std::string(run.texts.front()),
                        faultOf(http::parseDaemonOptions(run.texts)), run.placeholders});
  return messages;
}

const std::vector<std::string> accepted{"127.0.0.1:9734"};
const std::string token(64, 'f');

http::RequestHead goodPost() {
  http::RequestHead head{};
  head.method = "POST";
  head.path = "/api/v1/commands";
  head.hosts = {"127.0.0.1:9734"};
  head.authorizations = {"Bearer " + token};
  head.contentTypes = {"application/json"};
  head.contentLengths = {"2"};
  return head;
}

std::vector<GivenMessage> gateMessages() {
  struct Case {
    std::string what;
    void (*spoil)(http::RequestHead&);
    Placeholders placeholders;
  };
  const Case cases[] = {
      {"another host", [](http::RequestHead& head) { head.hosts = {"evil.example:9734"}; }, {}},
      {"another origin",
       [](http::RequestHead& head) { head.origins = {"http://evil.example"}; },
       {}},
      {"no token", [](http::RequestHead& head) { head.authorizations = {}; }, {}},
      {"no route", [](http::RequestHead& head) { head.path = "/api/v1/nothing"; }, {}},
      {"another method",
       [](http::RequestHead& head) { head.method = "PATCH"; },
       {{"PATCH", "METHOD"}}},
      {"another type", [](http::RequestHead& head) { head.contentTypes = {"text/plain"}; }, {}},
      {"compressed", [](http::RequestHead& head) { head.contentEncodings = {"gzip"}; }, {}},
      {"chunked", [](http::RequestHead& head) { head.transferEncodings = {"chunked"}; }, {}},
  };
  const std::vector<std::string> sessions;
  std::vector<GivenMessage> messages;
  for (const Case& run : cases) {
    http::RequestHead head = goodPost();
    run.spoil(head);
    const auto passed = http::passGate(http::GateKeys{accepted, token, "", sessions}, head);
    const auto* rejection = std::get_if<http::Rejection>(&passed);
    messages.push_back({run.what, rejection ? rejection->message : "(passed)", run.placeholders});
  }
  for (const int status : {400, 408, 413, 414, 416, 431, 500})
    messages.push_back({std::to_string(status), http::libraryStatusMessage(status), {}});
  messages.push_back({"418", http::libraryStatusMessage(418), {{"418", "STATUS"}}});
  return messages;
}

std::string bodyFault(const std::string& body) {
  auto object = http::bodyObject(body);
  if (const auto* fault = std::get_if<std::string>(&object)) return *fault;
  auto command = http::readCommandBody(std::get<JsonObject>(object));
  if (const auto* fault = std::get_if<std::string>(&command)) return *fault;
  return "(read)";
}

std::vector<GivenMessage> bodyMessages() {
  struct Case {
    std::string body;
    Placeholders placeholders;
  };
  const Case cases[] = {
      {"{", {{"line 1, column 2: expected a string as a key", "FAULT"}}},
      {"[1]", {}},
      {R"({"command": "set", "frob": 1})", {{"\"frob\"", "KEY"}}},
      {R"({"command": "set", "command": "auto"})", {{"\"command\"", "KEY"}}},
      {R"({"control": "zoom"})", {{"\"command\"", "KEY"}}},
      {R"({"command": 1})", {{"\"command\"", "KEY"}}},
      {R"({"command": "set", "value": true})", {{"\"value\"", "KEY"}}},
      {R"({"command": "on", "enabled": []})", {{"\"enabled\"", "KEY"}}},
      {R"({"command": "set", "delta": true})", {{"\"delta\"", "KEY"}}},
      {R"({"command": "move", "delta": 1})", {}},
      {R"({"command": "set", "delta": 1, "value": 2})", {}},
      {R"({"command": "set", "delta": "1e999"})", {}},
      {R"({"command": "stop", "control": "zoom"})", {{"\"control\"", "KEY"}}},
  };
  std::vector<GivenMessage> messages;
  for (const Case& run : cases)
    messages.push_back({run.body, bodyFault(run.body), run.placeholders});
  auto parameters = http::readParameters({{"frob", "1"}}, {});
  const auto* fault = std::get_if<std::string>(&parameters);
  messages.push_back({"?frob=1", fault ? *fault : "(read)", {{"\"frob\"", "KEY"}}});
  return messages;
}

TEST(DaemonManualPage, ListsEveryMessageOfItsOptionsChecksAndBodies) {
  std::vector<GivenMessage> given = optionMessages();
  for (auto more : {gateMessages(), bodyMessages()})
    given.insert(given.end(), more.begin(), more.end());
  const std::vector<std::string> tags =
      testing::paragraphTags(sectionLines(manualPage, "DIAGNOSTICS"));
  const std::set<std::string> documented(tags.begin(), tags.end());
  std::set<std::string> templates;
  for (GivenMessage& run : given) {
    for (const auto& [text, placeholder] : run.placeholders) {
      const std::size_t at = run.message.find(text);
      ASSERT_NE(at, std::string::npos) << run.what << ": " << run.message << " has no " << text;
      run.message.replace(at, text.size(), placeholder);
    }
    templates.insert(run.message);
    EXPECT_EQ(documented.count(run.message), 1u) << run.what << ": " << run.message;
  }
  EXPECT_EQ(templates.size(), given.size()) << "two runs gave one message";
  EXPECT_EQ(documented.size(), tags.size()) << "a message listed twice";
}

// Every piece of a message in the sources is in DIAGNOSTICS, or, for the
// texts that are not messages (the usage line, the cookie, the event lines,
// the files the engine writes), in the section that shows them.
TEST(DaemonManualPage, EveryMessageTextOfTheSourcesIsOnThePage) {
  std::string shown;
  for (const char* section :
       {"DIAGNOSTICS", "OPTIONS", "SECURITY", "THE EVENT STREAM", "FILES", "SYNOPSIS"})
    shown += shownText(sectionLines(manualPage, section)) + "\n";
  int checked = 0;
  for (const char* folder : {"/src/http", "/src/engine"}) {
    for (const auto& entry :
         std::filesystem::directory_iterator(std::string(CAMKNOB_SOURCE_DIR) + folder)) {
      if (entry.path().extension() != ".cpp") continue;
      for (const std::string& literal : testing::stringLiterals(fileText(entry.path().string()))) {
        if (!testing::isProse(literal)) continue;
        ++checked;
        EXPECT_NE(shown.find(literal), std::string::npos)
            << entry.path().filename() << ": \"" << literal << "\"";
      }
    }
  }
  EXPECT_GE(checked, 60);  // the scan found the messages at all
}

TEST(DaemonManualPage, ShowsTheUsageLine) {
  const std::string options = shownText(sectionLines(manualPage, "OPTIONS"));
  EXPECT_NE(options.find(http::daemonUsage("camknobd")), std::string::npos);
}

}  // namespace
}  // namespace camknob
