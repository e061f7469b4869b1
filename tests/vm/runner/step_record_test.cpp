#include "runner/step_record.h"

#include <gtest/gtest.h>

namespace camknob::vm {
namespace {

bool operator==(const StepResult& a, const StepResult& b) {
  return a.name == b.name && a.exitStatus == b.exitStatus && a.signal == b.signal &&
         a.timedOut == b.timedOut && a.wallNanoseconds == b.wallNanoseconds && a.out == b.out &&
         a.err == b.err;
}

std::string everyByte() {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  return bytes;
}

const std::vector<StepResult> samples = {
    {"empty", 0, 0, false, 1, "", ""},
    {"one-byte", 1, 0, false, 2, "x", "ab"},
    {"binary_out.1", -1, 9, true, 300'000'000, everyByte() + everyByte(), "\r\n==camknob-step \n"},
    {"long", 0, 0, false, 42, std::string(10'000, 'z'), "err"},
};

TEST(StepRecord, RoundTripsResultsWithAnyBytes) {
  std::string text;
  for (const StepResult& sample : samples) text += encodeStepRecord(sample);
  const std::vector<StepResult> parsed = parseStepRecords(text);
  ASSERT_EQ(parsed.size(), samples.size());
  for (std::size_t i = 0; i < samples.size(); ++i)
    EXPECT_TRUE(parsed[i] == samples[i]) << samples[i].name;
}

TEST(StepRecord, IgnoresCarriageReturnsAndTextBetweenRecords) {
  std::string text =
      "boot noise\n" + encodeStepRecord(samples[2]) + "more noise\n" + encodeStepRecord(samples[1]);
  std::string serial;
  for (const char c : text) serial += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const std::vector<StepResult> parsed = parseStepRecords(serial);
  ASSERT_EQ(parsed.size(), 2u);
  EXPECT_TRUE(parsed[0] == samples[2]);
  EXPECT_TRUE(parsed[1] == samples[1]);
}

TEST(StepRecord, DropsARecordCutShortOrInconsistent) {
  const std::string whole = encodeStepRecord(samples[3]);
  // Every cut inside the last record leaves only the first one.
  for (std::size_t cut = 1; cut < whole.size(); cut += 97) {
    const auto parsed = parseStepRecords(encodeStepRecord(samples[1]) + whole.substr(0, cut));
    ASSERT_EQ(parsed.size(), 1u) << cut;
    EXPECT_EQ(parsed[0].name, "one-byte");
  }
  std::string miscounted = encodeStepRecord(samples[1]);
  miscounted.replace(miscounted.find(" out=1 "), 7, " out=2 ");
  EXPECT_TRUE(parseStepRecords(miscounted).empty());
  std::string renamed = encodeStepRecord(samples[1]);
  renamed.replace(renamed.rfind("one-byte"), 8, "one-bite");
  EXPECT_TRUE(parseStepRecords(renamed).empty());
  std::string interrupted = encodeStepRecord(samples[3]);
  interrupted.insert(interrupted.find("\nout ") + 1, "[  3.1] kernel message\n");
  EXPECT_TRUE(parseStepRecords(interrupted).empty());
}

TEST(StepRecord, StepNamesArePlainWords) {
  EXPECT_TRUE(isStepName("camknob.list-2_a"));
  EXPECT_FALSE(isStepName(""));
  EXPECT_FALSE(isStepName("two words"));
  EXPECT_FALSE(isStepName("a=b"));
  EXPECT_FALSE(isStepName(std::string(65, 'a')));
}

}  // namespace
}  // namespace camknob::vm
