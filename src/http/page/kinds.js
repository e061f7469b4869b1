// What the page knows of control kinds beyond what the cameras' list says:
// units of values given in absolute units, the names of menu items, which
// automatic mode sets a value, and which values read best on a logarithmic
// scale. Menu item names are those V4L2 gives its standard menus; a camera
// that offers an item beyond them shows it by number.

// The unit of a value whose valueMode is "absolute".
const absoluteUnits = {
  exposure: { symbol: "s", word: "seconds" },
  temperature: { symbol: "K", word: "kelvin" },
  pan: { symbol: "°", word: "degrees" },
  tilt: { symbol: "°", word: "degrees" },
};

export function unitOf(control) {
  return control.valueMode === "absolute" ? absoluteUnits[control.kind] : undefined;
}

const offOn = ["Off", "On"];

// Menus by kind (or by the code that stands for a class without a kind
// name): item names by index.
const menus = {
  powerLineFrequency: ["Disabled", "50 Hz", "60 Hz", "Auto"],
  xpam: ["Auto", "Manual", "Shutter priority", "Aperture priority"],
  cofx: [
    "None", "Black and white", "Sepia", "Negative", "Emboss", "Sketch", "Sky blue",
    "Grass green", "Skin whiten", "Vivid", "Aqua", "Art freeze", "Silhouette",
    "Solarization", "Antique", "Set Cb/Cr",
  ],
  xpmt: ["Average", "Center weighted", "Spot", "Matrix"],
  scen: [
    "None", "Backlight", "Beach/snow", "Candle light", "Dusk/dawn", "Fall colors",
    "Fireworks", "Landscape", "Night", "Party/indoor", "Portrait", "Sports", "Sunset", "Text",
  ],
  afrg: ["Auto", "Normal", "Macro", "Infinity"],
  isoa: ["Manual", "Auto"],
  wbpr: [
    "Manual", "Auto", "Incandescent", "Fluorescent", "Fluorescent H", "Horizon", "Daylight",
    "Flash", "Cloudy", "Shade",
  ],
  flmd: ["Off", "Flash", "Torch"],
  flss: ["Software", "External"],
  jcss: ["4:4:4", "4:2:2", "4:2:0", "4:1:1", "4:1:0", "Gray"],
  mdmd: ["Disabled", "Global", "Threshold grid", "Region grid"],
  ornt: ["Front", "Back", "External"],
  // Switches: V4L2 booleans, 0 or 1.
  hflp: offOn, vflp: offOn, awbl: offOn, agan: offOn, ahue: offOn, afcs: offOn,
  cagc: offOn, ckil: offOn, abrt: offOn, bstp: offOn, amut: offOn, alod: offOn,
  priv: offOn, dyfr: offOn, stab: offOn, wdrg: offOn,
};

// The largest menu drawn as a list of choices.
const longestMenu = 64;

// The items of a menu control, [{value, name}], or nothing when the control
// is not a menu (or its range does not make one).
export function menuItemsOf(control) {
  const names = menus[control.kind];
  const { minimum, maximum } = control;
  if (!names || control.valueMode !== "native") return undefined;
  if (!Number.isInteger(minimum) || !Number.isInteger(maximum)) return undefined;
  if (minimum < 0 || maximum < minimum || maximum - minimum >= longestMenu) return undefined;
  const items = [];
  for (let value = minimum; value <= maximum; value += 1)
    items.push({ value, name: names[value] ?? `Item ${value}` });
  return items;
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
