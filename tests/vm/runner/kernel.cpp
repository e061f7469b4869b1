#include "runner/kernel.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "runner/host_tools.h"
#include "runner/run_captured.h"

namespace camknob::vm {

namespace fs = std::filesystem;

namespace {

std::string firstLine(const std::string& text) {
  return text.substr(0, text.find('\n'));
}

std::string failure(const std::string& what, const RunOutcome& outcome) {
  if (!outcome.started) return what + ": " + outcome.startError;
  if (outcome.timedOut) return what + ": timed out";
  return what + " failed: " + firstLine(outcome.err.empty() ? outcome.out : outcome.err);
}

std::optional<Kernel> cachedKernel(const fs::path& directory) {
  std::ifstream versionFile(directory / "version");
  std::string version;
  if (!std::getline(versionFile, version) || version.empty()) return std::nullopt;
  const fs::path root = fs::absolute(directory / "root");
  const fs::path image = root / "boot" / ("vmlinuz-" + version);
  std::error_code error;
  if (!fs::exists(image, error) ||
      !fs::exists(root / "lib" / "modules" / version / "modules.dep", error))
    return std::nullopt;
  return Kernel{version, root.string(), image.string()};
}

// "linux-image-6.1.0-57-amd64" from apt-cache's answer about the metapackage.
std::string kernelPackage(const std::string& dependencies) {
  std::istringstream lines(dependencies);
  std::string line;
  while (std::getline(lines, line)) {
    const auto at = line.find("Depends: linux-image-");
    if (at == std::string::npos || line.find('|') != std::string::npos) continue;
    std::string package = line.substr(at + 9);
    package.erase(package.find_last_not_of(" \t") + 1);
    if (package.find('<') == std::string::npos) return package;
  }
  return {};
}

KernelLookup unavailable(std::string why) {
  return KernelLookup{std::nullopt, std::move(why)};
}

}  // namespace

KernelLookup obtainKernel(const std::string& cacheDirectory) {
  const fs::path cache = fs::path(cacheDirectory) / "kernel";
  if (auto kernel = cachedKernel(cache)) return KernelLookup{kernel, {}};

  const auto aptCache = findProgram("apt-cache");
  const auto aptGet = findProgram("apt-get");
  const auto dpkgDeb = findProgram("dpkg-deb");
  const auto depmod = findProgram("depmod");
  if (!aptCache || !aptGet || !dpkgDeb) return unavailable("no apt-cache, apt-get or dpkg-deb");
  if (!depmod) return unavailable("no depmod (package kmod)");

  const RunOutcome depends =
      runCaptured({{*aptCache, "depends", "linux-image-amd64"}, {}, {}, {}, 60'000, {}});
  const std::string package = depends.started ? kernelPackage(depends.out) : std::string();
  if (package.empty())
    return unavailable("apt-cache knows no package that linux-image-amd64 depends on");
  const std::string version = package.substr(std::string("linux-image-").size());

  std::error_code error;
  const fs::path download =
      fs::path(cacheDirectory) / ("kernel-download-" + std::to_string(getpid()));
  fs::remove_all(download, error);
  fs::create_directories(download, error);
  if (error) return unavailable("cannot create " + download.string() + ": " + error.message());
  const auto cleanUp = [&] { fs::remove_all(download, error); };

  const RunOutcome fetched =
      runCaptured({{*aptGet, "download", package}, {}, {}, {}, 600'000, download.string()});
  fs::path deb;
  for (const auto& entry : fs::directory_iterator(download, error))
    if (entry.path().extension() == ".deb") deb = entry.path();
  if (!fetched.started || fetched.exitStatus != 0 || deb.empty()) {
    cleanUp();
    return unavailable(failure("apt-get download " + package, fetched));
  }
  const fs::path root = download / "root";
  const RunOutcome unpacked =
      runCaptured({{*dpkgDeb, "-x", deb.string(), root.string()}, {}, {}, {}, 600'000, {}});
  fs::remove(deb, error);
  if (!unpacked.started || unpacked.exitStatus != 0) {
    cleanUp();
    return unavailable(failure("dpkg-deb -x " + deb.filename().string(), unpacked));
  }
  const RunOutcome indexed =
      runCaptured({{*depmod, "-b", root.string(), version}, {}, {}, {}, 300'000, {}});
  if (!indexed.started || indexed.exitStatus != 0) {
    cleanUp();
    return unavailable(failure("depmod -b", indexed));
  }
  std::ofstream(download / "version") << version << '\n';

  // Another run may have filled the cache meanwhile; either copy will do.
  fs::remove_all(cache, error);
  fs::rename(download, cache, error);
  cleanUp();
  if (auto kernel = cachedKernel(cache)) return KernelLookup{kernel, {}};
  return unavailable("the kernel package " + package + " has no " + version + " image or modules");
}

std::vector<std::string> moduleLoadOrder(const Kernel& kernel,
                                         const std::vector<std::string>& modules,
                                         std::string& error) {
  const auto modprobe = findProgram("modprobe");
  if (!modprobe) {
    error = "no modprobe (package kmod)";
    return {};
  }
  std::vector<std::string> files;
  for (const std::string& module : modules) {
    const RunOutcome shown =
        runCaptured({{*modprobe, "-d", kernel.root, "-S", kernel.version, "--show-depends", module},
                     {},
                     {},
                     {},
                     60'000,
                     {}});
    if (!shown.started || shown.exitStatus != 0) {
      error = failure("modprobe --show-depends " + module, shown);
      return {};
    }
    // Lines read "insmod /path/to/module.ko [parameters]" or "builtin NAME".
    std::istringstream lines(shown.out);
    std::string word, file;
    while (lines >> word) {
      if (word == "insmod" && lines >> file) {
        if (std::find(files.begin(), files.end(), file) == files.end()) files.push_back(file);
      }
      std::getline(lines, word);
    }
  }
  return files;
}

}  // namespace camknob::vm
