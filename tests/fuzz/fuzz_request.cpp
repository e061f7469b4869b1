// camknobd's request handling: each input is one request (a request line,
// header lines, an empty line, the body), made in memory and answered as the
// server answers it after the library read it, by the engine over the demo
// system. Every answer must be well-formed: a JSON object whose ok agrees
// with the status, with an error for each refusal; the page, the login's
// redirect and the event stream are the only answers of other kinds.
#include <httplib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "engine/engine.h"
#include "http/api_handlers.h"
#include "http/api_state.h"
#include "media/sim/sim_startup.h"

namespace {

using camknob::http::ApiState;

[[noreturn]] void finding(const char* what, const std::string& detail) {
  std::fprintf(stderr, "fuzz finding: %s\n%.2000s\n", what, detail.c_str());
  std::abort();
}

std::string_view takeLine(std::string_view& text) {
  const std::size_t end = text.find('\n');
  const std::string_view line = text.substr(0, end);
  text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  return line.ends_with('\r') ? line.substr(0, line.size() - 1) : line;
}

// The request as the library hands it over: method, path, query parameters
// and headers read; the body is what follows the empty line.
httplib::Request requestOf(std::string_view input, std::string& body) {
  httplib::Request request;
  const std::string_view first = takeLine(input);
  const std::size_t space = first.find(' ');
  request.method = std::string(first.substr(0, space));
  const std::string_view target =
      space == std::string_view::npos ? std::string_view{} : first.substr(space + 1);
  const std::size_t question = target.find('?');
  request.path = std::string(target.substr(0, question));
  if (question != std::string_view::npos)
    httplib::detail::parse_query_text(std::string(target.substr(question + 1)), request.params);
  while (!input.empty()) {
    const std::string_view line = takeLine(input);
    if (line.empty()) break;
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    std::string_view value = line.substr(colon + 1);
    while (value.starts_with(' ')) value.remove_prefix(1);
    request.headers.emplace(std::string(line.substr(0, colon)), std::string(value));
  }
  body = std::string(input);
  request.body = body;
  return request;
}

std::string headerOf(const httplib::Response& response, const char* name) {
  return response.has_header(name) ? response.get_header_value(name) : std::string();
}

void checkJsonAnswer(const httplib::Response& response, const std::string& shown) {
  const auto answer = nlohmann::json::parse(response.body, nullptr, false);
  if (answer.is_discarded() || !answer.is_object()) finding("an answer that is not JSON", shown);
  if (!answer.contains("ok") || !answer["ok"].is_boolean()) finding("an answer without ok", shown);
  const bool ok = answer["ok"].get<bool>();
  if (ok != (response.status == 200)) finding("ok disagrees with the status", shown);
  if (!ok && (!answer.contains("error") || !answer["error"].is_string()))
    finding("a refusal without its error", shown);
  if (response.body.find('\n') != std::string::npos &&
      response.body.find('\n') != response.body.size() - 1)
    finding("an answer of more than one line", shown);
}

void checkAnswer(const httplib::Response& response, const std::string& input) {
  const std::string shown =
      input + "\n--- answer " + std::to_string(response.status) + "\n" + response.body;
  const std::string type = headerOf(response, "Content-Type");
  if (type == "application/json") return checkJsonAnswer(response, shown);
  if (response.status == 303) {
    if (headerOf(response, "Location") != "/") finding("a redirect elsewhere", shown);
    return;
  }
  if (response.status != 200) finding("a refusal that is not JSON", shown);
  if (!type.starts_with("text/") && !type.starts_with("image/"))
    finding("an answer of an unknown kind", shown);
}

struct Harness {
  std::filesystem::path configFolder;
  ApiState state;
};

Harness& harness() {
  static Harness* made = [] {
    ::unsetenv("CAMKNOB_SIM_FIXTURE");
    if (camknob::sim::startSimulatedSystem("fuzz_request")) std::abort();
    char folder[] = "/tmp/camknob-fuzz-request-XXXXXX";
    if (::mkdtemp(folder) == nullptr) std::abort();
    auto* made = new Harness{};
    made->configFolder = folder;
    made->state.engine = camknob::engine::startEngine({folder});
    made->state.acceptedHosts = {"127.0.0.1:9734", "localhost:9734", "[::1]:9734"};
    made->state.url = "http://127.0.0.1:9734";
    made->state.token = "0123456789abcdef0123456789abcdef";
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(harness().configFolder, ignored);
    });
    return made;
  }();
  return *made;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Harness& shared = harness();
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::string body;
  const httplib::Request request = requestOf(input, body);
  httplib::Response response;
  camknob::http::answerRequest(shared.state, request, response, body);
  checkAnswer(response, input);
  return 0;
}
