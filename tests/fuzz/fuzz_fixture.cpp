// Fixture files: the reader against an independent JSON parser, then for
// every fixture it takes: list, every write the commands make to every
// control, the saved text read back, and the same cameras from both.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "discovery/list_devices.h"
#include "fuzz_checks.h"
#include "json/json_text.h"
#include "json/write_response.h"
#include "media/property_access.h"
#include "media/sim/sim_fixture.h"

namespace {

using namespace camknob;

std::string responseText() {
  const auto text = encodeResponse(CameraResponse{true, listDevices(), std::nullopt});
  return text ? *text : std::string(fallbackResponseLine);
}

// The writes of set, auto, on, move, home and absolute to every object, with
// values taken from the input.
void writeEverything(const std::uint8_t* data, std::size_t size) {
  std::vector<ObjectId> ids;
  for (const auto& [id, object] : sim::store().objects) ids.push_back(id);
  std::size_t at = 0;
  const auto next = [&]() -> std::uint32_t {
    std::uint32_t value = 0;
    for (int i = 0; i < 4 && size != 0; ++i, ++at) value = (value << 8) | data[at % size];
    return value;
  };
  for (const ObjectId id : ids) {
    const std::uint32_t bits = next();
    float number = 0;
    std::memcpy(&number, &bits, sizeof number);
    (void)writeFloat32(id, selectors::absoluteValue, number);
    (void)writeFloat32(id, selectors::nativeValue, number);
    (void)writeUInt32(id, selectors::automaticManual, next() & 1);
    (void)writeUInt32(id, selectors::onOff, next());
    const auto moveBytes = littleEndianBytes(static_cast<std::int32_t>(next()));
    (void)writeBytes(id, selectors::nativeData, {moveBytes.begin(), moveBytes.end()});
    std::vector<std::uint8_t> position(8);
    for (std::uint8_t& byte : position) byte = static_cast<std::uint8_t>(next());
    (void)writeBytes(id, selectors::nativeData, position);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  sim::FixtureLoad loaded = sim::parseFixture(text);

  // Text the independent parser refuses is never a fixture; text it takes
  // fails, if at all, for what it says and not as text.
  if (text.find('\0') == std::string_view::npos) {
    const bool json = nlohmann::json::accept(text);
    if (!json && loaded.system) fuzzing::finding("not JSON, yet loaded", std::string(text));
    if (json && !loaded.system && loaded.fault.rfind("parse error", 0) == 0)
      fuzzing::finding("JSON, yet a parse error", loaded.fault + "\n" + std::string(text));
  } else if (loaded.system) {
    fuzzing::finding("a NUL byte, yet loaded", std::string(text));
  }
  if (loaded.fault.find_first_of("\n\r") != std::string::npos)
    fuzzing::finding("a fault of more than one line", loaded.fault);
  if (!loaded.system) return 0;

  sim::reset(std::move(*loaded.system));
  fuzzing::runChecked(CommandLine{{"list"}});
  writeEverything(data, size);
  const std::string before = responseText();
  fuzzing::checkAnswer(before + "\n", 0);

  // What would be saved reads back to the same cameras, and saves the same.
  const std::string saved = sim::fixtureText(sim::store());
  sim::FixtureLoad again = sim::parseFixture(saved);
  if (!again.system)
    fuzzing::finding("the saved fixture does not load", again.fault + "\n" + saved);
  if (!nlohmann::json::accept(saved)) fuzzing::finding("the saved fixture is not JSON", saved);
  sim::reset(std::move(*again.system));
  if (responseText() != before) fuzzing::finding("the cameras changed on reading back", saved);
  if (sim::fixtureText(sim::store()) != saved) fuzzing::finding("saving again differs", saved);
  return 0;
}
