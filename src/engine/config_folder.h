// Where the engine keeps what it is told to keep: profiles, holds, presets.
#pragma once

#include <optional>
#include <string>

namespace camknob::engine {

// $XDG_CONFIG_HOME/camknob, else $HOME/.config/camknob; nothing with neither.
std::optional<std::string> defaultConfigFolder();

// Makes the folder and those above it that are missing (new ones only the
// user may enter); the system's error text when it cannot.
std::optional<std::string> makeFolder(const std::string& path);

}  // namespace camknob::engine
