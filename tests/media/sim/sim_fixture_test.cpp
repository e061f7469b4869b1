#include "media/sim/sim_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

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
  EXPECT_EQ(system.objects.at(33).properties.at(fourCharCode("lmak")).text, "Acme");

  const Object& control = system.objects.at(41);
  EXPECT_EQ(uint32Of(control.properties.at(fourCharCode("clas"))), fourCharCode("brit"));
  EXPECT_EQ(float32Of(control.properties.at(fourCharCode("fcnv"))), 0.1f);
  EXPECT_TRUE(std::isnan(float32Of(control.properties.at(fourCharCode("fcav")))));
  EXPECT_TRUE(std::isinf(rangeOf(control.properties.at(fourCharCode("fcnr"))).mMaximum));
  EXPECT_EQ(uint32Of(control.properties.at(fourCharCode("fcam"))), 4294967295u);
  EXPECT_TRUE(control.properties.at(fourCharCode("fcnd")).bytes.empty());
  EXPECT_EQ(control.settable,
            (std::set<std::uint32_t>{fourCharCode("fcnv"), fourCharCode("fcoo")}));
  EXPECT_EQ(control.refuse.at(fourCharCode("fcam")), -50);
  EXPECT_EQ(uint32Of(system.objects.at(42).properties.at(fourCharCode("clas"))),
            fourCharCode("pan "));
}

TEST(SimFixture, FaultsNameWhereAndWhat) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {R"({"devices": [)", "parse error"},
      {R"([])", "fixture: expected an object"},
      {R"({"cameras": []})", "fixture: unknown key \"cameras\""},
      {R"({"devices": {}})", "expected \"devices\" to be an array"},
      {R"({"devices": [{"properties": {}}]})", "devices[0]: missing \"objectId\""},
      {R"({"devices": [{"objectId": -1}]})", "devices[0].objectId: expected an integer"},
      {R"({"devices": [{"objectId": 1}]})", "devices[0].objectId: 1 is the system object"},
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
      {R"({"devices": [{"objectId": 2, "controls": [{"objectId": 3, "controls": []}]}]})",
       "devices[0].controls[0]: unknown key \"controls\""},
  };
  for (const auto& [text, fault] : cases) {
    const FixtureLoad loaded = parseFixture(text);
    EXPECT_FALSE(loaded.system) << text;
    EXPECT_NE(loaded.fault.find(fault), std::string::npos) << text << " gave: " << loaded.fault;
    EXPECT_EQ(loaded.fault.find('\n'), std::string::npos);
  }
}

TEST(SimFixture, SavedTextLoadsBackToTheSameSystem) {
  const std::string original = R"({"devices": [
    {"objectId": 33, "properties": {"uid ": "A1", "lnam": "Cam \/ \u00e9"},
     "controls": [{"objectId": 41, "properties": {"clas": 1, "fcnv": 1.00000011920928955078125,
                   "fcnr": ["-inf", "nan"], "fcdr": [0, 255]},
                   "settable": ["fcnv", "lmak"], "refuse": {"fcoo": 2147483648}}]},
    {"objectId": 60, "properties": {"uid ": "B2", "lnam": "Other"}, "controls": []}]})";
  const System first = parsed(original);
  const std::string saved = fixtureText(first);
  const System second = parsed(saved);
  EXPECT_EQ(fixtureText(second), saved);
  EXPECT_EQ(float32Of(second.objects.at(41).properties.at(fourCharCode("fcnv"))),
            float32Of(first.objects.at(41).properties.at(fourCharCode("fcnv"))));
  EXPECT_EQ(second.objects.at(41).refuse.at(fourCharCode("fcoo")), INT32_MIN);
  EXPECT_EQ(second.objects.at(60).properties.count(fourCharCode("ownd")), 1u);
  const auto document = nlohmann::json::parse(saved);
  EXPECT_EQ(document["devices"][0]["controls"][0]["properties"]["fcnr"],
            nlohmann::json::parse(R"(["-inf", "nan"])"));
  EXPECT_EQ(document["devices"][0]["controls"][0]["properties"]["clas"], 1);
}

TEST(SimFixture, SaveReplacesTheFileAndReportsAFailure) {
  const auto directory =
      std::filesystem::temp_directory_path() /
      ("camknob-fixture-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  std::filesystem::create_directories(directory);
  const std::string path = (directory / "camera.json").string();
  const System system = parsed(R"({"devices": [{"objectId": 2, "properties": {"lnam": "X"}}]})");
  ASSERT_EQ(saveFixture(system, path), noErr);
  const FixtureLoad loaded = loadFixture(path);
  ASSERT_TRUE(loaded.system) << loaded.fault;
  EXPECT_EQ(loaded.system->objects.at(2).properties.at(fourCharCode("lnam")).text, "X");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory),
                          std::filesystem::directory_iterator()),
            1);  // no temporary file left behind

  EXPECT_NE(saveFixture(system, (directory / "missing" / "camera.json").string()), noErr);
  const FixtureLoad absent = loadFixture((directory / "nothing.json").string());
  EXPECT_FALSE(absent.system);
  EXPECT_NE(absent.fault.find("cannot open"), std::string::npos);
  std::filesystem::remove_all(directory);
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
