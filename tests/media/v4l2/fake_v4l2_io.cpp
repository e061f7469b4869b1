#include "fake_v4l2_io.h"

#include <cerrno>

#include "media/v4l2/v4l2_service.h"

namespace camknob::v4l2 {

namespace fake {

Machine& machine() {
  static Machine instance;
  return instance;
}

void useMachine(Machine replacement) {
  forgetDevices();
  machine() = std::move(replacement);
}

FakeControl* controlOf(std::uint32_t id) {
  for (FakeNode& node : machine().nodes)
    for (FakeControl& control : node.controls)
      if (control.description.id == id) return &control;
  return nullptr;
}

}  // namespace fake

namespace {

constexpr int firstFd = 100;

fake::FakeNode* nodeOf(int fd) {
  auto& nodes = fake::machine().nodes;
  const int index = fd - firstFd;
  if (index < 0 || index >= int(nodes.size())) return nullptr;
  return &nodes[std::size_t(index)];
}

fake::FakeControl* controlOn(fake::FakeNode& node, std::uint32_t id) {
  for (fake::FakeControl& control : node.controls)
    if (control.description.id == id) return &control;
  return nullptr;
}

}  // namespace

std::vector<std::string> videoNodeNames() {
  std::vector<std::string> names;
  for (const fake::FakeNode& node : fake::machine().nodes) names.push_back(node.name);
  return names;
}

OpenedNode openNode(const std::string& nodeName) {
  auto& nodes = fake::machine().nodes;
  ++fake::machine().calls.opens;
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    if (nodes[i].name != nodeName) continue;
    if (nodes[i].openError != 0) return OpenedNode{-1, nodes[i].openError};
    return OpenedNode{firstFd + int(i), 0};
  }
  return OpenedNode{-1, ENOENT};
}

void closeNode(int) {
  ++fake::machine().calls.closes;
}

std::optional<NodeCapabilities> queryCapabilities(int fd) {
  ++fake::machine().calls.capabilityQueries;
  const fake::FakeNode* node = nodeOf(fd);
  return node ? node->capabilities : std::nullopt;
}

std::vector<ControlDescription> describeControls(int fd) {
  ++fake::machine().calls.descriptions;
  std::vector<ControlDescription> described;
  if (const fake::FakeNode* node = nodeOf(fd))
    for (const fake::FakeControl& control : node->controls)
      described.push_back(control.description);
  return described;
}

int readControls(int fd, std::span<const std::uint32_t> ids, std::span<std::int32_t> values) {
  auto& calls = fake::machine().calls;
  ++(ids.size() == 1 ? calls.singleReads : calls.batchReads);
  fake::FakeNode* node = nodeOf(fd);
  if (node == nullptr) return EBADF;
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
  fake::FakeNode* node = nodeOf(fd);
  if (node == nullptr) return EBADF;
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

bool menuOffers(int fd, std::uint32_t id, std::uint32_t index) {
  ++fake::machine().calls.menuQueries;
  fake::FakeNode* node = nodeOf(fd);
  const fake::FakeControl* control = node ? controlOn(*node, id) : nullptr;
  if (control == nullptr) return false;
  for (const std::uint32_t item : control->menuItems)
    if (item == index) return true;
  return false;
}

NodeFacts nodeFacts(const std::string& nodeName) {
  for (const fake::FakeNode& node : fake::machine().nodes)
    if (node.name == nodeName) return node.facts;
  return {};
}

std::optional<bool> recordedCapture(const std::string& nodeName) {
  ++fake::machine().calls.captureRecords;
  for (const fake::FakeNode& node : fake::machine().nodes)
    if (node.name == nodeName) return node.recordedCapture;
  return std::nullopt;
}

}  // namespace camknob::v4l2
