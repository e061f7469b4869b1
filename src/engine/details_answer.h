// The document of GET /api/v1/details: each camera's uid and its controls'
// details, keys sorted, each present only where known.
#pragma once

#include <string>
#include <vector>

#include "records/control_details.h"

namespace camknob::engine {

std::string detailsAnswer(const std::vector<const DeviceDetails*>& devices);

}  // namespace camknob::engine
