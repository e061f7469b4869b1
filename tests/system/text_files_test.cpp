#include "system/text_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace camknob {
namespace {

// A file over its limit is said to be larger than that limit, whatever it is
// (the presets may be 8 MiB, a profile 1 MiB).
TEST(ProfileFiles, AFileOverItsLimitSaysWhichLimit) {
  const std::string path = ::testing::TempDir() + "/camknob-limit.json";
  for (const auto& [limit, text] :
       std::vector<std::pair<std::size_t, std::string>>{{std::size_t(1) << 20, "1 MiB"},
                                                        {std::size_t(8) << 20, "8 MiB"},
                                                        {std::size_t(64) << 10, "64 KiB"},
                                                        {100, "100 bytes"},
                                                        {1, "1 byte"}}) {
    {
      std::FILE* file = std::fopen(path.c_str(), "wb");
      ASSERT_NE(file, nullptr);
      const std::string bytes(limit + 1, ' ');
      std::fwrite(bytes.data(), 1, bytes.size(), file);
      std::fclose(file);
    }
    EXPECT_EQ(readBoundedText(path, limit).fault, "larger than " + text);
    EXPECT_TRUE(readBoundedText(path, limit + 1).text);
  }
  std::remove(path.c_str());
}

}  // namespace
}  // namespace camknob
