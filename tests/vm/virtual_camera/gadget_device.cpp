#include "virtual_camera/gadget_device.h"

#include <linux/usb/ch9.h>
#include <linux/usb/gadgetfs.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "virtual_camera/camera_identity.h"
#include "virtual_camera/camera_state.h"
#include "virtual_camera/descriptors.h"
#include "virtual_camera/request_log.h"

namespace camknob::virtual_camera {

namespace {

// gadgetfs stalls a control transfer when it is read or written "in the wrong
// direction": read an IN request, write an OUT one. An OUT request that
// carries data cannot be stalled (its data stage already ran), but its data
// must still be read to close it.
void refuse(int fd, const usb_ctrlrequest& setup) {
  char none = 0;
  if ((setup.bRequestType & USB_DIR_IN) != 0) {
    (void)!read(fd, &none, 0);
  } else if (setup.wLength == 0) {
    (void)!write(fd, &none, 0);
  } else {
    Bytes data(setup.wLength);
    (void)!read(fd, data.data(), data.size());
  }
}

void acknowledge(int fd) {
  char none = 0;
  (void)!read(fd, &none, 0);
}

void reply(int fd, const Bytes& data, unsigned length) {
  const std::size_t size = std::min<std::size_t>(data.size(), length);
  (void)!write(fd, data.data(), size);
}

void answerStandard(int fd, const usb_ctrlrequest& setup) {
  const unsigned value = setup.wValue;
  switch (setup.bRequest) {
    case USB_REQ_GET_DESCRIPTOR:
      if ((value >> 8) == USB_DT_STRING) {
        if (const auto text = stringDescriptor(value & 0xffu))
          return reply(fd, *text, setup.wLength);
      }
      return refuse(fd, setup);
    case USB_REQ_SET_CONFIGURATION:
      return acknowledge(fd);
    case USB_REQ_SET_INTERFACE:
      // Each interface has only alternate setting 0.
      if (value == 0 && setup.wIndex <= streamingInterface) return acknowledge(fd);
      return refuse(fd, setup);
    case USB_REQ_GET_INTERFACE:
      return reply(fd, Bytes{0}, setup.wLength);
    default:
      return refuse(fd, setup);
  }
}

std::int64_t monotonicNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

void answerClass(int fd, const usb_ctrlrequest& setup, CameraState& state,
                 const GadgetSettings& settings) {
  const bool in = (setup.bRequestType & USB_DIR_IN) != 0;
  ClassRequest request{setup.bRequest,
                       static_cast<std::uint8_t>(setup.wIndex & 0xffu),
                       static_cast<std::uint8_t>(setup.wIndex >> 8),
                       static_cast<std::uint8_t>(setup.wValue >> 8),
                       setup.wLength,
                       {}};
  if (!in && setup.wLength > 0) {
    request.data.resize(setup.wLength);
    const ssize_t got = read(fd, request.data.data(), request.data.size());
    if (got < 0) {
      std::cerr << "camknob-virtual-camera: the data of a request was lost ("
                << std::strerror(errno) << ")\n";
      return;
    }
    request.data.resize(static_cast<std::size_t>(got));
  }
  const std::int64_t arrived = monotonicNanoseconds();
  const unsigned resetsBefore = state.resets;
  const Answer answer = answerClassRequest(state, request);
  if (request.request == static_cast<std::uint8_t>(Request::setCur)) {
    const std::string line = requestLogLine(request, answer);
    appendLine(settings.logFd, line);
    if (settings.timedLogFd >= 0) appendLine(settings.timedLogFd, timedLogLine(arrived, line));
  }
  if (state.resets != resetsBefore && settings.timedLogFd >= 0)
    appendLine(settings.timedLogFd, timedLogLine(arrived, resetLogLine));
  if (in) {
    if (answer.error == RequestError::none) return reply(fd, answer.data, setup.wLength);
    return refuse(fd, setup);
  }
  if (setup.wLength == 0) {
    if (answer.error == RequestError::none) return acknowledge(fd);
    return refuse(fd, setup);
  }
  // A refused SET_CUR with data: the error code control tells the host.
}

void answerSetup(int fd, const usb_ctrlrequest& setup, CameraState& state,
                 const GadgetSettings& settings) {
  const unsigned type = setup.bRequestType & USB_TYPE_MASK;
  const unsigned recipient = setup.bRequestType & USB_RECIP_MASK;
  if (type == USB_TYPE_STANDARD) return answerStandard(fd, setup);
  if (type == USB_TYPE_CLASS && recipient == USB_RECIP_INTERFACE)
    return answerClass(fd, setup, state, settings);
  refuse(fd, setup);
}

}  // namespace

std::string findGadgetFile(const std::string& gadgetDirectory) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(gadgetDirectory, error)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("ep", 0) != 0) return entry.path().string();
  }
  return {};
}

std::string serveGadget(int gadgetFd, const GadgetSettings& settings) {
  const Bytes setup = gadgetfsSetup();
  if (write(gadgetFd, setup.data(), setup.size()) != static_cast<ssize_t>(setup.size()))
    return std::string("writing the descriptors failed: ") + std::strerror(errno);

  CameraState state = initialCameraState();
  state.resetsOnStream = settings.resetsOnStream;
  usb_gadgetfs_event events[5];
  for (;;) {
    const ssize_t got = read(gadgetFd, events, sizeof events);
    if (got < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      // EIDRM: a new request came while one was open; EL2HLT: gadgetfs then
      // stalled the new one in our place. The host sees a failed request;
      // the camera goes on with the next.
      if (errno == EIDRM || errno == EL2HLT) {
        std::cerr << "camknob-virtual-camera: a request was lost (" << std::strerror(errno)
                  << ")\n";
        continue;
      }
      return std::string("reading endpoint 0 failed: ") + std::strerror(errno);
    }
    const std::size_t count = static_cast<std::size_t>(got) / sizeof events[0];
    for (std::size_t i = 0; i < count; ++i)
      if (events[i].type == GADGETFS_SETUP)
        answerSetup(gadgetFd, events[i].u.setup, state, settings);
  }
}

}  // namespace camknob::virtual_camera
