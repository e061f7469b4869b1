// camknob-virtual-camera [--timed-log FILE] [--reset-on-stream] LOG_FILE
//                        [GADGET_DIRECTORY]
//
// A UVC camera with pan/tilt/zoom and image controls, made of a gadgetfs
// device on the kernel's dummy USB controller, for tests on the real uvcvideo
// driver. GADGET_DIRECTORY is where gadgetfs is mounted (/dev/gadget when not
// given). Every SET_CUR the camera receives is appended to LOG_FILE; with
// --timed-log, also to that file after the CLOCK_MONOTONIC time it arrived,
// with a line when the camera reset its controls. With --reset-on-stream the
// camera puts every control back to its default when a stream starts (the
// host commits its format), as some cameras do. It serves until killed.
#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "virtual_camera/gadget_device.h"

namespace {

int usage() {
  std::cerr << "usage: camknob-virtual-camera [--timed-log FILE] [--reset-on-stream] LOG_FILE "
               "[GADGET_DIRECTORY]\n";
  return 2;
}

int openLog(const std::string& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0)
    std::cerr << "camknob-virtual-camera: " << path << ": " << std::strerror(errno) << '\n';
  return fd;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> positional;
  std::string timedLog;
  bool resetsOnStream = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--reset-on-stream") {
      resetsOnStream = true;
    } else if (argument == "--timed-log" && i + 1 < argc) {
      timedLog = argv[++i];
    } else if (argument.substr(0, 2) == "--") {
      return usage();
    } else {
      positional.emplace_back(argument);
    }
  }
  if (positional.empty() || positional.size() > 2) return usage();
  camknob::virtual_camera::GadgetSettings settings{openLog(positional[0]), -1, resetsOnStream};
  if (settings.logFd < 0) return 1;
  if (!timedLog.empty() && (settings.timedLogFd = openLog(timedLog)) < 0) return 1;
  const std::string directory = positional.size() == 2 ? positional[1] : "/dev/gadget";
  const std::string gadget = camknob::virtual_camera::findGadgetFile(directory);
  if (gadget.empty()) {
    std::cerr << "camknob-virtual-camera: no USB device controller in " << directory << '\n';
    return 1;
  }
  const int gadgetFd = open(gadget.c_str(), O_RDWR | O_CLOEXEC);
  if (gadgetFd < 0) {
    std::cerr << "camknob-virtual-camera: " << gadget << ": " << std::strerror(errno) << '\n';
    return 1;
  }
  // gadgetfs takes a SET_CUR's data before the camera has read the request,
  // so the host may send its next request at once; a request that arrives
  // while the previous one is still open is lost. Running ahead of every
  // ordinary process, the camera reads each request as soon as it arrives.
  const sched_param priority{50};
  if (sched_setscheduler(0, SCHED_FIFO, &priority) != 0)
    std::cerr << "camknob-virtual-camera: no real-time priority (" << std::strerror(errno)
              << "); requests may be lost\n";
  const std::string why = camknob::virtual_camera::serveGadget(gadgetFd, settings);
  std::cerr << "camknob-virtual-camera: " << why << '\n';
  return 1;
}
