// Replacing a file's whole text in one step, so that a reader sees the old
// file or the new one, and a failed write leaves the old one as it was; and
// making a file in one step, so that a reader sees none or all of it.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

namespace camknob {

struct FileOwner {
  uid_t user;
  gid_t group;
};

// Replaces the file at `target` (links already followed) by `text`: a
// temporary file of a short name of its own beside it (so any name the file
// system allows still works), created exclusively (never an existing name or
// link), given `mode` and, where this user may, `owner`, flushed to disk, then
// renamed over it; the folder is flushed too. 0 when done, else the system's
// error number.
int replaceFile(const std::string& target, std::string_view text, mode_t mode,
                const std::optional<FileOwner>& owner);

// Writes the whole text to the descriptor, again after EINTR or a short
// write; false (errno set) when it cannot.
bool writeAll(int fd, std::string_view text);

// The folder a path is in: "." for a bare name, "/" for one at the root.
std::string folderOf(const std::string& path);

// Makes the file at `target` with `text` and `mode`, written beside it as
// above and then linked to its name, which fails with EEXIST when anything is
// there already (never replaced, whoever made it first). 0 when done, else
// the system's error number.
int createFile(const std::string& target, std::string_view text, mode_t mode);

}  // namespace camknob
