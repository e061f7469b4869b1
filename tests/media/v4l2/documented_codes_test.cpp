// The class code tables and the statuses that README.md and camknob(1) give
// for V4L2, against the service's own: every row with its code, V4L2 control
// and kind (or what the control is), and not one row more.
#include <gtest/gtest.h>
#include <linux/videodev2.h>

#include <cctype>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "media/fourcc_and_status_text.h"
#include "media/v4l2/class_codes.h"
#include "media/v4l2/device_status.h"
#include "support/man_page.h"
#include "vocabulary/control_kinds.h"

namespace camknob::v4l2 {
namespace {

using testing::fileText;

// The V4L2 controls a document may name, with their ids from the kernel's
// header; a name outside this list fails as unknown.
#define CAMKNOB_NAMED_ID(id) \
  { #id, id }
const std::map<std::string, std::uint32_t, std::less<>> v4l2Ids{
    CAMKNOB_NAMED_ID(V4L2_CID_BRIGHTNESS),
    CAMKNOB_NAMED_ID(V4L2_CID_CONTRAST),
    CAMKNOB_NAMED_ID(V4L2_CID_SATURATION),
    CAMKNOB_NAMED_ID(V4L2_CID_HUE),
    CAMKNOB_NAMED_ID(V4L2_CID_AUDIO_VOLUME),
    CAMKNOB_NAMED_ID(V4L2_CID_AUDIO_BALANCE),
    CAMKNOB_NAMED_ID(V4L2_CID_AUDIO_BASS),
    CAMKNOB_NAMED_ID(V4L2_CID_AUDIO_TREBLE),
    CAMKNOB_NAMED_ID(V4L2_CID_AUDIO_MUTE),
    CAMKNOB_NAMED_ID(V4L2_CID_AUDIO_LOUDNESS),
    CAMKNOB_NAMED_ID(V4L2_CID_BLACK_LEVEL),
    CAMKNOB_NAMED_ID(V4L2_CID_AUTO_WHITE_BALANCE),
    CAMKNOB_NAMED_ID(V4L2_CID_RED_BALANCE),
    CAMKNOB_NAMED_ID(V4L2_CID_BLUE_BALANCE),
    CAMKNOB_NAMED_ID(V4L2_CID_GAMMA),
    CAMKNOB_NAMED_ID(V4L2_CID_EXPOSURE),
    CAMKNOB_NAMED_ID(V4L2_CID_AUTOGAIN),
    CAMKNOB_NAMED_ID(V4L2_CID_GAIN),
    CAMKNOB_NAMED_ID(V4L2_CID_HFLIP),
    CAMKNOB_NAMED_ID(V4L2_CID_VFLIP),
    CAMKNOB_NAMED_ID(V4L2_CID_POWER_LINE_FREQUENCY),
    CAMKNOB_NAMED_ID(V4L2_CID_HUE_AUTO),
    CAMKNOB_NAMED_ID(V4L2_CID_WHITE_BALANCE_TEMPERATURE),
    CAMKNOB_NAMED_ID(V4L2_CID_SHARPNESS),
    CAMKNOB_NAMED_ID(V4L2_CID_BACKLIGHT_COMPENSATION),
    CAMKNOB_NAMED_ID(V4L2_CID_CHROMA_AGC),
    CAMKNOB_NAMED_ID(V4L2_CID_COLOR_KILLER),
    CAMKNOB_NAMED_ID(V4L2_CID_COLORFX),
    CAMKNOB_NAMED_ID(V4L2_CID_AUTOBRIGHTNESS),
    CAMKNOB_NAMED_ID(V4L2_CID_BAND_STOP_FILTER),
    CAMKNOB_NAMED_ID(V4L2_CID_ROTATE),
    CAMKNOB_NAMED_ID(V4L2_CID_BG_COLOR),
    CAMKNOB_NAMED_ID(V4L2_CID_CHROMA_GAIN),
    CAMKNOB_NAMED_ID(V4L2_CID_ILLUMINATORS_1),
    CAMKNOB_NAMED_ID(V4L2_CID_ILLUMINATORS_2),
    CAMKNOB_NAMED_ID(V4L2_CID_MIN_BUFFERS_FOR_CAPTURE),
    CAMKNOB_NAMED_ID(V4L2_CID_MIN_BUFFERS_FOR_OUTPUT),
    CAMKNOB_NAMED_ID(V4L2_CID_ALPHA_COMPONENT),
    CAMKNOB_NAMED_ID(V4L2_CID_COLORFX_CBCR),
    CAMKNOB_NAMED_ID(V4L2_CID_COLORFX_RGB),
    CAMKNOB_NAMED_ID(V4L2_CID_EXPOSURE_AUTO),
    CAMKNOB_NAMED_ID(V4L2_CID_EXPOSURE_ABSOLUTE),
    CAMKNOB_NAMED_ID(V4L2_CID_EXPOSURE_AUTO_PRIORITY),
    CAMKNOB_NAMED_ID(V4L2_CID_PAN_RELATIVE),
    CAMKNOB_NAMED_ID(V4L2_CID_TILT_RELATIVE),
    CAMKNOB_NAMED_ID(V4L2_CID_PAN_ABSOLUTE),
    CAMKNOB_NAMED_ID(V4L2_CID_TILT_ABSOLUTE),
    CAMKNOB_NAMED_ID(V4L2_CID_FOCUS_ABSOLUTE),
    CAMKNOB_NAMED_ID(V4L2_CID_FOCUS_RELATIVE),
    CAMKNOB_NAMED_ID(V4L2_CID_FOCUS_AUTO),
    CAMKNOB_NAMED_ID(V4L2_CID_ZOOM_ABSOLUTE),
    CAMKNOB_NAMED_ID(V4L2_CID_ZOOM_RELATIVE),
    CAMKNOB_NAMED_ID(V4L2_CID_ZOOM_CONTINUOUS),
    CAMKNOB_NAMED_ID(V4L2_CID_PRIVACY),
    CAMKNOB_NAMED_ID(V4L2_CID_IRIS_ABSOLUTE),
    CAMKNOB_NAMED_ID(V4L2_CID_IRIS_RELATIVE),
    CAMKNOB_NAMED_ID(V4L2_CID_AUTO_EXPOSURE_BIAS),
    CAMKNOB_NAMED_ID(V4L2_CID_AUTO_N_PRESET_WHITE_BALANCE),
    CAMKNOB_NAMED_ID(V4L2_CID_WIDE_DYNAMIC_RANGE),
    CAMKNOB_NAMED_ID(V4L2_CID_IMAGE_STABILIZATION),
    CAMKNOB_NAMED_ID(V4L2_CID_ISO_SENSITIVITY),
    CAMKNOB_NAMED_ID(V4L2_CID_ISO_SENSITIVITY_AUTO),
    CAMKNOB_NAMED_ID(V4L2_CID_EXPOSURE_METERING),
    CAMKNOB_NAMED_ID(V4L2_CID_SCENE_MODE),
    CAMKNOB_NAMED_ID(V4L2_CID_AUTO_FOCUS_RANGE),
    CAMKNOB_NAMED_ID(V4L2_CID_PAN_SPEED),
    CAMKNOB_NAMED_ID(V4L2_CID_TILT_SPEED),
    CAMKNOB_NAMED_ID(V4L2_CID_CAMERA_ORIENTATION),
    CAMKNOB_NAMED_ID(V4L2_CID_CAMERA_SENSOR_ROTATION),
    CAMKNOB_NAMED_ID(V4L2_CID_FLASH_LED_MODE),
    CAMKNOB_NAMED_ID(V4L2_CID_FLASH_STROBE_SOURCE),
    CAMKNOB_NAMED_ID(V4L2_CID_FLASH_TIMEOUT),
    CAMKNOB_NAMED_ID(V4L2_CID_FLASH_INTENSITY),
    CAMKNOB_NAMED_ID(V4L2_CID_FLASH_TORCH_INTENSITY),
    CAMKNOB_NAMED_ID(V4L2_CID_FLASH_INDICATOR_INTENSITY),
    CAMKNOB_NAMED_ID(V4L2_CID_JPEG_CHROMA_SUBSAMPLING),
    CAMKNOB_NAMED_ID(V4L2_CID_JPEG_RESTART_INTERVAL),
    CAMKNOB_NAMED_ID(V4L2_CID_JPEG_COMPRESSION_QUALITY),
    CAMKNOB_NAMED_ID(V4L2_CID_VBLANK),
    CAMKNOB_NAMED_ID(V4L2_CID_HBLANK),
    CAMKNOB_NAMED_ID(V4L2_CID_ANALOGUE_GAIN),
    CAMKNOB_NAMED_ID(V4L2_CID_LINK_FREQ),
    CAMKNOB_NAMED_ID(V4L2_CID_TEST_PATTERN),
    CAMKNOB_NAMED_ID(V4L2_CID_DEINTERLACING_MODE),
    CAMKNOB_NAMED_ID(V4L2_CID_DIGITAL_GAIN),
    CAMKNOB_NAMED_ID(V4L2_CID_DETECT_MD_MODE),
};
#undef CAMKNOB_NAMED_ID

// A row of a code table as a document gives it.
struct DocumentedCode {
  std::string code;
  std::vector<std::string> controls;  // V4L2 control names
  std::string name;                   // the kind, or what the control is
};

// What a document says about V4L2's codes.
struct DocumentedCodes {
  std::vector<DocumentedCode> named;  // the controls with a kind
  std::vector<DocumentedCode> own;    // the tool's own codes
  std::vector<std::string> statuses;
  std::string privateControlText;  // where the private ids are told
};

// A row of a code table as the code has it.
struct ExpectedCode {
  std::set<std::uint32_t> ids;
  std::string name;
};

std::map<std::string, ExpectedCode> expectedNamed() {
  std::map<std::string, ExpectedCode> expected;
  for (const StandardControl& control : standardControls())
    if (const auto kind = controlKindName(fourCharCode(control.code)))
      expected[std::string(control.code)] = {{control.id}, std::string(*kind)};
  // The pairs the control model joins into one control.
  const auto pair = [&](std::string_view code, std::set<std::uint32_t> ids) {
    expected[std::string(code)] = {std::move(ids),
                                   std::string(*controlKindName(fourCharCode(code)))};
  };
  pair(fourCC(classCodeOfKind(panTiltAbsoluteKind)),
       {V4L2_CID_PAN_ABSOLUTE, V4L2_CID_TILT_ABSOLUTE});
  pair(fourCC(classCodeOfKind(panTiltRelativeKind)), {V4L2_CID_PAN_SPEED, V4L2_CID_TILT_SPEED});
  return expected;
}

std::map<std::string, ExpectedCode> expectedOwn() {
  std::map<std::string, ExpectedCode> expected;
  for (const StandardControl& control : standardControls())
    if (!controlKindName(fourCharCode(control.code)))
      expected[std::string(control.code)] = {{control.id}, std::string(control.what)};
  return expected;
}

std::set<std::string> expectedStatuses() {
  std::set<std::string> codes;
  for (const Status status : answeredStatuses)
    codes.insert(fourCC(static_cast<std::uint32_t>(status)));
  return codes;
}

void expectSameRows(const std::vector<DocumentedCode>& documented,
                    const std::map<std::string, ExpectedCode>& expected, const std::string& where) {
  std::set<std::string> seen;
  for (const DocumentedCode& row : documented) {
    const auto wanted = expected.find(row.code);
    if (wanted == expected.end()) {
      ADD_FAILURE() << where << ": a row for \"" << row.code << "\", which is not in the code";
      continue;
    }
    EXPECT_TRUE(seen.insert(row.code).second) << where << ": \"" << row.code << "\" twice";
    std::set<std::uint32_t> ids;
    for (const std::string& name : row.controls) {
      const auto id = v4l2Ids.find(name);
      if (id == v4l2Ids.end())
        ADD_FAILURE() << where << ": \"" << row.code << "\" names " << name
                      << ", which is no V4L2 control here";
      else
        ids.insert(id->second);
    }
    EXPECT_EQ(row.controls.size(), wanted->second.ids.size()) << where << ": " << row.code;
    EXPECT_EQ(ids, wanted->second.ids) << where << ": the V4L2 control of \"" << row.code << "\"";
    EXPECT_EQ(row.name, wanted->second.name) << where << ": \"" << row.code << "\"";
  }
  for (const auto& [code, row] : expected)
    EXPECT_EQ(seen.count(code), 1u)
        << where << ": no row for \"" << code << "\" (" << row.name << ")";
}

void expectAgreement(const DocumentedCodes& documented, const std::string& where) {
  EXPECT_FALSE(documented.named.empty()) << where << ": no table of the kinds found";
  EXPECT_FALSE(documented.own.empty()) << where << ": no table of the tool's own codes found";
  expectSameRows(documented.named, expectedNamed(), where + ", kinds");
  expectSameRows(documented.own, expectedOwn(), where + ", own codes");

  std::multiset<std::string> statuses(documented.statuses.begin(), documented.statuses.end());
  const std::set<std::string> expected = expectedStatuses();
  EXPECT_EQ(statuses, std::multiset<std::string>(expected.begin(), expected.end()))
      << where << ": statuses";

  constexpr std::uint32_t privateId = 0x0098f901;
  EXPECT_NE(documented.privateControlText.find("--control " + fourCC(classCodeOf(privateId))),
            std::string::npos)
      << where;
}

std::string trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

// The words of a cell that lists several ("A + B", "A, B").
std::vector<std::string> parts(const std::string& cell, std::string_view separator) {
  std::vector<std::string> found;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = cell.find(separator, start);
    found.push_back(trimmed(std::string_view(cell).substr(start, end - start)));
    if (end == std::string::npos) return found;
    start = end + separator.size();
  }
}

// Markdown: `text` is text as the tool writes it, blanks included.
std::string unticked(const std::string& cell) {
  if (cell.size() >= 2 && cell.front() == '`' && cell.back() == '`')
    return cell.substr(1, cell.size() - 2);
  return "(not in backticks: " + cell + ")";
}

// Roff: a class code is shown as its JSON string, so that blanks show.
std::string unquoted(const std::string& cell) {
  if (cell.size() >= 2 && cell.front() == '"' && cell.back() == '"')
    return cell.substr(1, cell.size() - 2);
  return "(not in quotes: " + cell + ")";
}

// The rows of the Markdown table under this heading row.
std::vector<std::vector<std::string>> markdownTable(const std::string& text,
                                                    std::string_view heading) {
  std::vector<std::vector<std::string>> rows;
  const std::vector<std::string> lines = testing::linesOf(text);
  std::size_t at = 0;
  while (at < lines.size() && lines[at] != heading) ++at;
  for (at += 2; at < lines.size() && lines[at].rfind("| ", 0) == 0; ++at) {
    std::string_view line = lines[at];
    line = line.substr(1, line.size() - 2);  // the outer bars
    rows.push_back(parts(std::string(line), "|"));
  }
  return rows;
}

DocumentedCodes readmeCodes() {
  const std::string readme = fileText(CAMKNOB_README);
  DocumentedCodes codes;
  for (const auto& row : markdownTable(readme, "| V4L2 control | `classCode` | `kind` |")) {
    if (row.size() != 3) continue;
    std::vector<std::string> controls;
    for (const std::string& name : parts(row[0], " + ")) controls.push_back(unticked(name));
    codes.named.push_back({unticked(row[1]), controls, unticked(row[2])});
  }
  for (const auto& row : markdownTable(readme, "| `classCode` | control | V4L2 control |")) {
    if (row.size() != 3) continue;
    codes.own.push_back({unticked(row[0]), {unticked(row[2])}, row[1]});
  }
  for (const auto& row : markdownTable(readme, "| Status | Meaning |"))
    for (const std::string& status : parts(row[0], ", "))
      codes.statuses.push_back(unticked(status));
  codes.privateControlText = readme;
  return codes;
}

DocumentedCodes manualCodes() {
  const std::string page = fileText(CAMKNOB_MAN_DIR "/camknob.1");
  const auto tables = testing::roffTables(testing::sectionLines(page, "CAMERAS ON LINUX"));
  DocumentedCodes codes;
  auto named = testing::tableHeaded(tables, {"V4L2 control", "classCode", "kind"});
  for (std::size_t row = 1; row < named.size(); ++row) {
    if (named[row].size() != 3) continue;
    codes.named.push_back({unquoted(named[row][1]), parts(named[row][0], " + "), named[row][2]});
  }
  auto own = testing::tableHeaded(tables, {"code", "V4L2 control", "control"});
  for (std::size_t row = 1; row < own.size(); ++row) {
    if (own[row].size() != 3) continue;
    codes.own.push_back({unquoted(own[row][0]), {own[row][1]}, own[row][2]});
  }
  codes.statuses = testing::paragraphTags(testing::sectionLines(page, "Statuses"));
  codes.privateControlText = testing::shownText(testing::sectionLines(page, "Private controls"));
  return codes;
}

TEST(DocumentedCodes, TheReadmeTablesAreTheCodesOwn) {
  expectAgreement(readmeCodes(), "README.md");
}

TEST(DocumentedCodes, TheManualPageTablesAreTheCodesOwn) {
  expectAgreement(manualCodes(), "camknob.1");
}

// The words of the completion's list of the codes the tool has no kind name
// for: from "linux_codes=(" to the closing parenthesis.
std::set<std::string> completionCodes(const std::string& path) {
  const std::string text = fileText(path);
  const std::string opening = "linux_codes=(";
  const auto from = text.find(opening);
  if (from == std::string::npos) return {};
  const auto to = text.find(')', from);
  std::set<std::string> words;
  std::istringstream list(text.substr(from + opening.size(), to - from - opening.size()));
  for (std::string word; list >> word;) words.insert(word);
  return words;
}

// Completion offers these codes on Linux when it has no camera's kinds.
TEST(DocumentedCodes, CompletionKnowsEveryCodeOfTheToolsOwn) {
  std::set<std::string> expected;
  for (const auto& [code, row] : expectedOwn()) expected.insert(code);
  for (const char* file : {"/completion/camknob.bash", "/completion/_camknob"})
    EXPECT_EQ(completionCodes(std::string(CAMKNOB_SOURCE_DIR) + file), expected) << file;
}

// A status the service's code answers with must be in its list of them, and
// so in the documents.
std::set<std::string> statusNames(const std::string& text) {
  std::set<std::string> names;
  const std::string prefix = "status::";
  for (std::size_t at = text.find(prefix); at != std::string::npos;
       at = text.find(prefix, at + 1)) {
    std::size_t end = at + prefix.size();
    while (end < text.size() && std::isalnum(static_cast<unsigned char>(text[end]))) ++end;
    names.insert(text.substr(at + prefix.size(), end - at - prefix.size()));
  }
  return names;
}

TEST(DocumentedCodes, EveryStatusOfTheServiceIsListed) {
  const std::string header = fileText(CAMKNOB_SOURCE_DIR "/src/media/v4l2/device_status.h");
  const std::size_t list = header.find("answeredStatuses");
  ASSERT_NE(list, std::string::npos);
  const std::set<std::string> listed =
      statusNames(header.substr(list, header.find(';', list) - list));
  EXPECT_EQ(listed.size(), answeredStatuses.size());
  for (const auto& entry :
       std::filesystem::directory_iterator(CAMKNOB_SOURCE_DIR "/src/media/v4l2")) {
    if (entry.path().extension() != ".cpp") continue;
    for (const std::string& used : statusNames(fileText(entry.path().string())))
      EXPECT_TRUE(listed.count(used)) << entry.path().filename() << ": status::" << used;
  }
}

}  // namespace
}  // namespace camknob::v4l2
