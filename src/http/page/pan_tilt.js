// The rows of a camera's pan/tilt mechanism: its position (fields in
// degrees, Go and Home), and its movement (a pad of buttons that move the
// camera while pressed, by pointer or arrow keys, at a chosen speed, with
// zoom beside).

import { button, element, hiddenText, labelled, showMessage } from "./dom.js";
import { rowFrame, switchPart } from "./control_rows.js";
import { LatestSender } from "./live_sender.js";
import { hasRange, movementOf, numberText, positionOf, positionRangeOf } from "./values.js";

// The limits camknob's absolute command holds a position to, in degrees.
const commandLimits = { pan: [-145, 145], tilt: [-90, 100] };

function degreesText(number) {
  return `${numberText(Math.round(number * 100) / 100)}°`;
}

// A refusal's message, or nothing after a success.
function answeredInto(frame) {
  return (answer) => showMessage(frame.error, answer.ok ? "" : answer.document.error);
}

function fixedText(text) {
  return element("p", { className: "fixed-value", dataset: { role: "fixed" } }, text);
}

const notSettable = "Read-only: this camera does not let it be changed.";

function onSwitch(control, context, frame, parts) {
  if (!control.onSettable) return;
  parts.on = switchPart(
    control,
    "on",
    "On",
    (enabled) => context.send({ command: "on", device: context.uid, control: control.kind, enabled }),
    (answer) => {
      answeredInto(frame)(answer);
      const reading = context.readingIn(answer.document);
      if (reading && !parts.on.sender.busy) parts.on.input.checked = reading.on === true;
    }
  );
  return parts.on.label;
}

// panTiltAbsolute: where the camera points, and fields to send it elsewhere.
export function positionRow(control, context) {
  const frame = rowFrame(context.uid, control, "pan-tilt");
  const parts = {};
  const readout = element("p", { className: "position", dataset: { role: "position" } });
  let reading = control;
  // Fields typed into keep what was typed until it is sent (Escape gives
  // them the camera's position back).
  const typed = new Set();

  if (!control.nativeDataSettable) {
    frame.body.append(readout, fixedText(notSettable), frame.error);
  } else {
    const range = positionRangeOf(control.nativeDataRange);
    const field = (axis) => {
      const [low, high] = range ? range[axis] : commandLimits[axis];
      const input = element("input", {
        type: "number",
        step: "any",
        min: String(Math.max(low, commandLimits[axis][0])),
        max: String(Math.min(high, commandLimits[axis][1])),
        className: "number",
        dataset: { role: axis },
      });
      input.addEventListener("input", () => {
        typed.add(input);
      });
      input.addEventListener("keydown", (event) => {
        if (event.key === "Enter") go();
        if (event.key === "Escape") {
          typed.delete(input);
          show(reading);
        }
      });
      return input;
    };
    parts.pan = field("pan");
    parts.tilt = field("tilt");
    const sender = new LatestSender(context.send, (answer, change, settled) => {
      answeredInto(frame)(answer);
      if (settled) {
        typed.clear();
        show(context.readingIn(answer.document) ?? reading);
      }
    });
    const go = () => {
      const pan = parts.pan.valueAsNumber;
      const tilt = parts.tilt.valueAsNumber;
      if (!Number.isFinite(pan) || !Number.isFinite(tilt)) {
        showMessage(frame.error, "Give pan and tilt as numbers of degrees.");
        return;
      }
      sender.push({ command: "absolute", device: context.uid, pan, tilt });
    };
    const goButton = button("go", "Go", " to this position");
    goButton.addEventListener("click", go);
    const home = button("home", "Home");
    home.setAttribute("aria-label", "Home: pan 0°, tilt 0°");
    home.addEventListener("click", () => sender.push({ command: "home", device: context.uid }));
    frame.body.append(
      readout,
      element(
        "div",
        { className: "position-fields" },
        labelled("Pan (degrees)", parts.pan),
        labelled("Tilt (degrees)", parts.tilt),
        goButton,
        home
      ),
      element("div", { className: "switches" }, onSwitch(control, context, frame, parts)),
      frame.error
    );
  }

  function show(next) {
    reading = next;
    const position = positionOf(reading.nativeData);
    readout.textContent = position
      ? `Pan ${degreesText(position.pan)}, tilt ${degreesText(position.tilt)}`
      : "The camera does not say where it points.";
    if (position && parts.pan) {
      if (!typed.has(parts.pan)) parts.pan.value = numberText(position.pan);
      if (!typed.has(parts.tilt)) parts.tilt.value = numberText(position.tilt);
    }
    if (parts.on && !parts.on.sender.busy) parts.on.input.checked = reading.on === true;
  }

  show(control);
  return { node: frame.node, update: show };
}

const speeds = [
  { name: "Slow", value: 0.2 },
  { name: "Medium", value: 0.45 },
  { name: "Fast", value: 1 },
];

const directions = [
  { role: "move-up", axis: "tilt", sign: 1, key: "ArrowUp", glyph: "▲", words: "Up" },
  { role: "move-left", axis: "pan", sign: -1, key: "ArrowLeft", glyph: "◀", words: "Left" },
  { role: "move-right", axis: "pan", sign: 1, key: "ArrowRight", glyph: "▶", words: "Right" },
  { role: "move-down", axis: "tilt", sign: -1, key: "ArrowDown", glyph: "▼", words: "Down" },
];

function movementText(bytes) {
  const movement = movementOf(bytes);
  if (!movement) return "";
  const words = [];
  if (movement.pan) words.push(movement.pan > 0 ? "right" : "left");
  if (movement.tilt) words.push(movement.tilt > 0 ? "up" : "down");
  return words.length ? `Moving ${words.join(" and ")}` : "Standing still";
}

// Zoom buttons for the pad: steps of a twentieth of the zoom's range.
function zoomButtons(zoom, context, frame) {
  if (!zoom || !zoom.settable || !hasRange(zoom)) return [];
  const whole = Number.isInteger(zoom.minimum) && Number.isInteger(zoom.maximum);
  const step = whole
    ? Math.max(1, Math.round((zoom.maximum - zoom.minimum) / 20))
    : (zoom.maximum - zoom.minimum) / 20;
  // The zoom's own row sends the steps, after (and added to) the changes of
  // its slider and field, so that they reach the camera in order.
  const sender = new LatestSender(context.send, answeredInto(frame));
  const addStep = (waiting, change) => ({ ...change, delta: waiting.delta + change.delta });
  const zoomButton = (role, glyph, words, sign) => {
    const made = button(role, glyph, ` ${words}`, "zoom");
    made.addEventListener("click", () => {
      if (context.rowOfKind?.("zoom")?.step(sign * step)) return;
      sender.push({ command: "set", device: context.uid, control: "zoom", delta: sign * step }, addStep);
    });
    return made;
  };
  return [zoomButton("zoom-in", "+", "Zoom in", 1), zoomButton("zoom-out", "−", "Zoom out", -1)];
}

// How often a held move is asked again: camknobd stops a move with a lease
// that is not asked again within a second, so a page that goes away (or
// loses its `stop`) leaves no camera turning.
const leaseRenewal = 250;

// panTiltRelative: the pad. The camera moves while a direction is held and
// stops when the last is let go; each change goes as one command, the
// latest after the one on its way, and a move is renewed while held.
export function movementRow(control, context) {
  const frame = rowFrame(context.uid, control, "pan-tilt");
  const state = element("p", { className: "movement", dataset: { role: "movement" } });
  const parts = {};
  if (!control.nativeDataSettable) {
    frame.body.append(state, fixedText(notSettable), frame.error);
    const update = (next) => {
      state.textContent = movementText(next.nativeData);
    };
    update(control);
    return { node: frame.node, update };
  }

  const speed = element("select", { dataset: { role: "speed" } });
  for (const each of speeds) speed.append(element("option", { value: String(each.value) }, each.name));
  speed.value = "0.45";
  const sender = new LatestSender(context.send, answeredInto(frame));
  const pressed = new Set(); // "key:move-right", "pointer:move-left", ...
  let moving = false;
  let renewal;
  const halt = () => {
    clearInterval(renewal);
    renewal = undefined;
    moving = false;
  };
  context.signal.addEventListener("abort", halt);

  const steer = () => {
    const axes = { pan: 0, tilt: 0 };
    for (const each of directions)
      if (pressed.has(`key:${each.role}`) || pressed.has(`pointer:${each.role}`)) axes[each.axis] += each.sign;
    if (axes.pan === 0 && axes.tilt === 0) {
      if (moving) sender.push({ command: "stop", device: context.uid });
      halt();
      return;
    }
    moving = true;
    const move = { command: "move", device: context.uid, ...axes, speed: Number(speed.value), lease: true };
    sender.push(move);
    clearInterval(renewal);
    renewal = setInterval(() => sender.push(move), leaseRenewal);
  };
  const press = (token) => {
    if (pressed.has(token)) return;
    pressed.add(token);
    steer();
  };
  const release = (token) => {
    if (pressed.delete(token)) steer();
  };

  const pad = element("div", { className: "pad", attributes: { role: "group", "aria-label": "Move the camera" } });
  for (const each of directions) {
    const pressable = element(
      "button",
      { type: "button", className: `direction ${each.role}`, dataset: { role: each.role } },
      element("span", { attributes: { "aria-hidden": "true" } }, each.glyph),
      hiddenText(each.words)
    );
    pressable.title = `${each.words} while pressed (or hold the arrow key)`;
    const token = `pointer:${each.role}`;
    pressable.addEventListener("pointerdown", (event) => {
      if (event.button !== 0) return;
      pressable.setPointerCapture(event.pointerId);
      press(token);
    });
    for (const end of ["pointerup", "pointercancel", "lostpointercapture"])
      pressable.addEventListener(end, () => release(token));
    pressable.addEventListener("keydown", (event) => {
      if ((event.key === " " || event.key === "Enter") && !event.repeat) {
        event.preventDefault();
        press(`key:${each.role}`);
      }
    });
    pressable.addEventListener("keyup", (event) => {
      if (event.key === " " || event.key === "Enter") release(`key:${each.role}`);
    });
    pressable.addEventListener("contextmenu", (event) => event.preventDefault());
    pad.append(pressable);
  }
  const stop = button("stop", "Stop", "", "direction stop");
  stop.addEventListener("click", () => {
    pressed.clear();
    halt();
    sender.push({ command: "stop", device: context.uid });
  });
  pad.append(stop);
  pad.addEventListener("keydown", (event) => {
    const direction = directions.find((each) => each.key === event.key);
    if (!direction) return;
    event.preventDefault();
    if (!event.repeat) press(`key:${direction.role}`);
  });
  pad.addEventListener("keyup", (event) => {
    const direction = directions.find((each) => each.key === event.key);
    if (direction) release(`key:${direction.role}`);
  });
  // Keys let go elsewhere never reach the pad: losing the focus stops.
  pad.addEventListener("focusout", (event) => {
    if (pad.contains(event.relatedTarget)) return;
    let any = false;
    for (const token of [...pressed]) if (token.startsWith("key:")) any = pressed.delete(token) || any;
    if (any) steer();
  });
  speed.addEventListener("change", () => {
    if (moving) steer();
  });

  const zoom = zoomButtons(context.device.controls.find((each) => each.kind === "zoom"), context, frame);
  frame.body.append(
    element(
      "div",
      { className: "pad-line" },
      pad,
      zoom.length
        ? element("div", { className: "zoom-buttons", attributes: { role: "group", "aria-label": "Zoom" } }, ...zoom)
        : null
    ),
    element(
      "div",
      { className: "switches" },
      labelled("Speed", speed),
      onSwitch(control, context, frame, parts)
    ),
    state,
    frame.error
  );

  const update = (next) => {
    state.textContent = movementText(next.nativeData);
    if (parts.on && !parts.on.sender.busy) parts.on.input.checked = next.on === true;
  };
  update(control);
  return { node: frame.node, update };
}
