#include "large_fixture.h"

#include <cstdio>

namespace camknob::bench {

namespace {

// Controls as a real camera has them: native and absolute values with their
// ranges, automatic modes, on/off switches and pan/tilt native data.
std::string controlText(unsigned id, int index) {
  static const char* const shapes[] = {
      R"("properties": {"clas": "brit", "lnam": "Brightness", "fcnv": 128, "fcnr": [0, 255]}, "settable": ["fcnv"])",
      R"("properties": {"clas": "xpsr", "lnam": "Exposure Time", "fcav": 0.0333, "fcar": [0.0003, 0.2047], "fcnv": 333, "fcnr": [3, 2047], "fcam": 1}, "settable": ["fcav", "fcnv", "fcam"])",
      R"("properties": {"clas": "temp", "lnam": "White Balance Temperature", "fcnv": 4600, "fcnr": [2800, 6500], "fcam": 1}, "settable": ["fcnv", "fcam"])",
      R"("properties": {"clas": "zoom", "lnam": "Zoom", "fcnv": 100, "fcnr": [100, 500]}, "settable": ["fcnv"])",
      R"("properties": {"clas": "ptab", "lnam": "Pan/Tilt Absolute", "fcoo": 1, "fcnd": [0, 0, 0, 0, 0, 0, 0, 0], "fcdr": [240, 8, 248, 255, 96, 14, 251, 255, 16, 247, 7, 0, 64, 126, 5, 0]}, "settable": ["fcnd", "fcoo"])",
      R"("properties": {"clas": "ptrl", "lnam": "Pan/Tilt Relative", "fcoo": 0, "fcnd": [0, 0, 0, 0]}, "settable": ["fcnd", "fcoo"])",
      R"("properties": {"clas": "gain", "lnam": "Gain", "fcnv": 0, "fcnr": [0, 100], "fcam": 1}, "settable": ["fcnv", "fcam"])",
      R"("properties": {"clas": "pwfq", "lnam": "Power Line Frequency", "fcnv": 2, "fcnr": [0, 2]}, "settable": ["fcnv"])",
  };
  // Brightness first, then the other shapes in turn.
  const int shape = index == 0 ? 0 : 1 + (index - 1) % 7;
  return "{\"objectId\": " + std::to_string(id) + ", " + shapes[shape] + "}";
}

}  // namespace

std::string largeFixtureText() {
  std::string text = "{\"devices\": [\n";
  unsigned id = 100;
  for (int camera = 0; camera < cameraCount; ++camera) {
    char uid[32];
    std::snprintf(uid, sizeof uid, "CAM-%04d", camera);
    text += camera == 0 ? "" : ",\n";
    text += "  {\"objectId\": " + std::to_string(id++) + ", \"properties\": {\"uid \": \"" + uid +
            "\", \"lnam\": \"Conference Camera " + std::to_string(camera) +
            "\", \"lmak\": \"Acme\"}, \"controls\": [\n";
    for (int control = 0; control < controlsPerCamera; ++control) {
      text += control == 0 ? "    " : ",\n    ";
      text += controlText(id++, control);
    }
    text += "\n  ]}";
  }
  return text + "\n]}\n";
}

}  // namespace camknob::bench
