// Reading what the guest's tools printed: strace's timed ioctl lines and the
// virtual camera's timed log.
#include <gtest/gtest.h>

#include "ioctl_count.h"
#include "timed_log.h"

namespace camknob::vmtests {
namespace {

TEST(TraceReading, TakesEachIoctlWithItsTimeDescriptorAndRequest) {
  const std::string trace =
      "1700000000.000100 ioctl(5, VIDIOC_S_EXT_CTRLS, {ctrl_class=V4L2_CTRL_CLASS_USER}) = 0\n"
      "[pid   812] 1700000000.250000 ioctl(5, VIDIOC_G_EXT_CTRLS <unfinished ...>\n"
      "[pid   811] 1700000000.250010 poll([{fd=3, events=POLLIN}], 1, -1 <unfinished ...>\n"
      "[pid   812] 1700000000.260000 <... ioctl resumed>, {count=24}) = 0\n"
      "813   1700000001.000001 ioctl(12, TCGETS, 0x7ffd) = -1 ENOTTY\n"
      "1700000002.5 ioctl(5, VIDIOC_QUERYCAP, {}) = 0\n"
      "strace: Process 812 attached\n";
  const std::vector<TracedIoctl> calls = tracedIoctls(trace);
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].microseconds, 1'700'000'000'000'100);
  EXPECT_EQ(calls[0].fd, 5);
  EXPECT_EQ(calls[0].request, "VIDIOC_S_EXT_CTRLS");
  // An unfinished call counts once, at its start.
  EXPECT_EQ(calls[1].microseconds, 1'700'000'000'250'000);
  EXPECT_EQ(calls[1].request, "VIDIOC_G_EXT_CTRLS");
  EXPECT_EQ(calls[2].fd, 12);
  EXPECT_EQ(calls[2].request, "TCGETS");
}

TEST(TraceReading, TakesTheCamerasTimedLinesAndLeavesOthers) {
  const std::vector<TimedLine> lines = timedLines(
      "v4l2-ctl 130\n"
      "29080297439 SET_CUR streaming selector=0x02 len=2 data=01 00\n"
      "29080297440 RESET\n"
      "12x SET_CUR unit=2\n"
      "29081000000 " +
      processingSet(2, -20) + "\n");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1].text, "RESET");
  EXPECT_EQ(lines[2].text, "SET_CUR unit=2 selector=0x02 len=2 data=ec ff");
  EXPECT_EQ(firstAt(lines, 29080297440, "RESET")->nanoseconds, 29080297440);
  EXPECT_FALSE(firstAt(lines, 29080297441, "RESET"));
  EXPECT_EQ(processingSet(7, 30), "SET_CUR unit=2 selector=0x07 len=2 data=1e 00");
}

}  // namespace
}  // namespace camknob::vmtests
