// What the page knows of control kinds beyond what the cameras' list says:
// units of values given in absolute units, which kinds are menus or
// switches, which automatic mode sets a value, and which values read best
// on a logarithmic scale. A menu's items and their names are the driver's,
// from the controls' details (details.js).

// Units by the word the details give, and by kind for a value whose
// valueMode is "absolute" when the details give none.
const unitsByWord = {
  seconds: { symbol: "s", word: "seconds" },
  kelvin: { symbol: "K", word: "kelvin" },
  degrees: { symbol: "°", word: "degrees" },
};
const absoluteUnits = {
  exposure: unitsByWord.seconds,
  temperature: unitsByWord.kelvin,
  pan: unitsByWord.degrees,
  tilt: unitsByWord.degrees,
};

export function unitOf(control) {
  if (control.valueMode !== "absolute") return undefined;
  if (typeof control.unit === "string" && control.unit)
    return unitsByWord[control.unit] ?? { symbol: control.unit, word: control.unit };
  return absoluteUnits[control.kind];
}

// Kinds (or the codes that stand for classes without a kind name) that are
// menus: before their details come, or without a menu in them, their items
// are the numbers of their range.
const menuKinds = new Set([
  "powerLineFrequency", "xpam", "cofx", "xpmt", "scen", "afrg", "isoa", "wbpr", "flmd", "flss",
  "jcss", "mdmd", "ornt",
]);

// Switches: V4L2 booleans, 0 or 1.
const offOn = ["Off", "On"];
const switchKinds = new Set([
  "hflp", "vflp", "awbl", "agan", "ahue", "afcs", "cagc", "ckil", "abrt", "bstp", "amut", "alod",
  "priv", "dyfr", "stab", "wdrg",
]);

// The largest range drawn as a list of choices.
const longestMenu = 64;

function itemsOverRange(control, nameOf) {
  const { minimum, maximum } = control;
  if (!Number.isInteger(minimum) || !Number.isInteger(maximum)) return undefined;
  if (minimum < 0 || maximum < minimum || maximum - minimum >= longestMenu) return undefined;
  const items = [];
  for (let value = minimum; value <= maximum; value += 1) items.push({ value, name: nameOf(value) });
  return items;
}

// The items of a menu control, [{value, name}] in the order to show them,
// or nothing when the control is not a menu (or its range does not make
// one).
export function menuItemsOf(control) {
  if (control.valueMode !== "native") return undefined;
  if (Array.isArray(control.menu) && control.menu.length > 0)
    return control.menu.map((item) => ({ value: item.value, name: String(item.name) }));
  if (menuKinds.has(control.kind)) return itemsOverRange(control, String);
  if (switchKinds.has(control.kind)) return itemsOverRange(control, (value) => offOn[value] ?? String(value));
  return undefined;
}

// The name of a value among a menu's items, or nothing.
export function itemName(control, value) {
  return (menuItemsOf(control) ?? []).find((item) => item.value === value)?.name;
}

// What sets a value while its automatic mode is on.
const automaticModes = {
  exposure: "automatic exposure",
  expo: "automatic exposure",
  focus: "autofocus",
  temperature: "automatic white balance",
  whiteBalance: "automatic white balance",
  whiteBalanceU: "automatic white balance",
  whiteBalanceV: "automatic white balance",
  hue: "automatic hue",
  gain: "automatic gain",
  iris: "automatic iris",
  shutter: "automatic exposure",
};

export function automaticModeOf(control) {
  return automaticModes[control.kind] ?? "its automatic mode";
}

// Exposure times span orders of magnitude: the slider moves along their
// logarithm.
const logarithmicKinds = new Set(["exposure", "expo", "shutter"]);

export function isLogarithmic(control) {
  return logarithmicKinds.has(control.kind) && control.minimum > 0;
}

export const panTiltAbsoluteKind = "panTiltAbsolute";
export const panTiltRelativeKind = "panTiltRelative";

// The kinds that make a camera one that pans, tilts or zooms: it gets
// presets.
const aimingKinds = new Set([panTiltAbsoluteKind, panTiltRelativeKind, "pan", "tilt"]);

export function aimsOrMoves(device) {
  return device.controls.some((control) => aimingKinds.has(control.kind));
}
