// The names this machine goes by on the network, as a Host header names
// them (without a port): its host name, that name with ".local" (as mDNS
// gives it), and the addresses of its interfaces (IPv6 in brackets). They are
// read once, as the server starts.
#pragma once

#include <string>
#include <vector>

namespace camknob::http {

std::vector<std::string> machineNames();

}  // namespace camknob::http
