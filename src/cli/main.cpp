#include <iostream>

#include "cli/dispatch.h"

int main(int argc, char** argv) {
  return camknob::applyCommand(camknob::commandLineFrom(argc, argv), std::cout);
}
