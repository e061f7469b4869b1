// camknob itself, as built for this platform.
#include <gtest/gtest.h>

#include <filesystem>

#include "e2e/run_process.h"

namespace camknob::testing {
namespace {

#if defined(__linux__)
bool machineHasVideoNodes() {
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator("/dev", ignored))
    if (entry.path().filename().string().rfind("video", 0) == 0) return true;
  return false;
}

// Real cameras are tried in the VM tests; here the machine has none.
TEST(Camknob, AnswersPlainlyOnAMachineWithoutCameras) {
  if (machineHasVideoNodes()) GTEST_SKIP() << "this machine has video nodes";
  const ProcessResult listed = runProcess(CAMKNOB_PATH, {"list"});
  EXPECT_EQ(listed.exitStatus, 0);
  EXPECT_EQ(listed.out, "{\"devices\":[],\"ok\":true}\n");
  EXPECT_EQ(listed.err, "");

  const ProcessResult set =
      runProcess(CAMKNOB_PATH, {"set", "--control", "brightness", "--value", "1"});
  EXPECT_EQ(set.exitStatus, 1);
  EXPECT_EQ(set.out, "{\"devices\":[],\"error\":\"Camera device was not found.\",\"ok\":false}\n");
  EXPECT_EQ(set.err, "");

  // The simulated service's fixture variable means nothing to camknob.
  const ProcessResult ignored =
      runProcess(CAMKNOB_PATH, {}, std::string(CAMKNOB_EXAMPLES_DIR) + "/usb-camera.json");
  EXPECT_EQ(ignored.out, "{\"devices\":[],\"ok\":true}\n");
}
#endif

}  // namespace
}  // namespace camknob::testing
