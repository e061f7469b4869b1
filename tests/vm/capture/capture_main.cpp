// camknob-capture-fixture: prints a camknob-sim fixture of the cameras the
// property service it is built over finds (the V4L2 service: the machine's
// own), or writes it to the file named.
#include <cstdio>
#include <fstream>
#include <iostream>

#include "capture/fixture_capture.h"

int main(int argc, char** argv) {
  if (argc > 2) {
    std::fprintf(stderr, "usage: camknob-capture-fixture [FILE]\n");
    return 2;
  }
  const std::string fixture = camknob::capture::capturedFixture();
  if (argc == 1) {
    std::cout << fixture << std::flush;
    return std::cout ? 0 : 1;
  }
  std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
  file << fixture;
  file.close();
  if (!file) {
    std::fprintf(stderr, "camknob-capture-fixture: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
