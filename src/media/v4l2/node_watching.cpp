#include "media/v4l2/node_watching.h"

#include <algorithm>

#include "media/v4l2/v4l2_io.h"

namespace camknob::v4l2 {

namespace {

std::vector<NodeWatch>::iterator named(Watching& watching, const std::string& nodeName) {
  return std::find_if(watching.nodes.begin(), watching.nodes.end(),
                      [&](const NodeWatch& node) { return node.nodeName == nodeName; });
}

std::vector<NodeWatch>::iterator withId(Watching& watching, int watch) {
  return std::find_if(watching.nodes.begin(), watching.nodes.end(),
                      [&](const NodeWatch& node) { return node.watch == watch; });
}

void noteOpen(Watching& watching, int watch, std::vector<int>& ownOpens) {
  if (const auto own = std::find(ownOpens.begin(), ownOpens.end(), watch); own != ownOpens.end()) {
    ownOpens.erase(own);
    return;
  }
  const auto node = withId(watching, watch);
  if (node == watching.nodes.end()) return;  // a watch since ended: old news
  auto& opened = watching.openedElsewhere;
  if (std::find(opened.begin(), opened.end(), node->nodeName) == opened.end())
    opened.push_back(node->nodeName);
}

}  // namespace

int watchNode(Watching& watching, const std::string& nodeName) {
  if (watching.descriptor < 0) return -1;
  // The kernel gives a file already watched its watch's id again.
  const int watch = watchNodeOpens(watching.descriptor, nodeName);
  const auto earlier = named(watching, nodeName);
  if (earlier != watching.nodes.end()) {
    if (earlier->watch == watch) return watch;
    unwatchNode(watching.descriptor, earlier->watch);
    watching.nodes.erase(earlier);
  }
  if (watch >= 0) watching.nodes.push_back(NodeWatch{watch, nodeName});
  return watch;
}

void stopWatchingNode(Watching& watching, const std::string& nodeName) {
  const auto node = named(watching, nodeName);
  if (node == watching.nodes.end()) return;
  unwatchNode(watching.descriptor, node->watch);
  watching.nodes.erase(node);
}

void takeEvents(Watching& watching, std::vector<int> ownOpens) {
  if (watching.descriptor < 0) return;
  for (const NodeEvent& event : readNodeEvents(watching.descriptor)) {
    switch (event.kind) {
      case NodeEventKind::Opened:
        noteOpen(watching, event.watch, ownOpens);
        break;
      case NodeEventKind::WatchGone:
        if (const auto node = withId(watching, event.watch); node != watching.nodes.end())
          watching.nodes.erase(node);
        break;
      case NodeEventKind::Appeared:
      case NodeEventKind::Vanished:
      case NodeEventKind::PermissionsChanged:
      case NodeEventKind::Overflow:
        watching.devicesChanged = true;
        break;
    }
  }
}

void stopWatching(Watching& watching) {
  if (watching.descriptor >= 0) stopWatchingNodes(watching.descriptor);
  watching = Watching{};
}

}  // namespace camknob::v4l2
