// The shared libraries a host program needs at run time.
#pragma once

#include <string>
#include <vector>

namespace camknob::vm {

// The absolute paths ldd reports for the program, the dynamic loader
// included (sanitizer runtimes too, for a sanitized build); none for a
// static program. `error` is set when a library is missing or ldd fails.
std::vector<std::string> sharedLibraries(const std::string& program, std::string& error);

}  // namespace camknob::vm
