// The cameras of the list document, one section each, kept as the cameras'
// states come: a camera that appears gets its section, one that goes loses
// it, and each control row shows the control's latest reading. A camera
// whose controls changed in kind, range or what can be set is drawn afresh.

import { runCommand } from "./api.js";
import { element, newId } from "./dom.js";
import { fixedRow, valueRow } from "./control_rows.js";
import { aimsOrMoves, panTiltAbsoluteKind, panTiltRelativeKind } from "./kinds.js";
import { movementRow, positionRow } from "./pan_tilt.js";
import { pictureBlock } from "./picture.js";
import { presetsBlock } from "./presets.js";
import { profilesBlock } from "./profiles.js";

// What decides a control's row; any other change is a new reading.
function controlShape(control) {
  return [
    control.objectId, control.kind, control.name, control.settable, control.automaticSettable,
    control.onSettable, control.nativeDataSettable, control.valueMode, control.minimum,
    control.maximum, control.step, control.default, "value" in control, "nativeData" in control,
    control.nativeDataRange,
  ];
}

function cameraShape(device) {
  return JSON.stringify([device.name, device.manufacturer, device.controls.map(controlShape)]);
}

function rowOf(control, context) {
  if (control.kind === panTiltAbsoluteKind) return positionRow(control, context);
  if (control.kind === panTiltRelativeKind) return movementRow(control, context);
  const valued = "value" in control || !("nativeData" in control);
  return valued ? valueRow(control, context) : fixedRow(control, context);
}

function findControl(document, uid, objectId) {
  const device = (document?.devices ?? []).find((each) => each.uid === uid);
  return device?.controls.find((each) => each.objectId === objectId);
}

// A camera's section: its heading, its picture (when switched on) beside its
// control rows, presets when it aims or moves, and its profiles.
function cameraSection(device, profiles) {
  const headingId = newId("camera");
  const rows = new Map(); // objectId -> row
  const controls = element("div", { className: "controls" });
  const facts = element("p", { className: "camera-facts" });
  const heading = element("h2", { id: headingId });
  let latest = device;
  const picture = pictureBlock(
    () => latest,
    (on) => node.classList.toggle("picture-on", on)
  );
  const node = element(
    "section",
    { className: "camera", dataset: { uid: device.uid }, attributes: { "aria-labelledby": headingId } },
    element("header", { className: "camera-head" }, heading, facts),
    element("div", { className: "camera-body" }, picture.node, controls)
  );
  let rowsEnd = new AbortController();
  let shape = "";
  let presets;
  const profileBlock = profilesBlock(device, profiles);
  profiles.add(profileBlock);

  function draw(next) {
    rowsEnd.abort();
    rowsEnd = new AbortController();
    heading.textContent = next.name || "Camera";
    facts.replaceChildren(element("span", { className: "uid", dataset: { role: "uid" } }, next.uid));
    if (next.manufacturer)
      facts.prepend(element("span", { dataset: { role: "manufacturer" } }, next.manufacturer));
    rows.clear();
    const seenKinds = new Set();
    const firstOfKind = new Map(); // kind -> the row camknob's commands reach
    const rowOfKind = (kind) => firstOfKind.get(kind);
    controls.replaceChildren(
      ...next.controls.map((control) => {
        const row = rowOf(control, {
          uid: next.uid,
          device: next,
          duplicate: seenKinds.has(control.kind),
          signal: rowsEnd.signal,
          send: runCommand,
          readingIn: (document) => findControl(document, next.uid, control.objectId),
          rowOfKind,
        });
        if (!seenKinds.has(control.kind)) firstOfKind.set(control.kind, row);
        seenKinds.add(control.kind);
        rows.set(control.objectId, row);
        return row.node;
      })
    );
    if (next.controls.length === 0)
      controls.append(element("p", { className: "empty" }, "This camera has no controls."));
    if (aimsOrMoves(next) && !presets) {
      presets = presetsBlock(next);
      node.append(presets.node);
    } else if (!aimsOrMoves(next) && presets) {
      presets.node.remove();
      presets = undefined;
    }
    node.append(profileBlock.node);
  }

  return {
    node,
    show(next) {
      latest = next;
      const nextShape = cameraShape(next);
      if (nextShape !== shape) {
        shape = nextShape;
        draw(next);
        return;
      }
      for (const control of next.controls) rows.get(control.objectId)?.update(control);
    },
    remove() {
      picture.remove();
      rowsEnd.abort();
      profiles.remove(profileBlock);
      node.remove();
    },
  };
}

// The view of every camera in `container`; `show(document)` brings it to a
// state of the list.
export function cameraView(container, profiles) {
  const sections = new Map(); // uid -> section
  const none = element("p", { className: "empty", dataset: { role: "no-camera" } }, "No camera is attached.");
  return {
    show(document) {
      const devices = Array.isArray(document.devices) ? document.devices : [];
      const present = new Set(devices.map((device) => device.uid));
      for (const [uid, section] of sections)
        if (!present.has(uid)) {
          section.remove();
          sections.delete(uid);
        }
      let arrived = false;
      const order = [];
      for (const device of devices) {
        if (sections.has(device.uid) && order.includes(device.uid)) continue; // a uid twice
        let section = sections.get(device.uid);
        if (!section) {
          section = cameraSection(device, profiles);
          sections.set(device.uid, section);
          arrived = true;
        }
        section.show(device);
        order.push(device.uid);
      }
      const wanted = order.map((uid) => sections.get(uid).node);
      if (wanted.length === 0) wanted.push(none);
      if (wanted.some((node, at) => container.children[at] !== node) || container.children.length !== wanted.length)
        container.replaceChildren(...wanted);
      return arrived;
    },
  };
}
