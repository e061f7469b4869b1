// The answers the connection front writes itself, to a head it refuses
// before the HTTP library reads it (408, 414, 431): the whole answer, with
// the headers every answer carries and "Connection: close".
#pragma once

#include <string>

namespace camknob::http {

// "HTTP/1.1 STATUS REASON", the headers, then {"error":MESSAGE,"ok":false}
// with the message of http/request_gate.h's libraryStatusMessage.
std::string frontAnswer(int status);

}  // namespace camknob::http
