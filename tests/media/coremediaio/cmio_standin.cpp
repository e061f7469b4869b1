#include "media/coremediaio/cmio_standin.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>
#include <set>
#include <string>

#include "media/coremediaio/cmio_standin_internal.h"
#include "media/sim/sim_operations.h"
#include "media/sim/sim_store.h"

namespace camknob::cmio_standin {

namespace {

struct StringObject {
  std::string utf8;
  CFIndex length;           // in UTF-16 units, as CFStringGetLength counts
  bool convertible;         // false: a lone surrogate follows the text
  bool holdsItsCharacters;  // false: only claims its length
};

[[noreturn]] void fault(const char* what) {
  std::fprintf(stderr, "CoreMediaIO stand-in: %s\n", what);
  std::fflush(stderr);
  std::_Exit(faultStatus);
}

// Every string handed out and not yet released; any left at exit is a leak.
struct LiveStrings {
  std::set<const StringObject*> objects;
  ~LiveStrings() {
    if (!objects.empty()) fault("a string was never released");
  }
};

LiveStrings& live() {
  static LiveStrings strings;
  return strings;
}

const StringObject& liveObject(CFTypeRef reference) {
  const auto* object = static_cast<const StringObject*>(reference);
  if (live().objects.count(object) == 0)
    fault("a string used or released after its release, or never handed out");
  return *object;
}

// The UTF-8 bytes of the character at the start of the text, and the UTF-16
// units it takes.
struct Character {
  std::size_t bytes;
  CFIndex units;
};

Character characterAt(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  std::size_t bytes = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  if (bytes > text.size()) bytes = 1;
  return {bytes, bytes == 4 ? 2 : 1};
}

CFIndex utf16Length(std::string_view text) {
  CFIndex units = 0;
  for (std::size_t at = 0; at < text.size();) {
    const Character character = characterAt(text.substr(at));
    at += character.bytes;
    units += character.units;
  }
  return units;
}

CFStringRef handOut(StringObject* object) {
  live().objects.insert(object);
  return reinterpret_cast<CFStringRef>(object);
}

PropertyAddress simAddress(const CMIOObjectPropertyAddress* address) {
  if (address == nullptr) fault("a property call without an address");
  return PropertyAddress{address->mSelector, address->mScope, address->mElement};
}

// The journal file CAMKNOB_CMIO_STANDIN_JOURNAL names, opened for appending
// at the first line; none without it.
struct Journal {
  std::mutex mutex;
  std::FILE* file = nullptr;
  bool opened = false;
};

Journal& journalFile() {
  static Journal* const instance = new Journal;  // lines may come as the process ends
  return *instance;
}

}  // namespace

namespace detail {

std::mutex& storeMutex() {
  static std::mutex* const instance = new std::mutex;
  return *instance;
}

void journal(std::string_view line) {
  Journal& journal = journalFile();
  const std::lock_guard lock(journal.mutex);
  if (!journal.opened) {
    journal.opened = true;
    const char* path = std::getenv("CAMKNOB_CMIO_STANDIN_JOURNAL");
    if (path != nullptr && *path != '\0') journal.file = std::fopen(path, "ae");
  }
  if (journal.file == nullptr) return;
  std::fprintf(journal.file, "%.*s\n", static_cast<int>(line.size()), line.data());
  std::fflush(journal.file);
}

std::string addressText(std::uint32_t object, std::uint32_t selector) {
  return std::to_string(object) + ' ' + char(selector >> 24) + char(selector >> 16) +
         char(selector >> 8) + char(selector);
}

}  // namespace detail

CFStringRef newString(std::string_view utf8, bool convertible) {
  const CFIndex length = utf16Length(utf8) + (convertible ? 0 : 1);
  return handOut(new StringObject{std::string(utf8), length, convertible, true});
}

CFStringRef newStringClaimingLength(CFIndex length) {
  return handOut(new StringObject{{}, length, true, false});
}

std::size_t liveStringCount() {
  return live().objects.size();
}

}  // namespace camknob::cmio_standin

using namespace camknob;
using namespace camknob::cmio_standin;

namespace {

// The selector CAMKNOB_CMIO_STANDIN_THROW_ON names (four characters), if any.
std::optional<std::uint32_t> throwingSelector() {
  static const std::optional<std::uint32_t> selector = []() -> std::optional<std::uint32_t> {
    const char* named = std::getenv("CAMKNOB_CMIO_STANDIN_THROW_ON");
    if (named == nullptr || std::strlen(named) != 4) return std::nullopt;
    return fourCharCode(named);
  }();
  return selector;
}

// Journals the call; a call for the throwing selector then throws, as a call
// does when memory runs out.
void journalCall(const char* operation, CMIOObjectID object,
                 const CMIOObjectPropertyAddress* address) {
  if (address == nullptr) return;  // a fault, said by the call
  detail::journal(std::string("call ") + operation + ' ' +
                  detail::addressText(object, address->mSelector));
  if (throwingSelector() == address->mSelector) throw std::bad_alloc();
}

}  // namespace

extern "C" {

Boolean CMIOObjectHasProperty(CMIOObjectID objectID, const CMIOObjectPropertyAddress* address) {
  const std::lock_guard lock(detail::storeMutex());
  journalCall("HasProperty", objectID, address);
  return sim::hasProperty(objectID, simAddress(address));
}

OSStatus CMIOObjectIsPropertySettable(CMIOObjectID objectID,
                                      const CMIOObjectPropertyAddress* address,
                                      Boolean* isSettable) {
  if (isSettable == nullptr) fault("a settable question without a flag");
  const std::lock_guard lock(detail::storeMutex());
  journalCall("IsPropertySettable", objectID, address);
  std::uint8_t flag = *isSettable;
  const Status status = sim::isPropertySettable(objectID, simAddress(address), flag);
  *isSettable = flag;
  return status;
}

OSStatus CMIOObjectGetPropertyDataSize(CMIOObjectID objectID,
                                       const CMIOObjectPropertyAddress* address,
                                       UInt32 qualifierDataSize, const void* qualifierData,
                                       UInt32* dataSize) {
  if (dataSize == nullptr) fault("a size query without a size");
  const std::lock_guard lock(detail::storeMutex());
  journalCall("GetPropertyDataSize", objectID, address);
  std::uint32_t size = *dataSize;
  const Status status = sim::getPropertyDataSize(objectID, simAddress(address), qualifierDataSize,
                                                 qualifierData, size);
  *dataSize = size;
  return status;
}

OSStatus CMIOObjectGetPropertyData(CMIOObjectID objectID, const CMIOObjectPropertyAddress* address,
                                   UInt32 qualifierDataSize, const void* qualifierData,
                                   UInt32 dataSize, UInt32* dataUsed, void* data) {
  if (dataUsed == nullptr) fault("a data call without a used count");
  const std::lock_guard lock(detail::storeMutex());
  journalCall("GetPropertyData", objectID, address);
  const std::size_t storeStrings = sim::liveStringCount();
  std::uint32_t used = *dataUsed;
  const Status status = sim::getPropertyData(objectID, simAddress(address), qualifierDataSize,
                                             qualifierData, dataSize, used, data);
  *dataUsed = used;
  if (sim::liveStringCount() != storeStrings) {
    // The store handed out a reference of its own: the caller gets a string
    // of this stand-in with the same text in its place.
    StringRef stored = nullptr;
    std::memcpy(&stored, data, sizeof stored);
    const std::optional<std::string> text = sim::stringText(stored);
    sim::releaseString(stored);
    const CFStringRef string = text ? newString(*text) : newString("", false);
    std::memcpy(data, &string, sizeof string);
  }
  return status;
}

OSStatus CMIOObjectSetPropertyData(CMIOObjectID objectID, const CMIOObjectPropertyAddress* address,
                                   UInt32 qualifierDataSize, const void* qualifierData,
                                   UInt32 dataSize, const void* data) {
  Status status = noErr;
  {
    const std::lock_guard lock(detail::storeMutex());
    journalCall("SetPropertyData", objectID, address);
    status = sim::setPropertyData(objectID, simAddress(address), qualifierDataSize, qualifierData,
                                  dataSize, data);
  }
  // A write to a shared fixture may bring in what another process changed.
  detail::storeMayHaveChanged();
  return status;
}

CFIndex CFStringGetLength(CFStringRef theString) {
  return liveObject(theString).length;
}

// As CoreFoundation: three bytes for each UTF-16 unit, kCFNotFound past
// LONG_MAX.
CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding) {
  if (encoding != kCFStringEncodingUTF8) fault("an encoding other than UTF-8");
  if (length < 0) fault("a negative length");
  return length > LONG_MAX / 3 ? kCFNotFound : length * 3;
}

// Converts whole characters from the start while they fit in the buffer and
// UTF-8 can carry them; gives the count of UTF-16 units converted.
CFIndex CFStringGetBytes(CFStringRef theString, CFRange range, CFStringEncoding encoding,
                         UInt8 lossByte, Boolean isExternalRepresentation, UInt8* buffer,
                         CFIndex maxBufLen, CFIndex* usedBufLen) {
  const StringObject& string = liveObject(theString);
  if (encoding != kCFStringEncodingUTF8 || lossByte != 0 || isExternalRepresentation)
    fault("a conversion other than plain UTF-8 that stops at a loss");
  if (range.location != 0 || range.length != string.length)
    fault("a conversion of less than the whole string");
  if (!string.holdsItsCharacters) fault("a conversion of characters the string does not hold");
  if (maxBufLen < 0) fault("a negative buffer size");
  CFIndex converted = 0;
  CFIndex written = 0;
  const std::string_view text = string.utf8;
  for (std::size_t at = 0; at < text.size();) {
    const Character character = characterAt(text.substr(at));
    if (buffer != nullptr && written + static_cast<CFIndex>(character.bytes) > maxBufLen) break;
    if (buffer != nullptr) std::memcpy(buffer + written, text.data() + at, character.bytes);
    written += static_cast<CFIndex>(character.bytes);
    converted += character.units;
    at += character.bytes;
  }
  if (usedBufLen != nullptr) *usedBufLen = written;
  return converted;
}

void CFRelease(CFTypeRef cf) {
  const StringObject& string = liveObject(cf);
  live().objects.erase(&string);
  delete &string;
}

}  // extern "C"
