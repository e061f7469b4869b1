// Fixture files on disk: reading one safely, and changing one that several
// runs share, one write at a time, so that no run's change is lost.
#pragma once

#include <cstddef>
#include <string>

#include "media/sim/sim_fixture.h"

namespace camknob::sim {

// The largest fixture read: far beyond any real machine (a thousand cameras
// of a hundred controls each take 16 MB), yet small enough to hold at once.
inline constexpr std::size_t fixtureSizeLimit = std::size_t(64) << 20;

// Reads and parses a fixture: a regular file (never a folder, device or FIFO)
// of at most fixtureSizeLimit bytes, read whole.
FixtureLoad loadFixture(const std::string& path);

// One write to the fixture at `path` (or the file a symbolic link there
// names), while holding the file's lock so that runs sharing it take turns:
// the fixture is read again as it is on disk then, the change is applied to
// that, and, if the change succeeds, the file is replaced in one step by a
// temporary file beside it (created afresh, flushed to disk, with the file's
// mode). A fixture the user may not write refuses the write with notPermitted;
// any other failure to read or save it with unspecified. On success the
// system is what the file now holds.
Commit commitChange(const std::string& path, const Change& change);

}  // namespace camknob::sim
