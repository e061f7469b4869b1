// The guest's kernel: Debian's current linux-image-amd64 kernel package,
// fetched with apt once and kept in a cache directory, with its modules.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace camknob::vm {

struct Kernel {
  std::string version;  // such as "6.1.0-57-amd64"
  std::string root;     // the package's files, with modules.dep
  std::string image;    // root/boot/vmlinuz-VERSION
};

struct KernelLookup {
  std::optional<Kernel> kernel;
  std::string whyNot;  // when there is no kernel
};

// The kernel kept in cacheDirectory/kernel, or, when there is none yet, the
// package that linux-image-amd64 depends on, downloaded with apt-get,
// unpacked with dpkg-deb and indexed with depmod.
KernelLookup obtainKernel(const std::string& cacheDirectory);

// The module files that loading the named modules takes, dependencies first,
// each once, as modprobe resolves them; an empty list and a message in
// `error` when one cannot be resolved. Built-in modules need no file.
std::vector<std::string> moduleLoadOrder(const Kernel& kernel,
                                         const std::vector<std::string>& modules,
                                         std::string& error);

}  // namespace camknob::vm
