#pragma once

#include <optional>
#include <string>

namespace camknob {

// What a command branch ends with: nothing on success, else its failure message.
using CommandFailure = std::optional<std::string>;

}  // namespace camknob
