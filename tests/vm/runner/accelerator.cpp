#include "runner/accelerator.h"

#include <cstdio>
#include <sstream>
#include <utility>
#include <vector>

#include "runner/init_script.h"

namespace camknob::vm {

namespace {

constexpr std::size_t longestQuotedText = 200;

std::string wallSeconds(const RunOutcome& run) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(run.wallNanoseconds) / 1e9);
  return text;
}

std::vector<std::string> nonEmptyLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    std::erase(line, '\r');
    if (line.find_first_not_of(" \t") != std::string::npos) lines.push_back(line);
  }
  return lines;
}

std::string shortened(std::string text) {
  if (text.size() > longestQuotedText) text = text.substr(0, longestQuotedText) + "...";
  return text;
}

std::string consoleSummary(const std::string& console) {
  const std::vector<std::string> lines = nonEmptyLines(console);
  if (lines.empty()) return "no console output";
  return "last console line \"" + shortened(lines.back()) + "\"";
}

// qemu's complaints without its warnings (such as CPUID features the host
// lacks, which it prints also where the guest then runs).
std::string qemuErrors(const std::string& err) {
  std::string errors;
  for (const std::string& line : nonEmptyLines(err))
    if (line.find(": warning: ") == std::string::npos)
      errors += (errors.empty() ? "" : "; ") + line;
  return errors.empty() ? "nothing on its standard error" : shortened(errors);
}

}  // namespace

const char* acceleratorName(Accelerator accelerator) {
  return accelerator == Accelerator::kvm ? "kvm" : "tcg";
}

std::optional<AcceleratorRequest> acceleratorRequest(std::string_view value) {
  static const std::pair<std::string_view, AcceleratorRequest> requests[] = {
      {"", AcceleratorRequest::probe},
      {"kvm", AcceleratorRequest::kvm},
      {"tcg", AcceleratorRequest::tcg},
  };
  for (const auto& [name, request] : requests)
    if (name == value) return request;
  return std::nullopt;
}

AcceleratorChoice acceleratorAfterProbe(const KvmProbeResult& probe) {
  const RunOutcome& qemu = probe.qemu;
  const bool cameUp = probe.console.find(probeMarker) != std::string::npos;
  // The first that applies says why KVM is not used, in this order.
  using Why = std::function<std::string()>;
  const std::pair<bool, Why> faults[] = {
      {!qemu.started, [&] { return qemu.startError; }},
      {qemu.timedOut && !cameUp,
       [&] {
         return "the guest did not come up within " + wallSeconds(qemu) + " (" +
                consoleSummary(probe.console) + ")";
       }},
      {qemu.timedOut, [&] { return "the guest did not power off within " + wallSeconds(qemu); }},
      {qemu.signal != 0,
       [&] {
         return "qemu was ended by signal " + std::to_string(qemu.signal) + " (" +
                qemuErrors(qemu.err) + ")";
       }},
      {qemu.exitStatus != 0,
       [&] {
         return "qemu exited with status " + std::to_string(qemu.exitStatus) + " (" +
                qemuErrors(qemu.err) + ")";
       }},
      {!cameUp,
       [&] {
         return "the guest stopped before it came up (" + consoleSummary(probe.console) + ")";
       }},
  };
  for (const auto& [applies, why] : faults)
    if (applies) return AcceleratorChoice{Accelerator::tcg, "kvm probe: " + why()};
  return AcceleratorChoice{Accelerator::kvm,
                           "kvm probe: the guest came up in " + wallSeconds(qemu)};
}

AcceleratorChoice chooseAccelerator(AcceleratorRequest request, const std::string& kvmDeviceError,
                                    const std::function<KvmProbeResult()>& probeKvm) {
  const std::string forced = std::string(acceleratorVariable) + "=";
  switch (request) {
    case AcceleratorRequest::kvm:
      return AcceleratorChoice{Accelerator::kvm, forced + "kvm"};
    case AcceleratorRequest::tcg:
      return AcceleratorChoice{Accelerator::tcg, forced + "tcg"};
    case AcceleratorRequest::probe:
      break;
  }
  if (!kvmDeviceError.empty())
    return AcceleratorChoice{Accelerator::tcg, "/dev/kvm: " + kvmDeviceError};
  return acceleratorAfterProbe(probeKvm());
}

}  // namespace camknob::vm
