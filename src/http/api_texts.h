// The texts camknobd writes itself, beyond the engine's answers: one line of
// compact JSON each, keys sorted, in the project's own JSON writer; and the
// pieces of the event stream.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/engine.h"

namespace camknob::http {

// The line printed once the server listens:
// {"page":PAGE,"tokenFile":PATH,"url":URL}; nothing when a text is not UTF-8.
std::optional<std::string> startLine(std::string_view page, std::string_view tokenFile,
                                     std::string_view url);

// The answer to POST /api/v1/session/page: {"ok":true,"page":PAGE}.
std::string loginPageText(std::string_view page);

// "URL/login?code=CODE"
std::string loginPage(std::string_view url, std::string_view code);

// One server-sent event: "id: VERSION\ndata: LINE\n\n", each line of the
// document on a data line of its own (the engine's documents are one line).
std::string eventText(std::uint64_t version, std::string_view document);

// The event that says the profiles, holds or presets changed, with how many
// times each did since the start (a client lists again those whose count
// moved): "event: saved\ndata: {"holds":H,"presets":P,"profiles":R}\n\n".
std::string savedEventText(const engine::StoredChanges& stored);

// A comment line that keeps an idle stream open through proxies and shows
// the client it is alive.
inline constexpr std::string_view heartbeatText = ": heartbeat\n\n";

}  // namespace camknob::http
