#include "json/json_tree.h"

#include "json/json_reader.h"

namespace camknob {

namespace {

// Builds the tree as the reader meets each value. Every open container is
// the last element of its parent, and only the innermost one grows, so the
// pointers on the stack stay valid.
struct TreeBuilder {
  std::optional<JsonNode> root;
  std::vector<JsonNode*> open;
  std::string pendingKey;
  std::string fault;

  bool add(JsonNode node) {
    if (open.empty()) {
      root = std::move(node);
      return true;
    }
    JsonNode& parent = *open.back();
    if (auto* array = std::get_if<JsonArray>(&parent.value)) {
      array->push_back(std::move(node));
    } else {
      std::get<JsonObject>(parent.value).push_back({std::move(pendingKey), std::move(node)});
    }
    return true;
  }

  JsonNode* last() {
    if (open.empty()) return &*root;
    JsonNode& parent = *open.back();
    if (auto* array = std::get_if<JsonArray>(&parent.value)) return &array->back();
    return &std::get<JsonObject>(parent.value).back().value;
  }

  bool openContainer(JsonNode node) {
    if (open.size() >= maxJsonDepth) {
      fault = "nested deeper than " + std::to_string(maxJsonDepth) + " levels";
      return false;
    }
    add(std::move(node));
    open.push_back(last());
    return true;
  }

  bool null() { return add({JsonNull{}}); }
  bool boolean(bool value) { return add({value}); }
  bool number_integer(std::int64_t value) { return add({JsonNumber{std::to_string(value), true}}); }
  bool number_unsigned(std::uint64_t value) {
    return add({JsonNumber{std::to_string(value), true}});
  }
  bool number_float(double, const std::string& text) { return add({JsonNumber{text, false}}); }
  bool string(std::string& value) { return add({std::move(value)}); }
  bool key(std::string& value) {
    pendingKey = std::move(value);
    return true;
  }
  bool start_object(std::size_t) { return openContainer({JsonObject{}}); }
  bool start_array(std::size_t) { return openContainer({JsonArray{}}); }
  bool end_object() {
    open.pop_back();
    return true;
  }
  bool end_array() {
    open.pop_back();
    return true;
  }
};

}  // namespace

JsonTreeReading readJsonTree(std::string_view text) {
  TreeBuilder builder;
  const std::optional<JsonFault> fault = readJson(text, builder);
  if (!fault) return {std::move(builder.root), {}};
  const std::string what = builder.fault.empty() ? fault->what : builder.fault;
  return {std::nullopt, json_reading::placeOf(text, fault->offset) + ": " + what};
}

std::string_view jsonTypeName(const JsonNode& node) {
  constexpr std::string_view names[] = {"null",     "a boolean", "a number",
                                        "a string", "an array",  "an object"};
  return names[node.value.index()];
}

}  // namespace camknob
