// Choosing the accelerator, without booting: from CAMKNOB_VM_ACCEL, /dev/kvm
// and the probe's outcome; the probe's own run over stand-ins for qemu; and
// qemu's command line for each accelerator.
#include "runner/accelerator.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "runner/host_tools.h"
#include "runner/init_script.h"
#include "runner/kvm_probe.h"
#include "runner/qemu_command.h"

namespace camknob::vm {
namespace {

namespace fs = std::filesystem;

constexpr std::int64_t second = 1'000'000'000;

RunOutcome exited(int status, std::int64_t wall, std::string err = {}) {
  return RunOutcome{true, {}, status, 0, false, wall, {}, std::move(err)};
}

RunOutcome ended(int signal, std::string err) {
  return RunOutcome{true, {}, -1, signal, false, second, {}, std::move(err)};
}

RunOutcome killedAtLimit(std::int64_t wall) {
  return RunOutcome{true, {}, -1, 9, true, wall, {}, {}};
}

const std::string cameUp = std::string("[    1.2] Run /init as init process\n") + probeMarker +
                           "\n[    1.4] reboot: Power down\n";

TEST(AcceleratorRequest, TakesOnlyKvmTcgOrNothing) {
  const std::vector<std::pair<std::string, std::optional<AcceleratorRequest>>> cases = {
      {"", AcceleratorRequest::probe},  {"kvm", AcceleratorRequest::kvm},
      {"tcg", AcceleratorRequest::tcg}, {"KVM", std::nullopt},
      {"kvm ", std::nullopt},           {"hvf", std::nullopt},
      {"kvm,tcg", std::nullopt},
  };
  for (const auto& [value, request] : cases) EXPECT_EQ(acceleratorRequest(value), request) << value;
}

struct ProbeCase {
  const char* what;
  KvmProbeResult probe;
  Accelerator accelerator;
  std::vector<std::string> reasonHas;
};

TEST(KvmProbe, KvmOnlyWhenTheGuestCameUpAndPoweredOffByItself) {
  const std::string msrAbort =
      "qemu-system-x86_64: warning: host doesn't support requested feature: CPUID.01H:ECX.pni "
      "[bit 0]\n"
      "qemu-system-x86_64: error: failed to set MSR 0x10a to 0x0\n";
  const std::vector<ProbeCase> cases = {
      {"came up", {exited(0, 1'234'000'000), cameUp}, Accelerator::kvm, {"came up in 1.2 s"}},
      {"serial line ends in CR LF",
       {exited(0, second), "\r\n" + std::string(probeMarker) + "\r\n"},
       Accelerator::kvm,
       {"came up"}},
      {"silent until killed",
       {killedAtLimit(10 * second), ""},
       Accelerator::tcg,
       {"did not come up within 10.0 s", "no console output"}},
      {"stuck after the boot stub",
       {killedAtLimit(10 * second), "early console\r\nProbing EDD (edd=off to disable)... ok\r\n"},
       Accelerator::tcg,
       {"did not come up", "last console line \"Probing EDD (edd=off to disable)... ok\""}},
      {"came up, then hung",
       {killedAtLimit(10 * second), cameUp},
       Accelerator::tcg,
       {"did not power off within 10.0 s"}},
      {"qemu aborted",
       {ended(6, msrAbort), ""},
       Accelerator::tcg,
       {"signal 6", "failed to set MSR 0x10a"}},
      {"qemu refused",
       {exited(1, second, "qemu-system-x86_64: -accel kvm: failed to initialize kvm\n"), ""},
       Accelerator::tcg,
       {"status 1", "failed to initialize kvm"}},
      {"failed with nothing to say", {exited(1, second), ""}, Accelerator::tcg, {"status 1"}},
      {"kernel panic",
       {exited(0, 3 * second), "Kernel panic - not syncing: VFS: Unable to mount root fs\n"},
       Accelerator::tcg,
       {"stopped before it came up", "Kernel panic"}},
      {"marker on standard error only",
       {exited(0, second, probeMarker), ""},
       Accelerator::tcg,
       {"stopped before it came up"}},
      {"no qemu",
       {RunOutcome{false, "qemu-system-x86_64: Permission denied", -1, 0, false, 0, {}, {}}, ""},
       Accelerator::tcg,
       {"Permission denied"}},
  };
  for (const ProbeCase& c : cases) {
    const AcceleratorChoice choice = acceleratorAfterProbe(c.probe);
    EXPECT_EQ(choice.accelerator, c.accelerator) << c.what << ": " << choice.reason;
    EXPECT_EQ(choice.reason.rfind("kvm probe: ", 0), 0u) << c.what << ": " << choice.reason;
    for (const std::string& part : c.reasonHas)
      EXPECT_NE(choice.reason.find(part), std::string::npos) << c.what << ": " << choice.reason;
  }
  // qemu's warnings are no reason; its error is.
  const std::string reason = acceleratorAfterProbe({ended(6, msrAbort), ""}).reason;
  EXPECT_EQ(reason.find("CPUID"), std::string::npos) << reason;
}

TEST(KvmProbe, QuotesAtMostALineOfAFloodedConsole) {
  const std::string flood(100'000, 'x');
  const AcceleratorChoice choice = acceleratorAfterProbe({killedAtLimit(second), flood});
  EXPECT_EQ(choice.accelerator, Accelerator::tcg);
  EXPECT_LT(choice.reason.size(), 400u) << choice.reason;
}

struct ChoiceCase {
  const char* what;
  AcceleratorRequest request;
  std::string kvmDeviceError;
  bool probeComesUp;
  Accelerator accelerator;
  int probes;
  std::string reasonHas;
};

TEST(AcceleratorChoice, ProbesKvmOnlyWhenLeftToChooseWithAUsableDevice) {
  const std::vector<ChoiceCase> cases = {
      {"works", AcceleratorRequest::probe, "", true, Accelerator::kvm, 1, "kvm probe: "},
      {"hangs", AcceleratorRequest::probe, "", false, Accelerator::tcg, 1, "kvm probe: "},
      {"no device", AcceleratorRequest::probe, "No such file or directory", true, Accelerator::tcg,
       0, "/dev/kvm: No such file or directory"},
      {"forced tcg", AcceleratorRequest::tcg, "", true, Accelerator::tcg, 0,
       "CAMKNOB_VM_ACCEL=tcg"},
      {"forced kvm on a hanging machine", AcceleratorRequest::kvm, "", false, Accelerator::kvm, 0,
       "CAMKNOB_VM_ACCEL=kvm"},
      {"forced kvm without a device", AcceleratorRequest::kvm, "Permission denied", false,
       Accelerator::kvm, 0, "CAMKNOB_VM_ACCEL=kvm"},
  };
  for (const ChoiceCase& c : cases) {
    int probes = 0;
    const AcceleratorChoice choice = chooseAccelerator(c.request, c.kvmDeviceError, [&] {
      ++probes;
      return c.probeComesUp ? KvmProbeResult{exited(0, second), cameUp}
                            : KvmProbeResult{killedAtLimit(10 * second), ""};
    });
    EXPECT_EQ(choice.accelerator, c.accelerator) << c.what << ": " << choice.reason;
    EXPECT_EQ(probes, c.probes) << c.what;
    EXPECT_NE(choice.reason.find(c.reasonHas), std::string::npos)
        << c.what << ": " << choice.reason;
  }
}

TEST(QemuCommand, NamesOnlyTheChosenAcceleratorOnTheSameMachine) {
  const auto kvm = qemuCommand("qemu", "/cache/vmlinuz", Accelerator::kvm);
  const auto tcg = qemuCommand("qemu", "/cache/vmlinuz", Accelerator::tcg);
  for (const auto& [command, name] : {std::pair{kvm, "kvm"}, std::pair{tcg, "tcg"}}) {
    EXPECT_EQ(std::count(command.begin(), command.end(), "-accel"), 1) << name;
    const auto accel = std::find(command.begin(), command.end(), "-accel");
    ASSERT_NE(accel + 1, command.end());
    EXPECT_EQ(accel[1], name);
    const auto kernel = std::find(command.begin(), command.end(), "-kernel");
    ASSERT_NE(kernel, command.end());
    EXPECT_EQ(kernel[1], "/cache/vmlinuz");
  }
  // Everything but the accelerator's name is the same.
  ASSERT_EQ(kvm.size(), tcg.size());
  std::size_t differences = 0;
  for (std::size_t i = 0; i < kvm.size(); ++i) differences += kvm[i] != tcg[i];
  EXPECT_EQ(differences, 1u);
}

// probeKvm over a stand-in for qemu: a shell script run in the probe's
// directory as qemu would be.
class ProbeRun : public testing::Test {
 protected:
  void SetUp() override {
    busybox = findProgram("/bin/busybox");
    if (!busybox) busybox = findProgram("busybox");
    if (!busybox) GTEST_SKIP() << "no busybox to build the probe's initramfs from";
    std::string pattern = (fs::path(testing::TempDir()) / "kvm-probe-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    scratch = pattern;
  }
  void TearDown() override {
    std::error_code error;
    if (!scratch.empty()) fs::remove_all(scratch, error);
  }
  std::string fakeQemu(const std::string& body) {
    const fs::path script = scratch / "qemu";
    std::ofstream(script) << "#!/bin/sh\necho \"$@\" > arguments\n" << body;
    fs::permissions(script, fs::perms::owner_all);
    return script.string();
  }
  std::string probeFile(const char* name) {
    std::ifstream in(scratch / "probe" / name);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  std::optional<std::string> busybox;
  fs::path scratch;
};

TEST_F(ProbeRun, BootsUnderKvmAndReadsTheConsoleItWrote) {
  const std::string qemu = fakeQemu("test -s initramfs.cpio || exit 3\necho '" +
                                    std::string(probeMarker) + "' > console.log\n");
  const KvmProbeResult probe =
      probeKvm(qemu, "/cache/vmlinuz", *busybox, (scratch / "probe").string(), 30);
  EXPECT_EQ(probe.qemu.exitStatus, 0) << probe.qemu.startError << probe.qemu.err;
  EXPECT_EQ(probe.console, std::string(probeMarker) + "\n");
  EXPECT_NE(probeFile("arguments").find("-accel kvm"), std::string::npos) << probeFile("arguments");
  EXPECT_EQ(acceleratorAfterProbe(probe).accelerator, Accelerator::kvm);
}

TEST_F(ProbeRun, StopsAGuestThatHangsAtTheLimit) {
  const std::string qemu = fakeQemu("printf 'Probing EDD\\n' > console.log\nexec sleep 60\n");
  const KvmProbeResult probe =
      probeKvm(qemu, "/cache/vmlinuz", *busybox, (scratch / "probe").string(), 1);
  EXPECT_TRUE(probe.qemu.timedOut);
  const AcceleratorChoice choice = acceleratorAfterProbe(probe);
  EXPECT_EQ(choice.accelerator, Accelerator::tcg);
  EXPECT_NE(choice.reason.find("\"Probing EDD\""), std::string::npos) << choice.reason;
}

}  // namespace
}  // namespace camknob::vm
