// How camknob's listing compares with v4l2-ctl --list-ctrls on the same
// camera, the virtual camera under uvcvideo in the VM: wall time per run and
// ioctls per control. It prints the figures; it judges nothing.
//
//   camknob_vm_bench            the listing
//   camknob_vm_bench camknobd   camknobd's changes (camknobd_bench.h)
#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "camknobd_bench.h"
#include "ioctl_count.h"
#include "runner/boot.h"
#include "runner/host_tools.h"

namespace {

using namespace camknob;

constexpr int runsPerRound = 20;
constexpr int rounds = 8;
constexpr const char* node = "/dev/video0";  // the camera, without vivid

std::string repeated(const std::string& command) {
  return "i=0; while [ $i -lt " + std::to_string(runsPerRound) + " ]; do " + command +
         " >/dev/null || exit 1; i=$((i+1)); done";
}

struct Timing {
  double median;
  double best;
};

// Milliseconds per run, over the rounds.
Timing millisecondsPerRun(const vm::Boot& boot, const std::string& tool) {
  std::vector<double> perRun;
  for (int round = 0; round < rounds; ++round)
    if (const vm::StepResult* step = vm::findStep(boot, tool + "." + std::to_string(round)))
      if (step->exitStatus == 0) perRun.push_back(step->wallNanoseconds / 1e6 / runsPerRound);
  if (perRun.empty()) return Timing{-1, -1};
  std::sort(perRun.begin(), perRun.end());
  return Timing{perRun[perRun.size() / 2], perRun.front()};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "camknobd") return camknob::vmtests::camknobdBench();
  if (argc != 1) {
    std::printf("usage: camknob_vm_bench [camknobd]\n");
    return 2;
  }
  const auto v4l2Ctl = vm::findProgram("v4l2-ctl");
  const auto strace = vm::findProgram("strace");
  if (!v4l2Ctl || !strace) {
    std::printf("needs v4l2-ctl and strace (Debian's v4l-utils and strace)\n");
    return 77;
  }
  const std::string camknobList = "camknob list";
  const std::string v4l2CtlList = std::string("v4l2-ctl -d ") + node + " --list-ctrls";

  vm::Guest guest;
  guest.virtualCamera = true;
  guest.hostBinaries = {CAMKNOB_PATH, *v4l2Ctl, *strace};
  // qemu keeps translating code it has not run before; warm both up first.
  for (int warmUp = 0; warmUp < 3; ++warmUp)
    guest.steps.push_back({"warm-up." + std::to_string(warmUp),
                           {"sh", "-c", repeated(camknobList + "; " + v4l2CtlList)}});
  // Taken in turns, so that both meet the same state of the machine.
  for (int round = 0; round < rounds; ++round) {
    guest.steps.push_back(
        {"camknob." + std::to_string(round), {"sh", "-c", repeated(camknobList)}});
    guest.steps.push_back(
        {"v4l2-ctl." + std::to_string(round), {"sh", "-c", repeated(v4l2CtlList)}});
  }
  guest.steps.push_back({"trace.camknob", {"strace", "-e", "trace=openat,ioctl", "camknob"}});
  guest.steps.push_back(
      {"trace.v4l2-ctl",
       {"strace", "-e", "trace=openat,ioctl", "v4l2-ctl", "-d", node, "--list-ctrls"}});

  const vm::Boot boot = vm::bootGuest(
      guest, {CAMKNOB_VM_CACHE_DIR, CAMKNOB_VM_STEP_PATH, CAMKNOB_VIRTUAL_CAMERA_PATH, 600});
  if (boot.status == vm::BootStatus::unavailable) {
    std::printf("cannot run a guest here: %s\n", boot.whyNot.c_str());
    return 77;
  }
  const vm::StepResult* ours = vm::findStep(boot, "trace.camknob");
  const vm::StepResult* theirs = vm::findStep(boot, "trace.v4l2-ctl");
  if (boot.status != vm::BootStatus::booted || ours == nullptr || theirs == nullptr) {
    std::printf("the guest did not finish: %s\n%s\n", boot.whyNot.c_str(), boot.console.c_str());
    return 1;
  }
  // The camera's V4L2 controls: v4l2-ctl lists one per line with its id.
  int controls = 0;
  for (std::size_t at = theirs->out.find(" 0x"); at != std::string::npos;
       at = theirs->out.find(" 0x", at + 1))
    ++controls;
  const int camknobIoctls = camknob::vmtests::ioctlsOn(ours->err, node);
  const int v4l2CtlIoctls = camknob::vmtests::ioctlsOn(theirs->err, node);
  std::printf(
      "Listing the virtual camera's %d controls under uvcvideo (qemu, %s: %s);\n"
      "wall time is the median of %d rounds of %d runs, each a whole process.\n\n",
      controls, vm::acceleratorName(boot.accelerator->accelerator),
      boot.accelerator->reason.c_str(), rounds, runsPerRound);
  std::printf("%-24s %10s %10s %8s %18s\n", "", "median ms", "best ms", "ioctls",
              "ioctls per control");
  const Timing camknobTime = millisecondsPerRun(boot, "camknob");
  const Timing v4l2CtlTime = millisecondsPerRun(boot, "v4l2-ctl");
  std::printf("%-24s %10.2f %10.2f %8d %18.2f\n", "camknob list", camknobTime.median,
              camknobTime.best, camknobIoctls, double(camknobIoctls) / controls);
  std::printf("%-24s %10.2f %10.2f %8d %18.2f\n", "v4l2-ctl --list-ctrls", v4l2CtlTime.median,
              v4l2CtlTime.best, v4l2CtlIoctls, double(v4l2CtlIoctls) / controls);
  return 0;
}
