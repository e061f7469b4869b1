// camknobd: one long-lived engine over the platform's camera service, with a
// local HTTP API and an event stream (see src/http/daemon.h).
#include "commands/command_line.h"
#include "http/daemon.h"
#include "system/standard_streams.h"

int main(int argc, char** argv) {
  camknob::holdStandardDescriptors();
  return camknob::http::runDaemon("camknobd", camknob::commandLineFrom(argc, argv), {});
}
