// Requests to the VideoStreaming interface: the probe and commit controls
// through which the host negotiates the (single) video format.
#include <linux/usb/video.h>

#include "virtual_camera/camera_identity.h"
#include "virtual_camera/camera_state.h"

namespace camknob::virtual_camera {

namespace {

// UVC 1.0 probe and commit controls are 26 bytes.
constexpr std::size_t probeSize = 26;

Answer refused(RequestError error) {
  return Answer{error, {}};
}

// The one setting the camera offers, keeping the host's hint bits.
Bytes negotiated(unsigned hint) {
  Bytes probe;
  appendU16(probe, hint);
  appendU8(probe, 1);  // bFormatIndex
  appendU8(probe, 1);  // bFrameIndex
  appendU32(probe, frameInterval);
  appendU16(probe, 0);  // wKeyFrameRate
  appendU16(probe, 0);  // wPFrameRate
  appendU16(probe, 0);  // wCompQuality
  appendU16(probe, 0);  // wCompWindowSize
  appendU16(probe, 0);  // wDelay
  appendU32(probe, frameBytes);
  appendU32(probe, frameBytes + 12);  // one payload: header and frame
  return probe;
}

}  // namespace

Bytes defaultProbe() {
  return negotiated(1);
}

Answer answerStreamingRequest(CameraState& state, const ClassRequest& request) {
  const bool probe = request.selector == UVC_VS_PROBE_CONTROL;
  if (!probe && request.selector != UVC_VS_COMMIT_CONTROL)
    return refused(RequestError::invalidControl);
  Bytes& stored = probe ? state.probe : state.commit;
  switch (static_cast<Request>(request.request)) {
    case Request::setCur: {
      if (request.data.size() != probeSize) return refused(RequestError::invalidRequest);
      const bool known = request.data[2] == 1 && request.data[3] == 1;
      if (!probe && !known) return refused(RequestError::invalidValueWithinRange);
      stored = negotiated(static_cast<unsigned>(readField(request.data, 0, 2, false)));
      if (!probe && state.resetsOnStream) resetControls(state);
      return Answer{RequestError::none, {}};
    }
    case Request::getCur:
      if (request.length != probeSize) return refused(RequestError::invalidRequest);
      return Answer{RequestError::none, stored};
    case Request::getMin:
    case Request::getMax:
    case Request::getDef:
      if (!probe || request.length != probeSize) return refused(RequestError::invalidRequest);
      return Answer{RequestError::none, defaultProbe()};
    case Request::getInfo:
      if (request.length != 1) return refused(RequestError::invalidRequest);
      return Answer{RequestError::none, Bytes{0x03}};
    case Request::getLen: {
      if (request.length != 2) return refused(RequestError::invalidRequest);
      Bytes length;
      appendU16(length, probeSize);
      return Answer{RequestError::none, length};
    }
    default:
      return refused(RequestError::invalidRequest);
  }
}

}  // namespace camknob::virtual_camera
