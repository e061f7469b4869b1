#include "commands/refusal_messages.h"

#include "media/fourcc_and_status_text.h"

namespace camknob {

namespace {

std::string refused(std::string_view what, Status status) {
  return std::string(what) + ": " + statusMessage(status) + ".";
}

}  // namespace

std::string setRefused(std::string_view kind, Status status) {
  return refused("Failed to set " + std::string(kind), status);
}

std::string automaticRefused(std::string_view kind, Status status) {
  return refused("Failed to change automatic mode for " + std::string(kind), status);
}

std::string toggleRefused(std::string_view kind, Status status) {
  return refused("Failed to toggle " + std::string(kind), status);
}

std::string moveRefused(Status status) {
  return refused("Failed to move the camera", status);
}

std::string centerRefused(Status status) {
  return refused("Failed to center the camera", status);
}

std::string positionRefused(Status status) {
  return refused("Failed to set pan/tilt position", status);
}

}  // namespace camknob
