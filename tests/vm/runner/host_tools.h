// Finding the host programs the VM tests use.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace camknob::vm {

// The program's path: an absolute or relative path as given when it is an
// executable file, otherwise the first match in PATH, then in /usr/sbin and
// /sbin (kmod's tools live there and are missing from many users' PATH).
std::optional<std::string> findProgram(std::string_view name);

}  // namespace camknob::vm
