#include "media/v4l2/machine_look.h"

#include <algorithm>

namespace camknob::v4l2 {

namespace {

// After an unplug the node's old descriptor answers no more (ENODEV), even
// when a node of the same name is back.
bool stillAnswers(const ModelDevice& device) {
  return device.fd >= 0 && queryCapabilities(device.fd).has_value();
}

}  // namespace

void closeDevice(const LiveDevice& device) {
  if (device.model.fd >= 0) closeNode(device.model.fd);
}

std::vector<LiveDevice> lookAgain(const std::vector<std::string>& nodes,
                                  std::vector<LiveDevice> earlier, Watching& watching) {
  // What happened before this look is what it is about to see.
  takeEvents(watching);
  watching.devicesChanged = false;

  std::vector<LiveDevice> found;
  std::vector<int> ownOpens;
  for (const std::string& name : nodes) {
    const auto known = std::find_if(earlier.begin(), earlier.end(), [&](const LiveDevice& device) {
      return device.model.nodeName == name;
    });
    if (known != earlier.end()) {
      const bool kept = stillAnswers(known->model);
      if (kept)
        found.push_back(std::move(*known));
      else
        closeDevice(*known);
      earlier.erase(known);
      if (kept) continue;
    }
    // Watched before it is opened, so that no other program's open is missed.
    const int watch = watchNode(watching, name);
    const OpenedNode opened = openNode(name);
    if (opened.fd >= 0 && watch >= 0) ownOpens.push_back(watch);
    if (auto device = discoverNode(name, opened))
      found.push_back(LiveDevice{std::move(*device), {}});
    else
      stopWatchingNode(watching, name);
  }
  for (const LiveDevice& gone : earlier) {
    closeDevice(gone);
    stopWatchingNode(watching, gone.model.nodeName);
  }

  std::vector<ModelDevice*> models;
  for (LiveDevice& device : found) models.push_back(&device.model);
  tellApart(models);
  takeEvents(watching, std::move(ownOpens));
  return found;
}

}  // namespace camknob::v4l2
