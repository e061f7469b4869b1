#include <gtest/gtest.h>

#include <functional>

#include "media/property_access.h"
#include "media/property_service.h"
#include "support/sim_support.h"

namespace camknob {
namespace {

using testing::useFixture;

// A write is checked in this order: refusal, object, property, settable, size.
TEST(SimService, WriteChecksInOrder) {
  useFixture(R"({"devices": [{"objectId": 33, "controls": [
    {"objectId": 41, "properties": {"clas": "brit", "fcnv": 1, "fcam": 1, "fcnd": [1, 2]},
     "settable": ["fcnv", "fcnd", "fcoo"], "refuse": {"fcam": 1852797029, "fcav": -50}}]}]})");
  struct Case {
    ObjectId object;
    std::uint32_t selector;
    std::vector<std::uint8_t> data;
    Status status;
  };
  const Case cases[] = {
      {41, selectors::absoluteValue, {0, 0, 0, 0}, -50},  // refused though absent
      {41, selectors::automaticManual, {0, 0, 0, 0}, static_cast<Status>(0x6e6f7065)},
      {77, selectors::nativeValue, {0, 0, 0, 0}, 0x216f626a},
      {41, selectors::onOff, {0, 0, 0, 0}, 0x77686f3f},  // settable, yet absent
      {41, selectors::objectClass, {0, 0, 0, 0}, 0x6e6f7065},
      {41, selectors::nativeValue, {0, 0}, 0x2173697a},
      {41, selectors::nativeValue, {0, 0, 0x80, 0x3f}, noErr},
      {41, selectors::nativeData, {9, 9, 9, 9, 9}, noErr},  // byte blocks take any length
  };
  for (const Case& c : cases)
    EXPECT_EQ(writeBytes(c.object, c.selector, c.data), c.status) << c.object << " " << c.selector;
  EXPECT_EQ(readFloat32(41, selectors::nativeValue), 1.0f);
  EXPECT_EQ(readBytes(41, selectors::nativeData), (std::vector<std::uint8_t>{9, 9, 9, 9, 9}));
  EXPECT_EQ(readUInt32(41, selectors::automaticManual), 1u);
}

TEST(SimService, SettableQuestionOnAnAbsentPropertyFails) {
  useFixture(R"({"devices": [{"objectId": 33, "settable": ["lmak"]}]})");
  std::uint8_t flag = 7;
  EXPECT_EQ(service::isPropertySettable(33, address(selectors::manufacturer), flag), 0x77686f3f);
  EXPECT_EQ(service::hasProperty(33, address(selectors::manufacturer)), 0);
  EXPECT_FALSE(isSettable(33, selectors::manufacturer));
}

// Found by fuzzing: bytes read as a string reach stringText as a reference
// the service never made; they have no text, and nothing follows them.
TEST(SimService, BytesReadAsAStringAreNoReference) {
  useFixture(R"({"devices": [{"objectId": 33, "controls": [
    {"objectId": 41, "properties": {"fcnd": [1, 2, 3, 4, 5, 6, 7, 8]}}]}]})");
  EXPECT_EQ(readString(41, selectors::nativeData), std::nullopt);
  EXPECT_EQ(sim::liveStringCount(), 0u);
}

// The hook sees every write the store accepted: it may refuse it (the store
// gets its value back) or give a system of its own to become the store.
TEST(SimService, WriteHookKeepsRefusesOrReplacesTheStore) {
  useFixture(R"({"devices": [{"objectId": 33, "controls": [
    {"objectId": 41, "properties": {"fcnv": 1, "fcam": 0}, "settable": ["fcnv"]}]}]})");
  sim::System elsewhere = sim::store();
  elsewhere.objects.at(41).properties[selectors::automaticManual] = sim::uint32Value(7);
  enum class Answer { Keep, Refuse, Replace } answer = Answer::Keep;
  int calls = 0;
  float seen = 0;
  sim::setWriteHook([&](const sim::Change& change, const sim::System& changed) {
    ++calls;
    seen = sim::float32Of(changed.objects.at(41).properties.at(selectors::nativeValue));
    if (answer == Answer::Refuse) return sim::Commit{status::unspecified, std::nullopt};
    if (answer == Answer::Keep) return sim::Commit{noErr, std::nullopt};
    sim::System copy = elsewhere;
    const Status status = change(copy);
    return sim::Commit{status, status == noErr ? std::optional(std::move(copy)) : std::nullopt};
  });
  EXPECT_EQ(writeFloat32(41, selectors::nativeValue, 5), noErr);
  EXPECT_EQ(seen, 5.0f);
  EXPECT_EQ(readFloat32(41, selectors::nativeValue), 5.0f);

  answer = Answer::Refuse;
  EXPECT_EQ(writeFloat32(41, selectors::nativeValue, 500), status::unspecified);
  EXPECT_EQ(seen, 500.0f);
  EXPECT_EQ(readFloat32(41, selectors::nativeValue), 5.0f);  // its value back

  answer = Answer::Replace;
  EXPECT_EQ(writeFloat32(41, selectors::nativeValue, 6), noErr);
  EXPECT_EQ(readFloat32(41, selectors::nativeValue), 6.0f);
  EXPECT_EQ(readUInt32(41, selectors::automaticManual), 7u);  // the hook's system now

  // A write the store refuses never reaches the hook.
  EXPECT_EQ(writeUInt32(41, selectors::automaticManual, 1), status::refused);
  EXPECT_EQ(calls, 3);
}

// One chosen call goes wrong in one way; the calls around it do not.
TEST(SimService, InjectedFaultHitsExactlyOneCall) {
  useFixture(R"({"devices": [{"objectId": 33, "properties": {"lnam": "Cam"}, "controls": [
    {"objectId": 41, "properties": {"fcnv": 1, "fcnd": [1, 2, 3, 4]}, "settable": ["fcnv"]}]}]})");
  struct Case {
    sim::Fault fault;
    std::function<bool()> faulty;  // the read that the fault spoils
  };
  const Case cases[] = {
      {sim::Fault::Absent, [] { return !readFloat32(41, selectors::nativeValue); }},
      {sim::Fault::FailingStatus, [] { return !readFloat32(41, selectors::nativeValue); }},
      {sim::Fault::WrongSize, [] { return !readFloat32(41, selectors::nativeValue); }},
      {sim::Fault::ShortData,
       [] {
         return readBytes(41, selectors::nativeData) == std::vector<std::uint8_t>{1, 2, 0, 0};
       }},
      {sim::Fault::NullString, [] { return !readString(33, selectors::name); }},
      {sim::Fault::Unconvertible, [] { return !readString(33, selectors::name); }},
      {sim::Fault::Refused,
       [] { return writeFloat32(41, selectors::nativeValue, 2) == status::unspecified; }},
  };
  // Aimed past the call, or at the call before it, a fault spoils nothing.
  for (const Case& c : cases) {
    for (const std::size_t call : {std::size_t(99), std::size_t(0)}) {
      useFixture(R"({"devices": [{"objectId": 33, "properties": {"lnam": "Cam"}, "controls": [
        {"objectId": 41, "properties": {"fcnv": 1, "fcnd": [1, 2, 3, 4]},
         "settable": ["fcnv"]}]}]})");
      (void)readUInt32(33, selectors::objectClass);  // call 0: has-property, absent anyway
      sim::injectFault(call, c.fault);
      EXPECT_FALSE(c.faulty()) << int(c.fault) << " at " << call;
    }
  }
  // Every fault kind spoils the read it is meant for when aimed at the right call.
  const std::pair<sim::Fault, std::size_t> aimed[] = {
      {sim::Fault::Absent, 0},    {sim::Fault::FailingStatus, 1}, {sim::Fault::WrongSize, 1},
      {sim::Fault::ShortData, 2}, {sim::Fault::NullString, 2},    {sim::Fault::Unconvertible, 3},
      {sim::Fault::Refused, 0},
  };
  for (std::size_t i = 0; i < std::size(aimed); ++i) {
    useFixture(R"({"devices": [{"objectId": 33, "properties": {"lnam": "Cam"}, "controls": [
      {"objectId": 41, "properties": {"fcnv": 1, "fcnd": [1, 2, 3, 4]}, "settable": ["fcnv"]}]}]})");
    sim::injectFault(aimed[i].second, aimed[i].first);
    EXPECT_TRUE(cases[i].faulty()) << i;
    EXPECT_EQ(sim::liveStringCount(), 0u);
  }
}

}  // namespace
}  // namespace camknob
