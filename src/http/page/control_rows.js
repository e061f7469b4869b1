// One row per control of the value shape: a slider with a number field for a
// value with a range, a choice for a menu, a number field for a value without
// one, a text saying why for what cannot be changed; beside them a switch for
// the automatic mode and one for on/off where the camera has them. A row
// shows what the camera reports, except while its user is changing it.

import { button, element, hiddenText, newId, showMessage, unitMark } from "./dom.js";
import { automaticModeOf, isLogarithmic, itemName, menuItemsOf, unitOf } from "./kinds.js";
import { LatestSender } from "./live_sender.js";
import { hasRange, numberText, sliderScale, stepOf, valueText } from "./values.js";

// The value widget a control gets. camknob's commands reach the first
// control of a kind on a camera: a later one is only shown.
export function valueWidgetOf(control, duplicate = false) {
  if (!control.settable || duplicate) return "text";
  if (menuItemsOf(control)) return "menu";
  if (hasRange(control)) return "slider";
  return "number";
}

// The default a reset goes back to, in words: "50 Hz", "0.0156 s",
// "automatic (4600)", or nothing without one.
function defaultTextOf(control, unit) {
  const value = typeof control.default === "number"
    ? itemName(control, control.default) ?? valueText(control.default, unit)
    : undefined;
  if (control.automaticDefault !== true) return value;
  return value === undefined ? "automatic" : `automatic (${value})`;
}

// Why a control's value cannot be changed here, or nothing when it can.
function fixedReason(control, duplicate) {
  if (duplicate) return "Only the first control of this kind on a camera can be changed.";
  if (control.settable) return undefined;
  if (control.value === undefined) return "The camera gives no reading of this value.";
  return "Read-only: this camera does not let it be changed.";
}

// The parts of a row that every control row has: its frame, labelled by the
// control's name, and the place for a refusal's message.
export function rowFrame(uid, control, extraClass = "") {
  const nameId = newId("control");
  const error = element("p", { className: "error", hidden: true, dataset: { role: "error" } });
  error.setAttribute("role", "alert");
  const body = element("div", { className: "control-body" });
  const node = element(
    "div",
    {
      className: `control ${extraClass}`.trim(),
      dataset: { uid, kind: control.kind, objectId: String(control.objectId) },
      attributes: { role: "group", "aria-labelledby": nameId },
    },
    element("div", { className: "control-name", id: nameId }, control.name || control.kind),
    body
  );
  return { node, body, error, nameId };
}

// A switch of the row ("Automatic", "On") and the sender of its changes.
export function switchPart(control, role, text, send, onAnswer) {
  const input = element("input", { type: "checkbox", dataset: { role } });
  const sender = new LatestSender(send, onAnswer);
  input.addEventListener("change", () => sender.push(input.checked));
  const label = element(
    "label",
    { className: "switch" },
    input,
    hiddenText(`${control.name || control.kind}: `),
    text
  );
  return { input, sender, label };
}

// A row for a control of the value shape. `context` has the camera's uid,
// `send(body)` for its commands, `readingIn(document)` that finds this
// control in an answer's document, `duplicate` for a control whose kind came
// before on the camera, and the `signal` that ends the row's listeners.
export function valueRow(control, context) {
  const { uid } = context;
  const frame = rowFrame(uid, control);
  const unit = unitOf(control);
  const widget = valueWidgetOf(control, context.duplicate);
  const reason = element("p", { className: "reason", hidden: true, dataset: { role: "reason" } });
  let reading = control;
  let dragging = false;
  let typing = false;
  let lastPushed;

  const command = (body) => context.send({ device: uid, control: control.kind, ...body });
  const readingOf = (answer) => context.readingIn(answer.document) ?? reading;

  const parts = {};
  const answered = (answer, change, settled) => {
    if (!answer.ok) {
      showMessage(frame.error, answer.document.error);
      reading = readingOf(answer);
      lastPushed = undefined;
      show(true);
      return;
    }
    showMessage(frame.error, "");
    reading = readingOf(answer);
    if (settled) show(false);
  };

  // A change is {value}, {delta} or {reset: true}: a step waiting adds to
  // the change before it.
  const valueSender = new LatestSender(
    (change) => command(change.reset ? { command: "reset" } : { command: "set", ...change }),
    answered
  );
  const pushValue = (value) => {
    if (!Number.isFinite(value)) return;
    lastPushed = value;
    valueSender.push({ value });
  };
  const clamped = (value) =>
    hasRange(control) ? Math.min(control.maximum, Math.max(control.minimum, value)) : value;
  const addStep = (waiting, change) => {
    if ("delta" in waiting) return { delta: waiting.delta + change.delta };
    if (waiting.reset) return typeof control.default === "number" ? { value: clamped(control.default + change.delta) } : change;
    return { value: clamped(waiting.value + change.delta) };
  };
  const pushStep = (delta) => {
    lastPushed = undefined;
    valueSender.push({ delta }, addStep);
  };

  const rangeText = hasRange(control) && widget !== "menu"
    ? `${valueText(control.minimum, unit)} to ${valueText(control.maximum, unit)}`
    : "";

  if (widget === "slider") {
    const logarithmic = isLogarithmic(control);
    const scale = sliderScale(control, logarithmic);
    const slider = element("input", {
      type: "range",
      min: String(scale.min),
      max: String(scale.max),
      step: String(scale.step),
      dataset: { role: "value" },
    });
    slider.setAttribute("aria-labelledby", frame.nameId);
    const number = element("input", {
      type: "number",
      step: scale.step === "any" || logarithmic ? String(stepOf(control) ?? "any") : String(scale.step),
      className: "number",
      dataset: { role: "value-number" },
    });
    number.setAttribute("aria-label", `${control.name || control.kind}${unit ? ` in ${unit.word}` : ""}`);
    if (logarithmic) slider.dataset.scale = "logarithmic";
    slider.addEventListener("pointerdown", () => {
      dragging = true;
    });
    const dropped = () => {
      if (!dragging) return;
      dragging = false;
      if (!valueSender.busy) show(false);
    };
    window.addEventListener("pointerup", dropped, { signal: context.signal });
    window.addEventListener("pointercancel", dropped, { signal: context.signal });
    slider.addEventListener("input", () => {
      const value = scale.fromSlider(slider.valueAsNumber);
      number.value = numberText(value);
      slider.setAttribute("aria-valuetext", valueText(value, unit));
      pushValue(value);
    });
    slider.addEventListener("change", () => {
      const value = scale.fromSlider(slider.valueAsNumber);
      if (value !== lastPushed) pushValue(value);
    });
    number.addEventListener("input", () => {
      typing = true;
    });
    number.addEventListener("change", () => {
      typing = false;
      if (number.value.trim() === "") return show(true);
      pushValue(number.valueAsNumber);
    });
    number.addEventListener("blur", () => {
      if (!typing) return;
      typing = false;
      show(false);
    });
    parts.slider = slider;
    parts.number = number;
    parts.scale = scale;
    frame.body.append(
      element(
        "div",
        { className: "value-line" },
        slider,
        element("span", { className: "number-field" }, number, unitMark(unit))
      )
    );
  } else if (widget === "menu") {
    const select = element("select", { dataset: { role: "menu" } });
    for (const item of menuItemsOf(control))
      select.append(element("option", { value: String(item.value) }, item.name));
    select.setAttribute("aria-labelledby", frame.nameId);
    select.addEventListener("change", () => pushValue(Number(select.value)));
    parts.select = select;
    frame.body.append(element("div", { className: "value-line" }, select));
  } else if (widget === "number") {
    const number = element("input", {
      type: "number",
      step: String(stepOf(control) ?? "any"),
      className: "number",
      dataset: { role: "value-number" },
    });
    number.setAttribute("aria-labelledby", frame.nameId);
    number.addEventListener("input", () => {
      typing = true;
    });
    number.addEventListener("change", () => {
      typing = false;
      if (number.value.trim() !== "") pushValue(number.valueAsNumber);
    });
    parts.number = number;
    frame.body.append(
      element("div", { className: "value-line" }, number, unitMark(unit))
    );
  } else {
    parts.text = element("p", { className: "fixed-value", dataset: { role: "fixed" } });
    frame.body.append(parts.text);
  }

  const defaultText = defaultTextOf(control, unit);
  if (defaultText && widget !== "text") {
    const reset = button("reset", "Reset", ` ${control.name || control.kind} to ${defaultText}`, "quiet");
    reset.title = `Back to the default: ${defaultText}`;
    reset.addEventListener("click", () => {
      lastPushed = undefined;
      valueSender.push({ reset: true });
    });
    parts.reset = reset;
  }

  const switches = element("div", { className: "switches" });
  if (control.automaticSettable && !context.duplicate) {
    parts.automatic = switchPart(
      control,
      "automatic",
      "Automatic",
      (enabled) => command({ command: "auto", enabled }),
      answered
    );
    switches.append(parts.automatic.label);
  }
  if (control.onSettable && !context.duplicate) {
    parts.on = switchPart(control, "on", "On", (enabled) => command({ command: "on", enabled }), answered);
    switches.append(parts.on.label);
  }
  if (switches.childElementCount > 0) frame.body.append(switches);

  const facts = [];
  if (rangeText) facts.push(`Range ${rangeText}`);
  if (typeof control.step === "number") facts.push(`step ${valueText(control.step, unit)}`);
  if (defaultText) facts.push(`default ${defaultText}`);
  const factLine = element("p", { className: "facts", dataset: { role: "range" } }, facts.join(", "));
  if (widget !== "text" && facts.length > 0)
    frame.body.append(parts.reset ? element("div", { className: "fact-line" }, factLine, parts.reset) : factLine);
  frame.body.append(reason, frame.error);

  // Shows the reading; `force` also over what the user is changing.
  function show(force) {
    const busy = valueSender.busy || dragging || typing;
    const held = reading.automatic === true;
    const why = held ? `Set by ${automaticModeOf(reading)}.` : "";
    showMessage(reason, widget === "text" ? "" : why);
    for (const input of [parts.slider, parts.number, parts.select])
      if (input) input.disabled = held;
    if (force || !busy) {
      const value = reading.value;
      if (parts.slider && value !== undefined) {
        parts.slider.value = String(parts.scale.toSlider(value));
        parts.slider.setAttribute("aria-valuetext", valueText(value, unit));
      }
      if (parts.number) parts.number.value = value === undefined ? "" : numberText(value);
      if (parts.select && value !== undefined) {
        const text = String(value);
        if (![...parts.select.options].some((option) => option.value === text))
          parts.select.append(element("option", { value: text }, `Item ${text}`));
        parts.select.value = text;
      }
      if (force) typing = false;
    }
    if (parts.text) {
      const shown = reading.value === undefined ? "" : `${valueText(reading.value, unit)}. `;
      const why =
        reading.automatic === true
          ? `Set by ${automaticModeOf(reading)}.`
          : fixedReason(reading, context.duplicate);
      parts.text.textContent = `${shown}${why}`;
    }
    for (const part of [parts.automatic, parts.on]) {
      if (!part || (!force && part.sender.busy)) continue;
      const state = part === parts.automatic ? reading.automatic : reading.on;
      part.input.checked = state === true;
    }
  }

  show(true);
  return {
    node: frame.node,
    update(next) {
      reading = next;
      show(false);
    },
    // Whether its user is changing it, or a change is on its way.
    get busy() {
      return valueSender.busy || dragging || typing || [parts.automatic, parts.on].some((part) => part?.sender.busy);
    },
    // Moves the value by `delta` from where the changes sent before it leave
    // it (the zoom buttons beside the pad); nothing when it cannot change.
    step(delta) {
      if (widget === "text" || reading.automatic === true) return false;
      pushStep(delta);
      return true;
    },
  };
}

// A row for a control of a shape the page does not change (raw data of a
// class it does not know): its name and why.
export function fixedRow(control, context) {
  const frame = rowFrame(context.uid, control);
  frame.body.append(
    element(
      "p",
      { className: "fixed-value", dataset: { role: "fixed" } },
      "The camera gives this control as raw data, which this page does not change."
    ),
    frame.error
  );
  return { node: frame.node, update() {} };
}
