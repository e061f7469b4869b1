// What each control tells of itself beyond the cameras' list (GET
// /api/v1/details: its step, default, menu items with the driver's names,
// unit), asked for once the controls are drawn and again when a camera
// arrives that the last answer did not cover. The page draws without them
// first and refines its rows when they come.

import { getJson } from "./api.js";

// The details of the cameras seen; `onArrived()` is called when an answer
// brought something new.
export function detailStore(onArrived) {
  const byUid = new Map(); // uid -> Map(objectId -> details of the control)
  const asked = new Set(); // uids a request was made for
  let present = new Set(); // the uids of the latest list
  let inFlight = false;

  async function ask() {
    inFlight = true;
    const answer = await getJson("/api/v1/details");
    inFlight = false;
    if (answer.ok && Array.isArray(answer.document.devices))
      for (const device of answer.document.devices)
        if (present.has(device.uid) && Array.isArray(device.controls))
          byUid.set(device.uid, new Map(device.controls.map((control) => [control.objectId, control])));
    follow();
    onArrived();
  }

  // Forgets the cameras gone (one that comes back may be another) and asks
  // for those neither covered nor asked for.
  function follow() {
    for (const uid of [...asked]) if (!present.has(uid)) asked.delete(uid);
    for (const uid of [...byUid.keys()]) if (!present.has(uid)) byUid.delete(uid);
    const missing = [...present].filter((uid) => !asked.has(uid) && !byUid.has(uid));
    if (missing.length === 0 || inFlight) return;
    for (const uid of missing) asked.add(uid);
    ask();
  }

  return {
    // Follows the cameras of a list document.
    follow(document) {
      present = new Set((document?.devices ?? []).map((device) => device.uid));
      follow();
    },
    // The control with its details merged in (the list's own keys win).
    refined(uid, control) {
      const details = byUid.get(uid)?.get(control.objectId);
      if (!details || details.kind !== control.kind) return control;
      const { objectId, kind, ...extra } = details;
      return { ...extra, ...control };
    },
  };
}
