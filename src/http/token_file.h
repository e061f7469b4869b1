// The file that hands the token to the user's own programs: only the user
// may read it, in a folder only the user may enter, and it goes when the
// program ends.
//
// By default it is $XDG_RUNTIME_DIR/camknob/camknobd-PORT.token, or, without
// XDG_RUNTIME_DIR (macOS), $TMPDIR (else /tmp) /camknob-UID/camknobd-PORT.token.
// That folder is made with mode 0700 and must be a folder (not a link) the
// user owns that no one else may enter. --token-file names the file instead;
// its folder must exist. The file is made afresh (O_CREAT | O_EXCL |
// O_NOFOLLOW, mode 0600); a regular file of the user's already there (left by
// a run that did not end) is unlinked first, anything else there is refused.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace camknob::http {

// The default folder, from the values of XDG_RUNTIME_DIR and TMPDIR (null
// when unset; a value that is not an absolute path counts as unset).
std::string defaultTokenFolder(const char* runtimeFolder, const char* temporaryFolder, uid_t user);

// "camknobd-PORT.token"
std::string tokenFileName(int port);

// Makes the default folder where it is missing and checks it; the fault, a
// sentence, when it cannot be used.
std::optional<std::string> prepareTokenFolder(const std::string& folder);

struct TokenFile {
  std::string path;
  std::string token;
  dev_t device;
  ino_t inode;
};

// Writes the token to the file at `path` (its folder checked by the caller
// or existing); the fault, a sentence, when it cannot.
std::variant<TokenFile, std::string> writeTokenFile(const std::string& path,
                                                    std::string_view token);

// Removes the file, if it is still the one written (the same file, holding
// the same token: a later run's file may reuse the inode).
void removeTokenFile(const TokenFile& file);

}  // namespace camknob::http
