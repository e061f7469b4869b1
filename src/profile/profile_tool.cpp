#include "profile/profile_tool.h"

#include <string>
#include <vector>

#include "commands/device_selection.h"
#include "commands/settle_pause.h"
#include "discovery/list_devices.h"
#include "json/write_response.h"
#include "profile/apply_profile.h"
#include "profile/profile_answers.h"
#include "profile/profile_application.h"
#include "profile/profile_reading.h"
#include "profile/profile_text.h"
#include "profile/saved_profile.h"
#include "system/text_files.h"
#include "text/one_line.h"

namespace camknob {

namespace {

constexpr std::string_view usageText =
    "Usage: camknob-profile save  [--device D] [FILE]\n"
    "       camknob-profile apply [--device D] [FILE]\n"
    "\n"
    "save writes the settable state of a camera (the first one, or the one\n"
    "--device names) to FILE, or to standard output. apply reads a profile\n"
    "from FILE, or from standard input, and applies it to the camera it was\n"
    "saved from (or the one --device names). See camknob-profile(1).\n";

constexpr std::string_view usageMessage = "Usage: camknob-profile save|apply [--device D] [FILE].";

bool isStandardStream(const std::optional<std::string_view>& file) {
  return !file || *file == "-";
}

// Writes one answer line, or the fallback line when it could not be encoded;
// the exit status given, or 1 when the line could not be written.
int answer(std::ostream& out, std::optional<std::string> text, int status) {
  const bool encoded = text.has_value();
  if (!writeAnswerLine(std::move(text), profileFallbackAnswer, out)) return 1;
  return encoded ? status : 1;
}

int fail(std::ostream& out, std::string_view message, bool withSteps) {
  return answer(out, failureAnswer(message, withSteps), 1);
}

int save(const ProfileCommandLine& line, std::ostream& out) {
  const std::vector<CameraDevice> devices = listDevices();
  const CameraDevice* camera = selectedDevice(devices, line.device);
  if (camera == nullptr) return fail(out, deviceNotFound, false);
  const Profile profile = savedProfile(*camera);
  const std::optional<std::string> text = profileText(profile);
  if (!text) return answer(out, std::nullopt, 1);
  if (isStandardStream(line.file)) {
    out.write(text->data(), static_cast<std::streamsize>(text->size()));
    out.flush();
    return out.good() ? 0 : 1;
  }
  const std::string path(*line.file);
  if (const auto fault = replaceFileText(path, *text))
    return fail(out, "Cannot write " + path + ": " + *fault + ".", false);
  return answer(out, savedAnswer(profile, path), 0);
}

// The one line on standard error for a profile that cannot be used.
int unusableProfile(std::ostream& err, const ProfileCommandLine& line, std::string_view fault) {
  const std::string source = isStandardStream(line.file) ? "(standard input)" : oneLine(*line.file);
  err << "camknob-profile: profile " << source << ": " << oneLine(fault) << std::endl;
  return 2;
}

const CameraDevice* sameCamera(const std::vector<CameraDevice>& devices,
                               const CameraDevice& camera) {
  for (const CameraDevice& device : devices)
    if (device.objectId == camera.objectId && device.uid == camera.uid) return &device;
  return nullptr;
}

int apply(const ProfileCommandLine& line, std::ostream& out, std::ostream& err) {
  std::optional<std::string> path;
  if (!isStandardStream(line.file)) path = std::string(*line.file);
  const FileReading file = readBoundedText(path, maxProfileBytes);
  if (!file.text) return unusableProfile(err, line, file.fault);
  const ProfileReading reading = readProfile(*file.text);
  if (!reading.profile) return unusableProfile(err, line, reading.fault);
  const Profile& profile = *reading.profile;

  const std::vector<CameraDevice> before = listDevices();
  const CameraDevice* camera =
      line.device ? deviceMatching(before, *line.device) : profileCamera(before, profile);
  if (camera == nullptr) return fail(out, deviceNotFound, true);

  const std::vector<ApplyStep> steps = applySteps(profile, *camera);
  const std::vector<std::optional<Status>> statuses = writeSteps(steps);

  // Read again only after a change, and then once, after the pause.
  std::vector<CameraDevice> after;
  const CameraDevice* now = camera;
  if (wroteAny(statuses)) {
    pauseAfterChange();
    after = listDevices();
    now = sameCamera(after, *camera);
  }
  const ProfileApplication applied = profileApplication(steps, statuses, now);
  return answer(out, appliedAnswer(applied.outcomes, now, applied.error), applied.error ? 1 : 0);
}

int run(const CommandLine& commandLine, std::ostream& out, std::ostream& err) {
  const ProfileCommandLine line = profileCommandLine(commandLine);
  if (line.command == "--help" || line.command == "-h" || line.command == "help") {
    out << usageText << std::flush;
    return out.good() ? 0 : 1;
  }
  if (line.command.empty()) return fail(out, usageMessage, false);
  const bool applying = line.command == "apply";
  if (!applying && line.command != "save")
    return fail(out, "Unknown command: " + std::string(line.command) + ".", false);
  if (!line.wellFormed) return fail(out, usageMessage, applying);
  return applying ? apply(line, out, err) : save(line, out);
}

}  // namespace

ProfileCommandLine profileCommandLine(const CommandLine& line) {
  ProfileCommandLine parsed{.command = {}, .device = {}, .file = {}, .wellFormed = true};
  if (line.texts.empty()) return parsed;
  parsed.command = line.texts.front();
  for (std::size_t i = 1; i < line.texts.size(); ++i) {
    const std::string_view text = line.texts[i];
    if (text == "--device") {
      if (i + 1 == line.texts.size()) {
        parsed.wellFormed = false;
        break;
      }
      if (!parsed.device) parsed.device = line.texts[i + 1];
      ++i;
    } else if (text.size() > 1 && text.front() == '-') {
      parsed.wellFormed = false;  // an option this tool does not have
    } else if (parsed.file) {
      parsed.wellFormed = false;
    } else {
      parsed.file = text;
    }
  }
  return parsed;
}

int runProfileTool(const CommandLine& line, std::ostream& out, std::ostream& err) noexcept {
  try {
    return run(line, out, err);
  } catch (...) {
    // Memory ran out, say: the fallback line needs none.
    writeFallbackLine(profileFallbackAnswer, out);
    return 1;
  }
}

}  // namespace camknob
