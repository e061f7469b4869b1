#include "commands/device_selection.h"

#include <gtest/gtest.h>

#include "support/records.h"

namespace camknob {
namespace {

CameraDevice device(std::uint32_t objectId, std::string uid, std::string name) {
  return CameraDevice{objectId, std::move(uid), std::move(name), std::nullopt, {}};
}

std::optional<std::uint32_t> chosen(const std::vector<CameraDevice>& devices,
                                    std::vector<std::string_view> texts) {
  const CameraDevice* picked =
      selectedDevice(devices, commandRequestOf(CommandLine{std::move(texts)}));
  if (picked == nullptr) return std::nullopt;
  return picked->objectId;
}

TEST(SelectedDevice, Rules) {
  const std::vector<CameraDevice> devices{
      device(1, "A1", "Studio Camera"), device(2, "camera", "Camera"),
      device(3, "B2", "Caf\xc3\xa9 Cam"), device(33, "C3", "Other")};
  struct Case {
    std::vector<std::string_view> texts;
    std::optional<std::uint32_t> device;
  };
  const Case cases[] = {
      {{"set"}, 1},
      {{"set", "--device"}, 1},            // as the last text: missing
      {{"set", "--device", "camera"}, 1},  // first in list order wins, by containment
      {{"set", "--device", "CAMERA"}, 1},
      {{"set", "--device", "B2"}, 3},             // uid
      {{"set", "--device", "b2"}, std::nullopt},  // uid is case-sensitive
      {{"set", "--device", "other"}, 33},
      {{"set", "--device", "33"}, std::nullopt},  // object id never matched
      {{"set", "--device", ""}, std::nullopt},
      {{"set", "--device", "Caf\xc3\xa9"}, 3},
      {{"set", "--device", "Other", "--device", "A1"}, 33},
      {{"set", "--device", "--control", "brightness"}, std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(chosen(devices, c.texts), c.device) << c.texts.back();
}

// Names and texts that overlap themselves, where a search that skips ahead
// too far misses a match.
TEST(SelectedDevice, ContainmentFindsOverlappingMatches) {
  struct Case {
    std::string name;
    std::string_view wanted;
    bool found;
  };
  const Case cases[] = {
      {"aaab", "AAB", true},         {"ababac", "abac", true},
      {"abababx", "ababx", true},    {"ABCABDABCABE", "abcabe", true},
      {"aabaabaaa", "aabaaa", true}, {"abcab", "abcabc", false},
      {"Cam", "camera", false},      {"xCAMy", "am", true},
      {"aaaa", "aaaaa", false},
  };
  for (const Case& c : cases) {
    const std::vector<CameraDevice> devices{device(7, "U", c.name)};
    EXPECT_EQ(chosen(devices, {"set", "--device", c.wanted}).has_value(), c.found)
        << c.name << " / " << c.wanted;
  }
}

// A 20,001-character text against a 1 MiB name: the search is linear in
// the lengths (it used to compare them character against character, 17 s).
TEST(SelectedDevice, LongTextAgainstLongName) {
  const std::string name(std::size_t(1) << 20, 'a');
  const std::string missing = std::string(20000, 'A') + "b";
  const std::string present = "b" + std::string(20000, 'A');
  const std::vector<CameraDevice> devices{device(1, "U1", name),
                                          device(2, "U2", name + "b" + name)};
  EXPECT_EQ(chosen(devices, {"set", "--device", present}), 2u);
  EXPECT_EQ(chosen({devices[0]}, {"set", "--device", missing}), std::nullopt);
}

TEST(SelectedDevice, EmptyListAndEmptyNames) {
  EXPECT_EQ(chosen({}, {"set"}), std::nullopt);
  const std::vector<CameraDevice> devices{device(1, "A1", "Named"), device(2, "B2", "")};
  EXPECT_EQ(chosen(devices, {"set", "--device", ""}), 2u);
  EXPECT_EQ(chosen({device(4, "", "X")}, {"set", "--device", ""}), 4u);
}

TEST(ControlOfKind, FirstExactMatch) {
  CameraDevice camera = device(1, "A", "Cam");
  for (const std::uint32_t id : {10u, 11u, 12u})
    camera.controls.push_back(testing::bareControl(id, id == 10 ? "zoom" : "brightness"));
  ASSERT_NE(controlOfKind(camera, "brightness"), nullptr);
  EXPECT_EQ(controlOfKind(camera, "brightness")->objectId, 11u);
  EXPECT_EQ(controlOfKind(camera, "Brightness"), nullptr);
  EXPECT_EQ(controlOfKind(camera, "focus"), nullptr);
}

}  // namespace
}  // namespace camknob
