// The V4L2 service's watch on the machine, for a program that runs long: /dev
// for video nodes that come and go, and the node of each device for opens by
// other programs. The service's own opens of a node are not news.
#pragma once

#include <string>
#include <vector>

namespace camknob::v4l2 {

struct NodeWatch {
  int watch;  // the watch's id on the descriptor
  std::string nodeName;
};

struct Watching {
  int descriptor = -1;           // -1 until the watch starts, or when the system refused one
  std::vector<NodeWatch> nodes;  // the nodes watched for opens
  // News read off the descriptor and not yet handed out.
  bool devicesChanged = false;
  std::vector<std::string> openedElsewhere;  // node names, each once
};

// Watches the node for opens, before the service opens it itself; a watch of
// the same name that is on another file (a node made anew) ends. The watch's
// id, or -1 when not watching or the node cannot be watched.
int watchNode(Watching& watching, const std::string& nodeName);

// Ends the node's watch, if it has one.
void stopWatchingNode(Watching& watching, const std::string& nodeName);

// Takes the events waiting on the descriptor into the news. Each id in
// `ownOpens` is that of a watch whose node the service opened once since the
// last call: one open of that watch is the service's own.
void takeEvents(Watching& watching, std::vector<int> ownOpens = {});

// Ends every watch and the descriptor.
void stopWatching(Watching& watching);

}  // namespace camknob::v4l2
