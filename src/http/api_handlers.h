// camknobd's answers on an httplib::Server: every request, however the
// library hands it over, goes through the same checks (http/request_gate.h)
// and then its route (http/api_routes.h).
//
// The library reads a body only after its pre-routing step, and counts it
// against the 64 KiB limit as it reads (413); it would also unpack a body of
// a Content-Encoding as it reads it. So the checks run in the pre-routing
// step: a request they refuse is answered there, its body unread (with
// "Connection: close" when it came with one), and so is every request
// without a body of a Content-Length. Only a POST that passed them has its
// body read by the library, and is answered once it is.
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
