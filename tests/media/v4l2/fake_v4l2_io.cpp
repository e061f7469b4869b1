#include "fake_v4l2_io.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "media/v4l2/v4l2_service.h"

namespace camknob::v4l2 {

namespace {

fake::Kernel& kernel() {
  return fake::machine().kernel;
}

fake::FakeNode* nodeNamed(const std::string& nodeName) {
  for (fake::FakeNode& node : fake::machine().nodes)
    if (node.name == nodeName) return &node;
  return nullptr;
}

// Every node is a file of its own, given when first asked about.
unsigned fileOf(fake::FakeNode& node) {
  if (node.file == 0) node.file = ++kernel().lastFile;
  return node.file;
}

void tell(NodeEventKind kind, int watch, std::string nodeName = {}) {
  if (kernel().watching) kernel().events.push_back(NodeEvent{kind, watch, std::move(nodeName)});
}

// An open of the file, as the kernel tells the watch on it.
void tellOpen(unsigned file) {
  for (const auto& [watch, watched] : kernel().watches)
    if (watched == file) tell(NodeEventKind::Opened, watch);
}

void endWatch(int watch) {
  if (kernel().watches.erase(watch) != 0) tell(NodeEventKind::WatchGone, watch);
}

bool present(unsigned file) {
  for (fake::FakeNode& node : fake::machine().nodes)
    if (fileOf(node) == file) return true;
  return false;
}

// The node a descriptor is open on; nothing for a descriptor that is not
// open, or whose node was unplugged.
fake::FakeNode* nodeOf(int fd, int* error = nullptr) {
  const auto open = kernel().openFiles.find(fd);
  if (error != nullptr) *error = open == kernel().openFiles.end() ? EBADF : ENODEV;
  if (open == kernel().openFiles.end()) return nullptr;
  for (fake::FakeNode& node : fake::machine().nodes)
    if (fileOf(node) == open->second) return &node;
  return nullptr;
}

fake::FakeControl* controlOn(fake::FakeNode& node, std::uint32_t id) {
  for (fake::FakeControl& control : node.controls)
    if (control.description.id == id) return &control;
  return nullptr;
}

}  // namespace

namespace fake {

Machine& machine() {
  static Machine instance;
  return instance;
}

void useMachine(Machine replacement) {
  forgetDevices();
  machine() = std::move(replacement);
  for (FakeNode& node : machine().nodes) fileOf(node);
}

FakeControl* controlOf(std::uint32_t id) {
  for (FakeNode& node : machine().nodes)
    for (FakeControl& control : node.controls)
      if (control.description.id == id) return &control;
  return nullptr;
}

unsigned plug(FakeNode node) {
  node.file = 0;
  const unsigned file = fileOf(node);
  tell(NodeEventKind::Appeared, -1, node.name);
  machine().nodes.push_back(std::move(node));
  return file;
}

unsigned unplug(const std::string& nodeName) {
  auto& nodes = machine().nodes;
  const auto node = std::find_if(nodes.begin(), nodes.end(),
                                 [&](const FakeNode& each) { return each.name == nodeName; });
  if (node == nodes.end()) return 0;
  const unsigned file = fileOf(*node);
  nodes.erase(node);
  tell(NodeEventKind::Vanished, -1, nodeName);
  return file;
}

void openElsewhere(const std::string& nodeName) {
  if (FakeNode* node = nodeNamed(nodeName); node && node->openError == 0) tellOpen(fileOf(*node));
}

void changePermissions(const std::string& nodeName, int openError) {
  if (FakeNode* node = nodeNamed(nodeName)) {
    node->openError = openError;
    tell(NodeEventKind::PermissionsChanged, -1, nodeName);
  }
}

int descriptorsOpenOn(unsigned file) {
  return int(std::count_if(kernel().openFiles.begin(), kernel().openFiles.end(),
                           [&](const auto& open) { return open.second == file; }));
}

}  // namespace fake

std::vector<std::string> videoNodeNames() {
  std::vector<std::string> names;
  for (const fake::FakeNode& node : fake::machine().nodes) names.push_back(node.name);
  return names;
}

OpenedNode openNode(const std::string& nodeName) {
  auto& calls = fake::machine().calls;
  ++calls.opens;
  ++calls.opensOf[nodeName];
  fake::FakeNode* node = nodeNamed(nodeName);
  if (node == nullptr) return OpenedNode{-1, ENOENT};
  if (node->openError != 0) return OpenedNode{-1, node->openError};
  const int fd = kernel().nextFd++;
  kernel().openFiles[fd] = fileOf(*node);
  tellOpen(fileOf(*node));
  return OpenedNode{fd, 0};
}

// The last descriptor of an unplugged node's file lets the file go, and with
// it any watch of it.
void closeNode(int fd) {
  ++fake::machine().calls.closes;
  const auto open = kernel().openFiles.find(fd);
  if (open == kernel().openFiles.end()) return;
  const unsigned file = open->second;
  kernel().openFiles.erase(open);
  if (present(file) || fake::descriptorsOpenOn(file) != 0) return;
  std::vector<int> ended;
  for (const auto& [watch, watched] : kernel().watches)
    if (watched == file) ended.push_back(watch);
  for (const int watch : ended) endWatch(watch);
}

std::optional<NodeCapabilities> queryCapabilities(int fd) {
  ++fake::machine().calls.capabilityQueries;
  const fake::FakeNode* node = nodeOf(fd);
  return node ? node->capabilities : std::nullopt;
}

std::vector<ControlDescription> describeControls(int fd) {
  ++fake::machine().calls.descriptions;
  std::vector<ControlDescription> described;
  if (const fake::FakeNode* node = nodeOf(fd)) {
    ++fake::machine().calls.descriptionsOf[node->name];
    for (const fake::FakeControl& control : node->controls)
      described.push_back(control.description);
  }
  return described;
}

int readControls(int fd, std::span<const std::uint32_t> ids, std::span<std::int32_t> values) {
  auto& calls = fake::machine().calls;
  ++(ids.size() == 1 ? calls.singleReads : calls.batchReads);
  int error = 0;
  fake::FakeNode* node = nodeOf(fd, &error);
  if (node == nullptr) return error;
  if (ids.size() > 1 && node->refusesBatches) return EINVAL;
  for (std::size_t i = 0; i < ids.size(); ++i) {
    const fake::FakeControl* control = controlOn(*node, ids[i]);
    if (control == nullptr) return EINVAL;
    if (control->readError != 0) return control->readError;
    values[i] = control->value;
  }
  return 0;
}

int writeControls(int fd, std::span<const std::uint32_t> ids,
                  std::span<const std::int32_t> values) {
  int error = 0;
  fake::FakeNode* node = nodeOf(fd, &error);
  if (node == nullptr) return error;
  auto& written = fake::machine().calls.writes.emplace_back();
  for (std::size_t i = 0; i < ids.size(); ++i) written.emplace_back(ids[i], values[i]);
  for (const std::uint32_t id : ids) {
    const fake::FakeControl* control = controlOn(*node, id);
    if (control == nullptr) return EINVAL;
    if (control->writeError != 0) return control->writeError;
  }
  for (std::size_t i = 0; i < ids.size(); ++i) controlOn(*node, ids[i])->value = values[i];
  return 0;
}

// As VIDIOC_QUERYMENU: the item, with its name or number as the control's
// type has it.
std::optional<MenuItem> queryMenuItem(int fd, const ControlDescription& control,
                                      std::uint32_t index) {
  ++fake::machine().calls.menuQueries;
  fake::FakeNode* node = nodeOf(fd);
  const fake::FakeControl* found = node ? controlOn(*node, control.id) : nullptr;
  if (found == nullptr) return std::nullopt;
  for (const MenuItem& item : found->menuItems) {
    if (item.index != index) continue;
    if (found->description.type == V4L2_CTRL_TYPE_INTEGER_MENU)
      return MenuItem{index, {}, item.number};
    return MenuItem{index, item.name, 0};
  }
  return std::nullopt;
}

bool menuOffers(int fd, std::uint32_t id, std::uint32_t index) {
  ControlDescription asked{};
  asked.id = id;
  return queryMenuItem(fd, asked, index).has_value();
}

NodeFacts nodeFacts(const std::string& nodeName) {
  const fake::FakeNode* node = nodeNamed(nodeName);
  return node ? node->facts : NodeFacts{};
}

std::optional<bool> recordedCapture(const std::string& nodeName) {
  ++fake::machine().calls.captureRecords;
  const fake::FakeNode* node = nodeNamed(nodeName);
  return node ? node->recordedCapture : std::nullopt;
}

int watchVideoNodes() {
  if (kernel().refusesWatches) return -1;
  kernel().watching = true;
  return fake::watchDescriptor;
}

// As inotify: a node the user may not read cannot be watched, and a file
// already watched keeps its watch.
int watchNodeOpens(int watching, const std::string& nodeName) {
  fake::FakeNode* node = nodeNamed(nodeName);
  if (watching != fake::watchDescriptor || !kernel().watching || node == nullptr ||
      node->openError == EACCES)
    return -1;
  for (const auto& [watch, watched] : kernel().watches)
    if (watched == fileOf(*node)) return watch;
  const int watch = kernel().nextWatch++;
  kernel().watches[watch] = fileOf(*node);
  return watch;
}

void unwatchNode(int watching, int watch) {
  if (watching == fake::watchDescriptor) endWatch(watch);
}

std::vector<NodeEvent> readNodeEvents(int watching) {
  if (watching != fake::watchDescriptor) return {};
  return std::exchange(kernel().events, {});
}

void stopWatchingNodes(int watching) {
  if (watching != fake::watchDescriptor) return;
  kernel().watching = false;
  kernel().watches.clear();
  kernel().events.clear();
}

}  // namespace camknob::v4l2
