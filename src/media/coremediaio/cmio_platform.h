// The few CoreMediaIO and CoreFoundation declarations the CoreMediaIO service
// uses. On Apple they come from the SDK; elsewhere the service is compiled
// against these copies, written as the platform documents them, and the
// tests link it against a stand-in for the nine functions, so that a slip in
// the service shows up before anyone builds on a Mac.
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

CFIndex CFStringGetLength(CFStringRef theString);
CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding);
CFIndex CFStringGetBytes(CFStringRef theString, CFRange range, CFStringEncoding encoding,
                         UInt8 lossByte, Boolean isExternalRepresentation, UInt8* buffer,
                         CFIndex maxBufLen, CFIndex* usedBufLen);
void CFRelease(CFTypeRef cf);

}  // extern "C"
#endif
