// GET /: the page a browser opens after the login. For now a line that says
// the program runs; the control panel will take its place, compiled into
// the program as this is, and nothing of it is fetched from elsewhere.
#pragma once

#include <string_view>

namespace camknob::http {

std::string_view controlPageHtml();

// The page may run only what comes with it, and in no other site's frame.
inline constexpr std::string_view controlPagePolicy = "default-src 'self'; frame-ancestors 'none'";

}  // namespace camknob::http
