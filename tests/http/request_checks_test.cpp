// The header checks every request passes: tables of what a browser, a
// script and an attacker's page send.
#include <gtest/gtest.h>

#include "http/request_checks.h"

namespace camknob::http {
namespace {

using Texts = std::vector<std::string>;

const Texts accepted{"127.0.0.1:9734", "localhost:9734", "[::1]:9734"};

TEST(HostCheck, AcceptsOneHostNamingTheServer) {
  const std::vector<std::pair<Texts, bool>> cases{
      {{"127.0.0.1:9734"}, true},
      {{"localhost:9734"}, true},
      {{"LocalHost:9734"}, true},
      {{"[::1]:9734"}, true},
      {{" 127.0.0.1:9734 "}, true},
      {{}, false},
      {{""}, false},
      {{"127.0.0.1"}, false},
      {{"127.0.0.1:9735"}, false},
      {{"evil.example:9734"}, false},
      {{"localhost.evil.example:9734"}, false},
      {{"127.0.0.1:9734.evil.example"}, false},
      {{"[::1]"}, false},
      {{"127.0.0.1:9734", "127.0.0.1:9734"}, false},
      {{"127.0.0.1:9734", "evil.example:9734"}, false},
  };
  for (const auto& [hosts, expected] : cases)
    EXPECT_EQ(hostAccepted(accepted, hosts), expected) << ::testing::PrintToString(hosts);
}

TEST(OriginCheck, AcceptsNoOriginOrThisServersOwn) {
  const std::vector<std::pair<Texts, bool>> cases{
      {{}, true},
      {{"http://127.0.0.1:9734"}, true},
      {{"http://localhost:9734"}, true},
      {{"HTTP://[::1]:9734"}, true},
      {{"null"}, false},
      {{""}, false},
      {{" "}, false},
      {{"http://"}, false},
      {{"https://127.0.0.1:9734"}, false},
      {{"http://127.0.0.1:9734/"}, false},
      {{"http://evil.example"}, false},
      {{"http://evil.example:9734"}, false},
      {{"http://127.0.0.1:9735"}, false},
      {{"127.0.0.1:9734"}, false},
      {{"http://127.0.0.1:9734", "http://127.0.0.1:9734"}, false},
  };
  for (const auto& [origins, expected] : cases)
    EXPECT_EQ(originAccepted(accepted, origins), expected) << ::testing::PrintToString(origins);
}

TEST(HostCheck, AcceptsTheAddressTheConnectionCameTo) {
  const Texts arrivedAs{"127.0.0.2:9734"};
  const std::vector<std::pair<Texts, bool>> cases{
      {{"127.0.0.2:9734"}, true},  {{"localhost:9734"}, true},     {{"127.0.0.2:9735"}, false},
      {{"127.0.0.3:9734"}, false}, {{"evil.example:9734"}, false},
  };
  for (const auto& [hosts, expected] : cases) {
    EXPECT_EQ(hostAccepted(accepted, hosts, arrivedAs), expected)
        << ::testing::PrintToString(hosts);
    const Texts origins{"http://" + hosts.front()};
    EXPECT_EQ(originAccepted(accepted, origins, arrivedAs), expected)
        << ::testing::PrintToString(origins);
  }
  EXPECT_FALSE(hostAccepted(accepted, {"127.0.0.2:9734"}));
  EXPECT_FALSE(originAccepted(accepted, {"http://127.0.0.2:9734"}));
  EXPECT_FALSE(originAccepted(accepted, {""}, arrivedAs));
  EXPECT_FALSE(originAccepted(accepted, {" \t"}, arrivedAs));
}

TEST(CredentialCheck, OnlyTheApiNeedsThem) {
  EXPECT_TRUE(needsCredentials("/api/v1/cameras"));
  EXPECT_TRUE(needsCredentials("/api/"));
  EXPECT_TRUE(needsCredentials("/api/unknown"));
  EXPECT_FALSE(needsCredentials("/api"));
  EXPECT_FALSE(needsCredentials("/"));
  EXPECT_FALSE(needsCredentials("/login"));
  EXPECT_FALSE(needsCredentials("/API/v1/cameras"));
}

TEST(CredentialCheck, TakesTheBearerTokenOrKeyOrASessionCookie) {
  const std::string token(64, 'a');
  const std::string key(64, 'd');
  const Texts sessions{std::string(64, 'b'), std::string(64, 'c')};
  const std::string bearer = "Bearer " + token;
  const std::string cookie = "camknob_session=" + sessions[1];
  struct Case {
    Texts authorizations;
    Texts cookies;
    bool expected;
  };
  const std::vector<Case> cases{
      {{bearer}, {}, true},
      {{"bearer " + token}, {}, true},
      {{"BEARER   " + token + " "}, {}, true},
      {{}, {cookie}, true},
      {{}, {"theme=dark; " + cookie + "; lang=en"}, true},
      {{}, {"theme=dark", cookie}, true},
      {{"Bearer wrong"}, {cookie}, true},
      {{}, {}, false},
      {{""}, {}, false},
      {{"Bearer"}, {}, false},
      {{"Bearer " + token.substr(1)}, {}, false},
      {{"Bearer " + token + "a"}, {}, false},
      {{"Bearer " + std::string(64, 'A')}, {}, false},
      {{"Basic " + token}, {}, false},
      {{"Bearer" + token}, {}, false},
      {{token}, {}, false},
      {{"Bearer " + sessions[0]}, {}, false},
      {{}, {"camknob_session=" + token}, false},
      {{}, {"camknob_session=" + sessions[0].substr(1)}, false},
      {{}, {"other_session=" + sessions[0]}, false},
      {{}, {"xcamknob_session=" + sessions[0]}, false},
      {{}, {"camknob_session"}, false},
      {{}, {"camknob_session="}, false},
      {{"Bearer " + key}, {}, true},
      {{"bearer  " + key + " "}, {}, true},
      {{"Bearer " + key.substr(1)}, {}, false},
      {{"Bearer " + key + "d"}, {}, false},
      {{key}, {}, false},
      {{}, {"camknob_session=" + key}, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(authorized(token, key, sessions, c.authorizations, c.cookies), c.expected)
        << ::testing::PrintToString(c.authorizations) << " " << ::testing::PrintToString(c.cookies);
}

TEST(CredentialCheck, NoTokenAuthorizesNothing) {
  EXPECT_FALSE(authorized("", "", {}, {"Bearer "}, {}));
  EXPECT_FALSE(authorized("", "", {""}, {}, {"camknob_session="}));
  // Without a key, an empty bearer is not it either.
  EXPECT_FALSE(authorized(std::string(64, 'a'), "", {}, {"Bearer "}, {}));
  EXPECT_FALSE(authorized(std::string(64, 'a'), "", {}, {"Bearer"}, {}));
}

TEST(CredentialCheck, ComparesWholeTexts) {
  EXPECT_TRUE(constantTimeEqual("", ""));
  EXPECT_TRUE(constantTimeEqual("abc", "abc"));
  EXPECT_FALSE(constantTimeEqual("abc", "abd"));
  EXPECT_FALSE(constantTimeEqual("abc", "ab"));
  EXPECT_FALSE(constantTimeEqual("ab", "abc"));
  EXPECT_FALSE(constantTimeEqual("", "a"));
  EXPECT_FALSE(constantTimeEqual(std::string("a\0b", 3), "a"));
}

TEST(BodyChecks, TakesOneJsonContentTypeWithParameters) {
  const std::vector<std::pair<Texts, bool>> cases{
      {{"application/json"}, true},
      {{"application/json; charset=utf-8"}, true},
      {{"Application/JSON;charset=UTF-8"}, true},
      {{" application/json "}, true},
      {{}, false},
      {{""}, false},
      {{"text/plain"}, false},
      {{"application/x-www-form-urlencoded"}, false},
      {{"multipart/form-data; boundary=x"}, false},
      {{"application/jsonx"}, false},
      {{"application/json-patch+json"}, false},
      {{"application/json", "application/json"}, false},
  };
  for (const auto& [types, expected] : cases)
    EXPECT_EQ(isJsonContentType(types), expected) << ::testing::PrintToString(types);
  EXPECT_TRUE(isUncompressed({}));
  EXPECT_TRUE(isUncompressed({"identity"}));
  EXPECT_FALSE(isUncompressed({"gzip"}));
  EXPECT_FALSE(isUncompressed({"identity", "br"}));
}

TEST(BodyChecks, TellsHowTheBodyIsDelimited) {
  const auto framing = [](Texts lengths, Texts transfers) {
    RequestHead head{};
    head.contentLengths = std::move(lengths);
    head.transferEncodings = std::move(transfers);
    return bodyFraming(head);
  };
  EXPECT_EQ(framing({}, {}), BodyFraming::None);
  EXPECT_EQ(framing({"0"}, {}), BodyFraming::None);
  EXPECT_EQ(framing({"000"}, {}), BodyFraming::None);
  EXPECT_EQ(framing({"12"}, {}), BodyFraming::Length);
  EXPECT_EQ(framing({"12", "12"}, {}), BodyFraming::Length);
  EXPECT_EQ(framing({"12", "13"}, {}), BodyFraming::Unread);
  EXPECT_EQ(framing({"-1"}, {}), BodyFraming::Unread);
  EXPECT_EQ(framing({"1e3"}, {}), BodyFraming::Unread);
  EXPECT_EQ(framing({""}, {}), BodyFraming::Unread);
  EXPECT_EQ(framing({"99999999999999999999"}, {}), BodyFraming::Unread);
  EXPECT_EQ(framing({}, {"chunked"}), BodyFraming::Unread);
  EXPECT_EQ(framing({"12"}, {"chunked"}), BodyFraming::Unread);
}

}  // namespace
}  // namespace camknob::http
