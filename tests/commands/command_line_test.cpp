#include "commands/command_line.h"

#include <gtest/gtest.h>

namespace camknob {
namespace {

CommandLine lineOf(std::vector<std::string_view> texts) {
  return CommandLine{std::move(texts)};
}

TEST(CommandLine, ProgramPathIsNotPartOfIt) {
  const char* argv[] = {"/usr/bin/camknob", "set", "--value", "3"};
  const CommandLine line = commandLineFrom(4, argv);
  EXPECT_EQ(line.texts, (std::vector<std::string_view>{"set", "--value", "3"}));
  EXPECT_TRUE(commandLineFrom(1, argv).texts.empty());
  EXPECT_TRUE(commandLineFrom(0, argv).texts.empty());
}

TEST(CommandLine, CommandWordIsTheFirstTextWhateverItIs) {
  EXPECT_EQ(commandWord(lineOf({})), "list");
  EXPECT_EQ(commandWord(lineOf({"LIST"})), "LIST");
  EXPECT_EQ(commandWord(lineOf({""})), "");
  EXPECT_EQ(commandWord(lineOf({"--device", "X", "list"})), "--device");
}

TEST(CommandLine, ArgumentRules) {
  struct Case {
    std::vector<std::string_view> texts;
    std::string_view name;
    std::optional<std::string_view> value;
  };
  const Case cases[] = {
      {{"set", "--value", "5"}, "--value", "5"},
      {{"set", "--value", "5", "--value", "6"}, "--value", "5"},  // first occurrence wins
      {{"set", "--value"}, "--value", std::nullopt},              // name ends the line
      {{"set"}, "--value", std::nullopt},
      {{"set", "--device", "--control", "x"}, "--device", "--control"},
      {{"set", "--value", ""}, "--value", ""},
      {{"set", "--value=5"}, "--value", std::nullopt},  // no joined form
      {{"set", "--Value", "5"}, "--value", std::nullopt},
      {{"--value", "7"}, "--value", "7"},  // the command word position counts too
  };
  for (const Case& c : cases) EXPECT_EQ(argument(lineOf(c.texts), c.name), c.value);
}

}  // namespace
}  // namespace camknob
