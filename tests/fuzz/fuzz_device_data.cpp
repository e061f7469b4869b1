// Random devices behind the simulated service: object trees with repeated,
// missing and foreign ids, properties of every selector in any shape, size
// and content, scripted answers that contradict the store, and then list and
// every command over them.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_checks.h"
#include "records/property_types.h"

namespace {

using namespace camknob;

constexpr std::array<std::uint32_t, 16> selectorPool{
    selectors::devices,       selectors::deviceUid,       selectors::name,
    selectors::manufacturer,  selectors::ownedObjects,    selectors::objectClass,
    selectors::absoluteValue, selectors::absoluteRange,   selectors::nativeValue,
    selectors::nativeRange,   selectors::automaticManual, selectors::onOff,
    selectors::nativeData,    selectors::nativeDataRange, fourCharCode("ptab"),
    fourCharCode("ptrl")};

ObjectId someId(FuzzedDataProvider& input) {
  return input.ConsumeIntegralInRange<ObjectId>(0, 24);
}

std::uint32_t someSelector(FuzzedDataProvider& input) {
  return input.ConsumeBool() ? input.PickValueInArray(selectorPool)
                             : input.ConsumeIntegral<std::uint32_t>();
}

sim::Value someValue(FuzzedDataProvider& input, std::uint32_t selector) {
  const auto shape =
      input.PickValueInArray({PropertyShape::UInt32, PropertyShape::Float32, PropertyShape::Range,
                              PropertyShape::Bytes, PropertyShape::Ids, PropertyShape::String});
  // Mostly a class code the tool knows, so that controls come to life.
  if (selector == selectors::objectClass && input.ConsumeBool())
    return sim::uint32Value(
        input.PickValueInArray({fourCharCode("brit"), fourCharCode("xpsr"), fourCharCode("ptab"),
                                fourCharCode("ptrl"), fourCharCode("fcus"), fourCharCode("zoom")}));
  if (shape == PropertyShape::Ids && input.ConsumeBool()) {
    std::vector<ObjectId> ids(input.ConsumeIntegralInRange<std::size_t>(0, 6));
    for (ObjectId& id : ids) id = someId(input);
    return sim::idsValue(ids);
  }
  const auto bytes = input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange(0, 24));
  return sim::Value(shape, bytes);
}

sim::Object someObject(FuzzedDataProvider& input) {
  sim::Object object;
  const int properties = input.ConsumeIntegralInRange(0, 10);
  for (int i = 0; i < properties; ++i) {
    const std::uint32_t selector = someSelector(input);
    object.properties[selector] = someValue(input, selector);
  }
  const int settable = input.ConsumeIntegralInRange(0, 4);
  for (int i = 0; i < settable; ++i) object.settable.insert(someSelector(input));
  if (input.ConsumeBool()) object.refuse[someSelector(input)] = input.ConsumeIntegral<Status>();
  return object;
}

sim::Script someScript(FuzzedDataProvider& input) {
  sim::Script script;
  if (input.ConsumeBool()) script.hasAnswer = input.ConsumeIntegral<std::uint8_t>();
  if (input.ConsumeBool()) script.sizeStatus = input.ConsumeIntegral<Status>();
  if (input.ConsumeBool()) script.reportedSize = input.ConsumeIntegral<std::uint32_t>();
  if (input.ConsumeBool()) script.dataStatus = input.ConsumeIntegral<Status>();
  if (input.ConsumeBool()) script.bytesFilled = input.ConsumeIntegralInRange<std::uint32_t>(0, 40);
  script.nullString = input.ConsumeBool();
  if (input.ConsumeBool()) script.settableStatus = input.ConsumeIntegral<Status>();
  if (input.ConsumeBool()) script.settableFlag = input.ConsumeIntegral<std::uint8_t>();
  return script;
}

sim::System someSystem(FuzzedDataProvider& input) {
  sim::System system;
  const int objects = input.ConsumeIntegralInRange(0, 12);
  for (int i = 0; i < objects; ++i) system.objects[someId(input)] = someObject(input);
  // The system object lists some of them as its devices, most of the time.
  if (input.ConsumeBool() || input.ConsumeBool()) {
    std::vector<ObjectId> devices(input.ConsumeIntegralInRange<std::size_t>(0, 5));
    for (ObjectId& id : devices) id = someId(input);
    system.objects[systemObject].properties[selectors::devices] = sim::idsValue(devices);
  }
  const int scripts = input.ConsumeIntegralInRange(0, 6);
  for (int i = 0; i < scripts; ++i)
    system.scripts[{someId(input), someSelector(input)}] = someScript(input);
  return system;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const sim::System system = someSystem(input);

  static const std::vector<std::vector<std::string>> commands{
      {"list"},
      {"set", "--control", "brightness", "--value", "42"},
      {"set", "--control", "exposure", "--value", "0.25"},
      {"auto", "--control", "focus", "--enabled", "on"},
      {"on", "--control", "panTiltRelative", "--enabled", "off"},
      {"move", "--pan", "-0.5", "--tilt", "1", "--speed", "0.2"},
      {"home"},
      {"absolute", "--pan", "30", "--tilt", "-15"},
      {"zoom"},
  };
  const auto& chosen = commands[input.ConsumeIntegralInRange<std::size_t>(0, commands.size() - 1)];
  std::vector<std::string> texts = chosen;
  if (input.ConsumeBool()) {
    texts.push_back("--device");
    texts.push_back(input.ConsumeRandomLengthString(16));
  }
  CommandLine line;
  for (const std::string& text : texts) line.texts.push_back(text);

  for (const auto& run : {CommandLine{{"list"}}, line}) {
    sim::reset(system);
    camknob::fuzzing::runChecked(run, false);
  }
  return 0;
}
