#include "media/sim/sim_startup.h"

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>
#if defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "media/sim/sim_fixture_file.h"
#include "text/one_line.h"

namespace camknob::sim {

namespace {

// The one line on standard error of a run that cannot start, and its status.
int fixtureFault(std::string_view program, const std::string& path, const std::string& fault) {
  std::cerr << program << ": fixture " << (path.empty() ? "(built-in demo)" : oneLine(path)) << ": "
            << oneLine(fault) << std::endl;
  return 2;
}

// A large fixture's text is dropped once it is read; its memory serves the
// device lists after it rather than going back to the system and being taken
// again page by page. The heap is laid out at once, in huge pages where the
// system offers them: a large fixture's store then costs a fraction of the
// page faults (listing a 16 MB fixture took half the time).
void prepareTheHeap() {
#if defined(__GLIBC__)
  constexpr int keep = 256 << 20;
  (void)mallopt(M_MMAP_THRESHOLD, keep);
  (void)mallopt(M_TRIM_THRESHOLD, keep);
  (void)mallopt(M_TOP_PAD, keep);
  // Growing the heap once reserves the pad (address space only, nothing is
  // touched), which can then be marked as a whole.
  void* grown = std::malloc(1 << 20);
  const long page = sysconf(_SC_PAGESIZE);
  if (grown != nullptr && page > 0) {
    const auto from =
        (reinterpret_cast<std::uintptr_t>(grown) + page - 1) & ~std::uintptr_t(page - 1);
    const auto to = reinterpret_cast<std::uintptr_t>(sbrk(0));
    // Only when the block came from the heap just grown (not, say, from a
    // sanitizer's own allocator elsewhere in memory).
    const bool heapJustGrown = to > from && to - from <= std::uintptr_t(keep) + (2u << 20);
    if (heapJustGrown) (void)madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
  }
  std::free(grown);
#endif
}

}  // namespace

std::optional<int> startSimulatedSystem(std::string_view program) {
  prepareTheHeap();
  std::string path;
  try {
    const char* named = std::getenv("CAMKNOB_SIM_FIXTURE");
    path = named ? named : "";
    FixtureLoad loaded = path.empty() ? parseFixture(demoFixtureText()) : loadFixture(path);
    if (!loaded.system) return fixtureFault(program, path, loaded.fault);
    reset(std::move(*loaded.system));
    if (!path.empty())
      setWriteHook([file = FixtureFile{path, loaded.textHash}](const Change& change,
                                                               const System& changed) mutable {
        return commitChange(file, change, changed);
      });
  } catch (const std::exception& error) {
    return fixtureFault(program, path, std::string("cannot load: ") + error.what());
  } catch (...) {
    return fixtureFault(program, path, "cannot load");
  }
  return std::nullopt;
}

}  // namespace camknob::sim
