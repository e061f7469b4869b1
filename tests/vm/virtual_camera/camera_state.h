// What the virtual camera remembers between requests.
#pragma once

#include <vector>

#include "virtual_camera/class_requests.h"
#include "virtual_camera/usb_bytes.h"

namespace camknob::virtual_camera {

struct CameraState {
  std::vector<Bytes> current;  // one per controlTable() entry, in its order
  RequestError lastError;      // what the request error code control reports
  Bytes probe;                 // VideoStreaming probe and commit controls
  Bytes commit;
  // As some cameras do: every control back to its default (its start value
  // where it has none) when the host commits a stream's format, which it does
  // as a program starts streaming. `resets` counts the times it happened.
  bool resetsOnStream = false;
  unsigned resets = 0;
};

CameraState initialCameraState();

// Every control at its default value, or its start value where it has none.
void resetControls(CameraState& state);

// The streaming probe control's setting when the camera starts.
Bytes defaultProbe();

// Answers a class request to either interface and records its outcome for
// the request error code control.
Answer answerClassRequest(CameraState& state, const ClassRequest& request);

// The two halves of answerClassRequest.
Answer answerControlRequest(CameraState& state, const ClassRequest& request);
Answer answerStreamingRequest(CameraState& state, const ClassRequest& request);

}  // namespace camknob::virtual_camera
