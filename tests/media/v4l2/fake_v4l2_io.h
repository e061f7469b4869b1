// A machine of video nodes in memory, answering the V4L2 service's calls
// into the kernel, with a record of what was asked. Nodes can be plugged and
// unplugged while the service runs, and the watch on /dev sees what the
// kernel's inotify would.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "media/v4l2/v4l2_io.h"

namespace camknob::v4l2::fake {

struct FakeControl {
  ControlDescription description;
  std::int32_t value = 0;
  int readError = 0;                     // errno of a read that includes this control
  int writeError = 0;                    // errno of a write that includes this control
  std::vector<MenuItem> menuItems = {};  // items a menu offers, by index
};

struct FakeNode {
  std::string name;  // "video0", ...
  int openError = 0;
  std::optional<NodeCapabilities> capabilities;
  NodeFacts facts;
  std::optional<bool> recordedCapture;  // udev's record of the node
  std::vector<FakeControl> controls;
  bool refusesBatches = false;  // reads of more than one control fail with EINVAL
  unsigned file = 0;  // which file in /dev the node is (set by the machine); a replug makes another
};

struct Calls {
  int opens = 0;
  int closes = 0;
  int capabilityQueries = 0;
  int descriptions = 0;
  int batchReads = 0;      // reads of several controls in one call
  int singleReads = 0;     // reads of one control
  int menuQueries = 0;     // menuOffers and queryMenuItem alike
  int captureRecords = 0;  // looks at udev's records
  std::vector<std::vector<std::pair<std::uint32_t, std::int32_t>>> writes;
  std::map<std::string, int> opensOf;         // by node name
  std::map<std::string, int> descriptionsOf;  // by node name
};

// What the machine's kernel keeps for the service.
struct Kernel {
  unsigned lastFile = 0;
  int nextFd = 100;
  std::map<int, unsigned> openFiles;  // open descriptors, to the file each opened
  bool refusesWatches = false;        // no inotify descriptor to be had
  bool watching = false;
  int nextWatch = 1;
  std::map<int, unsigned> watches;  // node watches by id, to the file each watches
  std::vector<NodeEvent> events;    // waiting on the watch descriptor
};

struct Machine {
  std::vector<FakeNode> nodes;
  Calls calls;
  Kernel kernel = {};
};

// The descriptor the machine's watch on /dev is.
inline constexpr int watchDescriptor = 900;

// The machine the calls answer from; replacing it makes the service look
// again.
Machine& machine();
void useMachine(Machine replacement);

FakeControl* controlOf(std::uint32_t id);  // on any node

// A node made in /dev (a camera plugged in): the file it is.
unsigned plug(FakeNode node);

// A node deleted from /dev (a camera unplugged): the file it was. Its open
// descriptors answer ENODEV from now on.
unsigned unplug(const std::string& nodeName);

// Another program opens the node, as the kernel tells a watch of it.
void openElsewhere(const std::string& nodeName);

// The node's permissions change: opening it fails with this errno (0 for not
// at all) from now on.
void changePermissions(const std::string& nodeName, int openError);

// Descriptors of the file that are still open.
int descriptorsOpenOn(unsigned file);

}  // namespace camknob::v4l2::fake
