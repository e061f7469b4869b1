// Fixture files on disk: reading one safely, and changing one that several
// runs share, one write at a time, so that no run's change is lost.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "media/sim/sim_fixture.h"

namespace camknob::sim {

// The largest fixture read: far beyond any real machine (a thousand cameras
// of a hundred controls each take 16 MB), yet small enough to hold at once.
inline constexpr std::size_t fixtureSizeLimit = std::size_t(64) << 20;

// Reads and parses a fixture: a regular file (never a folder, device or FIFO)
// of at most fixtureSizeLimit bytes, read whole.
FixtureLoad loadFixture(const std::string& path);

// Which file a path names and how it was when last changed: a file whose
// stamp is the same holds the same text (files are replaced, or written in
// place, which moves the times).
struct FileStamp {
  std::uintmax_t device;
  std::uintmax_t inode;
  std::uintmax_t size;
  std::int64_t modified[2];  // seconds, nanoseconds
  std::int64_t changed[2];   // of the file's status

  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// The stamp of the file the path names (links followed); nothing when there
// is none.
std::optional<FileStamp> stampOf(const std::string& path);

// A fixture's whole text as loadFixture reads it, with its hash and the stamp
// of the very file read; without bytes, the fault that kept it from being read.
struct FixtureText {
  std::unique_ptr<char[]> bytes;
  std::size_t size = 0;
  std::string fault;
  std::size_t textHash = 0;
  FileStamp stamp{};

  bool read() const { return bytes != nullptr; }
  std::string_view text() const { return {bytes.get(), size}; }
};
FixtureText readFixtureText(const std::string& path);

// A fixture file, and a hash of the text the run's system was last read from
// or saved as.
struct FixtureFile {
  std::string path;
  std::size_t textHash;
};

// One write to the fixture (or the file a symbolic link there names), made
// while holding the file's lock, so that runs sharing it take turns: the file
// is read again as it is then. Unchanged since this run read or saved it, it
// gets `changed` (the run's system with the write made); changed by another
// run, it gets the write applied to what it holds then, which the commit
// gives back to become the run's system. The file is replaced in one step by
// a temporary file beside it (created afresh, flushed to disk, with the
// file's mode). A fixture the user may not write refuses the write with
// status::notPermitted; any other failure to read or save it with status::unspecified.
Commit commitChange(FixtureFile& file, const Change& change, const System& changed);

}  // namespace camknob::sim
