#include "media/sim/sim_fixture.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "media/sim/sim_fixture_file.h"
#include "text/one_line.h"

namespace camknob::sim {
namespace {

System parsed(std::string_view text) {
  FixtureLoad loaded = parseFixture(text);
  EXPECT_TRUE(loaded.system) << loaded.fault;
  return loaded.system ? std::move(*loaded.system) : System{};
}

TEST(SimFixture, BuildsTheSystemObjectDevicesAndControls) {
  const System system = parsed(R"({"devices": [
    {"objectId": 33, "properties": {"uid ": "A1", "lnam": "Cam", "lmak": "Acme"},
     "controls": [{"objectId": 41, "properties": {"clas": "brit", "fcnv": 0.1, "fcnr": [0, "inf"],
                   "fcav": "nan", "fcam": 4294967295, "fcnd": []},
                   "settable": ["fcnv", "fcoo"], "refuse": {"fcam": -50}},
                  {"objectId": 42, "properties": {"clas": 1885433376}}]},
    {"objectId": 60, "properties": {"uid ": "B2"}}]})");
  EXPECT_EQ(idsOf(system.objects.at(1).properties.at(fourCharCode("dev#"))),
            (std::vector<ObjectId>{33, 60}));
  EXPECT_EQ(idsOf(system.objects.at(33).properties.at(fourCharCode("ownd"))),
            (std::vector<ObjectId>{41, 42}));
  EXPECT_EQ(system.objects.at(60).properties.count(fourCharCode("ownd")), 0u);
  EXPECT_EQ(system.objects.at(33).properties.at(fourCharCode("lmak")).text(), "Acme");

  const Object& control = system.objects.at(41);
  EXPECT_EQ(uint32Of(control.properties.at(fourCharCode("clas"))), fourCharCode("brit"));
  EXPECT_EQ(float32Of(control.properties.at(fourCharCode("fcnv"))), 0.1f);
  EXPECT_TRUE(std::isnan(float32Of(control.properties.at(fourCharCode("fcav")))));
  EXPECT_TRUE(std::isinf(rangeOf(control.properties.at(fourCharCode("fcnr"))).mMaximum));
  EXPECT_EQ(uint32Of(control.properties.at(fourCharCode("fcam"))), 4294967295u);
  EXPECT_TRUE(control.properties.at(fourCharCode("fcnd")).bytes().empty());
  EXPECT_EQ(control.settable, (FlatSet<std::uint32_t>{fourCharCode("fcnv"), fourCharCode("fcoo")}));
  EXPECT_EQ(control.refuse.at(fourCharCode("fcam")), -50);
  EXPECT_EQ(uint32Of(system.objects.at(42).properties.at(fourCharCode("clas"))),
            fourCharCode("pan "));
}

TEST(SimFixture, FaultsNameWhereAndWhat) {
  const std::string hugeInteger =
      R"({"devices": [{"objectId": 2, "properties": {"fcnv": 1)" + std::string(400, '0') + "}}]}";
  const std::pair<std::string_view, std::string_view> cases[] = {
      {R"({"devices": [)", "parse error"},
      {R"([])", "fixture: expected an object"},
      {R"({"cameras": []})", "fixture: unknown key \"cameras\""},
      {R"({"devices": {}})", "expected \"devices\" to be an array"},
      {R"({"devices": [{"properties": {}}]})", "devices[0]: missing \"objectId\""},
      {R"({"devices": [{"objectId": -1}]})", "devices[0].objectId: expected an integer"},
      {R"({"devices": [{"objectId": 1}]})", "devices[0].objectId: 1 is the system object"},
      {R"({"devices": [{"objectId": 0}]})", "devices[0].objectId: expected an integer from 2"},
      {R"({"devices": [{"objectId": 4294967296}]})", "devices[0].objectId: expected an integer"},
      {R"({"devices": [{"objectId": 2}, {"objectId": 3, "controls": [{"objectId": 2}]}]})",
       "devices[1].controls[0].objectId: 2 is used twice"},
      {R"({"devices": [{"objectId": 2, "properties": {"uid": "x"}}]})",
       "devices[0].properties.uid: unknown selector \"uid\""},
      {R"({"devices": [{"objectId": 2, "properties": {"dev#": [1]}}]})", "unknown selector"},
      {R"({"devices": [{"objectId": 2, "properties": {"fcam": 4294967296}}]})",
       "devices[0].properties.fcam: expected an integer from 0 to 4294967295"},
      {R"({"devices": [{"objectId": 2, "properties": {"fcoo": 1.5}}]})", "expected an integer"},
      {R"({"devices": [{"objectId": 2, "properties": {"clas": "bri"}}]})",
       "expected a four-character class code"},
      {R"({"devices": [{"objectId": 2, "properties": {"fcnv": "1"}}]})", "expected a number"},
      {R"({"devices": [{"objectId": 2, "properties": {"fcnr": [1]}}]})",
       "expected [minimum, maximum]"},
      {R"({"devices": [{"objectId": 2, "properties": {"fcnd": [1, 256]}}]})",
       "devices[0].properties.fcnd[1]: expected an integer from 0 to 255"},
      {R"({"devices": [{"objectId": 2, "properties": {"lnam": 5}}]})", "expected a string"},
      {R"({"devices": [{"objectId": 2, "settable": ["fcnx"]}]})",
       "devices[0].settable[0]: unknown selector"},
      {R"({"devices": [{"objectId": 2, "refuse": {"fcnv": 0}}]})",
       "devices[0].refuse.fcnv: expected a non-zero 32-bit status"},
      {R"({"devices": [{"objectId": 2, "refuse": {"fcnv": -0}}]})",
       "devices[0].refuse.fcnv: expected a non-zero 32-bit status"},
      {R"({"devices": [{"objectId": 2, "refuse": {"fcnv": 18446744073709551615}}]})",
       "devices[0].refuse.fcnv: expected a non-zero 32-bit status"},
      {R"({"devices": [{"objectId": 2, "refuse": {"fcnv": 4294967296}}]})",
       "expected a non-zero 32-bit status"},
      {R"({"devices": [{"objectId": 2, "refuse": {"fcnv": -2147483649}}]})",
       "expected a non-zero 32-bit status"},
      // Numbers beyond a double stop the load like any other fault.
      {R"({"devices": [], "x": 1e400})", "number overflow"},
      {hugeInteger, "number overflow"},
      // The whole text is the fixture, NUL bytes and all.
      {std::string_view("{\"devices\": []}\0junk {{{", 25), "a NUL byte at byte 15"},
      {R"({"devices": []} {"devices": []})", "parse error"},
      {R"({"devices": [], "devices": []})", "fixture: \"devices\" is given twice"},
      {R"({"devices": [{"objectId": 2, "properties": {"lnam": "a", "lnam": "b"}}]})",
       "devices[0].properties.lnam: is given twice"},
      {R"({"devices": [{"objectId": 2, "objectId": 3}]})",
       "devices[0]: \"objectId\" is given twice"},
      {R"({"devices": [{"objectId": 2, "properties": {"fcnr": [1, [2]]}}]})",
       "devices[0].properties.fcnr[1]: expected a number"},
      {R"({"devices": [{"objectId": 2, "properties": {"fcnr": [1, "x", 3]}}]})",
       "devices[0].properties.fcnr: expected [minimum, maximum]"},
      {R"({"devices": [5]})", "devices[0]: expected an object"},
      {R"({"devices": [{"objectId": 2, "controls": [{"objectId": 3}, 7]}]})",
       "devices[0].controls[1]: expected an object"},
      {R"({"devices": [{"objectId": 2}, {"objectId": 3, "settable": ["fcnv", 5]}]})",
       "devices[1].settable[1]: expected a selector"},
      {R"({"devices": [{"objectId": 2, "controls": [{"objectId": 3, "controls": []}]}]})",
       "devices[0].controls[0]: unknown key \"controls\""},
      {R"({"devices": [{"objectId": 2, "menu": []}]})", "devices[0]: unknown key \"menu\""},
      {R"({"devices": [{"objectId": 2, "controls": [{"objectId": 3, "menu": {}}]}]})",
       "devices[0].controls[0].menu: expected an array of items"},
      {R"({"devices": [{"objectId": 2, "controls": [{"objectId": 3, "menu": [1]}]}]})",
       "devices[0].controls[0].menu[0]: expected an object"},
      {R"({"devices": [{"objectId": 2, "controls": [{"objectId": 3,
           "menu": [{"value": 0, "name": "a"}, {"name": "b"}]}]}]})",
       "devices[0].controls[0].menu[1]: missing \"value\""},
      {R"({"devices": [{"objectId": 2, "controls": [{"objectId": 3, "menu": [{"value": 0}]}]}]})",
       "devices[0].controls[0].menu[0]: missing \"name\""},
      {R"({"devices": [{"objectId": 2, "controls": [{"objectId": 3,
           "menu": [{"value": 1, "name": "a"}, {"value": 1, "name": "b"}]}]}]})",
       "devices[0].controls[0].menu[1]: 1 is given twice"},
      {R"({"devices": [{"objectId": 2, "controls": [{"objectId": 3,
           "menu": [{"value": -1, "name": "a"}]}]}]})",
       "devices[0].controls[0].menu[0].value: expected an integer from 0 to 4294967295"},
      {R"({"devices": [{"objectId": 2, "controls": [{"objectId": 3,
           "menu": [{"value": 1, "name": 1.5}]}]}]})",
       "devices[0].controls[0].menu[0].name: expected a string, or the 64-bit integer"},
      {R"({"devices": [{"objectId": 2, "controls": [{"objectId": 3,
           "menu": [{"value": 1, "name": 9223372036854775808}]}]}]})",
       "devices[0].controls[0].menu[0].name: expected a string, or the 64-bit integer"},
      {R"({"devices": [{"objectId": 2, "controls": [{"objectId": 3,
           "menu": [{"value": 1, "name": "a", "label": "b"}]}]}]})",
       "devices[0].controls[0].menu[0]: unknown key \"label\""},
      {R"({"devices": [{"objectId": 2, "controls": [{"objectId": 3,
           "menu": [{"value": 1, "value": 2, "name": "a"}]}]}]})",
       "devices[0].controls[0].menu[0]: \"value\" is given twice"},
  };
  for (const auto& [text, fault] : cases) {
    const FixtureLoad loaded = parseFixture(text);
    EXPECT_FALSE(loaded.system) << text;
    EXPECT_NE(loaded.fault.find(fault), std::string::npos) << text << " gave: " << loaded.fault;
    EXPECT_EQ(loaded.fault.find('\n'), std::string::npos);
  }
}

// Keys, selectors and broken text from the file are quoted in the fault with
// their control characters escaped, so that it stays one line.
TEST(SimFixture, FaultsStayOnOneLine) {
  const std::string_view cases[] = {
      "{\"devices\": [{\"objectId\": 2, \"properties\": {\"ln\\nam\": 1}}]}",
      "{\"devices\": [{\"objectId\": 2, \"na\\r\\nme\": 1}]}",
      "{\"de\\u0001vices\": []}",
      "{\"devices\": [\n\n\n",
      "{\"devices\": [{\"objectId\": 2, \"settable\": [\"a\\nb\"]}]}",
  };
  for (const std::string_view text : cases) {
    const FixtureLoad loaded = parseFixture(text);
    ASSERT_FALSE(loaded.system) << text;
    for (const char c : loaded.fault)
      EXPECT_GE(static_cast<unsigned char>(c), 0x20u) << loaded.fault;
  }
  EXPECT_EQ(oneLine("a\nb\x7f\x01"
                    "c\xc3\xa9"),
            "a\\x0ab\\x7f\\x01c\xc3\xa9");
}

TEST(SimFixture, SavedTextLoadsBackToTheSameSystem) {
  const std::string original = R"({"devices": [
    {"objectId": 33, "properties": {"uid ": "A1", "lnam": "Cam \/ \u00e9", "gone": 1},
     "controls": [{"objectId": 41, "properties": {"clas": 1, "fcnv": 1.00000011920928955078125,
                   "fcnr": ["-inf", "nan"], "fcdr": [0, 255], "fcav": -0.0,
                   "fcar": [-0.0, 2.2756484e-12]},
                   "settable": ["fcnv", "lmak"], "refuse": {"fcoo": 2147483648}}]},
    {"objectId": 60, "properties": {"uid ": "B2", "lnam": "Other"}, "controls": []}]})";
  const System first = parsed(original);
  const std::string saved = fixtureText(first);
  const System second = parsed(saved);
  EXPECT_EQ(fixtureText(second), saved);
  EXPECT_EQ(float32Of(second.objects.at(41).properties.at(fourCharCode("fcnv"))),
            float32Of(first.objects.at(41).properties.at(fourCharCode("fcnv"))));
  EXPECT_EQ(second.objects.at(41).refuse.at(fourCharCode("fcoo")), INT32_MIN);
  // Negative zero stays negative (found by fuzzing: it came back as 0).
  EXPECT_TRUE(std::signbit(float32Of(second.objects.at(41).properties.at(fourCharCode("fcav")))));
  EXPECT_TRUE(
      std::signbit(rangeOf(second.objects.at(41).properties.at(fourCharCode("fcar"))).mMinimum));
  EXPECT_EQ(second.objects.at(60).properties.count(fourCharCode("ownd")), 1u);
  EXPECT_EQ(uint32Of(second.objects.at(33).properties.at(fourCharCode("gone"))), 1u);
  const auto document = nlohmann::json::parse(saved);
  EXPECT_EQ(document["devices"][0]["controls"][0]["properties"]["fcnr"],
            nlohmann::json::parse(R"(["-inf", "nan"])"));
  EXPECT_EQ(document["devices"][0]["controls"][0]["properties"]["clas"], 1);
}

// A menu's items, named or numbered, in the order given; saved and loaded
// back the same; read per item with the item's value as the qualifier.
TEST(SimFixture, MenusLoadSaveAndAnswerPerItem) {
  const std::string original = R"({"devices": [{"objectId": 2, "controls": [
    {"objectId": 3, "properties": {"clas": "pwfq"},
     "menu": [{"value": 2, "name": "60 Hz"}, {"value": 0, "name": "Off \"x\""},
              {"value": 7, "name": -9223372036854775808}]}]}]})";
  const System first = parsed(original);
  const std::string saved = fixtureText(first);
  const System second = parsed(saved);
  EXPECT_EQ(fixtureText(second), saved);
  EXPECT_EQ(idsOf(second.objects.at(3).properties.at(selectors::menuItems)),
            (std::vector<ObjectId>{2, 0, 7}));
  EXPECT_EQ(second.objects.at(3).menu.at(0).name, "Off \"x\"");
  EXPECT_EQ(second.objects.at(3).menu.at(7).number, INT64_MIN);
  EXPECT_EQ(nlohmann::json::parse(saved)["devices"][0]["controls"][0]["menu"][2],
            nlohmann::json::parse(R"({"value": 7, "name": -9223372036854775808})"));
}

TEST(SimFixture, SavedTextIsOneLinePerObjectAndReadable) {
  const System system = parsed(R"({"devices": [
    {"objectId": 33, "properties": {"uid ": "A1"}, "controls": [
      {"objectId": 41, "properties": {"clas": "brit", "fcnv": 0.1, "fcnr": [0, 255]}},
      {"objectId": 42, "properties": {"clas": 1, "fcnd": [1, 2]}, "settable": ["fcnd"],
       "refuse": {"fcnv": -50}}]},
    {"objectId": 60, "properties": {}}]})");
  EXPECT_EQ(fixtureText(system), R"({"devices": [
  {"objectId": 33, "properties": {"uid ": "A1"}, "controls": [
    {"objectId": 41, "properties": {"clas": "brit", "fcnr": [0, 255], "fcnv": 0.1}},
    {"objectId": 42, "properties": {"clas": 1, "fcnd": [1, 2]}, "settable": ["fcnd"], "refuse": {"fcnv": -50}}
  ]},
  {"objectId": 60, "properties": {}}
]}
)");
  EXPECT_EQ(fixtureText(System{}), "{\"devices\": []}\n");
}

// A change through the fixture file: applied to the file as it is then (not
// as this run read it), saved in one step, never through a name planted
// beside it.
TEST(SimFixture, CommitAppliesTheChangeToTheFileAsItIsNow) {
  const auto folder =
      std::filesystem::temp_directory_path() / ("camknob-commit-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const std::string path = (folder / "camera.json").string();
  const auto write = [](const std::string& where, std::string_view text) {
    std::ofstream(where, std::ios::binary) << text;
  };
  const auto read = [](const std::string& where) {
    std::ifstream file(where, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  };
  write(path, R"({"devices": [{"objectId": 2, "controls": [
    {"objectId": 3, "properties": {"fcnv": 1}, "settable": ["fcnv"]},
    {"objectId": 4, "properties": {"fcnv": 1}, "settable": ["fcnv"]}]}]})");
  // The old temporary name, planted as a link to a file that must survive.
  const std::string victim = (folder / "victim").string();
  write(victim, "keep");
  std::filesystem::create_symlink(victim, path + ".tmp-" + std::to_string(::getpid()));

  const auto setTo = [](ObjectId object, float value) {
    return [object, value](System& system) {
      auto& properties = system.objects.at(object).properties;
      if (properties.count(fourCharCode("fcnv")) == 0) return status::unknownProperty;
      properties[fourCharCode("fcnv")] = float32Value(value);
      return noErr;
    };
  };
  const auto valueIn = [](const System& system, ObjectId object) {
    return float32Of(system.objects.at(object).properties.at(fourCharCode("fcnv")));
  };

  // As this run read it: the run's changed system is what is saved.
  FixtureLoad loaded = loadFixture(path);
  ASSERT_TRUE(loaded.system) << loaded.fault;
  FixtureFile file{path, loaded.textHash};
  System changed = *loaded.system;
  ASSERT_EQ(setTo(3, 5)(changed), noErr);
  Commit first = commitChange(file, setTo(3, 5), changed);
  ASSERT_EQ(first.status, noErr);
  EXPECT_FALSE(first.system);  // the run's system is the file's
  EXPECT_EQ(valueIn(*loadFixture(path).system, 3), 5.0f);

  // Another run's change lands meanwhile: this run's next change goes to the
  // file as that left it, and the commit gives that system back.
  FixtureFile other{path, loadFixture(path).textHash};
  System otherChanged = *loadFixture(path).system;
  ASSERT_EQ(setTo(4, 7)(otherChanged), noErr);
  ASSERT_EQ(commitChange(other, setTo(4, 7), otherChanged).status, noErr);
  ASSERT_EQ(setTo(3, 6)(changed), noErr);
  Commit second = commitChange(file, setTo(3, 6), changed);
  ASSERT_EQ(second.status, noErr);
  ASSERT_TRUE(second.system);
  EXPECT_EQ(valueIn(*second.system, 4), 7.0f);
  const FixtureLoad now = loadFixture(path);
  EXPECT_EQ(valueIn(*now.system, 3), 6.0f);
  EXPECT_EQ(valueIn(*now.system, 4), 7.0f);

  // A change the file's system refuses writes nothing.
  other.textHash = 0;  // as if it had changed
  const std::string before = read(path);
  EXPECT_EQ(commitChange(
                other, [](System&) { return status::refused; }, changed)
                .status,
            status::refused);
  EXPECT_EQ(read(path), before);

  EXPECT_EQ(read(victim), "keep");
  // The fixture, the victim and the planted link: no temporary left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                          std::filesystem::directory_iterator()),
            3);
  // A file that is no fixture any more, or gone, cannot take a change.
  write(path, "{");
  EXPECT_EQ(commitChange(other, setTo(3, 1), changed).status, status::unspecified);
  FixtureFile missing{(folder / "missing.json").string(), 0};
  EXPECT_EQ(commitChange(missing, setTo(3, 1), changed).status, status::unspecified);
  std::filesystem::remove_all(folder);
}

TEST(SimFixture, DemoSystemAndShippedExamplesLoad) {
  const FixtureLoad demo = parseFixture(demoFixtureText());
  ASSERT_TRUE(demo.system) << demo.fault;
  EXPECT_EQ(idsOf(demo.system->objects.at(1).properties.at(fourCharCode("dev#"))).size(), 2u);
  for (const auto& entry : std::filesystem::directory_iterator(CAMKNOB_EXAMPLES_DIR)) {
    if (entry.path().extension() != ".json") continue;
    const FixtureLoad example = loadFixture(entry.path().string());
    EXPECT_TRUE(example.system) << entry.path() << ": " << example.fault;
  }
}

}  // namespace
}  // namespace camknob::sim
