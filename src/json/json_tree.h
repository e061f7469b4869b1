// A small JSON document tree for the little documents a user writes by hand
// (camera profiles): read whole, then checked key by key with a path in every
// message.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace camknob {

struct JsonNode;

struct JsonMember;

struct JsonNull {};

// A number as written in the text, so that it can be converted to the
// precision its use needs (a 32-bit float, a byte) with one rounding.
struct JsonNumber {
  std::string text;
  bool integral;  // no fraction and no exponent
};

using JsonArray = std::vector<JsonNode>;
using JsonObject = std::vector<JsonMember>;  // in the order of the text

struct JsonNode {
  std::variant<JsonNull, bool, JsonNumber, std::string, JsonArray, JsonObject> value;
};

struct JsonMember {
  std::string key;
  JsonNode value;
};

struct JsonTreeReading {
  std::optional<JsonNode> root;
  std::string fault;  // "line L, column C: WHAT" when root is absent
};

// Containers deeper than this are refused: no document of the tool's nests
// more than a few levels, and a tree torn down recursively must stay shallow.
inline constexpr std::size_t maxJsonDepth = 32;

// The whole text as one JSON value (strict RFC 8259, UTF-8).
JsonTreeReading readJsonTree(std::string_view text);

// "an object", "a string", ... for messages about a value of the wrong type.
std::string_view jsonTypeName(const JsonNode& node);

}  // namespace camknob
