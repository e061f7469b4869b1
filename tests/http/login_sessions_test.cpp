// One-time login codes and the sessions they open; the random secrets.
#include <gtest/gtest.h>

#include <set>

#include "http/login_sessions.h"
#include "http/secret_text.h"

namespace camknob::http {
namespace {

TEST(Secrets, AreRandomHexOfTheirLength) {
  std::set<std::string> seen;
  for (int round = 0; round < 100; ++round) {
    const std::string secret = randomHex(secretBytes);
    EXPECT_EQ(secret.size(), 64u);
    EXPECT_EQ(secret.find_first_not_of("0123456789abcdef"), std::string::npos) << secret;
    seen.insert(secret);
  }
  EXPECT_EQ(seen.size(), 100u);
  EXPECT_EQ(randomHex(300).size(), 600u);
}

TEST(LoginSessions, ACodeOpensOneSessionOnce) {
  LoginSessions logins;
  const std::string first = newLoginCode(logins);
  const std::string second = newLoginCode(logins);
  EXPECT_NE(first, second);
  EXPECT_FALSE(redeemLoginCode(logins, "wrong"));
  EXPECT_FALSE(redeemLoginCode(logins, ""));
  EXPECT_FALSE(redeemLoginCode(logins, first.substr(1)));
  const auto session = redeemLoginCode(logins, first);
  ASSERT_TRUE(session);
  EXPECT_EQ(session->size(), 64u);
  EXPECT_NE(*session, first);
  EXPECT_FALSE(redeemLoginCode(logins, first)) << "a code serves once";
  const auto other = redeemLoginCode(logins, second);
  ASSERT_TRUE(other);
  EXPECT_EQ(currentSessions(logins), (std::vector<std::string>{*session, *other}));
}

TEST(LoginSessions, KeepsOnlyTheNewestCodesAndSessions) {
  LoginSessions logins;
  const std::string oldest = newLoginCode(logins);
  std::string newest;
  for (std::size_t made = 0; made < maxLoginCodes; ++made) newest = newLoginCode(logins);
  EXPECT_FALSE(redeemLoginCode(logins, oldest));
  EXPECT_TRUE(redeemLoginCode(logins, newest));
  for (std::size_t made = 0; made < maxSessions + 3; ++made)
    ASSERT_TRUE(redeemLoginCode(logins, newLoginCode(logins)));
  EXPECT_EQ(currentSessions(logins).size(), maxSessions);
}

}  // namespace
}  // namespace camknob::http
