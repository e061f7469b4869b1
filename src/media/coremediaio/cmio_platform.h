// The few CoreMediaIO and CoreFoundation declarations the CoreMediaIO service
// uses. On Apple they come from the SDK; elsewhere the service is compiled
// against these copies, written as the platform documents them, and the
// tests link it against a stand-in for the eleven functions, so that a slip
// in the service shows up before anyone builds on a Mac. Both are held to
// one set of signatures at the end of this file.
#pragma once

#if defined(__APPLE__)
// Only these two: the umbrella CoreMediaIO header drags in CoreMedia,
// CoreVideo, IOKit and more.
#include <CoreFoundation/CFString.h>
#include <CoreMediaIO/CMIOHardwareObject.h>
#else
#include <cstdint>

extern "C" {

typedef unsigned char Boolean;
typedef std::uint8_t UInt8;
typedef std::uint32_t UInt32;
typedef std::int32_t SInt32;
typedef SInt32 OSStatus;
typedef long CFIndex;
typedef UInt32 CFStringEncoding;
typedef const struct __CFString* CFStringRef;
typedef const void* CFTypeRef;

typedef struct {
  CFIndex location;
  CFIndex length;
} CFRange;

static const CFIndex kCFNotFound = -1;

enum { kCFStringEncodingUTF8 = 0x08000100 };

typedef UInt32 CMIOObjectID;
typedef UInt32 CMIOObjectPropertySelector;
typedef UInt32 CMIOObjectPropertyScope;
typedef UInt32 CMIOObjectPropertyElement;

struct CMIOObjectPropertyAddress {
  CMIOObjectPropertySelector mSelector;
  CMIOObjectPropertyScope mScope;
  CMIOObjectPropertyElement mElement;
};
typedef struct CMIOObjectPropertyAddress CMIOObjectPropertyAddress;

Boolean CMIOObjectHasProperty(CMIOObjectID objectID, const CMIOObjectPropertyAddress* address);
OSStatus CMIOObjectIsPropertySettable(CMIOObjectID objectID,
                                      const CMIOObjectPropertyAddress* address,
                                      Boolean* isSettable);
OSStatus CMIOObjectGetPropertyDataSize(CMIOObjectID objectID,
                                       const CMIOObjectPropertyAddress* address,
                                       UInt32 qualifierDataSize, const void* qualifierData,
                                       UInt32* dataSize);
OSStatus CMIOObjectGetPropertyData(CMIOObjectID objectID, const CMIOObjectPropertyAddress* address,
                                   UInt32 qualifierDataSize, const void* qualifierData,
                                   UInt32 dataSize, UInt32* dataUsed, void* data);
OSStatus CMIOObjectSetPropertyData(CMIOObjectID objectID, const CMIOObjectPropertyAddress* address,
                                   UInt32 qualifierDataSize, const void* qualifierData,
                                   UInt32 dataSize, const void* data);

// Called, on a thread of CoreMediaIO's, when properties of the object may
// have changed: at least one of the addresses is one the listener was added
// for. The result is unused (0).
typedef OSStatus (*CMIOObjectPropertyListenerProc)(CMIOObjectID objectID, UInt32 numberAddresses,
                                                   const CMIOObjectPropertyAddress addresses[],
                                                   void* clientData);
OSStatus CMIOObjectAddPropertyListener(CMIOObjectID objectID,
                                       const CMIOObjectPropertyAddress* address,
                                       CMIOObjectPropertyListenerProc listener, void* clientData);
OSStatus CMIOObjectRemovePropertyListener(CMIOObjectID objectID,
                                          const CMIOObjectPropertyAddress* address,
                                          CMIOObjectPropertyListenerProc listener,
                                          void* clientData);

CFIndex CFStringGetLength(CFStringRef theString);
CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding);
CFIndex CFStringGetBytes(CFStringRef theString, CFRange range, CFStringEncoding encoding,
                         UInt8 lossByte, Boolean isExternalRepresentation, UInt8* buffer,
                         CFIndex maxBufLen, CFIndex* usedBufLen);
void CFRelease(CFTypeRef cf);

}  // extern "C"
#endif

#include <type_traits>

// The signatures the service is written for: the SDK's on Apple and the
// copies above elsewhere must both have them, so that the stand-in the tests
// link (whose C names the linker does not check) is called as CoreMediaIO is.
namespace camknob::cmio_signatures {
using ListenerProc = OSStatus (*)(CMIOObjectID, UInt32, const CMIOObjectPropertyAddress*, void*);
static_assert(std::is_same_v<CMIOObjectPropertyListenerProc, ListenerProc>);
static_assert(std::is_same_v<decltype(CMIOObjectHasProperty),
                             Boolean(CMIOObjectID, const CMIOObjectPropertyAddress*)>);
static_assert(std::is_same_v<decltype(CMIOObjectIsPropertySettable),
                             OSStatus(CMIOObjectID, const CMIOObjectPropertyAddress*, Boolean*)>);
static_assert(std::is_same_v<decltype(CMIOObjectGetPropertyDataSize),
                             OSStatus(CMIOObjectID, const CMIOObjectPropertyAddress*, UInt32,
                                      const void*, UInt32*)>);
static_assert(std::is_same_v<decltype(CMIOObjectGetPropertyData),
                             OSStatus(CMIOObjectID, const CMIOObjectPropertyAddress*, UInt32,
                                      const void*, UInt32, UInt32*, void*)>);
static_assert(std::is_same_v<decltype(CMIOObjectSetPropertyData),
                             OSStatus(CMIOObjectID, const CMIOObjectPropertyAddress*, UInt32,
                                      const void*, UInt32, const void*)>);
static_assert(
    std::is_same_v<decltype(CMIOObjectAddPropertyListener),
                   OSStatus(CMIOObjectID, const CMIOObjectPropertyAddress*, ListenerProc, void*)>);
static_assert(
    std::is_same_v<decltype(CMIOObjectRemovePropertyListener),
                   OSStatus(CMIOObjectID, const CMIOObjectPropertyAddress*, ListenerProc, void*)>);
static_assert(std::is_same_v<decltype(CFStringGetLength), CFIndex(CFStringRef)>);
static_assert(std::is_same_v<decltype(CFStringGetMaximumSizeForEncoding),
                             CFIndex(CFIndex, CFStringEncoding)>);
static_assert(
    std::is_same_v<decltype(CFStringGetBytes), CFIndex(CFStringRef, CFRange, CFStringEncoding,
                                                       UInt8, Boolean, UInt8*, CFIndex, CFIndex*)>);
static_assert(std::is_same_v<decltype(CFRelease), void(CFTypeRef)>);
}  // namespace camknob::cmio_signatures
