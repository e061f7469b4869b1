// camknobd's answers on an httplib::Server: every request, however the
// library hands it over, goes through the same checks (http/request_gate.h)
// and then its route (http/api_routes.h).
//
// The library reads a body only after its pre-routing step, and counts it
// against the 64 KiB limit as it reads (413). So a request whose body has a
// Content-Length is answered after the library read it (or refused it as
// too large: that answer too passes the checks first, so that a request
// without the token gets its 401 even then), and every other request in the
// pre-routing step, with "Connection: close" when it came with a body that
// stays unread.
#pragma once

#include <httplib.h>

#include <string_view>

#include "http/api_state.h"

namespace camknob::http {

void installApiHandlers(httplib::Server& server, ApiState& state);

// One request's answer once its body is read: the checks, the size, then the
// route. The handlers above call it; so does a harness that makes requests
// in memory.
void answerRequest(ApiState& state, const httplib::Request& request, httplib::Response& response,
                   std::string_view body);

}  // namespace camknob::http
