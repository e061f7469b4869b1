// The simulated service's own state, shared by its store and its operations.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "media/sim/sim_store.h"

namespace camknob::sim {

// The object behind a string reference that a data call hands out.
struct HandedString {
  std::string text;
  bool convertible;
};

struct InjectedFault {
  std::size_t call;
  Fault fault;
};

struct State {
  System system;
  std::vector<Call> log;
  bool recording = false;
  std::size_t calls = 0;
  std::optional<InjectedFault> fault;
  std::set<const HandedString*> liveStrings;
  WriteHook writeHook;
};

State& state();

}  // namespace camknob::sim
