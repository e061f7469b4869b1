// Finding one entry of a list in a JSON answer (a device, a control), for
// tests that read camknob's and camknob-profile's output.
#pragma once

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string_view>

namespace camknob::testing {

// The first entry of `parent[list]` whose `key` equals `value`; an empty
// object, after a test failure, when there is no such entry or no such list.
inline nlohmann::json entryWhere(const nlohmann::json& parent, std::string_view list,
                                 std::string_view key, const nlohmann::json& value) {
  if (parent.is_object()) {
    const auto entries = parent.find(list);
    if (entries != parent.end() && entries->is_array())
      for (const nlohmann::json& entry : *entries) {
        if (!entry.is_object()) continue;
        const auto found = entry.find(key);
        if (found != entry.end() && *found == value) return entry;
      }
  }
  ADD_FAILURE() << "no " << list << " entry with " << key << " " << value.dump() << " in "
                << parent.dump();
  return nlohmann::json::object();
}

}  // namespace camknob::testing
