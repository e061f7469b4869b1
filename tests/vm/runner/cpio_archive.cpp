#include "runner/cpio_archive.h"

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <iterator>

namespace camknob::vm {

namespace {

unsigned modeOf(const ArchiveEntry& entry) {
  switch (entry.kind) {
    case ArchiveEntry::Kind::directory:
      return S_IFDIR | entry.permissions;
    case ArchiveEntry::Kind::file:
      return S_IFREG | entry.permissions;
    case ArchiveEntry::Kind::symlink:
      return S_IFLNK | 0777;
    case ArchiveEntry::Kind::characterDevice:
      return S_IFCHR | entry.permissions;
  }
  return 0;
}

void pad(std::ofstream& out, std::size_t written) {
  static const char zeros[4] = {};
  out.write(zeros, static_cast<std::streamsize>((4 - written % 4) % 4));
}

void writeMember(std::ofstream& out, unsigned inode, unsigned mode, const std::string& name,
                 const std::string& data, unsigned major, unsigned minor) {
  char header[111];
  const unsigned links = (mode & S_IFMT) == S_IFDIR ? 2 : 1;
  std::snprintf(header, sizeof header, "070701%08X%08X%08X%08X%08X%08X%08X%08X%08X%08X%08X%08X%08X",
                inode, mode, 0u, 0u, links, 0u, static_cast<unsigned>(data.size()), 0u, 0u, major,
                minor, static_cast<unsigned>(name.size() + 1), 0u);
  out.write(header, 110);
  out.write(name.c_str(), static_cast<std::streamsize>(name.size() + 1));
  pad(out, 110 + name.size() + 1);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
  pad(out, data.size());
}

}  // namespace

std::string writeNewcArchive(const std::string& path, const std::vector<ArchiveEntry>& entries) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return "cannot write " + path;
  unsigned inode = 1;
  for (const ArchiveEntry& entry : entries) {
    std::string data = entry.content;
    if (entry.kind == ArchiveEntry::Kind::file && !entry.source.empty()) {
      std::ifstream in(entry.source, std::ios::binary);
      if (!in) return "cannot read " + entry.source;
      data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
      if (in.bad()) return "cannot read " + entry.source;
    }
    if (entry.kind == ArchiveEntry::Kind::directory) data.clear();
    writeMember(out, inode++, modeOf(entry), entry.path, data, entry.deviceMajor,
                entry.deviceMinor);
  }
  writeMember(out, 0, 0, "TRAILER!!!", {}, 0, 0);
  out.flush();
  return out ? std::string() : "cannot write " + path;
}

}  // namespace camknob::vm
