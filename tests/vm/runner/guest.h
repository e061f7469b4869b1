// What a VM test asks of the guest: which devices to bring up, which host
// programs to carry in, and the steps to run in order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace camknob::vm {

// Where the guest keeps the virtual camera's log of received SET_CUR
// requests (see virtual_camera/request_log.h).
inline constexpr const char* guestCameraLog = "/tmp/camera.log";
// The same lines, each after the CLOCK_MONOTONIC nanoseconds at which the
// request arrived, and "RESET" lines (virtual_camera_main.cpp).
inline constexpr const char* guestCameraTimedLog = "/tmp/camera-timed.log";

// The unprivileged user steps can run as: nobody / nogroup. The guest also
// has root and a "video" group (44) without members.
inline constexpr unsigned unprivilegedUid = 65534;
inline constexpr unsigned unprivilegedGid = 65534;

struct Step {
  std::string name;                   // unique; letters, digits, '.', '_', '-'
  std::vector<std::string> argv;      // argv[0] looked up in the guest's PATH
  std::vector<std::string> env = {};  // NAME=VALUE added to the environment
  bool unprivileged = false;          // run as nobody instead of root
  std::int64_t timeoutMilliseconds = 30'000;
};

struct Guest {
  // vivid with one capture node, loaded first: /dev/video0.
  bool vivid = false;
  // The virtual UVC camera: its capture node and then its metadata node
  // (/dev/video1 and /dev/video2 after vivid's, else video0 and video1).
  bool virtualCamera = false;
  // Host programs copied to the guest's /bin under their own names, with
  // the shared libraries they load.
  std::vector<std::string> hostBinaries;
  std::vector<Step> steps;
};

// The video nodes the guest waits for before it runs the steps.
std::vector<std::string> expectedVideoNodes(const Guest& guest);

}  // namespace camknob::vm
