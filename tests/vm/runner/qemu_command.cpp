#include "runner/qemu_command.h"

namespace camknob::vm {

std::vector<std::string> qemuCommand(const std::string& qemu, const std::string& kernelImage,
                                     Accelerator accelerator) {
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
  option("-kernel", kernelImage);
  option("-initrd", "initramfs.cpio");
  option("-append", "console=ttyS0 quiet panic=-1");
  option("-accel", acceleratorName(accelerator));
  return command;
}

}  // namespace camknob::vm
