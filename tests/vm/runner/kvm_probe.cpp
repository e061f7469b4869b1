#include "runner/kvm_probe.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "runner/init_script.h"
#include "runner/initramfs.h"
#include "runner/qemu_command.h"

namespace camknob::vm {

namespace fs = std::filesystem;

std::string kvmDeviceError() {
  const int fd = open("/dev/kvm", O_RDWR | O_CLOEXEC);
  if (fd < 0) return std::strerror(errno);
  close(fd);
  return {};
}

KvmProbeResult probeKvm(const std::string& qemu, const std::string& kernelImage,
                        const std::string& busybox, const std::string& directory,
                        int limitSeconds) {
  KvmProbeResult probe{RunOutcome{false, {}, -1, 0, false, 0, {}, {}}, {}};
  std::error_code fsError;
  fs::create_directories(directory, fsError);
  if (fsError) {
    probe.qemu.startError = "cannot create " + directory + ": " + fsError.message();
    return probe;
  }
  const InitramfsContent content{busybox, {}, {}, probeInitScript()};
  if (const std::string failure =
          writeInitramfs(content, (fs::path(directory) / "initramfs.cpio").string());
      !failure.empty()) {
    probe.qemu.startError = "initramfs: " + failure;
    return probe;
  }
  probe.qemu = runCaptured({qemuCommand(qemu, kernelImage, Accelerator::kvm),
                            {},
                            {},
                            {},
                            std::int64_t{limitSeconds} * 1000,
                            directory});
  std::ifstream console(fs::path(directory) / "console.log", std::ios::binary);
  probe.console.assign(std::istreambuf_iterator<char>(console), std::istreambuf_iterator<char>());
  return probe;
}

}  // namespace camknob::vm
