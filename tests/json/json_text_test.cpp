#include "json/json_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>

#include "json/write_response.h"
#include "support/records.h"

namespace camknob {
namespace {

TEST(Utf8Repair, InvalidBytesBecomeReplacementCharacters) {
  const std::string r = "\xEF\xBF\xBD";
  const std::pair<std::string, std::string> cases[] = {
      {"USB Camera", "USB Camera"},
      {"Cam\xC3\xA9ra \xF0\x9D\x84\x9E", "Cam\xC3\xA9ra \xF0\x9D\x84\x9E"},
      {"\xC0\x80", r + r},                  // overlong NUL
      {"\xED\xA0\x80", r + r + r},          // a surrogate
      {"\xE2\x82", r + r},                  // cut short
      {"\xF5\x80\x80\x80", r + r + r + r},  // past U+10FFFF
      {"a\x80z", "a" + r + "z"},            // a lone continuation byte
      {"\xF4\x90\x80\x80", r + r + r + r},
      {std::string("nul\0kept", 8), std::string("nul\0kept", 8)},
  };
  for (const auto& [bytes, text] : cases) EXPECT_EQ(repairedUtf8(bytes), text);
}

using testing::bareControl;

CameraResponse oneControl(CameraControl control) {
  return CameraResponse{.ok = true,
                        .devices = {CameraDevice{.objectId = 33,
                                                 .uid = "A1B2C3D4",
                                                 .name = "USB Camera",
                                                 .manufacturer = std::nullopt,
                                                 .controls = {std::move(control)}}},
                        .error = std::nullopt};
}

std::string written(const CameraResponse& response) {
  std::ostringstream out;
  EXPECT_TRUE(writeResponse(response, out));
  return out.str();
}

// A stream that takes nothing: the writer says so instead of claiming success.
TEST(JsonText, WriterReportsALineThatCouldNotBeWritten) {
  struct Refusing : std::streambuf {
    int_type overflow(int_type) override { return traits_type::eof(); }
  } refusing;
  std::ostream out(&refusing);
  EXPECT_FALSE(writeResponse(CameraResponse{true, {}, std::nullopt}, out));
}

TEST(JsonText, EmptySuccessAndFailureResponses) {
  EXPECT_EQ(written(CameraResponse{true, {}, std::nullopt}), "{\"devices\":[],\"ok\":true}\n");
  EXPECT_EQ(written(CameraResponse{false, {}, "Camera device was not found."}),
            "{\"devices\":[],\"error\":\"Camera device was not found.\",\"ok\":false}\n");
}

TEST(JsonText, DocumentedListExampleByteForByte) {
  CameraControl control = bareControl(41);
  control.name = "Brightness";
  control.settable = true;
  control.valueMode = ValueMode::Native;
  control.value = 128;
  control.minimum = 0;
  control.maximum = 255;
  EXPECT_EQ(
      written(oneControl(control)),
      R"({"devices":[{"controls":[{"automaticSettable":false,"classCode":"brit","kind":"brightness","maximum":255,"minimum":0,"name":"Brightness","nativeDataSettable":false,"objectId":41,"onSettable":false,"settable":true,"value":128,"valueMode":"native"}],"name":"USB Camera","objectId":33,"uid":"A1B2C3D4"}],"ok":true})"
      "\n");
}

TEST(JsonText, EveryKeyPresentComesOutSortedAndParsesBack) {
  CameraControl control{.objectId = 4294967295u,
                        .kind = "panTiltAbsolute",
                        .classCode = "ptab",
                        .name = "Pan/Tilt",
                        .settable = true,
                        .valueMode = ValueMode::Absolute,
                        .value = -10.0,
                        .minimum = static_cast<double>(0.45f),
                        .maximum = 0.5,
                        .automatic = false,
                        .automaticSettable = true,
                        .on = true,
                        .onSettable = true,
                        .nativeData = std::vector<std::uint8_t>{0, 255, 16},
                        .nativeDataRange = std::vector<std::uint8_t>{},
                        .nativeDataSettable = true};
  CameraResponse response = oneControl(control);
  response.devices[0].manufacturer = "Acme";
  response.ok = false;
  response.error = "boom";
  const std::string line = written(response);

  const auto document = nlohmann::ordered_json::parse(line);
  const auto keysOf = [](const nlohmann::ordered_json& object) {
    std::vector<std::string> keys;
    for (const auto& item : object.items()) keys.push_back(item.key());
    return keys;
  };
  EXPECT_EQ(keysOf(document), (std::vector<std::string>{"devices", "error", "ok"}));
  const auto& device = document["devices"][0];
  EXPECT_EQ(keysOf(device),
            (std::vector<std::string>{"controls", "manufacturer", "name", "objectId", "uid"}));
  const auto& parsed = device["controls"][0];
  EXPECT_EQ(keysOf(parsed),
            (std::vector<std::string>{"automatic", "automaticSettable", "classCode", "kind",
                                      "maximum", "minimum", "name", "nativeData", "nativeDataRange",
                                      "nativeDataSettable", "objectId", "on", "onSettable",
                                      "settable", "value", "valueMode"}));
  EXPECT_EQ(parsed["objectId"].get<std::uint64_t>(), 4294967295u);
  EXPECT_EQ(parsed["minimum"].get<double>(), static_cast<double>(0.45f));
  EXPECT_EQ(parsed["nativeData"], nlohmann::json::parse("[0,255,16]"));
  EXPECT_EQ(parsed["name"], "Pan/Tilt");
  EXPECT_NE(line.find(R"("maximum":0.5,"minimum":0.44999998807907104,)"), std::string::npos);
  EXPECT_NE(line.find(R"("nativeData":[0,255,16],"nativeDataRange":[],)"), std::string::npos);
  EXPECT_NE(line.find(R"("value":-10,"valueMode":"absolute"})"), std::string::npos);
  EXPECT_NE(line.find(R"("name":"Pan\/Tilt")"), std::string::npos);
}

TEST(JsonText, ControlWithoutReadingsHasExactlySevenKeys) {
  const auto parsed = nlohmann::json::parse(written(oneControl(bareControl(7))));
  EXPECT_EQ(parsed["devices"][0]["controls"][0].size(), 7u);
  EXPECT_FALSE(parsed["devices"][0].contains("manufacturer"));
}

TEST(JsonText, NumbersTakeTheirShortestRoundTripForm) {
  struct Case {
    double value;
    const char* text;
  };
  const Case cases[] = {
      {255.0, "255"},
      {0.5, "0.5"},
      {-10.0, "-10"},
      {0.0, "0"},
      {static_cast<double>(0.1f), "0.10000000149011612"},
      {static_cast<double>(0.45f), "0.44999998807907104"},
      {0.0003, "0.0003"},
      {1234567.25, "1234567.25"},
      {9007199254740992.0, "9007199254740992"},
  };
  for (const Case& c : cases) {
    std::string out;
    ASSERT_TRUE(appendJsonNumber(out, c.value));
    EXPECT_EQ(out, c.text);
  }
  // Very large and very small magnitudes may carry an exponent; they still
  // have to read back as the same double.
  for (const double value : {1e300, -2.5e-300, 1e-5, 9007199254740993.0 * 4, 5e-324}) {
    std::string out;
    ASSERT_TRUE(appendJsonNumber(out, value));
    EXPECT_EQ(nlohmann::json::parse(out).get<double>(), value) << out;
  }
}

TEST(JsonText, StringsEscapeQuotesSlashesAndControlCharacters) {
  std::string out;
  appendJsonString(out, std::string("a\"b\\c/d\b\f\n\r\t", 12) + std::string("\0\x01\x1f\x7f", 4) +
                            "caf\xc3\xa9 \xe6\x97\xa5\xf0\x9f\x93\xb7");
  EXPECT_EQ(out,
            "\"a\\\"b\\\\c\\/d\\b\\f\\n\\r\\t\\u0000\\u0001\\u001f\x7f"
            "caf\xc3\xa9 \xe6\x97\xa5\xf0\x9f\x93\xb7\"");
  EXPECT_EQ(nlohmann::json::parse(out).get<std::string>(),
            std::string("a\"b\\c/d\b\f\n\r\t", 12) + std::string("\0\x01\x1f\x7f", 4) +
                "caf\xc3\xa9 \xe6\x97\xa5\xf0\x9f\x93\xb7");
}

TEST(JsonText, Utf8Validation) {
  const std::pair<std::string, bool> cases[] = {
      {"plain", true},
      {"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80", true},
      {"\xf4\x8f\xbf\xbf", true},  // U+10FFFF
      {"\x80", false},             // lone continuation byte
      {"\xc3", false},             // cut short
      {"\xe2\x82", false},
      {"\xc0\xaf", false},          // overlong slash
      {"\xe0\x80\xaf", false},      // overlong slash
      {"\xf0\x80\x80\xaf", false},  // overlong slash
      {"\xed\xa0\x80", false},      // surrogate
      {"\xf4\x90\x80\x80", false},  // past U+10FFFF
      {"\xff", false},
  };
  for (const auto& [text, valid] : cases) EXPECT_EQ(isValidUtf8(text), valid) << text;
}

TEST(JsonText, UnencodableResponsesGiveTheFallbackLine) {
  const std::string fallback =
      "{\"ok\":false,\"devices\":[],\"error\":\"Failed to encode response\"}\n";
  ASSERT_EQ(fallback.size(), 62u);

  CameraControl notFinite = bareControl(1);
  notFinite.value = std::numeric_limits<double>::infinity();
  EXPECT_EQ(written(oneControl(notFinite)), fallback);
  CameraControl notANumber = bareControl(1);
  notANumber.minimum = std::nan("");
  EXPECT_EQ(written(oneControl(notANumber)), fallback);

  CameraResponse badName = oneControl(bareControl(1));
  badName.devices[0].name = "Cam\xff";
  EXPECT_EQ(written(badName), fallback);
  EXPECT_EQ(written(CameraResponse{false, {}, std::string("bad \xc3")}), fallback);
}

}  // namespace
}  // namespace camknob
