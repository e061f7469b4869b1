// The virtual camera's answers to class requests. uvcvideo never sends most
// of the refused requests (it clamps values and checks automatic modes
// itself), so these paths are checked here rather than in the VM.
#include <gtest/gtest.h>
#include <linux/usb/video.h>

#include "virtual_camera/camera_state.h"
#include "virtual_camera/control_table.h"
#include "virtual_camera/request_log.h"

namespace camknob::virtual_camera {
namespace {

constexpr std::uint8_t terminal = 1;
constexpr std::uint8_t processing = 2;

ClassRequest get(Request request, std::uint8_t unit, std::uint8_t selector, std::uint16_t length) {
  return ClassRequest{static_cast<std::uint8_t>(request), 0, unit, selector, length, {}};
}

ClassRequest set(std::uint8_t unit, std::uint8_t selector, Bytes data) {
  const auto length = static_cast<std::uint16_t>(data.size());
  return ClassRequest{
      static_cast<std::uint8_t>(Request::setCur), 0, unit, selector, length, std::move(data)};
}

struct GetCase {
  const char* what;
  ClassRequest request;
  RequestError error;
  Bytes data;
};

TEST(VirtualCameraRequests, AnswersGetRequestsOrRefusesThemWithTheirErrorCode) {
  const std::vector<GetCase> cases = {
      {"brightness now",
       get(Request::getCur, processing, UVC_PU_BRIGHTNESS_CONTROL, 2),
       RequestError::none,
       {0, 0}},
      {"brightness minimum",
       get(Request::getMin, processing, UVC_PU_BRIGHTNESS_CONTROL, 2),
       RequestError::none,
       {0xc0, 0xff}},
      {"contrast default",
       get(Request::getDef, processing, UVC_PU_CONTRAST_CONTROL, 2),
       RequestError::none,
       {50, 0}},
      {"pan/tilt resolution",
       get(Request::getRes, terminal, UVC_CT_PANTILT_ABSOLUTE_CONTROL, 8),
       RequestError::none,
       {0x10, 0x0e, 0, 0, 0x10, 0x0e, 0, 0}},
      {"pan/tilt speed maximum",
       get(Request::getMax, terminal, UVC_CT_PANTILT_RELATIVE_CONTROL, 4),
       RequestError::none,
       {0, 24, 0, 20}},
      {"supported exposure modes",
       get(Request::getRes, terminal, UVC_CT_AE_MODE_CONTROL, 1),
       RequestError::none,
       {0x09}},
      {"a settable control",
       get(Request::getInfo, processing, UVC_PU_BRIGHTNESS_CONTROL, 1),
       RequestError::none,
       {0x03}},
      {"exposure, disabled by auto exposure and updated by the camera",
       get(Request::getInfo, terminal, UVC_CT_EXPOSURE_TIME_ABSOLUTE_CONTROL, 1),
       RequestError::none,
       {0x0f}},
      {"length of zoom relative",
       get(Request::getLen, terminal, UVC_CT_ZOOM_RELATIVE_CONTROL, 2),
       RequestError::none,
       {3, 0}},
      {"a bitmap has no minimum",
       get(Request::getMin, terminal, UVC_CT_AE_MODE_CONTROL, 1),
       RequestError::invalidRequest,
       {}},
      {"power line frequency has no maximum",
       get(Request::getMax, processing, UVC_PU_POWER_LINE_FREQUENCY_CONTROL, 1),
       RequestError::invalidRequest,
       {}},
      {"a wrong length",
       get(Request::getCur, processing, UVC_PU_BRIGHTNESS_CONTROL, 4),
       RequestError::invalidRequest,
       {}},
      {"an absent control",
       get(Request::getCur, terminal, UVC_CT_IRIS_ABSOLUTE_CONTROL, 2),
       RequestError::invalidControl,
       {}},
      {"an absent unit",
       get(Request::getCur, 7, UVC_PU_BRIGHTNESS_CONTROL, 2),
       RequestError::invalidUnit,
       {}},
  };
  for (const GetCase& c : cases) {
    CameraState state = initialCameraState();
    const Answer answer = answerClassRequest(state, c.request);
    EXPECT_EQ(answer.error, c.error) << c.what;
    EXPECT_EQ(answer.data, c.data) << c.what;
    EXPECT_EQ(state.lastError, c.error) << c.what;
  }
}

struct SetCase {
  const char* what;
  std::vector<ClassRequest> before;  // accepted first
  ClassRequest request;
  RequestError error;
};

TEST(VirtualCameraRequests, ChecksEveryWriteAsACameraWould) {
  const ClassRequest manualExposure = set(terminal, UVC_CT_AE_MODE_CONTROL, {0x01});
  const ClassRequest whiteBalanceOff =
      set(processing, UVC_PU_WHITE_BALANCE_TEMPERATURE_AUTO_CONTROL, {0});
  const std::vector<SetCase> cases = {
      {"brightness in range",
       {},
       set(processing, UVC_PU_BRIGHTNESS_CONTROL, {0xc0, 0xff}),
       RequestError::none},
      {"brightness above range",
       {},
       set(processing, UVC_PU_BRIGHTNESS_CONTROL, {65, 0}),
       RequestError::outOfRange},
      {"exposure while auto exposure is on",
       {},
       set(terminal, UVC_CT_EXPOSURE_TIME_ABSOLUTE_CONTROL, {100, 0, 0, 0}),
       RequestError::wrongState},
      {"exposure in manual mode",
       {manualExposure},
       set(terminal, UVC_CT_EXPOSURE_TIME_ABSOLUTE_CONTROL, {100, 0, 0, 0}),
       RequestError::none},
      {"an exposure mode the camera lacks",
       {},
       set(terminal, UVC_CT_AE_MODE_CONTROL, {0x02}),
       RequestError::invalidValueWithinRange},
      {"two exposure modes at once",
       {},
       set(terminal, UVC_CT_AE_MODE_CONTROL, {0x09}),
       RequestError::invalidValueWithinRange},
      {"focus while autofocus is on",
       {},
       set(terminal, UVC_CT_FOCUS_ABSOLUTE_CONTROL, {50, 0}),
       RequestError::wrongState},
      {"temperature off its 10 K steps",
       {whiteBalanceOff},
       set(processing, UVC_PU_WHITE_BALANCE_TEMPERATURE_CONTROL, {0x8d, 0x13}),
       RequestError::invalidValueWithinRange},
      {"temperature on a step",
       {whiteBalanceOff},
       set(processing, UVC_PU_WHITE_BALANCE_TEMPERATURE_CONTROL, {0x88, 0x13}),
       RequestError::none},
      {"pan past its end",
       {},
       set(terminal, UVC_CT_PANTILT_ABSOLUTE_CONTROL, {0xb0, 0x64, 0x09, 0, 0, 0, 0, 0}),
       RequestError::outOfRange},
      {"tilt at its lowest",
       {},
       set(terminal, UVC_CT_PANTILT_ABSOLUTE_CONTROL, {0, 0, 0, 0, 0x20, 0x5a, 0xfe, 0xff}),
       RequestError::none},
      {"pan direction 2",
       {},
       set(terminal, UVC_CT_PANTILT_RELATIVE_CONTROL, {2, 5, 0, 0}),
       RequestError::outOfRange},
      {"tilt faster than the camera",
       {},
       set(terminal, UVC_CT_PANTILT_RELATIVE_CONTROL, {0, 0, 0xff, 21}),
       RequestError::outOfRange},
      {"stop with any speed",
       {},
       set(terminal, UVC_CT_PANTILT_RELATIVE_CONTROL, {0, 99, 0, 0}),
       RequestError::none},
      {"zoom out at speed 0",
       {},
       set(terminal, UVC_CT_ZOOM_RELATIVE_CONTROL, {0xff, 0, 0}),
       RequestError::outOfRange},
      {"power line frequency auto (UVC 1.5 only)",
       {},
       set(processing, UVC_PU_POWER_LINE_FREQUENCY_CONTROL, {3}),
       RequestError::outOfRange},
      {"privacy on", {}, set(terminal, UVC_CT_PRIVACY_CONTROL, {1}), RequestError::none},
      {"a short write",
       {},
       set(processing, UVC_PU_GAIN_CONTROL, {1}),
       RequestError::invalidRequest},
  };
  for (const SetCase& c : cases) {
    CameraState state = initialCameraState();
    for (const ClassRequest& first : c.before)
      ASSERT_EQ(answerClassRequest(state, first).error, RequestError::none) << c.what;
    const CameraState untouched = state;
    EXPECT_EQ(answerClassRequest(state, c.request).error, c.error) << c.what;
    // A refused write changes nothing; an accepted one is what GET_CUR reads.
    const ClassRequest read =
        get(Request::getCur, c.request.unit, c.request.selector,
            static_cast<std::uint16_t>(c.error == RequestError::none ? c.request.data.size() : 0));
    if (c.error == RequestError::none)
      EXPECT_EQ(answerClassRequest(state, read).data, c.request.data) << c.what;
    else
      EXPECT_EQ(state.current, untouched.current) << c.what;
  }
}

TEST(VirtualCameraRequests, ErrorCodeControlReportsTheLastRequestUntilAnotherOne) {
  CameraState state = initialCameraState();
  const ClassRequest errorCode = get(Request::getCur, 0, UVC_VC_REQUEST_ERROR_CODE_CONTROL, 1);
  answerClassRequest(state, set(processing, UVC_PU_BRIGHTNESS_CONTROL, {0x7f, 0}));
  EXPECT_EQ(answerClassRequest(state, errorCode).data, Bytes{4});
  EXPECT_EQ(answerClassRequest(state, errorCode).data, Bytes{4});  // reading keeps it
  answerClassRequest(state, get(Request::getCur, processing, UVC_PU_BRIGHTNESS_CONTROL, 2));
  EXPECT_EQ(answerClassRequest(state, errorCode).data, Bytes{0});
}

TEST(VirtualCameraRequests, NegotiatesTheOneStreamingFormat) {
  CameraState state = initialCameraState();
  ClassRequest probe{
      static_cast<std::uint8_t>(Request::setCur), 1, 0, UVC_VS_PROBE_CONTROL, 26, Bytes(26, 0)};
  probe.data[0] = 1;  // bmHint: keep the frame interval
  probe.data[2] = 2;  // a format the camera does not have
  probe.data[3] = 3;
  ASSERT_EQ(answerClassRequest(state, probe).error, RequestError::none);
  const Answer current = answerClassRequest(
      state,
      ClassRequest{static_cast<std::uint8_t>(Request::getCur), 1, 0, UVC_VS_PROBE_CONTROL, 26, {}});
  ASSERT_EQ(current.data.size(), 26u);
  EXPECT_EQ(current.data[2], 1);
  EXPECT_EQ(current.data[3], 1);
  EXPECT_EQ(current.data, defaultProbe());
  ClassRequest commit = probe;
  commit.selector = UVC_VS_COMMIT_CONTROL;
  EXPECT_EQ(answerClassRequest(state, commit).error, RequestError::invalidValueWithinRange);
}

TEST(VirtualCameraRequests, ACameraThatResetsOnStreamPutsItsDefaultsBackAtTheCommit) {
  ClassRequest probe{
      static_cast<std::uint8_t>(Request::setCur), 1, 0, UVC_VS_PROBE_CONTROL, 26, defaultProbe()};
  ClassRequest commit = probe;
  commit.selector = UVC_VS_COMMIT_CONTROL;
  const auto brightness = get(Request::getCur, processing, UVC_PU_BRIGHTNESS_CONTROL, 2);
  const auto contrast = get(Request::getCur, processing, UVC_PU_CONTRAST_CONTROL, 2);
  const auto privacy = get(Request::getCur, terminal, UVC_CT_PRIVACY_CONTROL, 1);
  for (const bool resets : {false, true}) {
    CameraState state = initialCameraState();
    state.resetsOnStream = resets;
    ASSERT_EQ(answerClassRequest(state, set(processing, UVC_PU_BRIGHTNESS_CONTROL, {25, 0})).error,
              RequestError::none);
    ASSERT_EQ(answerClassRequest(state, set(terminal, UVC_CT_PRIVACY_CONTROL, {1})).error,
              RequestError::none);
    // Negotiating alone is no stream.
    ASSERT_EQ(answerClassRequest(state, probe).error, RequestError::none);
    EXPECT_EQ(answerClassRequest(state, brightness).data, (Bytes{25, 0})) << resets;
    ASSERT_EQ(answerClassRequest(state, commit).error, RequestError::none);
    EXPECT_EQ(state.resets, resets ? 1u : 0u);
    EXPECT_EQ(answerClassRequest(state, brightness).data, resets ? Bytes({0, 0}) : Bytes({25, 0}));
    // Contrast starts at 60 and has the default 50; privacy has no default.
    EXPECT_EQ(answerClassRequest(state, contrast).data, resets ? Bytes({50, 0}) : Bytes({60, 0}));
    EXPECT_EQ(answerClassRequest(state, privacy).data, Bytes{std::uint8_t(resets ? 0 : 1)});
  }
}

TEST(VirtualCameraRequests, LogsWritesAsTheyArrived) {
  const ClassRequest speed = set(terminal, UVC_CT_PANTILT_RELATIVE_CONTROL, {1, 5, 0xff, 1});
  EXPECT_EQ(requestLogLine(speed, Answer{RequestError::none, {}}),
            "SET_CUR unit=1 selector=0x0e len=4 data=01 05 ff 01");
  EXPECT_EQ(requestLogLine(speed, Answer{RequestError::outOfRange, {}}),
            "REFUSED unit=1 selector=0x0e len=4 data=01 05 ff 01 error=4");
  ClassRequest commit{1, 1, 0, UVC_VS_COMMIT_CONTROL, 2, {0xab, 0}};
  EXPECT_EQ(requestLogLine(commit, Answer{RequestError::none, {}}),
            "SET_CUR streaming selector=0x02 len=2 data=ab 00");
  EXPECT_EQ(timedLogLine(1234567890123, "SET_CUR unit=2 selector=0x02 len=2 data=ec ff"),
            "1234567890123 SET_CUR unit=2 selector=0x02 len=2 data=ec ff");
}

TEST(VirtualCameraRequests, DescribesEachControlInItsUnitsBitmap) {
  // UVC's bit numbers: camera terminal D1-D3 (exposure), D5 (focus), D9-D12
  // (zoom, pan/tilt), D17 (autofocus), D18 (privacy); processing unit D0-D6,
  // D8-D12.
  EXPECT_EQ(controlBitmap(terminal, 3), (Bytes{0x2e, 0x1e, 0x06}));
  EXPECT_EQ(controlBitmap(processing, 2), (Bytes{0x7f, 0x1f}));
}

}  // namespace
}  // namespace camknob::virtual_camera
