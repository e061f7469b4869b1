// The few CoreMediaIO and CoreFoundation declarations the CoreMediaIO service
// uses. On Apple they come from the SDK; elsewhere the service is still
// compiled against these copies, written as the platform documents them, so
// that a slip in the service shows up before anyone builds on a Mac.
#pragma once

#if defined(__APPLE__)
#include <CoreFoundation/CoreFoundation.h>
#include <CoreMediaIO/CMIOHardware.h>
#else
#include <cstdint>

extern "C" {

typedef unsigned char Boolean;
typedef std::uint32_t UInt32;
typedef std::int32_t SInt32;
typedef SInt32 OSStatus;
typedef long CFIndex;
typedef UInt32 CFStringEncoding;
typedef const struct __CFString* CFStringRef;
typedef const void* CFTypeRef;

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
Boolean CFStringGetCString(CFStringRef theString, char* buffer, CFIndex bufferSize,
                           CFStringEncoding encoding);
void CFRelease(CFTypeRef cf);

}  // extern "C"
#endif
