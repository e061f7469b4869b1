#include "media/sim/sim_store.h"

#include <cstring>

#include "media/sim/sim_state.h"

namespace camknob::sim {

namespace {

template <typename Number>
std::span<const std::uint8_t> bytesOf(const Number& number) {
  return {reinterpret_cast<const std::uint8_t*>(&number), sizeof number};
}

template <typename Number>
Number numberOf(const Value& value) {
  Number number{};
  const auto bytes = value.bytes();
  std::memcpy(&number, bytes.data(), std::min(sizeof number, bytes.size()));
  return number;
}

}  // namespace

Value::Value(PropertyShape shape, std::span<const std::uint8_t> bytes)
    : size_(static_cast<std::uint32_t>(bytes.size())), shape_(shape), local_{} {
  if (size_ > localCapacity) {
    heap_ = new std::uint8_t[size_];
    std::memcpy(heap_, bytes.data(), size_);
  } else if (size_ != 0) {
    std::memcpy(local_, bytes.data(), size_);
  }
}

Value::Value(Value&& other) noexcept : size_(other.size_), shape_(other.shape_), local_{} {
  std::memcpy(local_, other.local_, localCapacity);  // the pointer, if on the heap
  other.size_ = 0;
}

Value& Value::operator=(const Value& other) {
  if (this != &other) *this = Value(other);
  return *this;
}

Value& Value::operator=(Value&& other) noexcept {
  if (this == &other) return *this;
  if (size_ > localCapacity) delete[] heap_;
  size_ = other.size_;
  shape_ = other.shape_;
  std::memcpy(local_, other.local_, localCapacity);
  other.size_ = 0;
  return *this;
}

Value::~Value() {
  if (size_ > localCapacity) delete[] heap_;
}

void Value::setBytes(std::span<const std::uint8_t> bytes) {
  *this = Value(shape_, bytes);
}

bool operator==(const Value& a, const Value& b) {
  const auto left = a.bytes();
  const auto right = b.bytes();
  return a.shape_ == b.shape_ && std::equal(left.begin(), left.end(), right.begin(), right.end());
}

Value uint32Value(std::uint32_t number) {
  return Value(PropertyShape::UInt32, bytesOf(number));
}
Value float32Value(float number) {
  return Value(PropertyShape::Float32, bytesOf(number));
}
Value rangeValue(double minimum, double maximum) {
  const AudioValueRange range{minimum, maximum};
  return Value(PropertyShape::Range, bytesOf(range));
}
Value bytesValue(std::span<const std::uint8_t> bytes) {
  return Value(PropertyShape::Bytes, bytes);
}
Value idsValue(const std::vector<ObjectId>& ids) {
  return Value(PropertyShape::Ids,
               {reinterpret_cast<const std::uint8_t*>(ids.data()), ids.size() * sizeof(ObjectId)});
}
Value stringValue(std::string_view text) {
  return Value(PropertyShape::String,
               {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

std::uint32_t uint32Of(const Value& value) {
  return numberOf<std::uint32_t>(value);
}
float float32Of(const Value& value) {
  return numberOf<float>(value);
}
AudioValueRange rangeOf(const Value& value) {
  return numberOf<AudioValueRange>(value);
}
std::vector<ObjectId> idsOf(const Value& value) {
  const auto bytes = value.bytes();
  std::vector<ObjectId> ids(bytes.size() / sizeof(ObjectId));
  if (!ids.empty()) std::memcpy(ids.data(), bytes.data(), ids.size() * sizeof(ObjectId));
  return ids;
}

std::uint32_t naturalSize(const Value& value) {
  if (value.shape() == PropertyShape::String) return sizeof(StringRef);
  return static_cast<std::uint32_t>(value.bytes().size());
}

State& state() {
  // Never destroyed: a run ends without taking a large system apart piece by
  // piece.
  static State* const instance = new State;
  return *instance;
}

void reset(System system) {
  State& current = state();
  current.system = std::move(system);
  current.log.clear();
  current.recording = false;
  current.calls = 0;
  current.fault.reset();
  current.writeHook = nullptr;
}

System& store() {
  return state().system;
}

void recordCalls() {
  state().recording = true;
}

const std::vector<Call>& callLog() {
  return state().log;
}

std::size_t callCount() {
  return state().calls;
}

void injectFault(std::size_t call, Fault fault) {
  state().fault = InjectedFault{call, fault};
}

std::size_t liveStringCount() {
  return state().liveStrings.size();
}

void setWriteHook(WriteHook hook) {
  state().writeHook = std::move(hook);
}

}  // namespace camknob::sim
