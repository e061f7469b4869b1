#include "http/command_body.h"

#include <array>
#include <cmath>

#include "text/number_text.h"

namespace camknob::http {

namespace {

// The options: each key's text is the request's field of that name.
struct OptionField {
  FieldRule rule;
  std::optional<std::string> CommandRequest::*field;
};

constexpr std::array<OptionField, 7> optionFields{{
    {{"device", FieldKind::Text, false}, &CommandRequest::device},
    {{"control", FieldKind::Text, false}, &CommandRequest::control},
    {{"value", FieldKind::TextOrNumber, false}, &CommandRequest::value},
    {{"enabled", FieldKind::Switch, false}, &CommandRequest::enabled},
    {{"pan", FieldKind::TextOrNumber, false}, &CommandRequest::pan},
    {{"tilt", FieldKind::TextOrNumber, false}, &CommandRequest::tilt},
    {{"speed", FieldKind::TextOrNumber, false}, &CommandRequest::speed},
}};

constexpr std::size_t deviceField = 0;
constexpr std::size_t valueField = 2;
constexpr std::size_t speedField = 6;
static_assert(optionFields[deviceField].rule.key == "device");
static_assert(optionFields[valueField].rule.key == "value");
static_assert(optionFields[speedField].rule.key == "speed");
constexpr std::size_t controlField = 1;
static_assert(optionFields[controlField].rule.key == "control");
constexpr std::size_t commandField = optionFields.size();
constexpr std::size_t deltaField = commandField + 1;
constexpr std::size_t leaseField = commandField + 2;

constexpr std::array<FieldRule, optionFields.size() + 3> commandRules() {
  std::array<FieldRule, optionFields.size() + 3> rules{};
  for (std::size_t at = 0; at < optionFields.size(); ++at) rules[at] = optionFields[at].rule;
  rules[commandField] = {"command", FieldKind::Text, true};
  rules[deltaField] = {"delta", FieldKind::Number, false};
  rules[leaseField] = {"lease", FieldKind::Switch, false};
  return rules;
}

constexpr auto rules = commandRules();

// The fields "stop" takes besides the command: the others would contradict it.
bool stopTakes(std::string_view key) {
  return key == "device" || key == "speed";
}

// Those "reset" takes.
bool resetTakes(std::string_view key) {
  return key == "device" || key == "control";
}

// The refusal of the first field given that the command does not take.
std::optional<std::string> foreignField(const FieldTexts& texts, std::string_view word,
                                        bool (*takes)(std::string_view)) {
  for (std::size_t at = 0; at < rules.size(); ++at)
    if (at != commandField && texts[at] && !takes(rules[at].key))
      return std::string("\"")
          .append(rules[at].key)
          .append("\" does not go with the command \"")
          .append(word)
          .append("\".");
  return std::nullopt;
}

engine::RunCommand stopCommand(const FieldTexts& texts) {
  return engine::RunCommand{CommandRequest{.command = "move",
                                           .device = texts[deviceField],
                                           .control = std::nullopt,
                                           .value = std::nullopt,
                                           .enabled = std::nullopt,
                                           .pan = "0",
                                           .tilt = "0",
                                           .speed = texts[speedField]},
                            std::nullopt};
}

}  // namespace

std::span<const FieldRule> commandFields() {
  return rules;
}

std::variant<engine::RunCommand, std::string> commandOf(const FieldTexts& texts) {
  const std::string& word = *texts[commandField];

  if (word == "stop") {
    if (auto fault = foreignField(texts, word, stopTakes)) return std::move(*fault);
    return stopCommand(texts);
  }

  engine::RunCommand command{CommandRequest{.command = word}, std::nullopt};
  if (const auto& delta = texts[deltaField]) {
    if (word != "set") return std::string("\"delta\" goes only with the command \"set\".");
    if (texts[valueField]) return std::string("\"delta\" and \"value\" cannot both be given.");
    const std::optional<double> number = parseDouble(*delta);
    if (!number || !std::isfinite(*number))
      return std::string("\"delta\" must be a finite number.");
    command.delta = *number;
  }
  if (const auto& lease = texts[leaseField]) {
    if (word != "move") return std::string("\"lease\" goes only with the command \"move\".");
    command.lease = isTruthWord(*lease);
  }
  for (std::size_t at = 0; at < optionFields.size(); ++at)
    command.request.*optionFields[at].field = texts[at];
  return command;
}

std::optional<std::variant<engine::ResetControls, std::string>> resetOf(const FieldTexts& texts) {
  const std::string& word = *texts[commandField];
  if (word != "reset") return std::nullopt;
  if (auto fault = foreignField(texts, word, resetTakes)) return std::move(*fault);
  return engine::ResetControls{texts[deviceField], texts[controlField]};
}

std::variant<engine::RunCommand, std::string> readCommandBody(const JsonObject& body) {
  auto read = readFields(body, rules);
  if (auto* fault = std::get_if<std::string>(&read)) return std::move(*fault);
  return commandOf(std::get<FieldTexts>(read));
}

}  // namespace camknob::http
