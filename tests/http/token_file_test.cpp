// Where the token file goes and how it is made: only the user may read it,
// in a folder only the user may enter; nothing else at its place is used.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "http/token_file.h"
#include "support/file_facts.h"
#include "support/temporary_folder.h"

namespace camknob::http {
namespace {

using testing::modeOf;
using testing::textOf;

TEST(TokenFolder, UsesTheRuntimeFolderElseTheTemporaryOne) {
  EXPECT_EQ(defaultTokenFolder("/run/user/1000", "/var/tmp", 1000), "/run/user/1000/camknob");
  EXPECT_EQ(defaultTokenFolder("/run/user/1000/", nullptr, 1000), "/run/user/1000/camknob");
  EXPECT_EQ(defaultTokenFolder(nullptr, "/var/folders/xy/T/", 501),
            "/var/folders/xy/T/camknob-501");
  EXPECT_EQ(defaultTokenFolder(nullptr, nullptr, 501), "/tmp/camknob-501");
  EXPECT_EQ(defaultTokenFolder("", "", 7), "/tmp/camknob-7");
  EXPECT_EQ(defaultTokenFolder("relative", "also", 7), "/tmp/camknob-7");
  EXPECT_EQ(defaultTokenFolder(nullptr, "/", 7), "/camknob-7");
  EXPECT_EQ(tokenFileName(9734), "camknobd-9734.token");
}

TEST(TokenFolder, IsMadeForTheUserAloneAndRefusedOtherwise) {
  const testing::TemporaryFolder temporary{"camknob-token"};
  const std::string folder = temporary.path + "/camknob";
  EXPECT_EQ(prepareTokenFolder(folder), std::nullopt);
  EXPECT_EQ(modeOf(folder), 0700u);
  EXPECT_EQ(prepareTokenFolder(folder), std::nullopt) << "an existing folder of ours is used";

  const std::string refused =
      "The token folder " + folder +
      " must be a folder of this user's that no one else may enter (mode 0700).";
  ::chmod(folder.c_str(), 0750);
  EXPECT_EQ(prepareTokenFolder(folder), refused);
  ::chmod(folder.c_str(), 0701);
  EXPECT_EQ(prepareTokenFolder(folder), refused);
  ::chmod(folder.c_str(), 0700);

  const std::string link = temporary.path + "/link";
  std::filesystem::create_directory_symlink(folder, link);
  EXPECT_EQ(prepareTokenFolder(link), "The token folder " + link +
                                          " must be a folder of this user's that no one else may "
                                          "enter (mode 0700).");
  const std::string file = temporary.path + "/file";
  std::ofstream(file) << "x";
  EXPECT_TRUE(prepareTokenFolder(file));
  EXPECT_EQ(prepareTokenFolder(temporary.path + "/missing/camknob"),
            "Cannot make the token folder " + temporary.path +
                "/missing/camknob: No such file or directory.");

  if (::geteuid() == 0) {
    const std::string others = temporary.path + "/others";
    ASSERT_EQ(::mkdir(others.c_str(), 0700), 0);
    ASSERT_EQ(::chown(others.c_str(), 65534, 65534), 0);
    EXPECT_EQ(prepareTokenFolder(others),
              "The token folder " + others +
                  " must be a folder of this user's that no one else may enter (mode 0700).");
  }
}

TEST(TokenFile, IsWrittenForTheUserAloneAndRemovedWhileItIsOurs) {
  const testing::TemporaryFolder temporary{"camknob-token"};
  const std::string path = temporary.path + "/camknobd-1.token";
  ::umask(0);
  auto written = writeTokenFile(path, "abc123");
  ::umask(022);
  ASSERT_TRUE(std::holds_alternative<TokenFile>(written)) << std::get<std::string>(written);
  EXPECT_EQ(modeOf(path), 0600u);
  EXPECT_EQ(textOf(path), "abc123");

  // A stale file of ours is replaced.
  auto again = writeTokenFile(path, "def456");
  ASSERT_TRUE(std::holds_alternative<TokenFile>(again));
  EXPECT_EQ(textOf(path), "def456");
  removeTokenFile(std::get<TokenFile>(written));
  EXPECT_TRUE(std::filesystem::exists(path)) << "the file of another run is not removed";
  removeTokenFile(std::get<TokenFile>(again));
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(TokenFile, RefusesWhatIsNotAStaleFileOfOurs) {
  const testing::TemporaryFolder temporary{"camknob-token"};
  const std::string target = temporary.path + "/target";
  std::ofstream(target) << "keep";
  const std::string link = temporary.path + "/link.token";
  std::filesystem::create_symlink(target, link);
  auto linked = writeTokenFile(link, "secret");
  ASSERT_TRUE(std::holds_alternative<std::string>(linked));
  EXPECT_EQ(std::get<std::string>(linked),
            "The token file " + link + " is there already and is not a file of this user's.");
  EXPECT_EQ(textOf(target), "keep");
  EXPECT_TRUE(std::filesystem::is_symlink(link));

  const std::string folder = temporary.path + "/folder.token";
  std::filesystem::create_directory(folder);
  EXPECT_TRUE(std::holds_alternative<std::string>(writeTokenFile(folder, "secret")));

  auto missing = writeTokenFile(temporary.path + "/missing/t.token", "secret");
  ASSERT_TRUE(std::holds_alternative<std::string>(missing));
  EXPECT_EQ(std::get<std::string>(missing),
            "The token file's folder " + temporary.path + "/missing does not exist.");

  if (::geteuid() == 0) {
    const std::string others = temporary.path + "/others.token";
    std::ofstream(others) << "theirs";
    ASSERT_EQ(::chown(others.c_str(), 65534, 65534), 0);
    EXPECT_TRUE(std::holds_alternative<std::string>(writeTokenFile(others, "secret")));
    EXPECT_EQ(textOf(others), "theirs");
  }
}

}  // namespace
}  // namespace camknob::http
