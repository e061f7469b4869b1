// Small text files of the user's (profiles, the engine's holds and presets):
// read whole with a bound, written whole or not at all.
#pragma once

#include <optional>
#include <string>

namespace camknob {

struct FileReading {
  std::optional<std::string> text;
  std::string fault;  // "cannot read: REASON", or "larger than LIMIT" (sizeText)
};

// A limit in bytes as the messages say it: "1 MiB", "64 KiB" or "100 bytes".
std::string sizeText(std::size_t bytes);

// The file's text, or standard input's when there is no path; at most
// `limit` bytes are accepted, and no more than one byte beyond is read.
FileReading readBoundedText(const std::optional<std::string>& path, std::size_t limit);

// Replaces the file with the text in one step: a fresh file beside it, given
// the old file's mode (new files get the user's default), flushed to disk and
// renamed over it, so that a failed save leaves the old file as it was. A
// path that is a symbolic link changes the file it names. The reason when it
// fails (the system's error text).
std::optional<std::string> replaceFileText(const std::string& path, const std::string& text);

}  // namespace camknob
