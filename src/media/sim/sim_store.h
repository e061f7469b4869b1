// The simulated media-device service's object store: system object 1,
// devices and controls, each a set of properties, plus what tests need to
// steer it (scripted answers per property, a fault at one chosen call) and to
// watch it (a call log).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "media/service_status.h"
#include "records/flat_map.h"
#include "records/property_types.h"

namespace camknob::sim {

// One property's value: its shape and its bytes, in machine byte order (a
// string's bytes are its text). Up to 16 bytes, which every fixed shape fits
// in, are kept in place, so that a system of 100,000 controls stays small.
class Value {
 public:
  Value() noexcept : size_(0), shape_(PropertyShape::Bytes), local_{} {}
  Value(PropertyShape shape, std::span<const std::uint8_t> bytes);
  Value(const Value& other) : Value(other.shape_, other.bytes()) {}
  Value(Value&& other) noexcept;
  Value& operator=(const Value& other);
  Value& operator=(Value&& other) noexcept;
  ~Value();

  PropertyShape shape() const { return shape_; }
  std::span<const std::uint8_t> bytes() const { return {data(), size_}; }
  std::string_view text() const { return {reinterpret_cast<const char*>(data()), size_}; }
  // New bytes of the same shape.
  void setBytes(std::span<const std::uint8_t> bytes);

  friend bool operator==(const Value& a, const Value& b);

 private:
  static constexpr std::uint32_t localCapacity = 16;
  const std::uint8_t* data() const { return size_ <= localCapacity ? local_ : heap_; }

  std::uint32_t size_;
  PropertyShape shape_;
  union {
    std::uint8_t local_[localCapacity];
    std::uint8_t* heap_;
  };
};

Value uint32Value(std::uint32_t number);
Value float32Value(float number);
Value rangeValue(double minimum, double maximum);
Value bytesValue(std::span<const std::uint8_t> bytes);
inline Value bytesValue(std::initializer_list<std::uint8_t> bytes) {
  return bytesValue(std::span<const std::uint8_t>(bytes.begin(), bytes.size()));
}
Value idsValue(const std::vector<ObjectId>& ids);
Value stringValue(std::string_view text);

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

// A menu control's item: the driver's name of it, or the number of an
// integer menu's item.
struct MenuEntry {
  std::optional<std::string> name;
  std::optional<std::int64_t> number;

  friend bool operator==(const MenuEntry&, const MenuEntry&) = default;
};

struct Object {
  FlatMap<std::uint32_t, Value> properties;
  FlatSet<std::uint32_t> settable;
  FlatMap<std::uint32_t, Status> refuse;  // a write to the selector gives this status
  // By the item's value; the menu's order is that of its menu items property.
  FlatMap<std::uint32_t, MenuEntry> menu;
};

struct System {
  std::unordered_map<ObjectId, Object> objects;
  std::map<std::pair<ObjectId, std::uint32_t>, Script> scripts;  // by object and selector
};

enum class Operation {
  HasProperty,
  GetDataSize,
  GetData,
  IsSettable,
  SetData,
  StringText,
  ReleaseString
};

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

// The ways one service call can go wrong, for sweeping every call of a run.
// Each applies to the operations it names and leaves the others alone.
enum class Fault {
  Absent,         // has-property answers no
  FailingStatus,  // size query, data call or settable question fails
  WrongSize,      // size query reports one byte more than the value has
  ShortData,      // data call fills only half of the bytes
  NullString,     // data call leaves a string reference null
  Refused,        // a write is refused
  Unconvertible,  // a string's text cannot be had
  Exception,      // any call throws std::bad_alloc, as when memory runs out
};

// Replaces the whole state: the objects, the log (emptied), recording (off),
// the call count (0), the injected fault (none) and the write hook (none).
void reset(System system = {});

// The store the service answers from.
System& store();

// Starts logging every service call.
void recordCalls();
const std::vector<Call>& callLog();

// Service calls made since the last reset, counted as the log counts them.
std::size_t callCount();

// Makes the call with this number (counted from 0 since the last reset) go
// wrong in this way; every other call is answered as usual.
void injectFault(std::size_t call, Fault fault);

// String references handed out by data calls and not yet released.
std::size_t liveStringCount();

// A write as the service received it: applied to a system, with every check
// of the service, it gives the write's status and changes nothing else.
using Change = std::function<Status(System&)>;

// What a write hook did with a write: its status and, when the system it
// keeps differs from the store, that system, which becomes the store.
struct Commit {
  Status status;
  std::optional<System> system;
};

// For a service whose system lives elsewhere too (a fixture file shared by
// several runs): runs after every write the store accepted, with the store as
// the write left it (`changed`) and the same write for any other system
// (`change`). A status other than noErr refuses the write, and the store gets
// its value back.
using WriteHook = std::function<Commit(const Change& change, const System& changed)>;
void setWriteHook(WriteHook hook);

}  // namespace camknob::sim
