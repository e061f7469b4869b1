#include <iostream>

#include "commands/dispatch.h"
#include "system/standard_streams.h"

int main(int argc, char** argv) {
  camknob::holdStandardDescriptors();
  return camknob::applyCommandOrFallback(camknob::commandLineFrom(argc, argv), std::cout);
}
