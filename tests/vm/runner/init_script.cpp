#include "runner/init_script.h"

namespace camknob::vm {

namespace {

// vivid with a single capture node and a single input: one camera-like device.
constexpr const char* vividParameters = " n_devs=1 node_types=0x1 num_inputs=1 input_types=0";

std::string stepCommand(const Step& step) {
  std::string line = "camknob-vm-step run --name " + shellQuoted(step.name) + " --timeout-ms " +
                     std::to_string(step.timeoutMilliseconds);
  if (step.unprivileged)
    line +=
        " --uid " + std::to_string(unprivilegedUid) + " --gid " + std::to_string(unprivilegedGid);
  for (const std::string& variable : step.env) line += " --env " + shellQuoted(variable);
  line += " --";
  for (const std::string& argument : step.argv) line += ' ' + shellQuoted(argument);
  return line + '\n';
}

}  // namespace

std::string shellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) {
    if (c == '\'')
      quoted += "'\\''";
    else
      quoted += c;
  }
  return quoted + "'";
}

std::string initScript(const Guest& guest, const std::vector<std::string>& moduleFileNames) {
  std::string script =
      "#!/bin/sh\n"
      "# The camknob VM test guest: bring up the devices, run the steps, power off.\n"
      "export PATH=/bin HOME=/root\n"
      "mount -t proc proc /proc\n"
      "mount -t sysfs sysfs /sys\n"
      "mount -t devtmpfs devtmpfs /dev\n"
      "mount -t tmpfs tmpfs /tmp\n";
  for (const std::string& module : moduleFileNames)
    script += "insmod /lib/modules/" + module + (module == "vivid.ko" ? vividParameters : "") +
              " || echo 'camknob-vm: loading " + module + " failed'\n";
  if (guest.virtualCamera)
    script += std::string("mkdir -p /dev/gadget\n") +
              "mount -t gadgetfs gadgetfs /dev/gadget\n"
              "camknob-virtual-camera --timed-log " +
              guestCameraTimedLog + " " + guestCameraLog + " /dev/gadget &\n";
  const std::vector<std::string> nodes = expectedVideoNodes(guest);
  if (!nodes.empty()) {
    script += "camknob-vm-step wait-for 30000";
    for (const std::string& node : nodes) script += ' ' + node;
    script += " || echo 'camknob-vm: video nodes missing'\n";
  }
  script += "echo \"camknob-vm: running steps at $(cut -d' ' -f1 /proc/uptime) s\"\n";
  for (const Step& step : guest.steps) script += stepCommand(step);
  script +=
      "echo \"camknob-vm: steps done at $(cut -d' ' -f1 /proc/uptime) s\"\n"
      "poweroff -f\n";
  return script;
}

std::string probeInitScript() {
  return std::string("#!/bin/sh\n") + "echo " + shellQuoted(probeMarker) + "\npoweroff -f\n";
}

}  // namespace camknob::vm
