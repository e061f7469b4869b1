// camknobd's key: a secret that outlasts the program's starts, for the
// integrations that store one Authorization header (a Stream Deck button, a
// script, a home-automation system). It is 64 random hexadecimal digits and a
// line feed in camknobd.key in the configuration folder, mode 0600, the
// folder made with mode 0700 where it is missing. It is made at the first
// start (or the first --show-key) and replaced by --new-key, each time in one
// step, so that a reader sees no key, the old one or the new one. A file
// there that holds no key, is another user's or may be read by others is
// refused, never replaced unasked.
#pragma once

#include <sys/types.h>

#include <ctime>
#include <mutex>
#include <string>
#include <string_view>
#include <variant>

namespace camknob::http {

inline constexpr std::string_view keyFileName = "camknobd.key";

std::string keyFilePath(const std::string& configFolder);

struct KeyFault {
  std::string message;  // a sentence
};

// The key of the file, made when there is none.
std::variant<std::string, KeyFault> keptKey(const std::string& configFolder);

// A new key in the file, in place of the old one.
std::variant<std::string, KeyFault> newKey(const std::string& configFolder);

// The key as the file holds it now: read again whenever the file changed,
// so a key that --new-key replaced stops working at once; none (empty)
// while the file cannot be used.
class KeyWatch {
 public:
  KeyWatch() = default;  // no key, until watch()

  // Watches the file at `path`, which holds `key` now.
  void watch(std::string path, std::string key);

  std::string current();

 private:
  struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::time_t modified = 0;
    std::time_t changed = 0;
    bool operator==(const Identity&) const = default;
  };
  static Identity identityOf(const std::string& path);

  std::mutex mutex_;
  std::string path_;
  Identity seen_;
  std::string key_;
};

}  // namespace camknob::http
