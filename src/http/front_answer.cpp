#include "http/front_answer.h"

#include <array>
#include <string_view>
#include <utility>

#include "http/answer_headers.h"
#include "http/api_texts.h"
#include "http/request_gate.h"
#include "json/json_object.h"

namespace camknob::http {

namespace {

std::string_view reasonOf(int status) {
  constexpr std::array<std::pair<int, std::string_view>, 3> reasons{{
      {408, "Request Timeout"},
      {414, "URI Too Long"},
      {431, "Request Header Fields Too Large"},
  }};
  for (const auto& [code, reason] : reasons)
    if (code == status) return reason;
  return "Error";
}

}  // namespace

std::string frontAnswer(int status) {
  const std::string body = json::errorDocument(libraryStatusMessage(status));
  std::string answer = "HTTP/1.1";
  answer.append(1, ' ').append(std::to_string(status)).append(1, ' ').append(reasonOf(status));
  answer += "\r\n";
  const auto addHeader = [&answer](std::string_view name, std::string_view value) {
    answer.append(name).append(": ").append(value).append("\r\n");
  };
  for (const auto& [name, value] : everyAnswerHeaders) addHeader(name, value);
  addHeader("Content-Type", "application/json");
  addHeader("Content-Length", std::to_string(body.size()));
  addHeader("Connection", "close");
  return answer + "\r\n" + body;
}

}  // namespace camknob::http
