#include "runner/guest.h"

namespace camknob::vm {

std::vector<std::string> expectedVideoNodes(const Guest& guest) {
  const int count = (guest.vivid ? 1 : 0) + (guest.virtualCamera ? 2 : 0);
  std::vector<std::string> nodes;
  for (int i = 0; i < count; ++i) nodes.push_back("/dev/video" + std::to_string(i));
  return nodes;
}

}  // namespace camknob::vm
