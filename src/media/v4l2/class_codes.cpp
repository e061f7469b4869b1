#include "media/v4l2/class_codes.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <array>

#include "records/property_types.h"
#include "vocabulary/control_kinds.h"

namespace camknob::v4l2 {

namespace {

// The class each standard control is listed under: a kind's class where V4L2
// has the control, else one of the classes the tool keeps for V4L2 controls
// (four printable characters that hint at the control).
constexpr std::array<StandardControl, 86> table{{
    {V4L2_CID_BRIGHTNESS, "brit", "brightness"},
    {V4L2_CID_CONTRAST, "ctst", "contrast"},
    {V4L2_CID_SATURATION, "satu", "saturation"},
    {V4L2_CID_HUE, "hue ", "hue"},
    {V4L2_CID_AUDIO_VOLUME, "avol", "audio volume"},
    {V4L2_CID_AUDIO_BALANCE, "abal", "audio balance"},
    {V4L2_CID_AUDIO_BASS, "abas", "audio bass"},
    {V4L2_CID_AUDIO_TREBLE, "atrb", "audio treble"},
    {V4L2_CID_AUDIO_MUTE, "amut", "audio mute"},
    {V4L2_CID_AUDIO_LOUDNESS, "alod", "audio loudness"},
    {V4L2_CID_BLACK_LEVEL, "bklv", "black level"},
    {V4L2_CID_AUTO_WHITE_BALANCE, "awbl", "automatic white balance (on its own)"},
    {V4L2_CID_RED_BALANCE, "whbv", "red balance"},
    {V4L2_CID_BLUE_BALANCE, "whbu", "blue balance"},
    {V4L2_CID_GAMMA, "gmma", "gamma"},
    {V4L2_CID_EXPOSURE, "expo", "exposure (driver units)"},
    {V4L2_CID_AUTOGAIN, "agan", "automatic gain (on its own)"},
    {V4L2_CID_GAIN, "gain", "gain"},
    {V4L2_CID_HFLIP, "hflp", "horizontal flip"},
    {V4L2_CID_VFLIP, "vflp", "vertical flip"},
    {V4L2_CID_POWER_LINE_FREQUENCY, "pwfq", "power line frequency"},
    {V4L2_CID_HUE_AUTO, "ahue", "automatic hue (on its own)"},
    {V4L2_CID_WHITE_BALANCE_TEMPERATURE, "temp", "white balance temperature"},
    {V4L2_CID_SHARPNESS, "shrp", "sharpness"},
    {V4L2_CID_BACKLIGHT_COMPENSATION, "bklt", "backlight compensation"},
    {V4L2_CID_CHROMA_AGC, "cagc", "chroma automatic gain"},
    {V4L2_CID_COLOR_KILLER, "ckil", "color killer"},
    {V4L2_CID_COLORFX, "cofx", "color effect"},
    {V4L2_CID_AUTOBRIGHTNESS, "abrt", "automatic brightness"},
    {V4L2_CID_BAND_STOP_FILTER, "bstp", "band-stop filter"},
    {V4L2_CID_ROTATE, "rota", "rotation"},
    {V4L2_CID_BG_COLOR, "bgco", "background color"},
    {V4L2_CID_CHROMA_GAIN, "cgan", "chroma gain"},
    {V4L2_CID_ILLUMINATORS_1, "ilm1", "illuminator 1"},
    {V4L2_CID_ILLUMINATORS_2, "ilm2", "illuminator 2"},
    {V4L2_CID_MIN_BUFFERS_FOR_CAPTURE, "mbfc", "minimum capture buffers"},
    {V4L2_CID_MIN_BUFFERS_FOR_OUTPUT, "mbfo", "minimum output buffers"},
    {V4L2_CID_ALPHA_COMPONENT, "alph", "alpha component"},
    {V4L2_CID_COLORFX_CBCR, "cfxc", "color effect Cb/Cr"},
    {V4L2_CID_COLORFX_RGB, "cfxr", "color effect RGB"},
    {V4L2_CID_EXPOSURE_AUTO, "xpam", "automatic exposure mode (on its own)"},
    {V4L2_CID_EXPOSURE_ABSOLUTE, "xpsr", "exposure time"},
    {V4L2_CID_EXPOSURE_AUTO_PRIORITY, "dyfr", "exposure dynamic frame rate"},
    {V4L2_CID_PAN_RELATIVE, "panr", "pan, relative"},
    {V4L2_CID_TILT_RELATIVE, "tilr", "tilt, relative"},
    {V4L2_CID_PAN_ABSOLUTE, "pan ", "pan, absolute (without tilt)"},
    {V4L2_CID_TILT_ABSOLUTE, "tilt", "tilt, absolute (without pan)"},
    {V4L2_CID_FOCUS_ABSOLUTE, "fcus", "focus"},
    {V4L2_CID_FOCUS_RELATIVE, "fcrl", "focus, relative"},
    {V4L2_CID_FOCUS_AUTO, "afcs", "continuous autofocus (on its own)"},
    {V4L2_CID_ZOOM_ABSOLUTE, "zoom", "zoom"},
    {V4L2_CID_ZOOM_RELATIVE, "zmrl", "zoom, relative"},
    {V4L2_CID_ZOOM_CONTINUOUS, "zomr", "zoom, continuous"},
    {V4L2_CID_PRIVACY, "priv", "privacy"},
    {V4L2_CID_IRIS_ABSOLUTE, "iris", "iris"},
    {V4L2_CID_IRIS_RELATIVE, "irrl", "iris, relative"},
    {V4L2_CID_AUTO_EXPOSURE_BIAS, "xpbi", "exposure bias"},
    {V4L2_CID_AUTO_N_PRESET_WHITE_BALANCE, "wbpr", "white balance preset"},
    {V4L2_CID_WIDE_DYNAMIC_RANGE, "wdrg", "wide dynamic range"},
    {V4L2_CID_IMAGE_STABILIZATION, "stab", "image stabilization"},
    {V4L2_CID_ISO_SENSITIVITY, "isos", "ISO sensitivity"},
    {V4L2_CID_ISO_SENSITIVITY_AUTO, "isoa", "automatic ISO sensitivity"},
    {V4L2_CID_EXPOSURE_METERING, "xpmt", "exposure metering"},
    {V4L2_CID_SCENE_MODE, "scen", "scene mode"},
    {V4L2_CID_AUTO_FOCUS_RANGE, "afrg", "autofocus range"},
    {V4L2_CID_PAN_SPEED, "pnsp", "pan speed (without tilt speed)"},
    {V4L2_CID_TILT_SPEED, "tlsp", "tilt speed (without pan speed)"},
    {V4L2_CID_CAMERA_ORIENTATION, "ornt", "camera orientation"},
    {V4L2_CID_CAMERA_SENSOR_ROTATION, "srot", "sensor rotation"},
    {V4L2_CID_FLASH_LED_MODE, "flmd", "flash LED mode"},
    {V4L2_CID_FLASH_STROBE_SOURCE, "flss", "flash strobe source"},
    {V4L2_CID_FLASH_TIMEOUT, "fltm", "flash timeout"},
    {V4L2_CID_FLASH_INTENSITY, "flin", "flash intensity"},
    {V4L2_CID_FLASH_TORCH_INTENSITY, "fltr", "torch intensity"},
    {V4L2_CID_FLASH_INDICATOR_INTENSITY, "flid", "indicator intensity"},
    {V4L2_CID_JPEG_CHROMA_SUBSAMPLING, "jcss", "JPEG chroma subsampling"},
    {V4L2_CID_JPEG_RESTART_INTERVAL, "jrst", "JPEG restart interval"},
    {V4L2_CID_JPEG_COMPRESSION_QUALITY, "jqal", "JPEG quality"},
    {V4L2_CID_VBLANK, "vbln", "vertical blanking"},
    {V4L2_CID_HBLANK, "hbln", "horizontal blanking"},
    {V4L2_CID_ANALOGUE_GAIN, "agai", "analogue gain"},
    {V4L2_CID_LINK_FREQ, "lnkf", "link frequency"},
    {V4L2_CID_TEST_PATTERN, "tpat", "test pattern"},
    {V4L2_CID_DEINTERLACING_MODE, "dint", "deinterlacing mode"},
    {V4L2_CID_DIGITAL_GAIN, "dgan", "digital gain"},
    {V4L2_CID_DETECT_MD_MODE, "mdmd", "motion detection mode"},
}};

constexpr bool sortedById() {
  for (std::size_t i = 1; i < table.size(); ++i)
    if (table[i - 1].id >= table[i].id) return false;
  return true;
}
static_assert(sortedById(), "the table is searched by control id");

// Every code here is a class of the tool's control table, and every class the
// table keeps for V4L2 controls without a kind name is used here.
constexpr bool agreesWithTheControlTable() {
  for (const StandardControl& row : table)
    if (!isKnownClass(fourCharCode(row.code))) return false;
  for (const ControlKind& known : controlClasses) {
    if (!known.name.empty()) continue;
    bool used = false;
    for (const StandardControl& row : table)
      used = used || fourCharCode(row.code) == known.classCode;
    if (!used) return false;
  }
  return true;
}
static_assert(agreesWithTheControlTable());

}  // namespace

std::span<const StandardControl> standardControls() {
  return table;
}

std::uint32_t classCodeOf(std::uint32_t id) {
  const auto found = std::lower_bound(
      table.begin(), table.end(), id,
      [](const StandardControl& row, std::uint32_t wanted) { return row.id < wanted; });
  if (found != table.end() && found->id == id) return fourCharCode(found->code);
  return id;  // a driver's own control goes by its id
}

}  // namespace camknob::v4l2
