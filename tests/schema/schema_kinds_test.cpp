// The JSON Schemas list the tool's kind names by hand; they must follow the
// kind table, or a valid output would fail them (or a wrong one pass).
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <string>

#include "vocabulary/control_kinds.h"

namespace camknob {
namespace {

TEST(Schemas, NameExactlyTheKindsOfTheKindTable) {
  std::set<std::string> table;
  for (const ControlKind& kind : controlKinds) table.emplace(kind.name);
  for (const char* file : {"camknob-response.schema.json", "camknob-profile.schema.json"}) {
    std::ifstream text(std::string(CAMKNOB_SCHEMA_DIR) + "/" + file);
    ASSERT_TRUE(text) << file;
    const auto schema = nlohmann::json::parse(text);
    const auto named = schema.at(nlohmann::json::json_pointer("/$defs/kind/anyOf/0/enum"))
                           .get<std::set<std::string>>();
    EXPECT_EQ(named, table) << file;
  }
}

}  // namespace
}  // namespace camknob
