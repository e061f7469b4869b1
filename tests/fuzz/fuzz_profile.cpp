// Profile files, as camknob-profile apply reads them: the reader against an
// independent JSON parser, a profile it takes written and read back
// unchanged, and applied to the demo system with an answer that is JSON.
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "discovery/list_devices.h"
#include "fuzz_checks.h"
#include "media/sim/sim_fixture.h"
#include "profile/apply_profile.h"
#include "profile/profile_answers.h"
#include "profile/profile_reading.h"
#include "profile/profile_text.h"

namespace {

using namespace camknob;

bool sameProfile(const Profile& a, const Profile& b) {
  if (a.uid != b.uid || a.name != b.name || a.controls.size() != b.controls.size()) return false;
  for (std::size_t i = 0; i < a.controls.size(); ++i) {
    const ProfileControl& x = a.controls[i];
    const ProfileControl& y = b.controls[i];
    if (x.kind != y.kind || x.automatic != y.automatic || x.on != y.on ||
        x.valueMode != y.valueMode || x.value != y.value || x.nativeData != y.nativeData)
      return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const ProfileReading reading = readProfile(text);
  if (reading.fault.find_first_of("\n\r") != std::string::npos)
    fuzzing::finding("a fault of more than one line", reading.fault);
  if (!reading.profile) {
    if (reading.fault.empty()) fuzzing::finding("refused without a fault", std::string(text));
    return 0;
  }
  if (!nlohmann::json::accept(text)) fuzzing::finding("not JSON, yet a profile", std::string(text));

  // What save would write of it reads back the same.
  const auto written = profileText(*reading.profile);
  if (!written) fuzzing::finding("a profile read cannot be written", std::string(text));
  const ProfileReading again = readProfile(*written);
  if (!again.profile || !sameProfile(*reading.profile, *again.profile))
    fuzzing::finding("a written profile reads back otherwise", again.fault + "\n" + *written);

  // Applied to the demo's cameras: the answer is one JSON document.
  static const std::string demo(sim::demoFixtureText());
  sim::FixtureLoad loaded = sim::parseFixture(demo);
  sim::reset(std::move(*loaded.system));
  const std::vector<CameraDevice> before = listDevices();
  for (const CameraDevice& camera : before) {
    const std::vector<ApplyStep> steps = applySteps(*reading.profile, camera);
    const auto statuses = writeSteps(steps);
    const std::vector<CameraDevice> after = listDevices();
    const auto outcomes = stepOutcomes(steps, statuses, &after.front());
    const auto answer = appliedAnswer(outcomes, &after.front(), std::nullopt);
    if (!answer || !nlohmann::json::accept(*answer))
      fuzzing::finding("the apply answer is not JSON", answer.value_or("(none)"));
  }
  return 0;
}
