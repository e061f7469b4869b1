#include "runner/boot.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "runner/host_tools.h"
#include "runner/init_script.h"
#include "runner/initramfs.h"
#include "runner/kernel.h"
#include "runner/kvm_probe.h"
#include "runner/qemu_command.h"
#include "runner/run_captured.h"

namespace camknob::vm {

namespace fs = std::filesystem;

namespace {

Boot notBooted(BootStatus status, std::string why) {
  return Boot{status, std::move(why), {}, {}, 0.0, {}, std::nullopt};
}

std::string fileText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::erase(text, '\r');
  return text;
}

std::string checkSteps(const Guest& guest) {
  std::set<std::string> names;
  for (const Step& step : guest.steps) {
    if (!isStepName(step.name)) return "bad step name \"" + step.name + "\"";
    if (!names.insert(step.name).second) return "two steps are named " + step.name;
    if (step.argv.empty()) return "step " + step.name + " has nothing to run";
  }
  return {};
}

std::vector<std::string> wantedModules(const Guest& guest) {
  std::vector<std::string> modules;
  if (guest.vivid) modules.push_back("vivid");
  if (guest.virtualCamera)
    for (const char* module : {"uvcvideo", "dummy_hcd", "gadgetfs"}) modules.push_back(module);
  return modules;
}

}  // namespace

Boot bootGuest(const Guest& guest, const BootSettings& settings) {
  if (const std::string problem = checkSteps(guest); !problem.empty())
    return notBooted(BootStatus::failed, problem);
  if (guest.virtualCamera && settings.virtualCamera.empty())
    return notBooted(BootStatus::failed, "the guest needs the virtual camera program");
  const auto qemu = findProgram("qemu-system-x86_64");
  if (!qemu) return notBooted(BootStatus::unavailable, "no qemu-system-x86_64 (qemu-system-x86)");
  auto busybox = findProgram("/bin/busybox");
  if (!busybox) busybox = findProgram("busybox");
  if (!busybox) return notBooted(BootStatus::unavailable, "no busybox (busybox-static)");
  const char* accelerationVariable = std::getenv(acceleratorVariable);
  const std::string acceleration = accelerationVariable != nullptr ? accelerationVariable : "";
  const std::optional<AcceleratorRequest> request = acceleratorRequest(acceleration);
  if (!request)
    return notBooted(BootStatus::failed, std::string(acceleratorVariable) + " is \"" +
                                             acceleration + "\": kvm, tcg, or unset to choose");

  const KernelLookup lookup = obtainKernel(settings.cacheDirectory);
  if (!lookup.kernel) return notBooted(BootStatus::unavailable, lookup.whyNot);
  const Kernel& kernel = *lookup.kernel;
  std::string error;
  const std::vector<std::string> modules = moduleLoadOrder(kernel, wantedModules(guest), error);
  if (!error.empty()) return notBooted(BootStatus::failed, error);

  const fs::path run = fs::path(settings.cacheDirectory) / "last-run";
  std::error_code fsError;
  fs::remove_all(run, fsError);
  fs::create_directories(run, fsError);
  if (fsError) return notBooted(BootStatus::failed, "cannot create " + run.string());
  const AcceleratorChoice accelerator = chooseAccelerator(*request, kvmDeviceError(), [&] {
    return probeKvm(*qemu, kernel.image, *busybox, (run / "kvm-probe").string(), kvmProbeSeconds);
  });

  const auto started = std::chrono::steady_clock::now();
  InitramfsContent content{*busybox, modules, {settings.stepRunner}, {}};
  if (guest.virtualCamera) content.programs.push_back(settings.virtualCamera);
  content.programs.insert(content.programs.end(), guest.hostBinaries.begin(),
                          guest.hostBinaries.end());
  std::vector<std::string> moduleNames;
  for (const std::string& module : modules) moduleNames.push_back(fs::path(module).filename());
  content.initScript = initScript(guest, moduleNames);

  if (const std::string failure = writeInitramfs(content, (run / "initramfs.cpio").string());
      !failure.empty()) {
    Boot failed = notBooted(BootStatus::failed, "initramfs: " + failure);
    failed.accelerator = accelerator;
    return failed;
  }

  const RunOutcome ran = runCaptured({qemuCommand(*qemu, kernel.image, accelerator.accelerator),
                                      {},
                                      {},
                                      {},
                                      std::int64_t{settings.timeoutSeconds} * 1000,
                                      run.string()});
  Boot boot{BootStatus::booted,
            {},
            parseStepRecords(fileText(run / "steps.log")),
            fileText(run / "console.log"),
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(),
            run.string(),
            accelerator};
  if (!ran.started) {
    boot.status = BootStatus::failed;
    boot.whyNot = ran.startError;
  } else if (ran.timedOut) {
    boot.status = BootStatus::failed;
    boot.whyNot = "the guest was still running after " + std::to_string(settings.timeoutSeconds) +
                  " s under " + acceleratorName(accelerator.accelerator) + " and was stopped";
  } else if (ran.exitStatus != 0) {
    boot.status = BootStatus::failed;
    boot.whyNot = "qemu exited with status " + std::to_string(ran.exitStatus) + ": " + ran.err;
  } else if (boot.console.find(stepsDoneMarker) == std::string::npos) {
    // A kernel panic also ends qemu normally (the guest reboots, -no-reboot).
    boot.status = BootStatus::failed;
    boot.whyNot = "the guest stopped before it finished its steps (see its console)";
  }
  return boot;
}

const StepResult* findStep(const Boot& boot, std::string_view name) {
  for (const StepResult& step : boot.steps)
    if (step.name == name) return &step;
  return nullptr;
}

}  // namespace camknob::vm
