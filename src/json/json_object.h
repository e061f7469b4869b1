// The keys and values of one JSON object, written in the order the caller
// names them (sorted, for the tool's answers), each after a comma but the
// first.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace camknob::json {

struct ObjectText {
  std::string& out;
  bool first = true;
};

void key(ObjectText& object, std::string_view name);
void boolean(ObjectText& object, std::string_view name, bool value);
void boolean(ObjectText& object, std::string_view name, const std::optional<bool>& value);

// False, with nothing written, for text that is not UTF-8.
bool text(ObjectText& object, std::string_view name, std::string_view value);
bool optionalText(ObjectText& object, std::string_view name,
                  const std::optional<std::string>& value);

// False for a value JSON cannot carry (non-finite); nothing written when absent.
bool number(ObjectText& object, std::string_view name, const std::optional<double>& value);
void integer(ObjectText& object, std::string_view name, std::uint32_t value);

// {"error":MESSAGE,"ok":false}, the answer of a refusal; a message that is
// not UTF-8 is shown with its bad bytes replaced.
std::string errorDocument(std::string_view message);

}  // namespace camknob::json
