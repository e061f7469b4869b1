// Writing an initramfs: a cpio archive in the "newc" format the kernel unpacks.
#pragma once

#include <string>
#include <vector>

namespace camknob::vm {

struct ArchiveEntry {
  enum class Kind { directory, file, symlink, characterDevice };
  std::string path;  // inside the archive, without a leading '/'
  Kind kind;
  unsigned permissions;  // 0755 and the like
  // file: the host file whose bytes to store, or, when empty, `content`.
  std::string source;
  // file: the bytes to store when there is no source; symlink: the target.
  std::string content;
  unsigned deviceMajor = 0;  // characterDevice
  unsigned deviceMinor = 0;
};

// Writes the entries in the given order (parents before children), owned by
// root, dated 0, then the trailer. An empty result means success, otherwise
// it says what failed.
std::string writeNewcArchive(const std::string& path, const std::vector<ArchiveEntry>& entries);

}  // namespace camknob::vm
