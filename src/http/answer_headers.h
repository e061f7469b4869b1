// The headers every answer of camknobd carries, whoever writes it.
#pragma once

#include <array>
#include <string_view>
#include <utility>

namespace camknob::http {

inline constexpr std::array<std::pair<std::string_view, std::string_view>, 4> everyAnswerHeaders{{
    {"Cache-Control", "no-store"},
    {"X-Content-Type-Options", "nosniff"},
    {"Referrer-Policy", "no-referrer"},
    {"X-Frame-Options", "DENY"},
}};

}  // namespace camknob::http
