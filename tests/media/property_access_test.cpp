#include "media/property_access.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/sim_support.h"

namespace camknob {
namespace {

using sim::Operation;
using testing::scriptOf;
using testing::useFixture;

constexpr ObjectId control = 41;

// One control with a property of every fixed shape.
constexpr std::string_view fixture = R"({"devices": [{"objectId": 33, "controls": [
  {"objectId": 41,
   "properties": {"clas": "brit", "fcnv": 128.5, "fcnr": [-1.5, 255], "lnam": "Brightness",
                  "fcnd": [1, 2, 3, 4, 5, 6], "fcam": 7},
   "settable": ["fcnv", "fcam"], "refuse": {"fcoo": -50}}]}]})";

std::vector<Operation> operations() {
  std::vector<Operation> seen;
  for (const sim::Call& call : sim::callLog()) seen.push_back(call.operation);
  return seen;
}

long countOf(Operation operation) {
  const auto seen = operations();
  return std::count(seen.begin(), seen.end(), operation);
}

const sim::Call* onlyCall(Operation operation) {
  const sim::Call* found = nullptr;
  for (const sim::Call& call : sim::callLog())
    if (call.operation == operation) {
      EXPECT_EQ(found, nullptr) << "more than one such call";
      found = &call;
    }
  return found;
}

class PropertyAccess : public ::testing::Test {
 protected:
  void SetUp() override { useFixture(fixture); }
};

TEST_F(PropertyAccess, AddressesUseGlobalScopeAndMainElement) {
  const PropertyAddress where = address(selectors::nativeValue);
  EXPECT_EQ(where.mSelector, 0x66636e76u);
  EXPECT_EQ(where.mScope, 0x676C6F62u);
  EXPECT_EQ(where.mElement, 0u);
  ASSERT_TRUE(readFloat32(control, selectors::nativeValue));
  for (const sim::Call& call : sim::callLog()) {
    EXPECT_EQ(call.scope, globalScope);
    EXPECT_EQ(call.element, mainElement);
  }
}

TEST_F(PropertyAccess, TypedReadsGiveTheStoredValues) {
  EXPECT_EQ(readUInt32(control, selectors::objectClass), fourCharCode("brit"));
  EXPECT_EQ(readFloat32(control, selectors::nativeValue), 128.5f);
  const auto range = readRange(control, selectors::nativeRange);
  ASSERT_TRUE(range);
  EXPECT_EQ(range->mMinimum, -1.5);
  EXPECT_EQ(range->mMaximum, 255.0);
  EXPECT_EQ(readString(control, selectors::name), "Brightness");
  EXPECT_EQ(readBytes(control, selectors::nativeData),
            (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}));
  EXPECT_TRUE(isSettable(control, selectors::nativeValue));
  EXPECT_FALSE(isSettable(control, selectors::objectClass));
}

TEST_F(PropertyAccess, MissingPropertyMakesNoSizeOrDataCall) {
  EXPECT_FALSE(readUInt32(control, selectors::onOff));
  EXPECT_FALSE(readFloat32(control, selectors::absoluteValue));
  EXPECT_FALSE(readRange(control, selectors::absoluteRange));
  EXPECT_FALSE(readString(control, selectors::manufacturer));
  EXPECT_FALSE(readBytes(control, selectors::nativeDataRange));
  EXPECT_TRUE(readObjectIds(control, selectors::ownedObjects, controlClass).empty());
  EXPECT_FALSE(isSettable(control, selectors::onOff));
  EXPECT_FALSE(readUInt32(999, selectors::objectClass));  // no such object
  for (const Operation operation : operations()) EXPECT_EQ(operation, Operation::HasProperty);
  EXPECT_EQ(operations().size(), 8u);
}

TEST_F(PropertyAccess, HasPropertyAnswerIsAnyNonZeroByte) {
  scriptOf(control, selectors::nativeValue).hasAnswer = 2;
  EXPECT_EQ(readFloat32(control, selectors::nativeValue), 128.5f);
  scriptOf(control, selectors::nativeValue).hasAnswer = 0;
  EXPECT_FALSE(readFloat32(control, selectors::nativeValue));
  EXPECT_FALSE(isSettable(control, selectors::nativeValue));
}

TEST_F(PropertyAccess, PropertySizeReportsZeroAndFailures) {
  scriptOf(control, selectors::nativeData).reportedSize = 0;
  EXPECT_EQ(propertySize(control, selectors::nativeData, nullptr), 0u);
  scriptOf(control, selectors::nativeData).sizeStatus = status::unspecified;
  EXPECT_FALSE(propertySize(control, selectors::nativeData, nullptr));
}

TEST_F(PropertyAccess, FixedReadWithWrongSizeMakesNoDataCall) {
  scriptOf(control, selectors::automaticManual).reportedSize = 8;
  scriptOf(control, selectors::nativeRange).reportedSize = 8;
  scriptOf(control, selectors::name).reportedSize = 4;
  EXPECT_FALSE(readUInt32(control, selectors::automaticManual));
  EXPECT_FALSE(readRange(control, selectors::nativeRange));
  EXPECT_FALSE(readString(control, selectors::name));
  EXPECT_EQ(countOf(Operation::GetData), 0);
}

TEST_F(PropertyAccess, FixedReadAsksForExactlyItsSizeWithoutQualifier) {
  ASSERT_TRUE(readRange(control, selectors::nativeRange));
  const sim::Call* data = onlyCall(Operation::GetData);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->dataSize, 16u);
  EXPECT_TRUE(data->qualifier.empty());
}

TEST_F(PropertyAccess, FailedDataCallGivesNothing) {
  for (const std::uint32_t selector :
       {selectors::automaticManual, selectors::nativeValue, selectors::nativeRange, selectors::name,
        selectors::nativeData})
    scriptOf(control, selector).dataStatus = status::unspecified;
  EXPECT_FALSE(readUInt32(control, selectors::automaticManual));
  EXPECT_FALSE(readFloat32(control, selectors::nativeValue));
  EXPECT_FALSE(readRange(control, selectors::nativeRange));
  EXPECT_FALSE(readString(control, selectors::name));
  EXPECT_FALSE(readBytes(control, selectors::nativeData));
  EXPECT_EQ(sim::liveStringCount(), 0u);
}

TEST_F(PropertyAccess, BytesTheServiceLeavesUnwrittenReadAsZero) {
  scriptOf(control, selectors::nativeValue).bytesFilled = 2;
  const auto value = readFloat32(control, selectors::nativeValue);
  ASSERT_TRUE(value);
  const float stored = 128.5f;
  std::uint32_t storedBits = 0, readBits = 0;
  std::memcpy(&storedBits, &stored, 4);
  std::memcpy(&readBits, &*value, 4);
  std::uint32_t expected = 0;
  std::memcpy(&expected, &stored, 2);  // the first two bytes in memory only
  EXPECT_EQ(readBits, expected);
  EXPECT_NE(readBits, storedBits);

  scriptOf(control, selectors::nativeData).bytesFilled = 4;
  EXPECT_EQ(readBytes(control, selectors::nativeData),
            (std::vector<std::uint8_t>{1, 2, 3, 4, 0, 0}));
}

// A size no property has is a failed read, before any memory is taken for it.
TEST_F(PropertyAccess, ImplausibleSizeIsAFailedRead) {
  for (const std::uint32_t size : {maxPropertyBytes + 1, 0xFFFFFFFFu}) {
    scriptOf(control, selectors::nativeData).reportedSize = size;
    scriptOf(33, selectors::ownedObjects).reportedSize = size;
    EXPECT_FALSE(readBytes(control, selectors::nativeData));
    EXPECT_TRUE(readObjectIds(33, selectors::ownedObjects, controlClass).empty());
  }
  EXPECT_EQ(countOf(Operation::GetData), 0);
  scriptOf(control, selectors::nativeData).reportedSize = maxPropertyBytes;
  const auto largest = readBytes(control, selectors::nativeData);
  ASSERT_TRUE(largest);
  EXPECT_EQ(largest->size(), maxPropertyBytes);
}

TEST_F(PropertyAccess, ZeroLengthByteBlockIsAbsent) {
  sim::store().objects[control].properties[selectors::nativeDataRange] = sim::bytesValue({});
  EXPECT_FALSE(readBytes(control, selectors::nativeDataRange));
  EXPECT_EQ(countOf(Operation::GetData), 0);
}

TEST_F(PropertyAccess, StringReferenceIsReleasedExactlyOnce) {
  EXPECT_EQ(readString(control, selectors::name), "Brightness");
  EXPECT_EQ(readString(33, selectors::name), std::nullopt);
  EXPECT_EQ(sim::liveStringCount(), 0u);
  EXPECT_EQ(countOf(Operation::ReleaseString), 1);
}

TEST_F(PropertyAccess, StringWithoutTextIsAbsentAndStillReleasedOnce) {
  scriptOf(control, selectors::name).unconvertibleString = true;
  EXPECT_EQ(readString(control, selectors::name), std::nullopt);
  EXPECT_EQ(countOf(Operation::ReleaseString), 1);
  EXPECT_EQ(sim::liveStringCount(), 0u);
}

TEST_F(PropertyAccess, NullStringReferenceIsAbsentAndNotReleased) {
  scriptOf(control, selectors::name).nullString = true;
  EXPECT_FALSE(readString(control, selectors::name));
  EXPECT_EQ(countOf(Operation::ReleaseString), 0);
}

TEST_F(PropertyAccess, ObjectIdsWithQualifierAndTheirFailures) {
  EXPECT_EQ(readObjectIds(33, selectors::ownedObjects, controlClass), std::vector<ObjectId>{41});
  const sim::Call* size = &sim::callLog().at(1);
  ASSERT_EQ(size->operation, Operation::GetDataSize);
  const sim::Call* data = onlyCall(Operation::GetData);
  ASSERT_NE(data, nullptr);
  std::vector<std::uint8_t> actl(4);
  std::memcpy(actl.data(), &controlClass, 4);
  EXPECT_EQ(size->qualifier, actl);
  EXPECT_EQ(data->qualifier, actl);
  EXPECT_EQ(data->dataSize, 4u);

  // No qualifier asked for: none is passed.
  EXPECT_EQ(readObjectIds(systemObject, selectors::devices, std::nullopt),
            std::vector<ObjectId>{33});
  EXPECT_TRUE(sim::callLog().back().qualifier.empty());

  sim::store().objects[33].properties[selectors::ownedObjects] = sim::idsValue({41, 42, 43});
  EXPECT_EQ(readObjectIds(33, selectors::ownedObjects, controlClass),
            (std::vector<ObjectId>{41, 42, 43}));
  scriptOf(33, selectors::ownedObjects).dataStatus = status::unspecified;
  EXPECT_TRUE(readObjectIds(33, selectors::ownedObjects, controlClass).empty());
  scriptOf(33, selectors::ownedObjects) = sim::Script{};
  scriptOf(33, selectors::ownedObjects).reportedSize = 0;
  EXPECT_TRUE(readObjectIds(33, selectors::ownedObjects, controlClass).empty());
}

TEST_F(PropertyAccess, ObjectIdsKeepOnlyWholeIdsOfARaggedSize) {
  sim::store().objects[33].properties[selectors::ownedObjects] = sim::idsValue({41, 42, 43});
  scriptOf(33, selectors::ownedObjects).reportedSize = 6;
  EXPECT_EQ(readObjectIds(33, selectors::ownedObjects, controlClass), std::vector<ObjectId>{41});
  EXPECT_EQ(sim::callLog().back().dataSize, 6u);
}

TEST_F(PropertyAccess, SettableQuestion) {
  scriptOf(control, selectors::nativeValue).settableFlag = 2;
  EXPECT_TRUE(isSettable(control, selectors::nativeValue));
  scriptOf(control, selectors::nativeValue).settableStatus = status::unspecified;
  EXPECT_FALSE(isSettable(control, selectors::nativeValue));
}

TEST_F(PropertyAccess, WritesAskNothingFirstAndPassTheStatusBack) {
  EXPECT_EQ(writeFloat32(control, selectors::nativeValue, 7.25f), noErr);
  EXPECT_EQ(operations(), std::vector<Operation>{Operation::SetData});
  EXPECT_EQ(sim::callLog().back().dataSize, 4u);
  EXPECT_TRUE(sim::callLog().back().qualifier.empty());
  EXPECT_EQ(readFloat32(control, selectors::nativeValue), 7.25f);

  EXPECT_EQ(writeUInt32(control, selectors::onOff, 1), -50);  // refused by the device
  EXPECT_EQ(writeUInt32(control, selectors::objectClass, 1), status::refused);
  EXPECT_EQ(writeUInt32(control, selectors::absoluteValue, 1), status::unknownProperty);
  EXPECT_EQ(writeUInt32(12345, selectors::absoluteValue, 1), status::badObject);
  EXPECT_EQ(writeUInt32(control, selectors::automaticManual, 0), noErr);
  EXPECT_EQ(readUInt32(control, selectors::automaticManual), 0u);
}

TEST_F(PropertyAccess, WriteBytesSendsEveryByteAndEmptyAsZeroBytes) {
  sim::store().objects[control].settable.insert(selectors::nativeData);
  EXPECT_EQ(writeBytes(control, selectors::nativeData, {9, 8, 7}), noErr);
  EXPECT_EQ(sim::callLog().back().data, (std::vector<std::uint8_t>{9, 8, 7}));
  EXPECT_EQ(writeBytes(control, selectors::nativeData, {}), noErr);
  EXPECT_EQ(sim::callLog().back().dataSize, 0u);
}

TEST(LittleEndianBytes, TwosComplementLeastSignificantFirst) {
  using Bytes = std::array<std::uint8_t, 4>;
  EXPECT_EQ(littleEndianBytes(1), (Bytes{0x01, 0x00, 0x00, 0x00}));
  EXPECT_EQ(littleEndianBytes(256), (Bytes{0x00, 0x01, 0x00, 0x00}));
  EXPECT_EQ(littleEndianBytes(-1), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(littleEndianBytes(-256), (Bytes{0x00, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(littleEndianBytes(522000), (Bytes{0x10, 0xF7, 0x07, 0x00}));
}

}  // namespace
}  // namespace camknob
