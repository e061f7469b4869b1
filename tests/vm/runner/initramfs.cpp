#include "runner/initramfs.h"

#include <filesystem>
#include <map>
#include <sstream>

#include "runner/cpio_archive.h"
#include "runner/run_captured.h"
#include "runner/shared_libraries.h"

namespace camknob::vm {

namespace fs = std::filesystem;

namespace {

using Kind = ArchiveEntry::Kind;

constexpr const char* passwd =
    "root:x:0:0:root:/root:/bin/sh\n"
    "nobody:x:65534:65534:nobody:/nonexistent:/bin/false\n";
constexpr const char* group =
    "root:x:0:\n"
    "video:x:44:\n"
    "nogroup:x:65534:\n";

// Entries by archive path; a sorted map writes every parent before its
// children, and a later entry for a path replaces an earlier one.
using Tree = std::map<std::string, ArchiveEntry>;

void addDirectory(Tree& tree, const std::string& path) {
  if (path.empty() || tree.count(path) != 0) return;
  const auto slash = path.rfind('/');
  if (slash != std::string::npos) addDirectory(tree, path.substr(0, slash));
  tree[path] = ArchiveEntry{path, Kind::directory, 0755, {}, {}};
}

void add(Tree& tree, ArchiveEntry entry) {
  const auto slash = entry.path.rfind('/');
  if (slash != std::string::npos) addDirectory(tree, entry.path.substr(0, slash));
  tree[entry.path] = std::move(entry);
}

std::string inArchive(const std::string& absolute) {
  return absolute.substr(1);
}

std::vector<std::string> busyboxApplets(const std::string& busybox, std::string& error) {
  const RunOutcome listed = runCaptured({{busybox, "--list"}, {}, {}, {}, 30'000, {}});
  if (!listed.started || listed.exitStatus != 0) {
    error = busybox + " --list failed";
    return {};
  }
  std::vector<std::string> applets;
  std::istringstream names(listed.out);
  std::string name;
  // A link named busybox would point at itself.
  while (names >> name)
    if (name != "busybox" && name.find('/') == std::string::npos) applets.push_back(name);
  return applets;
}

std::string addProgram(Tree& tree, const std::string& program, const std::string& name) {
  std::string error;
  const std::vector<std::string> libraries = sharedLibraries(program, error);
  if (!error.empty()) return error;
  add(tree, {"bin/" + name, Kind::file, 0755, program, {}});
  for (const std::string& library : libraries)
    add(tree, {inArchive(library), Kind::file, 0755, library, {}});
  return {};
}

}  // namespace

std::string writeInitramfs(const InitramfsContent& content, const std::string& path) {
  Tree tree;
  for (const char* directory : {"dev", "etc", "lib/modules", "proc", "root", "sys", "tmp", "usr"})
    addDirectory(tree, directory);
  for (const char* link : {"sbin", "usr/bin", "usr/sbin"})
    add(tree, {link, Kind::symlink, 0777, {}, "/bin"});
  add(tree, {"dev/console", Kind::characterDevice, 0600, {}, {}, 5, 1});
  add(tree, {"etc/passwd", Kind::file, 0644, {}, passwd});
  add(tree, {"etc/group", Kind::file, 0644, {}, group});

  std::string error;
  for (const std::string& applet : busyboxApplets(content.busybox, error))
    add(tree, {"bin/" + applet, Kind::symlink, 0777, {}, "busybox"});
  if (!error.empty()) return error;
  if (!(error = addProgram(tree, content.busybox, "busybox")).empty()) return error;
  for (const std::string& program : content.programs)
    if (!(error = addProgram(tree, program, fs::path(program).filename().string())).empty())
      return error;
  for (const std::string& module : content.moduleFiles)
    add(tree,
        {"lib/modules/" + fs::path(module).filename().string(), Kind::file, 0644, module, {}});
  add(tree, {"init", Kind::file, 0755, {}, content.initScript});

  std::vector<ArchiveEntry> entries;
  for (auto& [name, entry] : tree) entries.push_back(std::move(entry));
  return writeNewcArchive(path, entries);
}

}  // namespace camknob::vm
