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
import { resetAllPart } from "./reset_all.js";

// What decides a control's row; any other change is a new reading.
function controlShape(control) {
  return [
    control.objectId, control.kind, control.name, control.settable, control.automaticSettable,
    control.onSettable, control.nativeDataSettable, control.valueMode, control.minimum,
    control.maximum, control.step, control.default, "value" in control, "nativeData" in control,
    control.nativeDataRange, control.menu, control.unit, control.automaticDefault,
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

// How long a row its user is changing waits for its details (ms).
const refineAgain = 250;

function findControl(document, uid, objectId) {
  const device = (document?.devices ?? []).find((each) => each.uid === uid);
  return device?.controls.find((each) => each.objectId === objectId);
}

// A camera's section: its heading, its picture (when switched on) beside its
// control rows, presets when it aims or moves, and its profiles.
function cameraSection(device, profiles) {
  const headingId = newId("camera");
  const rows = new Map(); // objectId -> {row, end, shape, duplicate}
  const controls = element("div", { className: "controls" });
  const facts = element("p", { className: "camera-facts" });
  const heading = element("h2", { id: headingId });
  let latest = device;
  const resetAll = resetAllPart(device.uid, () => latest.name || "this camera");
  const picture = pictureBlock(
    () => latest,
    (on) => node.classList.toggle("picture-on", on)
  );
  const node = element(
    "section",
    { className: "camera", dataset: { uid: device.uid }, attributes: { "aria-labelledby": headingId } },
    element("header", { className: "camera-head" }, heading, facts, resetAll.node),
    element("div", { className: "camera-body" }, picture.node, controls)
  );
  let shape = "";
  let presets;
  const profileBlock = profilesBlock(device, profiles);
  profiles.add(profileBlock);
  const firstOfKind = new Map(); // kind -> the objectId of the row camknob's commands reach
  const rowOfKind = (kind) => rows.get(firstOfKind.get(kind))?.row;

  // A control's row, with what ends its listeners and the shape it was
  // drawn for.
  function made(control, next, duplicate) {
    const end = new AbortController();
    const row = rowOf(control, {
      uid: next.uid,
      device: next,
      duplicate,
      signal: end.signal,
      send: runCommand,
      readingIn: (document) => findControl(document, next.uid, control.objectId),
      rowOfKind,
    });
    return { row, end, shape: JSON.stringify(controlShape(control)), duplicate };
  }

  function forgetRows() {
    for (const each of rows.values()) each.end.abort();
    rows.clear();
    firstOfKind.clear();
  }

  // Redraws, in place, each row whose shape its details changed, except
  // one its user is changing: that one is looked at again a little later.
  let again;
  let latestFull; // the camera with its details, as last shown
  function refine(next) {
    clearTimeout(again);
    let deferred = false;
    for (const control of next.controls) {
      const drawn = rows.get(control.objectId);
      if (!drawn || drawn.shape === JSON.stringify(controlShape(control))) continue;
      if (drawn.row.busy) {
        deferred = true;
        continue;
      }
      drawn.end.abort();
      const fresh = made(control, next, drawn.duplicate);
      drawn.row.node.replaceWith(fresh.row.node);
      rows.set(control.objectId, fresh);
    }
    if (deferred) again = setTimeout(() => refine(latestFull), refineAgain);
  }

  function draw(next) {
    clearTimeout(again);
    forgetRows();
    heading.textContent = next.name || "Camera";
    facts.replaceChildren(element("span", { className: "uid", dataset: { role: "uid" } }, next.uid));
    if (next.manufacturer)
      facts.prepend(element("span", { dataset: { role: "manufacturer" } }, next.manufacturer));
    controls.replaceChildren(
      ...next.controls.map((control) => {
        const duplicate = firstOfKind.has(control.kind);
        const drawn = made(control, next, duplicate);
        if (!duplicate) firstOfKind.set(control.kind, control.objectId);
        rows.set(control.objectId, drawn);
        return drawn.row.node;
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
    // `next`: the camera as the list gives it; `refined(control)` adds the
    // control's details, where they have come.
    show(next, refined) {
      latest = next;
      const nextShape = cameraShape(next);
      const full = { ...next, controls: next.controls.map(refined) };
      latestFull = full;
      if (nextShape !== shape) {
        shape = nextShape;
        draw(full);
        resetAll.show(full.controls);
        return;
      }
      resetAll.show(full.controls);
      refine(full);
      for (const control of next.controls) rows.get(control.objectId)?.row.update(control);
    },
    // Lists the presets again, where their block has been opened.
    refreshPresets() {
      if (presets?.asked) presets.refresh();
    },
    remove() {
      clearTimeout(again);
      picture.remove();
      forgetRows();
      profiles.remove(profileBlock);
      node.remove();
    },
  };
}

// The view of every camera in `container`; `show(document)` brings it to a
// state of the list.
export function cameraView(container, profiles, details) {
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
        section.show(device, (control) => details.refined(device.uid, control));
        order.push(device.uid);
      }
      const wanted = order.map((uid) => sections.get(uid).node);
      if (wanted.length === 0) wanted.push(none);
      if (wanted.some((node, at) => container.children[at] !== node) || container.children.length !== wanted.length)
        container.replaceChildren(...wanted);
      return arrived;
    },
    refreshPresets() {
      for (const section of sections.values()) section.refreshPresets();
    },
  };
}
