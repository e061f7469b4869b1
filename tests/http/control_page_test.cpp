// The control page's files as compiled in: each served at its path by a
// route that needs no token, of its content type, and every file one of
// them names is one of them.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <string>

#include "http/api_routes.h"
#include "http/control_page.h"
#include "http/request_checks.h"

namespace camknob::http {
namespace {

std::string extensionOf(std::string_view path) {
  const std::size_t dot = path.rfind('.');
  return dot == std::string_view::npos ? "" : std::string(path.substr(dot + 1));
}

TEST(ControlPage, EachFileHasItsPathTypeAndRoute) {
  const std::span<const PageFile> files = pageFiles();
  ASSERT_FALSE(files.empty());
  EXPECT_EQ(files.front().path, "/");
  EXPECT_EQ(files.front().contentType, "text/html; charset=utf-8");
  EXPECT_EQ(files.front().text.substr(0, 15), "<!DOCTYPE html>");
  const std::map<std::string, std::string_view> types{
      {"js", "text/javascript; charset=utf-8"},
      {"css", "text/css; charset=utf-8"},
      {"svg", "image/svg+xml"},
  };
  std::set<std::string_view> paths;
  for (const PageFile& file : files) {
    EXPECT_TRUE(paths.insert(file.path).second) << file.path;
    EXPECT_FALSE(file.text.empty()) << file.path;
    EXPECT_EQ(file.text.find('\0'), std::string_view::npos) << file.path;
    EXPECT_EQ(pageFile(file.path), &file);
    EXPECT_FALSE(needsCredentials(file.path)) << file.path;
    const RouteMatch route = findRoute("GET", file.path);
    ASSERT_NE(route.route, nullptr) << file.path;
    EXPECT_EQ(route.route->kind, RouteKind::ControlPage);
    EXPECT_EQ(findRoute("POST", file.path).route, nullptr);
    if (file.path == "/") continue;
    EXPECT_EQ(file.path.substr(0, 6), "/page/");
    const auto type = types.find(extensionOf(file.path));
    ASSERT_NE(type, types.end()) << file.path;
    EXPECT_EQ(file.contentType, type->second) << file.path;
  }
  EXPECT_EQ(pageFile("/page/index.html"), nullptr);
  EXPECT_EQ(pageFile("/page/none.js"), nullptr);
  EXPECT_FALSE(findRoute("GET", "/page/none.js").pathKnown);
  EXPECT_FALSE(findRoute("GET", "/page/").pathKnown);
}

// What the page loads is what the program has: the files index.html names
// and every module's imports.
TEST(ControlPage, EveryFileNamedIsServed) {
  const std::regex named(R"re((?:href|src)="(/[^"]*)")re");
  const std::regex imported(R"re(from "\./([^"]+)")re");
  std::size_t references = 0;
  for (const PageFile& file : pageFiles()) {
    const std::string text(file.text);
    const bool html = file.path == "/";
    const bool module = extensionOf(file.path) == "js";
    if (!html && !module) continue;
    const std::regex& pattern = html ? named : imported;
    for (auto at = std::sregex_iterator(text.begin(), text.end(), pattern);
         at != std::sregex_iterator(); ++at) {
      const std::string path = html ? (*at)[1].str() : "/page/" + (*at)[1].str();
      EXPECT_NE(pageFile(path), nullptr) << file.path << " names " << path;
      ++references;
    }
  }
  EXPECT_GT(references, pageFiles().size() - 1);
}

TEST(ControlPage, ThePolicyAllowsOnlyItsOwnOrigin) {
  EXPECT_EQ(controlPagePolicy.find("default-src 'self';"), 0u);
  EXPECT_NE(controlPagePolicy.find("frame-ancestors 'none'"), std::string_view::npos);
  for (std::string_view loose : {"*", "http:", "https:", "data:", "unsafe", "blob:"})
    EXPECT_EQ(controlPagePolicy.find(loose), std::string_view::npos) << loose;
}

}  // namespace
}  // namespace camknob::http
