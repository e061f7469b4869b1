#include "media/sim/sim_startup.h"

#include <chrono>
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
#include "media/sim/sim_fixture_watch.h"
#include "text/one_line.h"

namespace camknob::sim {

namespace {

// What the program started over, kept here in one place: the fixture file
// (none for the built-in demo) with the hash of the text the store last read
// or wrote, which the write hook keeps up to date; how the file was at the
// last look at it; and the watch on it, once asked for.
struct Startup {
  std::optional<FixtureFile> file;
  std::optional<FileStamp> stampSeen;  // nothing: no file was there
  bool stampSettled = false;           // the file was not changed just before
  std::size_t hashSeen = 0;            // of the text read then (0: none could be)
  int watch = -1;
};

Startup& startup() {
  static Startup instance;
  return instance;
}

// A file system keeps times in coarse steps: two changes made within one step
// of each other, of the same size, may leave the same stamp. A file changed
// in the last two seconds is read to be sure.
bool settled(const FileStamp& stamp) {
  const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                       .count();
  return stamp.modified[0] < now - 2 && stamp.changed[0] < now - 2;
}

void keepStamp(Startup& current, const std::optional<FileStamp>& stamp, std::size_t hash) {
  current.stampSeen = stamp;
  current.stampSettled = !stamp || settled(*stamp);
  current.hashSeen = hash;
}

// Whether the file is as the last look found it.
bool asSeen(const Startup& current) {
  return current.stampSettled && stampOf(current.file->path) == current.stampSeen;
}

// Reads the fixture again, and keeps how the file was when read.
FixtureText readAgain(Startup& current) {
  FixtureText read = readFixtureText(current.file->path);
  keepStamp(current, read.read() ? std::optional(read.stamp) : stampOf(current.file->path),
            read.textHash);
  return read;
}

// Runs over a new fixture, or over the demo: whatever was kept goes.
void runOver(std::optional<FixtureFile> file, const std::optional<FileStamp>& stamp) {
  Startup& current = startup();
  if (current.watch >= 0) stopFixtureWatch(current.watch);
  current = Startup{};
  current.file = std::move(file);
  if (current.file) keepStamp(current, stamp, current.file->textHash);
}

// Writes go through to the file; each write updates the hash it keeps.
Commit commitToFixture(const Change& change, const System& changed) {
  std::optional<FixtureFile>& file = startup().file;
  if (!file) return Commit{noErr, std::nullopt};
  return commitChange(*file, change, changed);
}

// The one line on standard error of a run that cannot start, and its status.
int fixtureFault(std::string_view program, const std::string& path, const std::string& fault) {
  std::cerr << program << ": fixture " << (path.empty() ? "(built-in demo)" : oneLine(path)) << ": "
            << oneLine(fault) << std::endl;
  return 2;
}

}  // namespace

std::optional<int> startSimulatedSystem(std::string_view program) {
  std::string path;
  try {
    const char* named = std::getenv("CAMKNOB_SIM_FIXTURE");
    path = named ? named : "";
    if (path.empty()) {
      FixtureLoad loaded = parseFixture(demoFixtureText());
      if (!loaded.system) return fixtureFault(program, path, loaded.fault);
      reset(std::move(*loaded.system));
      runOver(std::nullopt, std::nullopt);
      return std::nullopt;
    }
    const FixtureText read = readFixtureText(path);
    if (!read.read()) return fixtureFault(program, path, read.fault);
    FixtureLoad loaded = parseFixture(read.text());
    if (!loaded.system) return fixtureFault(program, path, loaded.fault);
    reset(std::move(*loaded.system));
    runOver(FixtureFile{path, read.textHash}, read.stamp);
    setWriteHook(commitToFixture);
  } catch (const std::exception& error) {
    return fixtureFault(program, path, std::string("cannot load: ") + error.what());
  } catch (...) {
    return fixtureFault(program, path, "cannot load");
  }
  return std::nullopt;
}

void reloadChangedFixture() {
  Startup& current = startup();
  if (!current.file) return;
  try {
    if (asSeen(current) && current.hashSeen == current.file->textHash) return;
    const FixtureText read = readAgain(current);
    if (!read.read() || read.textHash == current.file->textHash) return;
    FixtureLoad loaded = parseFixture(read.text());
    if (!loaded.system) return;
    store() = std::move(*loaded.system);
    current.file->textHash = read.textHash;
  } catch (...) {
    // No memory for a file that grew: the store stays as it is.
  }
}

// A large fixture's text is dropped once it is read; its memory serves the
// device lists after it rather than going back to the system and being taken
// again page by page. The heap is laid out at once, in huge pages where the
// system offers them: a large fixture's store then costs a fraction of the
// page faults (listing a 16 MB fixture took half the time).
void prepareHeapForOneRun() {
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

int watchFixture() {
  Startup& current = startup();
  if (current.file && current.watch < 0) current.watch = watchFixtureFile(current.file->path);
  return current.watch;
}

// News is a text that is neither the store's nor the one the last look
// found (which was news then, or the store's). A file that can no longer be
// read differs from the store's text too.
bool fixtureChanged() {
  Startup& current = startup();
  if (current.watch >= 0) drainFixtureWatch(current.watch);
  if (!current.file) return false;
  try {
    if (asSeen(current)) return false;
    const std::size_t before = current.hashSeen;
    const FixtureText read = readAgain(current);
    return read.textHash != before && read.textHash != current.file->textHash;
  } catch (...) {
    return false;
  }
}

}  // namespace camknob::sim
