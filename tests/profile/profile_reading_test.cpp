// Reading profile documents: what is accepted, and a clear message, with the
// place, for everything else.
#include "profile/profile_reading.h"

#include <gtest/gtest.h>

#include <string>

#include "discovery/list_devices.h"
#include "media/sim/sim_fixture.h"
#include "profile/profile_text.h"
#include "profile/saved_profile.h"
#include "support/sim_support.h"

namespace camknob {
namespace {

std::string document(const std::string& controls) {
  return R"({"camknobProfile": 1, "uid": "U", "name": "N", "controls": [)" + controls + "]}";
}

TEST(ProfileReading, ReadsEveryKindOfEntry) {
  const ProfileReading reading = readProfile(document(
      R"({"kind": "brightness", "valueMode": "native", "value": -12.5},
         {"kind": "exposure", "automatic": false, "valueMode": "absolute", "value": 0.0333},
         {"kind": "panTiltAbsolute", "on": true, "nativeData": [0, 255, 7]},
         {"kind": "hue ", "on": false}, {"kind": "0x0098f901", "automatic": true})"));
  ASSERT_TRUE(reading.profile) << reading.fault;
  const Profile& profile = *reading.profile;
  EXPECT_EQ(profile.uid, "U");
  EXPECT_EQ(profile.name, "N");
  ASSERT_EQ(profile.controls.size(), 5u);
  EXPECT_EQ(profile.controls[0].value, -12.5);
  EXPECT_EQ(profile.controls[0].valueMode, ValueMode::Native);
  EXPECT_FALSE(profile.controls[0].automatic);
  // One rounding, from the text to the nearest float.
  EXPECT_EQ(profile.controls[1].value, static_cast<double>(0.0333f));
  EXPECT_EQ(profile.controls[1].automatic, false);
  EXPECT_EQ(profile.controls[2].nativeData, (std::vector<std::uint8_t>{0, 255, 7}));
  EXPECT_EQ(profile.controls[2].on, true);
  EXPECT_EQ(profile.controls[3].kind, "hue ");
  EXPECT_EQ(profile.controls[4].automatic, true);
}

TEST(ProfileReading, RefusesWhatIsNotAProfileWithItsPlace) {
  struct Case {
    std::string text;
    std::string fault;
  };
  const Case cases[] = {
      {"", "line 1, column 1: unexpected end of input; expected a value"},
      {"{\"camknobProfile\": 1,\n \"uid\": }", "line 2, column 9: invalid literal"},
      {"[1, 2]", "not a camknob profile (no \"camknobProfile\": 1)"},
      {R"({"devices": [], "ok": true})", "not a camknob profile (no \"camknobProfile\": 1)"},
      {R"({"camknobProfile": 2, "uid": "U", "name": "N", "controls": []})",
       "camknobProfile: this tool reads profiles of version 1"},
      {R"({"camknobProfile": "1", "uid": "U", "name": "N", "controls": []})",
       "camknobProfile: this tool reads profiles of version 1"},
      {R"({"camknobProfile": 1, "uid": "U", "name": "N", "controls": [], "extra": 0})",
       "profile: unknown key \"extra\""},
      {R"({"camknobProfile": 1, "uid": "U", "uid": "V", "name": "N", "controls": []})",
       "profile: key \"uid\" given twice"},
      {R"({"camknobProfile": 1, "name": "N", "controls": []})", "profile: no \"uid\""},
      {R"({"camknobProfile": 1, "uid": 7, "name": "N", "controls": []})",
       "uid: expected a string, not a number"},
      {R"({"camknobProfile": 1, "uid": "U", "name": "N", "controls": {}})",
       "controls: expected an array, not an object"},
      {document("7"), "controls[0]: expected an object, not a number"},
      {document(R"({"value": 1, "valueMode": "native"})"), "controls[0]: no \"kind\""},
      {document(R"({"kind": "brightnes", "on": true})"),
       "controls[0].kind: unknown kind \"brightnes\""},
      {document(R"({"kind": "0x0098F901", "on": true})"),
       "controls[0].kind: unknown kind \"0x0098F901\""},
      {document(R"({"kind": "brit\u00e9", "on": true})"), "controls[0].kind: unknown kind"},
      {document(R"({"kind": null, "on": true})"), "controls[0].kind: expected a string, not null"},
      {document(R"({"kind": "zoom"})"), "controls[0]: nothing to apply"},
      {document(R"({"kind": "zoom", "on": 1})"),
       "controls[0].on: expected true or false, not a number"},
      {document(R"({"kind": "zoom", "automatic": "yes"})"),
       "controls[0].automatic: expected true or false, not a string"},
      {document(R"({"kind": "zoom", "value": 3})"),
       "controls[0]: \"value\" and \"valueMode\" go together"},
      {document(R"({"kind": "zoom", "value": 3, "valueMode": "raw"})"),
       "controls[0].valueMode: expected \"absolute\" or \"native\""},
      {document(R"({"kind": "zoom", "value": "3", "valueMode": "native"})"),
       "controls[0].value: expected a number, not a string"},
      {document(R"({"kind": "zoom", "value": 1e39, "valueMode": "native"})"),
       "controls[0].value: beyond the range of a 32-bit float"},
      {document(R"({"kind": "zoom", "value": 3, "valueMode": "native", "speed": 1})"),
       "controls[0]: unknown key \"speed\""},
      {document(R"({"kind": "zoom", "nativeData": [1]})"),
       "controls[0].nativeData: only a panTiltAbsolute control has one"},
      {document(R"({"kind": "panTiltAbsolute", "nativeData": [1, 256]})"),
       "controls[0].nativeData[1]: expected an integer from 0 to 255"},
      {document(R"({"kind": "panTiltAbsolute", "nativeData": [1.0]})"),
       "controls[0].nativeData[0]: expected an integer from 0 to 255"},
      {document(R"({"kind": "panTiltAbsolute", "nativeData": [-1]})"),
       "controls[0].nativeData[0]: expected an integer from 0 to 255"},
      {document(R"({"kind": "panTiltAbsolute", "nativeData": )" + std::string(64, '[') +
                std::string(64, ']') + "}"),
       "nested deeper than 32 levels"},
      {document("{\"kind\": \"zoom\", \"on\": true}") + std::string(1, '\0'),
       "unexpected text after the value"},
      {"{\"camknobProfile\": 1, \"uid\": \"\xff\"}", "ill-formed UTF-8 in a string"},
      {std::string(maxProfileBytes + 1, ' '), "larger than 1 MiB"},
  };
  for (const Case& c : cases) {
    const ProfileReading reading = readProfile(c.text);
    EXPECT_FALSE(reading.profile) << c.text.substr(0, 200);
    EXPECT_NE(reading.fault.find(c.fault), std::string::npos)
        << c.text.substr(0, 200) << "\n gave: " << reading.fault << "\n wanted: " << c.fault;
  }
}

TEST(ProfileReading, SixtyFourBytesOfPositionAreTheMost) {
  std::string bytes = "0";
  for (int i = 1; i < 64; ++i) bytes += ", 0";
  const std::string within = R"({"kind": "panTiltAbsolute", "nativeData": [)" + bytes + "]}";
  EXPECT_TRUE(readProfile(document(within)).profile);
  const std::string beyond = R"({"kind": "panTiltAbsolute", "nativeData": [)" + bytes + ", 0]}";
  EXPECT_EQ(readProfile(document(beyond)).fault, "controls[0].nativeData: more than 64 bytes");
}

TEST(ProfileReading, KindsAreTableNamesCodesOrPrivateIds) {
  using namespace std::string_view_literals;
  for (const std::string_view kind : {"brightness"sv, "panTiltRelative"sv, "roll"sv, "hflp"sv,
                                      "hue "sv, "\x01\x02\x03\x04"sv, "0x0098f901"sv})
    EXPECT_TRUE(isWellFormedKind(kind)) << kind;
  for (const std::string_view kind :
       {""sv, "brightnes"sv, "Brightness"sv, "abc"sv, "abcde"sv, "0x0098f90"sv, "0x0098f901a"sv,
        "0x0098F901"sv, "0x0098g901"sv, "\xc3\xa9tat"sv})
    EXPECT_FALSE(isWellFormedKind(kind)) << kind;
}

// A saved profile reads back as it was, for every control of the demo
// system: every kind, value, flag and byte.
TEST(ProfileReading, ASavedProfileReadsBackUnchanged) {
  testing::useFixture(sim::demoFixtureText());
  for (const CameraDevice& device : listDevices()) {
    const Profile saved = savedProfile(device);
    ASSERT_FALSE(saved.controls.empty());
    const auto text = profileText(saved);
    ASSERT_TRUE(text);
    const ProfileReading reading = readProfile(*text);
    ASSERT_TRUE(reading.profile) << reading.fault << "\n" << *text;
    EXPECT_EQ(reading.profile->uid, saved.uid);
    EXPECT_EQ(reading.profile->name, saved.name);
    ASSERT_EQ(reading.profile->controls.size(), saved.controls.size());
    for (std::size_t i = 0; i < saved.controls.size(); ++i) {
      const ProfileControl& a = saved.controls[i];
      const ProfileControl& b = reading.profile->controls[i];
      EXPECT_EQ(a.kind, b.kind);
      EXPECT_EQ(a.automatic, b.automatic) << a.kind;
      EXPECT_EQ(a.on, b.on) << a.kind;
      EXPECT_EQ(a.valueMode, b.valueMode) << a.kind;
      EXPECT_EQ(a.value, b.value) << a.kind;
      EXPECT_EQ(a.nativeData, b.nativeData) << a.kind;
    }
  }
}

}  // namespace
}  // namespace camknob
