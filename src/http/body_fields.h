// The fields of a request body (one JSON object) or of a query, each read as
// text by a table of rules: only the keys of the rules, each once, each of
// its kind. A fault is a sentence that names the key, for a 400 answer.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "json/json_tree.h"

namespace camknob::http {

enum class FieldKind {
  Text,          // a string
  TextOrNumber,  // a string, or a number as written ("128", "-2.5e1")
  Switch,        // a string, true or false ("true", "false"), or a number
  Number,        // a number as written, or a string holding one
};

struct FieldRule {
  std::string_view key;
  FieldKind kind;
  bool required;
};

// The text of each rule's field, in the order of the rules; nothing for an
// optional field left out.
using FieldTexts = std::vector<std::optional<std::string>>;

using QueryParameters = std::vector<std::pair<std::string, std::string>>;

// The body text as one JSON object, or the fault.
std::variant<JsonObject, std::string> bodyObject(std::string_view text);

std::variant<FieldTexts, std::string> readFields(const JsonObject& body,
                                                 std::span<const FieldRule> rules);

// Query parameters are all text; the kinds are not looked at.
std::variant<FieldTexts, std::string> readParameters(const QueryParameters& query,
                                                     std::span<const FieldRule> rules);

}  // namespace camknob::http
