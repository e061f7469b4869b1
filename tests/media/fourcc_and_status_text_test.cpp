#include "media/fourcc_and_status_text.h"

#include <gtest/gtest.h>

namespace camknob {
namespace {

TEST(CodeText, FourCharacterCodesAndStatuses) {
  struct Case {
    std::uint32_t code;
    std::string fourCC;
    std::string status;
  };
  using namespace std::string_literals;
  const Case cases[] = {
      {0x62726974, "brit", "1651665268 (brit)"},
      {0x66636176, "fcav", "1717789046 (fcav)"},
      {0x68756520, "hue ", "1752524064 (hue )"},
      {0x20202020, "    ", "538976288 (    )"},
      {0x00000000, "\0\0\0\0"s, "ok"},
      {0x00000001, "\0\0\0\x01"s, "1 (\0\0\0\x01)"s},
      {0x7F414243,
       "\x7f"
       "ABC",
       "2134983235 (\x7f"
       "ABC)"},
      {0x41424380, "0x41424380", "1094861696 (0x41424380)"},
      {0x80414243, "0x80414243", "-2143206845 (0x80414243)"},
      {0x7FFFFFFF, "0x7fffffff", "2147483647 (0x7fffffff)"},
      {0xFFFFFFCE, "0xffffffce", "-50 (0xffffffce)"},
      {0x80000000, "0x80000000", "-2147483648 (0x80000000)"},
      {0x0000ABCD, "0x0000abcd", "43981 (0x0000abcd)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fourCC(c.code), c.fourCC) << std::hex << c.code;
    EXPECT_EQ(statusMessage(static_cast<Status>(c.code)), c.status) << std::hex << c.code;
  }
}

}  // namespace
}  // namespace camknob
