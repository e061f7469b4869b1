#include "virtual_camera/request_log.h"

#include <unistd.h>

#include <cstdio>

#include "virtual_camera/camera_identity.h"

namespace camknob::virtual_camera {

std::string requestLogLine(const ClassRequest& request, const Answer& answer) {
  const bool accepted = answer.error == RequestError::none;
  std::string line = accepted ? "SET_CUR " : "REFUSED ";
  char field[32];
  if (request.interface == streamingInterface)
    line += "streaming";
  else
    line += "unit=" + std::to_string(request.unit);
  std::snprintf(field, sizeof field, " selector=0x%02x len=%zu data=", request.selector,
                request.data.size());
  line += field;
  for (std::size_t i = 0; i < request.data.size(); ++i) {
    std::snprintf(field, sizeof field, i == 0 ? "%02x" : " %02x", request.data[i]);
    line += field;
  }
  if (!accepted) line += " error=" + std::to_string(static_cast<unsigned>(answer.error));
  return line;
}

std::string timedLogLine(std::int64_t nanoseconds, const std::string& line) {
  return std::to_string(nanoseconds) + ' ' + line;
}

void appendLine(int fd, const std::string& line) {
  const std::string text = line + '\n';
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t wrote = write(fd, text.data() + done, text.size() - done);
    if (wrote <= 0) return;  // the log is for tests to read; the camera goes on serving
    done += static_cast<std::size_t>(wrote);
  }
}

}  // namespace camknob::virtual_camera
