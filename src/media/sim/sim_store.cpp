#include "media/sim/sim_store.h"

#include <cstring>

#include "media/sim/sim_state.h"

namespace camknob::sim {

namespace {

template <typename Number>
std::vector<std::uint8_t> bytesOf(const Number& number) {
  std::vector<std::uint8_t> bytes(sizeof number);
  std::memcpy(bytes.data(), &number, sizeof number);
  return bytes;
}

template <typename Number>
Number numberOf(const Value& value) {
  Number number{};
  std::memcpy(&number, value.bytes.data(), std::min(sizeof number, value.bytes.size()));
  return number;
}

}  // namespace

Value uint32Value(std::uint32_t number) {
  return Value{Shape::UInt32, bytesOf(number), {}};
}
Value float32Value(float number) {
  return Value{Shape::Float32, bytesOf(number), {}};
}
Value rangeValue(double minimum, double maximum) {
  return Value{Shape::Range, bytesOf(AudioValueRange{minimum, maximum}), {}};
}
Value bytesValue(std::vector<std::uint8_t> bytes) {
  return Value{Shape::Bytes, std::move(bytes), {}};
}
Value idsValue(const std::vector<ObjectId>& ids) {
  std::vector<std::uint8_t> bytes(ids.size() * sizeof(ObjectId));
  if (!ids.empty()) std::memcpy(bytes.data(), ids.data(), bytes.size());
  return Value{Shape::Ids, std::move(bytes), {}};
}
Value stringValue(std::string text) {
  return Value{Shape::String, {}, std::move(text)};
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
  std::vector<ObjectId> ids(value.bytes.size() / sizeof(ObjectId));
  if (!ids.empty()) std::memcpy(ids.data(), value.bytes.data(), ids.size() * sizeof(ObjectId));
  return ids;
}

std::uint32_t naturalSize(const Value& value) {
  if (value.shape == Shape::String) return sizeof(StringRef);
  return static_cast<std::uint32_t>(value.bytes.size());
}

State& state() {
  static State instance;
  return instance;
}

void reset(System system) {
  State& current = state();
  current.system = std::move(system);
  current.log.clear();
  current.recording = false;
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

std::size_t liveStringCount() {
  return state().liveStrings.size();
}

void setWriteHook(WriteHook hook) {
  state().writeHook = std::move(hook);
}

}  // namespace camknob::sim
