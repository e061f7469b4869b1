// The lines camknobd writes itself, read back with an independent parser.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "http/api_texts.h"
#include "json/json_object.h"

namespace camknob::http {
namespace {

TEST(ApiTexts, ErrorsAreOneLineWithSortedKeys) {
  const std::string text = json::errorDocument("Unknown key \"sp\\eed\".\n");
  EXPECT_EQ(text.find('\n'), std::string::npos);
  EXPECT_EQ(text.rfind("{\"error\":", 0), 0u);
  EXPECT_EQ(nlohmann::json::parse(text),
            (nlohmann::json{{"error", "Unknown key \"sp\\eed\".\n"}, {"ok", false}}));
  // Bytes that are not UTF-8 are shown replaced; the error still is written.
  EXPECT_EQ(nlohmann::json::parse(json::errorDocument("bad \xff")),
            (nlohmann::json{{"error", "bad \xEF\xBF\xBD"}, {"ok", false}}));
}

TEST(ApiTexts, TheStartLineNamesThePageTheTokenFileAndTheUrl) {
  const auto line =
      startLine(loginPage("http://127.0.0.1:9734", "c0de"),
                "/run/user/1000/camknob/camknobd-9734.token", "http://127.0.0.1:9734");
  ASSERT_TRUE(line);
  EXPECT_EQ(line->rfind("{\"page\":", 0), 0u);
  EXPECT_LT(line->find("\"tokenFile\""), line->find("\"url\""));
  EXPECT_EQ(nlohmann::json::parse(*line),
            (nlohmann::json{{"page", "http://127.0.0.1:9734/login?code=c0de"},
                            {"tokenFile", "/run/user/1000/camknob/camknobd-9734.token"},
                            {"url", "http://127.0.0.1:9734"}}));
  EXPECT_FALSE(startLine("p", "/tmp/\xff", "u"));
  EXPECT_EQ(nlohmann::json::parse(loginPageText("http://h/login?code=1")),
            (nlohmann::json{{"ok", true}, {"page", "http://h/login?code=1"}}));
}

TEST(ApiTexts, EventsCarryTheVersionAndEachLineOfTheDocument) {
  EXPECT_EQ(eventText(7, R"({"devices":[],"ok":true})"),
            "id: 7\ndata: {\"devices\":[],\"ok\":true}\n\n");
  EXPECT_EQ(eventText(8, "a\nb"), "id: 8\ndata: a\ndata: b\n\n");
  EXPECT_EQ(eventText(9, "a\n"), "id: 9\ndata: a\n\n");
  EXPECT_EQ(eventText(10, ""), "id: 10\ndata: \n\n");
}

}  // namespace
}  // namespace camknob::http
