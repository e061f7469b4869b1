// The UVC class requests the virtual camera answers on endpoint 0, and their
// answers, independent of how the requests reach it.
#pragma once

#include <cstdint>

#include "virtual_camera/usb_bytes.h"

namespace camknob::virtual_camera {

enum class Request : std::uint8_t {
  setCur = 0x01,
  getCur = 0x81,
  getMin = 0x82,
  getMax = 0x83,
  getRes = 0x84,
  getLen = 0x85,
  getInfo = 0x86,
  getDef = 0x87,
};

// The codes of the VideoControl interface's request error code control.
enum class RequestError : std::uint8_t {
  none = 0,
  notReady = 1,
  wrongState = 2,
  power = 3,
  outOfRange = 4,
  invalidUnit = 5,
  invalidControl = 6,
  invalidRequest = 7,
  invalidValueWithinRange = 8,
};

// One class request: to a unit of the VideoControl interface (unit 0 is the
// interface itself) or to the VideoStreaming interface. `data` is what a
// SET_CUR carries.
struct ClassRequest {
  std::uint8_t request;
  std::uint8_t interface;
  std::uint8_t unit;
  std::uint8_t selector;
  std::uint16_t length;
  Bytes data;
};

// A refused request has an error (the device stalls it where it can) and no
// data; an accepted GET has the bytes to send.
struct Answer {
  RequestError error;
  Bytes data;
};

}  // namespace camknob::virtual_camera
