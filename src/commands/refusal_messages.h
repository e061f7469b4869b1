// The messages of changes a device refused, "Failed to ...: STATUS.", worded
// alike wherever a change is made (camknob's commands, applying a profile).
#pragma once

#include <string>
#include <string_view>

#include "records/property_types.h"

namespace camknob {

std::string setRefused(std::string_view kind, Status status);
std::string automaticRefused(std::string_view kind, Status status);
std::string toggleRefused(std::string_view kind, Status status);
std::string moveRefused(Status status);
std::string centerRefused(Status status);
std::string positionRefused(Status status);

}  // namespace camknob
