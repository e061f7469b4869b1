// Requests to the VideoControl interface: the request error code control and
// the controls of the camera terminal and processing unit.
#include <linux/usb/video.h>

#include <algorithm>

#include "virtual_camera/camera_identity.h"
#include "virtual_camera/camera_state.h"
#include "virtual_camera/control_table.h"

namespace camknob::virtual_camera {

namespace {

Answer refused(RequestError error) {
  return Answer{error, {}};
}
Answer answered(Bytes data) {
  return Answer{RequestError::none, std::move(data)};
}

std::optional<std::size_t> findControl(std::uint8_t unit, std::uint8_t selector) {
  const auto& table = controlTable();
  for (std::size_t i = 0; i < table.size(); ++i)
    if (table[i].unit == unit && table[i].selector == selector) return i;
  return std::nullopt;
}

bool isLocked(const CameraState& state, const ControlSpec& control) {
  if (!control.lock) return false;
  const auto partner = findControl(control.unit, control.lock->partnerSelector);
  if (!partner) return false;
  const auto& manual = control.lock->manualValues;
  return std::find(manual.begin(), manual.end(), state.current[*partner][0]) == manual.end();
}

// GET_INFO bits: D0 GET, D1 SET, D2 disabled by automatic mode, D3 autoupdate.
std::uint8_t infoBits(const CameraState& state, const ControlSpec& control) {
  return 0x03 | (isLocked(state, control) ? 0x04 : 0) | (control.autoUpdate ? 0x08 : 0);
}

// A number field against the same field of minimum, maximum and resolution.
RequestError checkNumber(const ControlSpec& control, const Bytes& value, std::size_t offset,
                         std::size_t size) {
  const auto field = [&](const Bytes& bytes) {
    return readField(bytes, offset, size, control.isSigned);
  };
  const std::int64_t number = field(value);
  if (number < field(control.minimum) || number > field(control.maximum))
    return RequestError::outOfRange;
  const std::int64_t step = field(control.resolution);
  if (step > 0 && (number - field(control.minimum)) % step != 0)
    return RequestError::invalidValueWithinRange;
  return RequestError::none;
}

// A movement: direction 0 (stop), 1 or 0xff; a moving speed within range.
RequestError checkMovement(const ControlSpec& control, const Bytes& value,
                           std::size_t directionOffset, std::size_t speedOffset) {
  const std::uint8_t direction = value[directionOffset];
  if (direction != 0 && direction != 1 && direction != 0xff) return RequestError::outOfRange;
  if (direction == 0) return RequestError::none;
  const std::uint8_t speed = value[speedOffset];
  if (speed < control.minimum[speedOffset] || speed > control.maximum[speedOffset])
    return RequestError::outOfRange;
  return RequestError::none;
}

RequestError checkValue(const ControlSpec& control, const Bytes& value) {
  switch (control.rule) {
    case ValueRule::number:
      return checkNumber(control, value, 0, control.size);
    case ValueRule::boolean:
      return value[0] <= 1 ? RequestError::none : RequestError::outOfRange;
    case ValueRule::choice:
      return value[0] <= control.maximum[0] ? RequestError::none : RequestError::outOfRange;
    case ValueRule::singleBit: {
      const unsigned bits = value[0];
      const bool oneBit = bits != 0 && (bits & (bits - 1)) == 0;
      return oneBit && (bits & control.resolution[0]) != 0 ? RequestError::none
                                                           : RequestError::invalidValueWithinRange;
    }
    case ValueRule::panTilt: {
      const RequestError pan = checkNumber(control, value, 0, 4);
      return pan != RequestError::none ? pan : checkNumber(control, value, 4, 4);
    }
    case ValueRule::panTiltMovement: {
      const RequestError pan = checkMovement(control, value, 0, 1);
      return pan != RequestError::none ? pan : checkMovement(control, value, 2, 3);
    }
    case ValueRule::zoomMovement:
      if (value[1] > 1) return RequestError::outOfRange;  // digital zoom flag
      return checkMovement(control, value, 0, 2);
  }
  return RequestError::invalidRequest;
}

Answer setCurrent(CameraState& state, std::size_t index, const Bytes& value) {
  const ControlSpec& control = controlTable()[index];
  if (value.size() != control.size) return refused(RequestError::invalidRequest);
  if (isLocked(state, control)) return refused(RequestError::wrongState);
  const RequestError error = checkValue(control, value);
  if (error != RequestError::none) return refused(error);
  state.current[index] = value;
  return answered({});
}

// The request's bit in ControlSpec::requests, and the bytes it reads.
std::optional<std::pair<unsigned, const Bytes*>> readable(const CameraState& state,
                                                          std::size_t index, Request request) {
  const ControlSpec& control = controlTable()[index];
  switch (request) {
    case Request::getCur:
      return std::pair{answersCur, &state.current[index]};
    case Request::getMin:
      return std::pair{answersMin, &control.minimum};
    case Request::getMax:
      return std::pair{answersMax, &control.maximum};
    case Request::getRes:
      return std::pair{answersRes, &control.resolution};
    case Request::getDef:
      return std::pair{answersDef, &control.defaultValue};
    default:
      return std::nullopt;
  }
}

Answer getControl(const CameraState& state, std::size_t index, const ClassRequest& request) {
  const ControlSpec& control = controlTable()[index];
  const auto kind = static_cast<Request>(request.request);
  if (kind == Request::getInfo) {
    if (request.length != 1) return refused(RequestError::invalidRequest);
    return answered(Bytes{infoBits(state, control)});
  }
  if (kind == Request::getLen) {
    if (request.length != 2 || (control.requests & answersLen) == 0)
      return refused(RequestError::invalidRequest);
    Bytes length;
    appendU16(length, static_cast<unsigned>(control.size));
    return answered(length);
  }
  const auto source = readable(state, index, kind);
  if (!source || (control.requests & source->first) == 0 || request.length != control.size)
    return refused(RequestError::invalidRequest);
  return answered(*source->second);
}

// Unit 0: the interface's own request error code control.
Answer answerInterfaceControl(const CameraState& state, const ClassRequest& request) {
  if (request.selector != UVC_VC_REQUEST_ERROR_CODE_CONTROL)
    return refused(RequestError::invalidControl);
  if (request.length != 1) return refused(RequestError::invalidRequest);
  if (request.request == static_cast<std::uint8_t>(Request::getCur))
    return answered(Bytes{static_cast<std::uint8_t>(state.lastError)});
  if (request.request == static_cast<std::uint8_t>(Request::getInfo)) return answered(Bytes{0x01});
  return refused(RequestError::invalidRequest);
}

}  // namespace

Answer answerControlRequest(CameraState& state, const ClassRequest& request) {
  if (request.unit == 0) return answerInterfaceControl(state, request);
  if (request.unit != cameraTerminalId && request.unit != processingUnitId)
    return refused(RequestError::invalidUnit);
  const auto index = findControl(request.unit, request.selector);
  if (!index) return refused(RequestError::invalidControl);
  if (request.request == static_cast<std::uint8_t>(Request::setCur))
    return setCurrent(state, *index, request.data);
  return getControl(state, *index, request);
}

}  // namespace camknob::virtual_camera
