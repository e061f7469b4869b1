#include "runner/boot.h"

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "runner/host_tools.h"
#include "runner/init_script.h"
#include "runner/initramfs.h"
#include "runner/kernel.h"
#include "runner/run_captured.h"

namespace camknob::vm {

namespace fs = std::filesystem;

namespace {

Boot notBooted(BootStatus status, std::string why) {
  return Boot{status, std::move(why), {}, {}, 0.0, {}};
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

// Run in the run directory, whose files are named relatively: qemu reads
// commas in option values as separators.
std::vector<std::string> qemuCommand(const std::string& qemu, const Kernel& kernel) {
  std::vector<std::string> command = {qemu, "-nodefaults", "-no-user-config", "-no-reboot"};
  const auto option = [&command](const char* name, const std::string& value) {
    command.push_back(name);
    command.push_back(value);
  };
  option("-m", "512");
  // One processor: the virtual camera, at real-time priority, then runs
  // before the process whose request it answers can send the next one.
  option("-smp", "1");
  option("-display", "none");
  option("-monitor", "none");
  option("-serial", "file:console.log");  // ttyS0: the kernel's and /init's messages
  option("-serial", "file:steps.log");    // ttyS1: the step records
  option("-kernel", kernel.image);
  option("-initrd", "initramfs.cpio");
  option("-append", "console=ttyS0 quiet panic=-1");
  // Hardware virtualization where the machine offers it, else emulation.
  if (access("/dev/kvm", R_OK | W_OK) == 0) option("-accel", "kvm");
  option("-accel", "tcg");
  return command;
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

  const KernelLookup lookup = obtainKernel(settings.cacheDirectory);
  if (!lookup.kernel) return notBooted(BootStatus::unavailable, lookup.whyNot);
  const Kernel& kernel = *lookup.kernel;
  std::string error;
  const std::vector<std::string> modules = moduleLoadOrder(kernel, wantedModules(guest), error);
  if (!error.empty()) return notBooted(BootStatus::failed, error);

  const auto started = std::chrono::steady_clock::now();
  InitramfsContent content{*busybox, modules, {settings.stepRunner}, {}};
  if (guest.virtualCamera) content.programs.push_back(settings.virtualCamera);
  content.programs.insert(content.programs.end(), guest.hostBinaries.begin(),
                          guest.hostBinaries.end());
  std::vector<std::string> moduleNames;
  for (const std::string& module : modules) moduleNames.push_back(fs::path(module).filename());
  content.initScript = initScript(guest, moduleNames);

  const fs::path run = fs::path(settings.cacheDirectory) / "last-run";
  std::error_code fsError;
  fs::remove_all(run, fsError);
  fs::create_directories(run, fsError);
  if (fsError) return notBooted(BootStatus::failed, "cannot create " + run.string());
  if (const std::string failure = writeInitramfs(content, (run / "initramfs.cpio").string());
      !failure.empty())
    return notBooted(BootStatus::failed, "initramfs: " + failure);

  const RunOutcome ran = runCaptured({qemuCommand(*qemu, kernel),
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
            run.string()};
  if (!ran.started) {
    boot.status = BootStatus::failed;
    boot.whyNot = ran.startError;
  } else if (ran.timedOut) {
    boot.status = BootStatus::failed;
    boot.whyNot = "the guest was still running after " + std::to_string(settings.timeoutSeconds) +
                  " s and was stopped";
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
