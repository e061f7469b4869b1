// camknob-profile: saves the settable state of a camera to a profile and
// applies profiles back, over the platform's camera service.
#include <iostream>

#include "profile/profile_tool.h"
#include "system/standard_streams.h"

int main(int argc, char** argv) {
  camknob::holdStandardDescriptors();
  return camknob::runProfileTool(camknob::commandLineFrom(argc, argv), std::cout, std::cerr);
}
