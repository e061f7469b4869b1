// camknob(1) against the tool itself: the messages a run ends with, as the
// commands give them, the line written when an answer cannot be encoded, and
// the kinds --control takes.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "json/write_response.h"
#include "support/man_page.h"
#include "support/run_command.h"
#include "support/sim_support.h"
#include "support/source_literals.h"
#include "vocabulary/control_kinds.h"

namespace camknob {
namespace {

using testing::fileText;
using testing::isProse;
using testing::stringLiterals;

const std::string manualPage = fileText(CAMKNOB_MAN_DIR "/camknob.1");

// A camera whose brightness refuses every write, and one with pan/tilt
// controls that refuse theirs.
constexpr std::string_view refusingCameras = R"({"devices": [
  {"objectId": 33, "properties": {"uid ": "A1", "lnam": "Cam"},
   "controls": [
     {"objectId": 41, "properties": {"clas": "brit", "fcnv": 1, "fcnr": [0, 9], "fcam": 0,
                                     "fcoo": 1},
      "settable": ["fcnv", "fcam", "fcoo"], "refuse": {"fcnv": -50, "fcam": -50, "fcoo": -50}}]},
  {"objectId": 50, "properties": {"uid ": "B2", "lnam": "PTZ"},
   "controls": [
     {"objectId": 51, "properties": {"clas": "ptab", "fcnd": [0, 0, 0, 0, 0, 0, 0, 0]},
      "settable": ["fcnd"], "refuse": {"fcnd": 1852797029}},
     {"objectId": 52, "properties": {"clas": "ptrl", "fcnd": [0, 0, 0, 0]},
      "settable": ["fcnd"], "refuse": {"fcnd": 1852797029}}]}]})";

// A run that fails, and the parts of its message the page names by a
// placeholder (KIND, STATUS, WORD).
struct FailingRun {
  std::vector<std::string_view> texts;
  std::vector<std::pair<std::string, std::string>> placeholders;
};

const std::vector<std::pair<std::string, std::string>> brightnessRefused{
    {"brightness", "KIND"}, {"-50 (0xffffffce)", "STATUS"}};
const std::vector<std::pair<std::string, std::string>> panTiltRefused{
    {"1852797029 (nope)", "STATUS"}};

const FailingRun failingRuns[] = {
    {{"set", "--device", "Nothing", "--control", "brightness", "--value", "1"}, {}},
    {{"zoomIn"}, {{"zoomIn", "WORD"}}},
    {{"set", "--control", "brightness"}, {}},
    {{"auto", "--control", "brightness"}, {}},
    {{"on", "--control", "brightness"}, {}},
    {{"move"}, {}},
    {{"absolute"}, {}},
    {{"set", "--control", "brightness", "--value", "2"}, brightnessRefused},
    {{"auto", "--control", "brightness", "--enabled", "on"}, brightnessRefused},
    {{"on", "--control", "brightness", "--enabled", "off"}, brightnessRefused},
    {{"move", "--device", "PTZ", "--pan", "1"}, panTiltRefused},
    {{"home", "--device", "PTZ"}, panTiltRefused},
    {{"absolute", "--device", "PTZ", "--pan", "5"}, panTiltRefused},
};

// Each failing run's message as the tool gives it.
std::vector<std::string> givenMessages() {
  std::vector<std::string> messages;
  for (const FailingRun& run : failingRuns) {
    testing::useFixture(refusingCameras);
    const testing::Outcome outcome = testing::run(run.texts);
    EXPECT_EQ(outcome.status, 1) << run.texts.front();
    messages.push_back(nlohmann::json::parse(outcome.output).value("error", ""));
  }
  return messages;
}

TEST(ManualPage, ListsEveryMessageOfTheToolAndNoOther) {
  const std::vector<std::string> given = givenMessages();
  std::set<std::string> templates;
  for (std::size_t run = 0; run < given.size(); ++run) {
    std::string message = given[run];
    for (const auto& [text, placeholder] : failingRuns[run].placeholders) {
      const std::size_t at = message.find(text);
      ASSERT_NE(at, std::string::npos) << message << " has no " << text;
      message.replace(at, text.size(), placeholder);
    }
    EXPECT_TRUE(templates.insert(message).second) << message << " from two runs";
  }
  const std::vector<std::string> tags =
      testing::paragraphTags(testing::sectionLines(manualPage, "DIAGNOSTICS"));
  EXPECT_EQ(std::set<std::string>(tags.begin(), tags.end()), templates);
  EXPECT_EQ(tags.size(), templates.size());
}

// A message added to the commands without a run above that gives it would
// escape the check above; every piece of one in the sources is in a message.
TEST(ManualPage, EveryMessageTextOfTheSourcesIsGivenAbove) {
  const std::vector<std::string> given = givenMessages();
  const std::string profilePage = fileText(CAMKNOB_MAN_DIR "/camknob-profile.1");
  const std::string profileMessages =
      testing::shownText(testing::sectionLines(profilePage, "DIAGNOSTICS"));
  int checked = 0;
  for (const auto& entry :
       std::filesystem::directory_iterator(CAMKNOB_SOURCE_DIR "/src/commands")) {
    if (entry.path().extension() != ".cpp") continue;
    for (const std::string& literal : stringLiterals(fileText(entry.path().string()))) {
      if (!isProse(literal)) continue;
      ++checked;
      bool found = profileMessages.find(literal) != std::string::npos;
      for (const std::string& message : given)
        found = found || message.find(literal) != std::string::npos;
      EXPECT_TRUE(found) << entry.path().filename() << ": \"" << literal << "\"";
    }
  }
  EXPECT_GE(checked, 10);  // the scan found the messages at all
}

TEST(ManualPage, ShowsTheLineOfAnAnswerThatCannotBeEncoded) {
  const std::string output = testing::shownText(testing::sectionLines(manualPage, "OUTPUT"));
  EXPECT_NE(output.find(std::string(fallbackResponseLine)), std::string::npos);
  const std::string error = nlohmann::json::parse(fallbackResponseLine)["error"];
  const std::string diagnostics =
      testing::shownText(testing::sectionLines(manualPage, "DIAGNOSTICS"));
  EXPECT_NE(diagnostics.find(error), std::string::npos);
}

TEST(ManualPage, NamesEveryKindOfTheTool) {
  const std::string options = testing::shownText(testing::sectionLines(manualPage, "OPTIONS"));
  const std::string lead = "The kinds the tool has names for are ";
  const std::size_t start = options.find(lead);
  ASSERT_NE(start, std::string::npos);
  const std::size_t end = options.find(';', start);
  std::string list = options.substr(start + lead.size(), end - start - lead.size());
  std::multiset<std::string> named;
  std::size_t at = 0;
  while (at < list.size()) {
    const std::size_t comma = list.find(", ", at);
    const std::size_t last = list.find(" and ", at);
    const std::size_t stop = std::min(comma, last);
    named.insert(list.substr(at, stop - at));
    if (stop == std::string::npos) break;
    at = stop + (stop == comma ? 2 : 5);
  }
  std::multiset<std::string> kinds;
  for (const ControlKind& kind : controlKinds) kinds.insert(std::string(kind.name));
  EXPECT_EQ(named, kinds);
}

}  // namespace
}  // namespace camknob
