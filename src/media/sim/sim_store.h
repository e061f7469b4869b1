// The simulated media-device service's object store: system object 1,
// devices and controls, each a set of properties, plus what tests need to
// steer it (scripted answers per property) and to watch it (a call log).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "media/property_types.h"

namespace camknob::sim {

enum class Shape { UInt32, Float32, Range, Bytes, Ids, String };

struct Value {
  Shape shape;
  std::vector<std::uint8_t> bytes;  // every shape but String, in machine byte order
  std::string text;                 // String
};

Value uint32Value(std::uint32_t number);
Value float32Value(float number);
Value rangeValue(double minimum, double maximum);
Value bytesValue(std::vector<std::uint8_t> bytes);
Value idsValue(const std::vector<ObjectId>& ids);
Value stringValue(std::string text);

std::uint32_t uint32Of(const Value& value);
float float32Of(const Value& value);
AudioValueRange rangeOf(const Value& value);
std::vector<ObjectId> idsOf(const Value& value);

// The size a plain data-size query reports for the value.
std::uint32_t naturalSize(const Value& value);

// Departures from the plain answers, set by tests for one object and selector.
// Each applies to the operation it names and works even where the property is
// absent.
struct Script {
  std::optional<std::uint8_t> hasAnswer;      // has-property answers this byte
  std::optional<Status> sizeStatus;           // size query fails with this
  std::optional<std::uint32_t> reportedSize;  // size query reports this
  std::optional<Status> dataStatus;           // data call fails with this
  std::optional<std::uint32_t> bytesFilled;   // data call fills only this many bytes
  bool nullString = false;                    // data call leaves the reference null
  bool unconvertibleString = false;           // the string handed out has no text
  std::optional<Status> settableStatus;       // settable question fails with this
  std::optional<std::uint8_t> settableFlag;   // settable question answers this byte
};

struct Object {
  std::map<std::uint32_t, Value> properties;
  std::set<std::uint32_t> settable;
  std::map<std::uint32_t, Status> refuse;  // a write to the selector gives this status
  std::map<std::uint32_t, Script> scripts;
};

struct System {
  std::map<ObjectId, Object> objects;
};

enum class Operation { HasProperty, GetDataSize, GetData, IsSettable, SetData, ReleaseString };

struct Call {
  Operation operation;
  ObjectId object;
  std::uint32_t selector;
  std::uint32_t scope;
  std::uint32_t element;
  std::vector<std::uint8_t> qualifier;
  std::uint32_t dataSize;          // GetData and SetData
  std::vector<std::uint8_t> data;  // what SetData carried
  std::chrono::steady_clock::time_point at;
};

// Status codes of the simulated service, the platform's own where it has one.
inline constexpr Status badObject = static_cast<Status>(fourCharCode("!obj"));
inline constexpr Status unknownProperty = static_cast<Status>(fourCharCode("who?"));
inline constexpr Status notSettable = static_cast<Status>(fourCharCode("nope"));
inline constexpr Status badSize = static_cast<Status>(fourCharCode("!siz"));
inline constexpr Status unspecified = static_cast<Status>(fourCharCode("what"));

// Replaces the whole state: the objects, the log (emptied), recording (off)
// and the write hook (none).
void reset(System system = {});

// The store the service answers from.
System& store();

// Starts logging every service call.
void recordCalls();
const std::vector<Call>& callLog();

// String references handed out by data calls and not yet released.
std::size_t liveStringCount();

// Runs after a write passed every check, with the state as it would be; a
// non-zero status refuses the write and the state stays as it was.
using WriteHook = std::function<Status(const System& updated)>;
void setWriteHook(WriteHook hook);

}  // namespace camknob::sim
