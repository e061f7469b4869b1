// A stand-in for the eleven CoreMediaIO and CoreFoundation functions the
// CoreMediaIO service calls, so that the service's own code runs off Apple.
// The five object calls are answered from the simulated store; the strings
// they hand out are counted objects that behave like CFStrings of UTF-16
// characters. A string released twice, used after its release, or never
// released ends the process with status 70 and one line on standard error.
//
// Property listeners are kept as CoreMediaIO keeps them, and called from a
// thread of the stand-in's own when the system's device list ('dev#') or a
// device's 'gone' changed: when the program's fixture file was changed by
// another process (the store is loaded from it again first), after a write
// (which may bring in such a change), or when a test says the store changed.
// The object calls and that thread take turns on the store under one lock.
//
// CAMKNOB_CMIO_STANDIN_JOURNAL, when set, names a file to which every object
// call and listener event is appended as a line: "call OPERATION OBJECT SEL",
// "listen OBJECT SEL", "unlisten OBJECT SEL" and "notify OBJECT SEL", with the
// selector's four characters; a process test reads it.
// CAMKNOB_CMIO_STANDIN_THROW_ON, when set to a selector's four characters,
// makes every object call for that selector throw std::bad_alloc, for a test
// of a program that must fail loudly when a call outside a request fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

#include "media/coremediaio/cmio_platform.h"
#include "media/sim/sim_store.h"

namespace camknob::cmio_standin {

inline constexpr int faultStatus = 70;

// A string with this UTF-8 text; one that is not convertible ends in a
// character UTF-8 cannot carry (a lone surrogate).
CFStringRef newString(std::string_view utf8, bool convertible = true);

// A string that claims `length` characters without holding them, for sizes
// that overflow; reading its characters is a fault.
CFStringRef newStringClaimingLength(CFIndex length);

// Strings handed out and not yet released.
std::size_t liveStringCount();

// Changes the store under the lock, then has the listeners of whatever
// changed called, as CoreMediaIO does: from the stand-in's thread, soon after.
void changeStore(const std::function<void(sim::System&)>& change);

// Listeners added and not removed, for the object and selector.
std::size_t listenerCount(CMIOObjectID object, std::uint32_t selector);

// Calls made to listeners of the object and selector so far.
std::size_t listenerCalls(CMIOObjectID object, std::uint32_t selector);

// While set, adding a listener fails (as on a system that refuses it).
void refuseListeners(bool refusing);

}  // namespace camknob::cmio_standin
