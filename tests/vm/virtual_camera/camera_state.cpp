#include "virtual_camera/camera_state.h"

#include <linux/usb/video.h>

#include "virtual_camera/camera_identity.h"
#include "virtual_camera/control_table.h"

namespace camknob::virtual_camera {

CameraState initialCameraState() {
  CameraState state{{}, RequestError::none, defaultProbe(), defaultProbe(), false, 0};
  for (const ControlSpec& control : controlTable()) state.current.push_back(control.start);
  return state;
}

void resetControls(CameraState& state) {
  const auto& table = controlTable();
  for (std::size_t i = 0; i < table.size(); ++i)
    state.current[i] = table[i].defaultValue.empty() ? table[i].start : table[i].defaultValue;
  ++state.resets;
}

Answer answerClassRequest(CameraState& state, const ClassRequest& request) {
  const bool readsErrorCode = request.interface == controlInterface && request.unit == 0 &&
                              request.selector == UVC_VC_REQUEST_ERROR_CODE_CONTROL &&
                              request.request == static_cast<std::uint8_t>(Request::getCur);
  Answer answer = request.interface == controlInterface ? answerControlRequest(state, request)
                  : request.interface == streamingInterface
                      ? answerStreamingRequest(state, request)
                      : Answer{RequestError::invalidRequest, {}};
  // Reading the error code leaves it for the next reader.
  if (!readsErrorCode) state.lastError = answer.error;
  return answer;
}

}  // namespace camknob::virtual_camera
