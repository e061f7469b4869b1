// Numbers as the page shows and sends them: values in their shortest form,
// the scale a slider moves along, and the pan/tilt position records.

// The shortest text that reads back as the same 32-bit float (cameras keep
// their values as such): 0.0333000011742115 shows as 0.0333.
export function numberText(number) {
  if (!Number.isFinite(number) || Number.isInteger(number)) return String(number);
  const single = Math.fround(number);
  for (let digits = 1; digits < 17; digits += 1) {
    const shorter = Number(number.toPrecision(digits));
    if (Math.fround(shorter) === single) return String(shorter);
  }
  return String(number);
}

// A value with its unit: "0.0333 s", "4600 K", "12".
export function valueText(number, unit) {
  return unit ? `${numberText(number)} ${unit.symbol}` : numberText(number);
}

export function hasRange(control) {
  return (
    Number.isFinite(control.minimum) &&
    Number.isFinite(control.maximum) &&
    control.minimum < control.maximum
  );
}

function isWhole(control) {
  return Number.isInteger(control.minimum) && Number.isInteger(control.maximum);
}

// Rounds to as many decimals as a thousandth of the span needs.
function roundedToSpan(value, span) {
  const decimals = Math.max(0, Math.min(12, 3 - Math.floor(Math.log10(span))));
  return Number(value.toFixed(decimals));
}

const logSteps = 1000;

// The control's step, when it has one the page can move in.
export function stepOf(control) {
  return Number.isFinite(control.step) && control.step > 0 ? Number(numberText(control.step)) : undefined;
}

// The value nearest to `value` on the control's grid: its minimum and
// whole steps from there, within its range.
export function onGrid(control, value) {
  const step = stepOf(control);
  const { minimum, maximum } = control;
  if (!step || !Number.isFinite(minimum)) return value;
  let snapped = minimum + Math.round((value - minimum) / step) * step;
  if (Number.isFinite(maximum) && snapped > maximum) snapped -= step;
  return Number(Math.max(minimum, snapped).toPrecision(12));
}

// How a slider stands for a value: its own min, max and step, and the value
// of each position and back. A range moves in the control's step; whole
// ranges without one in steps of 1, exposure along a logarithm (its values
// then put on the step's grid).
export function sliderScale(control, logarithmic) {
  const { minimum, maximum } = control;
  const step = stepOf(control);
  const clampedValue = (value) => Math.min(maximum, Math.max(minimum, value));
  if (logarithmic) {
    const low = Math.log(minimum);
    const span = Math.log(maximum) - low;
    return {
      min: 0,
      max: logSteps,
      step: 1,
      toSlider: (value) => Math.round(((Math.log(clampedValue(value)) - low) / span) * logSteps),
      fromSlider: (position) => {
        if (position <= 0) return minimum;
        if (position >= logSteps) return maximum;
        const value = clampedValue(Number(Math.exp(low + (position / logSteps) * span).toPrecision(3)));
        return step ? onGrid(control, value) : value;
      },
    };
  }
  if (step)
    return {
      min: minimum,
      max: maximum,
      step,
      toSlider: (value) => clampedValue(value),
      fromSlider: (position) => onGrid(control, position),
    };
  if (isWhole(control) && control.valueMode !== "absolute")
    return {
      min: minimum,
      max: maximum,
      step: 1,
      toSlider: (value) => clampedValue(value),
      fromSlider: (position) => Math.round(position),
    };
  const span = maximum - minimum;
  return {
    min: minimum,
    max: maximum,
    step: "any",
    toSlider: (value) => clampedValue(value),
    fromSlider: (position) => clampedValue(roundedToSpan(position, span)),
  };
}

function int32At(bytes, at) {
  return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (bytes[at + 3] << 24);
}

const arcSecondsPerDegree = 3600;

// The pan and tilt of an 8-byte position record, in degrees; nothing for a
// record of another length.
export function positionOf(bytes) {
  if (!Array.isArray(bytes) || bytes.length !== 8) return undefined;
  return {
    pan: int32At(bytes, 0) / arcSecondsPerDegree,
    tilt: int32At(bytes, 4) / arcSecondsPerDegree,
  };
}

// The limits of a position record's range (the minimums' record, then the
// maximums'), in degrees.
export function positionRangeOf(bytes) {
  if (!Array.isArray(bytes) || bytes.length !== 16) return undefined;
  const low = positionOf(bytes.slice(0, 8));
  const high = positionOf(bytes.slice(8, 16));
  return { pan: [low.pan, high.pan], tilt: [low.tilt, high.tilt] };
}

// The movement of a 4-byte record: each axis's direction (-1, 0, 1).
export function movementOf(bytes) {
  if (!Array.isArray(bytes) || bytes.length !== 4) return undefined;
  const direction = (byte) => (byte === 1 ? 1 : byte === 255 ? -1 : 0);
  return { pan: direction(bytes[0]), tilt: direction(bytes[2]) };
}
