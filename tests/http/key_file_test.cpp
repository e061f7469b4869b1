// The key that outlasts camknobd's starts: made once with mode 0600 in a
// folder of mode 0700, the same at every start after, replaced only when
// asked, refused when its file cannot be trusted, and seen anew by a running
// server as soon as it is replaced.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "http/key_file.h"
#include "support/file_facts.h"
#include "support/temporary_folder.h"

namespace camknob::http {
namespace {

using testing::modeOf;
using testing::textOf;

std::string keyOf(const std::variant<std::string, KeyFault>& read) {
  if (const auto* fault = std::get_if<KeyFault>(&read)) {
    ADD_FAILURE() << fault->message;
    return {};
  }
  return std::get<std::string>(read);
}

std::string faultOf(const std::variant<std::string, KeyFault>& read) {
  const auto* fault = std::get_if<KeyFault>(&read);
  return fault ? fault->message : "(a key)";
}

TEST(KeyFile, IsMadeOnceAndKeptAfter) {
  testing::TemporaryFolder folder{"camknob-key"};
  const std::string config = folder.path + "/config/camknob";
  const std::string key = keyOf(keptKey(config));
  EXPECT_TRUE(std::regex_match(key, std::regex("[0-9a-f]{64}"))) << key;
  EXPECT_EQ(keyFilePath(config), config + "/camknobd.key");
  EXPECT_EQ(textOf(keyFilePath(config)), key + "\n");
  EXPECT_EQ(modeOf(keyFilePath(config)), 0600u);
  EXPECT_EQ(modeOf(config), 0700u);
  EXPECT_EQ(modeOf(folder.path + "/config"), 0700u);
  EXPECT_EQ(keyOf(keptKey(config)), key);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(config), {}), 1)
      << "nothing left beside it";
}

TEST(KeyFile, IsReplacedWhenAskedOnly) {
  testing::TemporaryFolder folder{"camknob-key"};
  const std::string first = keyOf(keptKey(folder.path));
  const std::string second = keyOf(newKey(folder.path));
  EXPECT_NE(second, first);
  EXPECT_EQ(textOf(keyFilePath(folder.path)), second + "\n");
  EXPECT_EQ(modeOf(keyFilePath(folder.path)), 0600u);
  EXPECT_EQ(keyOf(keptKey(folder.path)), second);
  // Without any key yet, a new one is made all the same.
  testing::TemporaryFolder empty{"camknob-key"};
  const std::string made = keyOf(newKey(empty.path));
  EXPECT_EQ(keyOf(keptKey(empty.path)), made);
}

TEST(KeyFile, RefusesAFileThatCannotBeTrusted) {
  testing::TemporaryFolder folder{"camknob-key"};
  const std::string path = keyFilePath(folder.path);
  const std::string key(64, 'a');
  struct Case {
    std::string what;
    std::string text;
    mode_t mode;
    std::string fault;
  };
  const std::string notAKey = "The key file " + path +
                              " does not hold a key (64 hexadecimal digits); --new-key makes a "
                              "new one.";
  const std::string notPrivate = "The key file " + path +
                                 " must be a file of this user's that no one else may read (mode "
                                 "0600).";
  const std::vector<Case> cases{
      {"empty", "", 0600, notAKey},
      {"cut short", key.substr(1) + "\n", 0600, notAKey},
      {"too long", key + "a\n", 0600, notAKey},
      {"two line feeds", key + "\n\n", 0600, notAKey},
      {"capital digits", std::string(64, 'A') + "\n", 0600, notAKey},
      {"not hexadecimal", std::string(64, 'g') + "\n", 0600, notAKey},
      {"readable by the group", key + "\n", 0640, notPrivate},
      {"readable by all", key + "\n", 0644, notPrivate},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(path);
    std::ofstream(path) << c.text;
    ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
    EXPECT_EQ(faultOf(keptKey(folder.path)), c.fault);
    EXPECT_EQ(textOf(path), c.text) << "left as it was";
  }
  std::filesystem::remove(path);
  std::filesystem::create_symlink(folder.path + "/elsewhere", path);
  EXPECT_EQ(faultOf(keptKey(folder.path)).rfind("Cannot read the key file " + path + ": ", 0), 0u);
  EXPECT_EQ(faultOf(newKey(folder.path)), notPrivate);
  EXPECT_TRUE(std::filesystem::is_symlink(path));
  std::filesystem::remove(path);
  std::filesystem::create_directory(path);
  EXPECT_EQ(faultOf(newKey(folder.path)), notPrivate);
  // A corrupt file is what --new-key mends.
  std::filesystem::remove(path);
  std::ofstream(path) << "not a key";
  ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
  const std::string mended = keyOf(newKey(folder.path));
  EXPECT_EQ(keyOf(keptKey(folder.path)), mended);
}

TEST(KeyFile, NeedsAFolderToKeepItIn) {
  testing::TemporaryFolder folder{"camknob-key"};
  const std::string file = folder.path + "/file";
  std::ofstream(file) << "x";
  EXPECT_EQ(faultOf(keptKey(file + "/camknob")),
            "Cannot make the configuration folder " + file + "/camknob: Not a directory.");
}

TEST(KeyWatch, SeesTheKeyReplacedAndTheFileSpoiled) {
  testing::TemporaryFolder folder{"camknob-key"};
  const std::string first = keyOf(keptKey(folder.path));
  KeyWatch watch;
  EXPECT_EQ(watch.current(), "");
  watch.watch(keyFilePath(folder.path), first);
  EXPECT_EQ(watch.current(), first);
  const std::string second = keyOf(newKey(folder.path));
  EXPECT_EQ(watch.current(), second);
  std::filesystem::remove(keyFilePath(folder.path));
  EXPECT_EQ(watch.current(), "");
  std::ofstream(keyFilePath(folder.path)) << "not a key";
  ASSERT_EQ(::chmod(keyFilePath(folder.path).c_str(), 0600), 0);
  EXPECT_EQ(watch.current(), "");
  const std::string third = keyOf(newKey(folder.path));
  EXPECT_EQ(watch.current(), third);
}

}  // namespace
}  // namespace camknob::http
