// camknob-virtual-camera LOG_FILE [GADGET_DIRECTORY]
//
// A UVC camera with pan/tilt/zoom and image controls, made of a gadgetfs
// device on the kernel's dummy USB controller, for tests on the real uvcvideo
// driver. GADGET_DIRECTORY is where gadgetfs is mounted (/dev/gadget when not
// given). Every SET_CUR the camera receives is appended to LOG_FILE. It
// serves until killed.
#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>

#include "virtual_camera/gadget_device.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::cerr << "usage: camknob-virtual-camera LOG_FILE [GADGET_DIRECTORY]\n";
    return 2;
  }
  const int logFd = open(argv[1], O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (logFd < 0) {
    std::cerr << "camknob-virtual-camera: " << argv[1] << ": " << std::strerror(errno) << '\n';
    return 1;
  }
  const std::string directory = argc == 3 ? argv[2] : "/dev/gadget";
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
  const std::string why = camknob::virtual_camera::serveGadget(gadgetFd, logFd);
  std::cerr << "camknob-virtual-camera: " << why << '\n';
  return 1;
}
