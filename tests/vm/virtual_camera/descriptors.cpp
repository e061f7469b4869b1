#include "virtual_camera/descriptors.h"

#include <linux/usb/ch9.h>
#include <linux/usb/video.h>

#include "virtual_camera/camera_identity.h"
#include "virtual_camera/control_table.h"

namespace camknob::virtual_camera {

namespace {

constexpr std::uint8_t csInterface = USB_DT_CS_INTERFACE;

void append(Bytes& bytes, const Bytes& more) {
  bytes.insert(bytes.end(), more.begin(), more.end());
}

// Starts a descriptor whose first byte (bLength) is patched by finish().
std::size_t start(Bytes& bytes, unsigned type) {
  const std::size_t at = bytes.size();
  appendU8(bytes, 0);
  appendU8(bytes, type);
  return at;
}

void finish(Bytes& bytes, std::size_t at) {
  bytes[at] = static_cast<std::uint8_t>(bytes.size() - at);
}

void patchU16(Bytes& bytes, std::size_t at, std::size_t value) {
  bytes[at] = value & 0xffu;
  bytes[at + 1] = (value >> 8) & 0xffu;
}

void appendInterface(Bytes& bytes, unsigned number, unsigned endpoints, unsigned subclass) {
  const std::size_t at = start(bytes, USB_DT_INTERFACE);
  appendU8(bytes, number);
  appendU8(bytes, 0);  // bAlternateSetting
  appendU8(bytes, endpoints);
  appendU8(bytes, USB_CLASS_VIDEO);
  appendU8(bytes, subclass);
  appendU8(bytes, 0);  // bInterfaceProtocol
  appendU8(bytes, 0);  // iInterface
  finish(bytes, at);
}

// The VideoControl interface's class-specific descriptors: header, camera
// terminal, processing unit, output terminal to the streaming interface.
Bytes videoControlDescriptors() {
  Bytes bytes;
  std::size_t at = start(bytes, csInterface);
  appendU8(bytes, UVC_VC_HEADER);
  appendU16(bytes, 0x0100);  // bcdUVC
  const std::size_t totalAt = bytes.size();
  appendU16(bytes, 0);           // wTotalLength, patched below
  appendU32(bytes, 48'000'000);  // dwClockFrequency
  appendU8(bytes, 1);            // bInCollection
  appendU8(bytes, streamingInterface);
  finish(bytes, at);

  at = start(bytes, csInterface);
  appendU8(bytes, UVC_VC_INPUT_TERMINAL);
  appendU8(bytes, cameraTerminalId);
  appendU16(bytes, UVC_ITT_CAMERA);
  appendU8(bytes, 0);   // bAssocTerminal
  appendU8(bytes, 0);   // iTerminal
  appendU16(bytes, 0);  // wObjectiveFocalLengthMin
  appendU16(bytes, 0);  // wObjectiveFocalLengthMax
  appendU16(bytes, 0);  // wOcularFocalLength
  appendU8(bytes, 3);   // bControlSize
  append(bytes, cameraTerminalControls());
  finish(bytes, at);

  at = start(bytes, csInterface);
  appendU8(bytes, UVC_VC_PROCESSING_UNIT);
  appendU8(bytes, processingUnitId);
  appendU8(bytes, cameraTerminalId);  // bSourceID
  appendU16(bytes, 0);                // wMaxMultiplier
  appendU8(bytes, 2);                 // bControlSize
  append(bytes, processingUnitControls());
  appendU8(bytes, 0);  // iProcessing (UVC 1.0 has no bmVideoStandards)
  finish(bytes, at);

  at = start(bytes, csInterface);
  appendU8(bytes, UVC_VC_OUTPUT_TERMINAL);
  appendU8(bytes, outputTerminalId);
  appendU16(bytes, UVC_TT_STREAMING);
  appendU8(bytes, 0);  // bAssocTerminal
  appendU8(bytes, processingUnitId);
  appendU8(bytes, 0);  // iTerminal
  finish(bytes, at);

  patchU16(bytes, totalAt, bytes.size());
  return bytes;
}

// The VideoStreaming interface's class-specific descriptors: input header,
// one uncompressed YUY2 format with one frame size, color matching.
Bytes videoStreamingDescriptors() {
  static constexpr std::uint8_t yuy2[16] = {'Y',  'U',  'Y',  '2',  0x00, 0x00, 0x10, 0x00,
                                            0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71};
  Bytes bytes;
  std::size_t at = start(bytes, csInterface);
  appendU8(bytes, UVC_VS_INPUT_HEADER);
  appendU8(bytes, 1);  // bNumFormats
  const std::size_t totalAt = bytes.size();
  appendU16(bytes, 0);  // wTotalLength, patched below
  appendU8(bytes, streamingEndpoint);
  appendU8(bytes, 0);  // bmInfo
  appendU8(bytes, outputTerminalId);
  appendU8(bytes, 0);  // bStillCaptureMethod
  appendU8(bytes, 0);  // bTriggerSupport
  appendU8(bytes, 0);  // bTriggerUsage
  appendU8(bytes, 1);  // bControlSize
  appendU8(bytes, 0);  // bmaControls of the format
  finish(bytes, at);

  at = start(bytes, csInterface);
  appendU8(bytes, UVC_VS_FORMAT_UNCOMPRESSED);
  appendU8(bytes, 1);  // bFormatIndex
  appendU8(bytes, 1);  // bNumFrameDescriptors
  bytes.insert(bytes.end(), std::begin(yuy2), std::end(yuy2));
  appendU8(bytes, 16);  // bBitsPerPixel
  appendU8(bytes, 1);   // bDefaultFrameIndex
  appendU8(bytes, 0);   // bAspectRatioX
  appendU8(bytes, 0);   // bAspectRatioY
  appendU8(bytes, 0);   // bmInterlaceFlags
  appendU8(bytes, 0);   // bCopyProtect
  finish(bytes, at);

  const std::uint32_t bitRate = frameBytes * 8 * 30;
  at = start(bytes, csInterface);
  appendU8(bytes, UVC_VS_FRAME_UNCOMPRESSED);
  appendU8(bytes, 1);  // bFrameIndex
  appendU8(bytes, 0);  // bmCapabilities
  appendU16(bytes, frameWidth);
  appendU16(bytes, frameHeight);
  appendU32(bytes, bitRate);  // dwMinBitRate
  appendU32(bytes, bitRate);  // dwMaxBitRate
  appendU32(bytes, frameBytes);
  appendU32(bytes, frameInterval);  // dwDefaultFrameInterval
  appendU8(bytes, 1);               // bFrameIntervalType: one discrete interval
  appendU32(bytes, frameInterval);
  finish(bytes, at);

  at = start(bytes, csInterface);
  appendU8(bytes, UVC_VS_COLORFORMAT);
  appendU8(bytes, 1);  // bColorPrimaries: BT.709, sRGB
  appendU8(bytes, 1);  // bTransferCharacteristics: BT.709
  appendU8(bytes, 4);  // bMatrixCoefficients: SMPTE 170M
  finish(bytes, at);

  patchU16(bytes, totalAt, bytes.size());
  return bytes;
}

Bytes stringOf(std::string_view text) {
  Bytes bytes;
  const std::size_t at = start(bytes, USB_DT_STRING);
  for (const char c : text) appendU16(bytes, static_cast<unsigned char>(c));  // ASCII as UTF-16LE
  finish(bytes, at);
  return bytes;
}

}  // namespace

Bytes cameraTerminalControls() {
  return controlBitmap(cameraTerminalId, 3);
}
Bytes processingUnitControls() {
  return controlBitmap(processingUnitId, 2);
}

Bytes deviceDescriptor() {
  Bytes bytes;
  const std::size_t at = start(bytes, USB_DT_DEVICE);
  appendU16(bytes, 0x0200);  // bcdUSB
  // Miscellaneous class with interface association, as UVC devices declare.
  appendU8(bytes, USB_CLASS_MISC);
  appendU8(bytes, 0x02);
  appendU8(bytes, 0x01);
  appendU8(bytes, 64);  // bMaxPacketSize0 (gadgetfs sets the controller's)
  appendU16(bytes, vendorId);
  appendU16(bytes, productId);
  appendU16(bytes, deviceRelease);
  appendU8(bytes, manufacturerIndex);
  appendU8(bytes, productIndex);
  appendU8(bytes, serialIndex);
  appendU8(bytes, 1);  // bNumConfigurations
  finish(bytes, at);
  return bytes;
}

Bytes configurationDescriptor(bool highSpeed) {
  Bytes bytes;
  std::size_t at = start(bytes, USB_DT_CONFIG);
  const std::size_t totalAt = bytes.size();
  appendU16(bytes, 0);  // wTotalLength, patched below
  appendU8(bytes, 2);   // bNumInterfaces
  appendU8(bytes, 1);   // bConfigurationValue
  appendU8(bytes, 0);   // iConfiguration
  appendU8(bytes, USB_CONFIG_ATT_ONE);
  appendU8(bytes, 250);  // bMaxPower: 500 mA
  finish(bytes, at);

  at = start(bytes, USB_DT_INTERFACE_ASSOCIATION);
  appendU8(bytes, controlInterface);
  appendU8(bytes, 2);  // bInterfaceCount
  appendU8(bytes, USB_CLASS_VIDEO);
  appendU8(bytes, UVC_SC_VIDEO_INTERFACE_COLLECTION);
  appendU8(bytes, 0);  // bFunctionProtocol
  appendU8(bytes, 0);  // iFunction: none, so the card name is the product's alone
  finish(bytes, at);

  appendInterface(bytes, controlInterface, 0, UVC_SC_VIDEOCONTROL);
  append(bytes, videoControlDescriptors());

  appendInterface(bytes, streamingInterface, 1, UVC_SC_VIDEOSTREAMING);
  append(bytes, videoStreamingDescriptors());
  at = start(bytes, USB_DT_ENDPOINT);
  appendU8(bytes, streamingEndpoint);
  appendU8(bytes, USB_ENDPOINT_XFER_BULK);
  appendU16(bytes, highSpeed ? 512 : 64);
  appendU8(bytes, 0);  // bInterval
  finish(bytes, at);

  patchU16(bytes, totalAt, bytes.size());
  return bytes;
}

Bytes gadgetfsSetup() {
  Bytes bytes;
  appendU32(bytes, 0);  // format tag
  append(bytes, configurationDescriptor(false));
  append(bytes, configurationDescriptor(true));
  append(bytes, deviceDescriptor());
  return bytes;
}

std::optional<Bytes> stringDescriptor(std::uint8_t index) {
  switch (index) {
    case 0: {
      Bytes bytes;
      const std::size_t at = start(bytes, USB_DT_STRING);
      appendU16(bytes, 0x0409);  // English (United States)
      finish(bytes, at);
      return bytes;
    }
    case manufacturerIndex:
      return stringOf(manufacturerText);
    case productIndex:
      return stringOf(productText);
    case serialIndex:
      return stringOf(serialText);
    default:
      return std::nullopt;
  }
}

}  // namespace camknob::virtual_camera
