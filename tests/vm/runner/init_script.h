// The guest's /init, a busybox shell script.
#pragma once

#include <string>
#include <vector>

#include "runner/guest.h"

namespace camknob::vm {

// Mounts proc, sysfs, devtmpfs and a tmpfs on /tmp; loads the modules (file
// names in /lib/modules, in order; vivid with one capture node); starts the
// virtual camera on gadgetfs with its logs in /tmp; waits up to 30 s for the
// expected video nodes; runs each step through camknob-vm-step; powers off.
std::string initScript(const Guest& guest, const std::vector<std::string>& moduleFileNames);

// What /init prints on the console once every step has run.
inline constexpr const char* stepsDoneMarker = "camknob-vm: steps done";

// The /init of the probe boot (see kvm_probe.h): it prints probeMarker on
// the console and powers off at once.
std::string probeInitScript();
inline constexpr const char* probeMarker = "camknob-vm: probe up";

// The text as one shell word, in single quotes.
std::string shellQuoted(const std::string& text);

}  // namespace camknob::vm
