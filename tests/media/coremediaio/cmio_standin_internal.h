// What the stand-in's two files share: the lock on the store, the journal,
// and the word that the store may have changed.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace camknob::cmio_standin::detail {

// Held by every object call and by the listener thread while it looks.
std::mutex& storeMutex();

// Appends one line to the journal file, when there is one.
void journal(std::string_view line);

// "OBJECT SEL", the selector as its four characters.
std::string addressText(std::uint32_t object, std::uint32_t selector);

// After a write: the listener thread, once running, looks at the store again.
void storeMayHaveChanged();

}  // namespace camknob::cmio_standin::detail
