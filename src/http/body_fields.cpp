#include "http/body_fields.h"

#include <algorithm>

namespace camknob::http {

namespace {

constexpr std::string_view kindWanted[] = {
    "a string",
    "a string or a number",
    "a string, true, false or a number",
    "a number or a string that holds one",
};

std::string named(std::string_view key) {
  return std::string("\"").append(key).append("\"");
}

std::optional<std::string> textOf(const JsonNode& node, FieldKind kind) {
  if (const auto* text = std::get_if<std::string>(&node.value)) return *text;
  if (const auto* number = std::get_if<JsonNumber>(&node.value))
    if (kind != FieldKind::Text) return number->text;
  if (const auto* truth = std::get_if<bool>(&node.value))
    if (kind == FieldKind::Switch) return std::string(*truth ? "true" : "false");
  return std::nullopt;
}

const FieldRule* ruleFor(std::span<const FieldRule> rules, std::string_view key) {
  const auto found = std::find_if(rules.begin(), rules.end(),
                                  [&](const FieldRule& rule) { return rule.key == key; });
  return found == rules.end() ? nullptr : &*found;
}

template <typename Member, typename TextOf>
std::variant<FieldTexts, std::string> readAll(const std::vector<Member>& members,
                                              std::span<const FieldRule> rules,
                                              std::string_view unknown, TextOf text) {
  FieldTexts texts(rules.size());
  for (const Member& member : members) {
    const std::string& key = member.first;
    const FieldRule* rule = ruleFor(rules, key);
    if (rule == nullptr) return std::string(unknown) + " " + named(key) + ".";
    std::optional<std::string>& slot = texts[static_cast<std::size_t>(rule - rules.data())];
    if (slot) return named(key) + " is given more than once.";
    slot = text(member, *rule);
    if (!slot)
      return named(key) + " must be " +
             std::string(kindWanted[static_cast<std::size_t>(rule->kind)]) + ".";
  }
  for (std::size_t at = 0; at < rules.size(); ++at)
    if (rules[at].required && !texts[at]) return named(rules[at].key) + " is missing.";
  return texts;
}

}  // namespace

std::variant<JsonObject, std::string> bodyObject(std::string_view text) {
  JsonTreeReading reading = readJsonTree(text);
  if (!reading.root) return "The body is not JSON: " + reading.fault + ".";
  if (auto* object = std::get_if<JsonObject>(&reading.root->value)) return std::move(*object);
  return std::string("The body must be a JSON object.");
}

std::variant<FieldTexts, std::string> readFields(const JsonObject& body,
                                                 std::span<const FieldRule> rules) {
  std::vector<std::pair<std::string, const JsonNode*>> members;
  for (const JsonMember& member : body) members.emplace_back(member.key, &member.value);
  return readAll(members, rules, "Unknown key", [](const auto& member, const FieldRule& rule) {
    return textOf(*member.second, rule.kind);
  });
}

std::variant<FieldTexts, std::string> readParameters(const QueryParameters& query,
                                                     std::span<const FieldRule> rules) {
  return readAll(query, rules, "Unknown parameter", [](const auto& parameter, const FieldRule&) {
    return std::optional<std::string>(parameter.second);
  });
}

}  // namespace camknob::http
