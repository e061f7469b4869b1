// Proof, at compile time on Apple, that the tool's own codes and records
// agree with the SDK's: every selector, the scope, the element, the control
// class, every class code of the kind table, and the layout of the property
// address and the value range. It needs the whole CoreMediaIO header, which
// the service itself does without, and holds no code.
#if defined(__APPLE__)
#include <CoreAudio/CoreAudioTypes.h>
#include <CoreMediaIO/CMIOHardware.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "records/property_types.h"
#include "vocabulary/control_kinds.h"

namespace camknob {
namespace {

constexpr bool same(std::uint32_t ours, std::uint32_t sdk) {
  return ours == sdk;
}

static_assert(same(systemObject, kCMIOObjectSystemObject));
static_assert(same(globalScope, kCMIOObjectPropertyScopeGlobal));
// The element stays the literal 0 in the tool: its SDK name exists only from
// macOS 12, and the older name is deprecated there.
#if defined(__MAC_12_0) && __MAC_OS_X_VERSION_MIN_REQUIRED >= __MAC_12_0
static_assert(same(mainElement, kCMIOObjectPropertyElementMain));
#endif
static_assert(same(controlClass, kCMIOControlClassID));

static_assert(same(selectors::devices, kCMIOHardwarePropertyDevices));
static_assert(same(selectors::deviceUid, kCMIODevicePropertyDeviceUID));
static_assert(same(selectors::name, kCMIOObjectPropertyName));
static_assert(same(selectors::manufacturer, kCMIOObjectPropertyManufacturer));
static_assert(same(selectors::ownedObjects, kCMIOObjectPropertyOwnedObjects));
static_assert(same(selectors::objectClass, kCMIOObjectPropertyClass));
static_assert(same(selectors::absoluteValue, kCMIOFeatureControlPropertyAbsoluteValue));
static_assert(same(selectors::absoluteRange, kCMIOFeatureControlPropertyAbsoluteRange));
static_assert(same(selectors::nativeValue, kCMIOFeatureControlPropertyNativeValue));
static_assert(same(selectors::nativeRange, kCMIOFeatureControlPropertyNativeRange));
static_assert(same(selectors::automaticManual, kCMIOFeatureControlPropertyAutomaticManual));
static_assert(same(selectors::onOff, kCMIOFeatureControlPropertyOnOff));
static_assert(same(selectors::nativeData, kCMIOFeatureControlPropertyNativeData));
static_assert(same(selectors::nativeDataRange, kCMIOFeatureControlPropertyNativeDataRange));
static_assert(same(selectors::deviceIsRunningSomewhere,
                   kCMIODevicePropertyDeviceIsRunningSomewhere));

// Every row of the kind table: 28 distinct kinds, each named by its class.
constexpr bool kindOf(std::uint32_t sdkClass, std::string_view kind) {
  return controlKindName(sdkClass) == kind;
}
static_assert(controlKinds.size() == 28);
static_assert(kindOf(kCMIOBlackLevelControlClassID, "blackLevel"));
static_assert(kindOf(kCMIOWhiteLevelControlClassID, "whiteLevel"));
static_assert(kindOf(kCMIOHueControlClassID, "hue"));
static_assert(kindOf(kCMIOSaturationControlClassID, "saturation"));
static_assert(kindOf(kCMIOContrastControlClassID, "contrast"));
static_assert(kindOf(kCMIOSharpnessControlClassID, "sharpness"));
static_assert(kindOf(kCMIOBrightnessControlClassID, "brightness"));
static_assert(kindOf(kCMIOGainControlClassID, "gain"));
static_assert(kindOf(kCMIOIrisControlClassID, "iris"));
static_assert(kindOf(kCMIOShutterControlClassID, "shutter"));
static_assert(kindOf(kCMIOExposureControlClassID, "exposure"));
static_assert(kindOf(kCMIOWhiteBalanceUControlClassID, "whiteBalanceU"));
static_assert(kindOf(kCMIOWhiteBalanceVControlClassID, "whiteBalanceV"));
static_assert(kindOf(kCMIOWhiteBalanceControlClassID, "whiteBalance"));
static_assert(kindOf(kCMIOGammaControlClassID, "gamma"));
static_assert(kindOf(kCMIOTemperatureControlClassID, "temperature"));
static_assert(kindOf(kCMIOZoomControlClassID, "zoom"));
static_assert(kindOf(kCMIOFocusControlClassID, "focus"));
static_assert(kindOf(kCMIOPanControlClassID, "pan"));
static_assert(kindOf(kCMIOTiltControlClassID, "tilt"));
static_assert(kindOf(kCMIOOpticalFilterClassID, "opticalFilter"));
static_assert(kindOf(kCMIOBacklightCompensationControlClassID, "backlightCompensation"));
static_assert(kindOf(kCMIOPowerLineFrequencyControlClassID, "powerLineFrequency"));
static_assert(kindOf(kCMIONoiseReductionControlClassID, "noiseReduction"));
static_assert(kindOf(kCMIOPanTiltAbsoluteControlClassID, "panTiltAbsolute"));
static_assert(kindOf(kCMIOPanTiltRelativeControlClassID, "panTiltRelative"));
static_assert(kindOf(kCMIOZoomRelativeControlClassID, "zoomRelative"));
static_assert(kindOf(kCMIORollAbsoluteControlClassID, "roll"));

static_assert(sizeof(CMIOObjectPropertyAddress) == sizeof(PropertyAddress));
static_assert(offsetof(CMIOObjectPropertyAddress, mSelector) ==
              offsetof(PropertyAddress, mSelector));
static_assert(offsetof(CMIOObjectPropertyAddress, mScope) == offsetof(PropertyAddress, mScope));
static_assert(offsetof(CMIOObjectPropertyAddress, mElement) == offsetof(PropertyAddress, mElement));
static_assert(sizeof(::AudioValueRange) == sizeof(AudioValueRange));
static_assert(offsetof(::AudioValueRange, mMinimum) == offsetof(AudioValueRange, mMinimum));
static_assert(offsetof(::AudioValueRange, mMaximum) == offsetof(AudioValueRange, mMaximum));

}  // namespace
}  // namespace camknob
#endif
