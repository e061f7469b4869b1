// The guest's whole file system: an initramfs built from host files.
#pragma once

#include <string>
#include <vector>

namespace camknob::vm {

struct InitramfsContent {
  std::string busybox;                   // its applets become links in /bin
  std::vector<std::string> moduleFiles;  // to /lib/modules/, under their own names
  std::vector<std::string> programs;     // to /bin/, with their shared libraries
  std::string initScript;                // /init
};

// Writes the initramfs to `path`: directories, busybox and its applet links,
// the modules, the programs and the libraries at the paths ldd names,
// /etc/passwd and /etc/group (root, nobody; groups root, video, nogroup),
// /dev/console, and /init. Empty on success, else what failed.
std::string writeInitramfs(const InitramfsContent& content, const std::string& path);

}  // namespace camknob::vm
