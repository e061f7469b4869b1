// Every control class the tool knows, in one table: its four-character class
// code, its kind name where it has one (the vocabulary of --control and of the
// pan/tilt commands), the shape of what it holds, and whether writing it aims
// the camera or sets it moving. The first 28 rows are the classes with a kind
// name; the rest are the codes the tool gives V4L2 controls that have none
// (their kind is the code itself). Every part of the tool looks classes up
// here.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "records/property_types.h"

namespace camknob {

// What a control holds.
enum class ControlShape : std::uint8_t {
  Value,     // a number, in a range
  Position,  // the 8-byte pan/tilt position record, as native data
  Movement,  // the 4-byte pan/tilt movement record, as native data
};

// What writing the control does to where the camera points.
enum class ControlMotion : std::uint8_t {
  None,
  Aims,   // sets where it points (pan, tilt, a pan/tilt position)
  Moves,  // sets it moving: a direction and a speed, not a state
};

struct ControlKind {
  std::uint32_t classCode;
  std::string_view name;  // empty for a class without a kind name
  ControlShape shape;
  ControlMotion motion;
};

namespace control_table {

constexpr ControlKind row(std::string_view code, std::string_view name,
                          ControlShape shape = ControlShape::Value,
                          ControlMotion motion = ControlMotion::None) {
  return ControlKind{fourCharCode(code), name, shape, motion};
}
constexpr ControlKind unnamed(std::string_view code, ControlMotion motion = ControlMotion::None) {
  return row(code, "", ControlShape::Value, motion);
}
inline constexpr auto aims = ControlMotion::Aims;
inline constexpr auto moves = ControlMotion::Moves;
inline constexpr auto value = ControlShape::Value;

inline constexpr std::array<ControlKind, 94> rows{{
    row("bklv", "blackLevel"),
    row("whlv", "whiteLevel"),
    row("hue ", "hue"),
    row("satu", "saturation"),
    row("ctst", "contrast"),
    row("shrp", "sharpness"),
    row("brit", "brightness"),
    row("gain", "gain"),
    row("iris", "iris"),
    row("shtr", "shutter"),
    row("xpsr", "exposure"),
    row("whbu", "whiteBalanceU"),
    row("whbv", "whiteBalanceV"),
    row("whbl", "whiteBalance"),
    row("gmma", "gamma"),
    row("temp", "temperature"),
    row("zoom", "zoom"),
    row("fcus", "focus"),
    row("pan ", "pan", value, aims),
    row("tilt", "tilt", value, aims),
    row("opft", "opticalFilter"),
    row("bklt", "backlightCompensation"),
    row("pwfq", "powerLineFrequency"),
    row("s2nr", "noiseReduction"),
    row("ptab", "panTiltAbsolute", ControlShape::Position, aims),
    row("ptrl", "panTiltRelative", ControlShape::Movement, moves),
    row("zomr", "zoomRelative", value, moves),
    row("rola", "roll"),
    // The codes of V4L2 controls outside the kind names, in V4L2's order.
    unnamed("avol"),
    unnamed("abal"),
    unnamed("abas"),
    unnamed("atrb"),
    unnamed("amut"),
    unnamed("alod"),
    unnamed("awbl"),
    unnamed("expo"),
    unnamed("agan"),
    unnamed("hflp"),
    unnamed("vflp"),
    unnamed("ahue"),
    unnamed("cagc"),
    unnamed("ckil"),
    unnamed("cofx"),
    unnamed("abrt"),
    unnamed("bstp"),
    unnamed("rota"),
    unnamed("bgco"),
    unnamed("cgan"),
    unnamed("ilm1"),
    unnamed("ilm2"),
    unnamed("mbfc"),
    unnamed("mbfo"),
    unnamed("alph"),
    unnamed("cfxc"),
    unnamed("cfxr"),
    unnamed("xpam"),
    unnamed("dyfr"),
    unnamed("panr", moves),
    unnamed("tilr", moves),
    unnamed("fcrl", moves),
    unnamed("afcs"),
    unnamed("zmrl", moves),
    unnamed("priv"),
    unnamed("irrl", moves),
    unnamed("xpbi"),
    unnamed("wbpr"),
    unnamed("wdrg"),
    unnamed("stab"),
    unnamed("isos"),
    unnamed("isoa"),
    unnamed("xpmt"),
    unnamed("scen"),
    unnamed("afrg"),
    unnamed("pnsp", moves),
    unnamed("tlsp", moves),
    unnamed("ornt"),
    unnamed("srot"),
    unnamed("flmd"),
    unnamed("flss"),
    unnamed("fltm"),
    unnamed("flin"),
    unnamed("fltr"),
    unnamed("flid"),
    unnamed("jcss"),
    unnamed("jrst"),
    unnamed("jqal"),
    unnamed("vbln"),
    unnamed("hbln"),
    unnamed("agai"),
    unnamed("lnkf"),
    unnamed("tpat"),
    unnamed("dint"),
    unnamed("dgan"),
    unnamed("mdmd"),
}};

inline constexpr std::size_t namedRows = 28;

constexpr bool namedRowsFirst() {
  for (std::size_t i = 0; i < rows.size(); ++i)
    if (rows[i].name.empty() != (i >= namedRows)) return false;
  return true;
}
static_assert(namedRowsFirst(), "the classes with a kind name come first");

constexpr bool eachCodeOnce() {
  for (std::size_t i = 0; i < rows.size(); ++i)
    for (std::size_t j = 0; j < i; ++j)
      if (rows[i].classCode == rows[j].classCode ||
          (!rows[i].name.empty() && rows[i].name == rows[j].name))
        return false;
  return true;
}
static_assert(eachCodeOnce(), "a class code and a kind name stand for one class");

}  // namespace control_table

// Every class the tool knows.
inline constexpr std::span<const ControlKind> controlClasses{control_table::rows};

// The classes with a kind name.
inline constexpr std::span<const ControlKind, control_table::namedRows> controlKinds{
    control_table::rows.data(), control_table::namedRows};

// The row of a class code, or nothing for a class outside the table.
constexpr const ControlKind* classRow(std::uint32_t classCode) {
  for (const ControlKind& row : controlClasses)
    if (row.classCode == classCode) return &row;
  return nullptr;
}

// Whether the table keeps this class. Compared without a pointer, so that it
// stays a constant expression where sanitizers instrument pointer checks.
constexpr bool isKnownClass(std::uint32_t classCode) {
  for (const ControlKind& row : controlClasses)
    if (row.classCode == classCode) return true;
  return false;
}

// The class code of a kind name. Known at compile time, or the program does
// not compile.
consteval std::uint32_t classCodeOfKind(std::string_view name) {
  for (const ControlKind& row : controlKinds)
    if (row.name == name) return row.classCode;
  throw "no class has this kind name";
}

// The class code of a code the table lists; likewise known at compile time.
consteval std::uint32_t knownClassCode(std::string_view code) {
  if (!isKnownClass(fourCharCode(code))) throw "the table has no such class code";
  return fourCharCode(code);
}

// The kind name of a class code, or nothing for a class without one.
constexpr std::optional<std::string_view> controlKindName(std::uint32_t classCode) {
  for (const ControlKind& kind : controlKinds)
    if (kind.classCode == classCode) return kind.name;
  return std::nullopt;
}

// The row whose kind a control listed under `kind` has: by name, or by the
// code text that stands for a class without one.
constexpr const ControlKind* classRowOfKind(std::string_view kind) {
  for (const ControlKind& row : controlKinds)
    if (row.name == kind) return &row;
  if (kind.size() != 4) return nullptr;
  const ControlKind* row = classRow(fourCharCode(kind));
  return row != nullptr && row->name.empty() ? row : nullptr;
}

// Whether writing a control of this kind aims the camera or sets it moving.
constexpr ControlMotion motionOfKind(std::string_view kind) {
  const ControlKind* row = classRowOfKind(kind);
  return row == nullptr ? ControlMotion::None : row->motion;
}

inline constexpr std::string_view panTiltAbsoluteKind = "panTiltAbsolute";
inline constexpr std::string_view panTiltRelativeKind = "panTiltRelative";
static_assert(classRow(classCodeOfKind(panTiltAbsoluteKind))->shape == ControlShape::Position);
static_assert(classRow(classCodeOfKind(panTiltRelativeKind))->shape == ControlShape::Movement);

}  // namespace camknob
