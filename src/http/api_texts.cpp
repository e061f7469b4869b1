#include "http/api_texts.h"

#include "json/json_object.h"
#include "json/json_text.h"

namespace camknob::http {

std::optional<std::string> startLine(std::string_view page, std::string_view tokenFile,
                                     std::string_view url) {
  std::string out = "{";
  json::ObjectText object{out};
  if (!json::text(object, "page", page) || !json::text(object, "tokenFile", tokenFile) ||
      !json::text(object, "url", url))
    return std::nullopt;
  out += "}";
  return out;
}

std::string loginPageText(std::string_view page) {
  std::string out = "{";
  json::ObjectText object{out};
  json::boolean(object, "ok", true);
  json::text(object, "page", page);
  out += "}";
  return out;
}

std::string loginPage(std::string_view url, std::string_view code) {
  return std::string(url) + "/login?code=" + std::string(code);
}

std::string savedEventText(const engine::StoredChanges& stored) {
  std::string out = "event: saved";
  out += '\n';
  out += "data: {\"holds\":" + std::to_string(stored.holds);
  out += ",\"presets\":" + std::to_string(stored.presets);
  out += ",\"profiles\":" + std::to_string(stored.profiles);
  out += "}\n\n";
  return out;
}

std::string eventText(std::uint64_t version, std::string_view document) {
  std::string out = "id: " + std::to_string(version) + "\n";
  while (true) {
    const std::size_t end = document.find('\n');
    out += "data: ";
    out += document.substr(0, end);
    out += "\n";
    if (end == std::string_view::npos || end + 1 == document.size()) break;
    document.remove_prefix(end + 1);
  }
  out += "\n";
  return out;
}

}  // namespace camknob::http
