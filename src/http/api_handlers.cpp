#include "http/api_handlers.h"

#include <exception>
#include <future>
#include <string>
#include <vector>

#include "http/api_routes.h"
#include "http/api_texts.h"
#include "http/control_page.h"
#include "http/event_stream.h"
#include "http/fronted_server.h"
#include "http/listen_address.h"
#include "http/request_gate.h"
#include "json/json_object.h"

namespace camknob::http {

namespace {

using HandlerResponse = httplib::Server::HandlerResponse;

constexpr std::string_view jsonType = "application/json";

std::vector<std::string> headerValues(const httplib::Request& request, const char* name) {
  std::vector<std::string> values;
  const auto [first, last] = request.headers.equal_range(name);
  for (auto at = first; at != last; ++at) values.push_back(at->second);
  return values;
}

RequestHead headOf(const httplib::Request& request) {
  return RequestHead{
      request.method,
      request.path,
      headerValues(request, "Host"),
      headerValues(request, "Origin"),
      headerValues(request, "Authorization"),
      headerValues(request, "Cookie"),
      headerValues(request, "Content-Type"),
      headerValues(request, "Content-Encoding"),
      headerValues(request, "Content-Length"),
      headerValues(request, "Transfer-Encoding"),
      arrivalHosts(request.local_addr, request.local_port),
  };
}

QueryParameters queryOf(const httplib::Request& request) {
  QueryParameters query;
  for (const auto& [name, value] : request.params) query.emplace_back(name, value);
  return query;
}

void answerJson(httplib::Response& response, int status, const std::string& body) {
  response.status = status;
  response.set_content(body, std::string(jsonType));
}

void reject(httplib::Response& response, const Rejection& rejection) {
  answerJson(response, rejection.status, json::errorDocument(rejection.message));
}

void answerLogin(ApiState& state, const Route& route, const httplib::Request& request,
                 httplib::Response& response) {
  const auto fields = readRouteFields(route, queryOf(request), "");
  const auto* texts = std::get_if<FieldTexts>(&fields);
  const std::optional<std::string> session =
      texts != nullptr ? redeemLoginCode(state.logins, *texts->front()) : std::nullopt;
  if (!session) return reject(response, {403, "The login code is wrong or was used already."});
  response.status = 303;
  response.set_header("Location", "/");
  response.set_header("Set-Cookie", std::string(sessionCookie) + "=" + *session +
                                        "; HttpOnly; SameSite=Strict; Path=/");
}

void answerNewLoginPage(ApiState& state, const Route& route, const httplib::Request& request,
                        std::string_view body, httplib::Response& response) {
  const auto fields = readRouteFields(route, queryOf(request), body);
  if (const auto* fault = std::get_if<std::string>(&fields)) return reject(response, {400, *fault});
  answerJson(response, 200, loginPageText(loginPage(state.url, newLoginCode(state.logins))));
}

void answerEngine(ApiState& state, const Route& route, const httplib::Request& request,
                  std::string_view body, httplib::Response& response) {
  RequestReading reading = readEngineRequest(route, queryOf(request), body);
  if (const auto* fault = std::get_if<std::string>(&reading))
    return reject(response, {400, *fault});
  std::future<engine::Answer> answer =
      engine::submit(*state.engine, std::get<engine::Request>(std::move(reading)));
  if (answer.wait_for(state.engineDeadline) != std::future_status::ready) {
    const auto seconds = std::chrono::ceil<std::chrono::seconds>(state.engineDeadline).count();
    response.set_header("Retry-After", std::to_string(seconds));
    return reject(response, {503, "The cameras did not answer in time; try again later."});
  }
  try {
    const engine::Answer given = answer.get();
    answerJson(response, given.status, given.body);
  } catch (const std::future_error&) {
    reject(response, {503, "The server is stopping."});
  }
}

void answerPageFile(const Route& route, httplib::Response& response) {
  const PageFile* file = pageFile(route.path);
  if (file == nullptr) return reject(response, {404, "There is no such route."});
  response.status = 200;
  response.set_header("Content-Security-Policy", std::string(controlPagePolicy));
  response.set_content(std::string(file->text), std::string(file->contentType));
}

void answerRoute(ApiState& state, const Route& route, const httplib::Request& request,
                 std::string_view body, httplib::Response& response) {
  switch (route.kind) {
    case RouteKind::ControlPage:
      return answerPageFile(route, response);
    case RouteKind::Login:
      return answerLogin(state, route, request, response);
    case RouteKind::Events:
      if (const auto fields = readRouteFields(route, queryOf(request), "");
          const auto* fault = std::get_if<std::string>(&fields))
        return reject(response, {400, *fault});
      return startEventStream(state, response);
    case RouteKind::NewLoginPage:
      return answerNewLoginPage(state, route, request, body, response);
    case RouteKind::Engine:
      return answerEngine(state, route, request, body, response);
  }
}

std::variant<Rejection, const Route*> gateOf(ApiState& state, const httplib::Request& request) {
  const std::vector<std::string> sessions = currentSessions(state.logins);
  const std::string key = state.key.current();
  return passGate(GateKeys{state.acceptedHosts, state.token, key, sessions}, headOf(request));
}

// The methods whose Content-Length body the library reads before it hands
// the request to a handler.
bool libraryReadsBody(const std::string& method) {
  return method == "POST" || method == "PUT" || method == "PATCH" || method == "DELETE";
}

}  // namespace

void answerRequest(ApiState& state, const httplib::Request& request, httplib::Response& response,
                   std::string_view body) {
  try {
    const auto passed = gateOf(state, request);
    if (const auto* rejection = std::get_if<Rejection>(&passed))
      return reject(response, *rejection);
    if (body.size() > maxBodyBytes) return reject(response, {413, libraryStatusMessage(413)});
    answerRoute(state, *std::get<const Route*>(passed), request, body, response);
  } catch (const std::exception&) {
    reject(response, {500, libraryStatusMessage(500)});
  }
}

void installApiHandlers(httplib::Server& server, ApiState& state) {
  server.set_pre_routing_handler(
      [&state](const httplib::Request& request, httplib::Response& response) {
        const BodyFraming framing = bodyFraming(headOf(request));
        // Only a request that passed the checks has its body read: the
        // library would unpack a compressed one as it reads it.
        if (framing == BodyFraming::Length && libraryReadsBody(request.method) &&
            std::holds_alternative<const Route*>(gateOf(state, request)))
          return HandlerResponse::Unhandled;
        answerRequest(state, request, response, "");
        if (framing != BodyFraming::None) {
          response.set_header("Connection", "close");
          closeAfterThisAnswer();
        }
        return HandlerResponse::Handled;
      });

  // Whatever the path: the checks come first, then the route.
  const std::string anyPath = "[\\s\\S]*";
  const auto withBody = [&state](const httplib::Request& request, httplib::Response& response) {
    answerRequest(state, request, response, request.body);
  };
  server.Post(anyPath, withBody);
  server.Put(anyPath, withBody);
  server.Patch(anyPath, withBody);
  server.Delete(anyPath, withBody);

  server.set_error_handler(httplib::Server::HandlerWithResponse(
      [](const httplib::Request&, httplib::Response& response) {
        if (!response.body.empty()) return HandlerResponse::Unhandled;
        reject(response, {response.status, libraryStatusMessage(response.status)});
        return HandlerResponse::Handled;
      }));
}

}  // namespace camknob::http
