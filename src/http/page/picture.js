// A camera's picture, from the browser's own access to it: off until its
// user switches it on, so that nothing asks for a camera before. The video
// input is the one whose label is the camera's name (Linux browsers add the
// USB ids, " (046d:085e)", which tell two cameras of one name apart where
// the uid has them too); when none is, the user picks one. The picture
// stops when switched off, when the camera goes and while the tab is hidden.

import { element, labelled, showMessage } from "./dom.js";

const usbIds = /([0-9a-f]{4}):([0-9a-f]{4})/i;
const labelIds = /\s*\(([0-9a-f]{4}):([0-9a-f]{4})\)\s*$/i;

// The USB ids in a text, "046d:085e" in lower case, or nothing.
function idsIn(text, pattern) {
  const found = pattern.exec(text || "");
  return found ? `${found[1]}:${found[2]}`.toLowerCase() : undefined;
}

// The video inputs that are this camera: those named as it is, and of them
// the ones whose USB ids (if their label gives them) are the uid's.
export function matchingInputs(device, inputs) {
  const name = (device.name || "").trim().toLowerCase();
  if (!name) return [];
  const wantedIds = idsIn(device.uid, usbIds);
  return inputs.filter((input) => {
    const label = input.label || "";
    const ids = idsIn(label, labelIds);
    if (label.replace(labelIds, "").trim().toLowerCase() !== name) return false;
    return !ids || !wantedIds || ids === wantedIds;
  });
}

// Why the browser gave no picture, in words for the person.
const insecure =
  "This browser gives no camera to this page: it does so only for a secure origin. Open the " +
  "page at http://127.0.0.1 or http://localhost (camknobd's default --listen address) for " +
  "the picture; a page served at an address of the network gets none.";

const faultTexts = {
  NotAllowedError: "The browser was not allowed to use the camera.",
  SecurityError: "The browser was not allowed to use the camera.",
  NotReadableError: "The camera is in use by another program, or the system refused it to the browser.",
  AbortError: "The camera could not be started.",
  NotFoundError: "The browser finds no camera.",
  OverconstrainedError: "The browser no longer has this video input.",
};

function faultText(fault) {
  const known = faultTexts[fault?.name];
  return known ?? `The picture could not be started${fault?.message ? `: ${fault.message}` : "."}`;
}

function stopStream(stream) {
  if (stream) for (const track of stream.getTracks()) track.stop();
}

// The block of a camera's picture: `device()` gives the camera's latest
// state, `shown(on)` hears whether a picture is shown; `remove()` stops the
// picture for good.
export function pictureBlock(device, shown = () => {}) {
  const toggle = element("input", { type: "checkbox", dataset: { role: "picture" } });
  const video = element("video", {
    autoplay: true,
    muted: true,
    playsInline: true,
    hidden: true,
    dataset: { role: "picture-video" },
  });
  video.setAttribute("aria-label", "The camera's picture");
  const message = element("p", { className: "note", hidden: true, dataset: { role: "picture-message" } });
  message.setAttribute("role", "status");
  const source = element("select", { dataset: { role: "picture-source" } });
  const sourceLine = labelled("Video input", source, "field picture-source");
  sourceLine.hidden = true;

  let stream;
  let chosen; // a deviceId the user picked
  let attempt = 0; // each start counts one; an older start's stream is dropped

  const showing = () => toggle.checked && document.visibilityState !== "hidden";

  function stop() {
    attempt += 1;
    stopStream(stream);
    stream = undefined;
    video.srcObject = null;
    video.hidden = true;
    shown(false);
  }

  function offerInputs(inputs, selected) {
    source.replaceChildren(
      element("option", { value: "" }, "Choose a video input…"),
      ...inputs.map((input, at) => element("option", { value: input.deviceId }, input.label || `Video input ${at + 1}`))
    );
    source.value = selected ?? "";
    sourceLine.hidden = false;
  }

  async function start() {
    stop();
    const mine = attempt;
    const current = () => mine === attempt && showing();
    showMessage(message, "");
    sourceLine.hidden = true;
    const media = navigator.mediaDevices;
    if (!media || typeof media.getUserMedia !== "function") {
      showMessage(message, insecure);
      return;
    }
    let opened;
    try {
      opened = await media.getUserMedia({ video: chosen ? { deviceId: { exact: chosen } } : true });
      if (!current()) return stopStream(opened);
      const inputs = (await media.enumerateDevices()).filter((each) => each.kind === "videoinput");
      if (!current()) return stopStream(opened);
      const openedId = opened.getVideoTracks()[0]?.getSettings().deviceId;
      let wanted = chosen;
      if (!wanted) {
        const matches = matchingInputs(device(), inputs);
        if (matches.length === 0) {
          stopStream(opened);
          showMessage(
            message,
            `The browser has no video input named ${device().name || "as this camera is"}: choose the one ` +
              "that is this camera."
          );
          offerInputs(inputs);
          return;
        }
        wanted = matches[0].deviceId;
        if (matches.length > 1) offerInputs(inputs, wanted);
      } else offerInputs(inputs, wanted);
      if (openedId !== wanted) {
        stopStream(opened);
        opened = undefined;
        opened = await media.getUserMedia({ video: { deviceId: { exact: wanted } } });
        if (!current()) return stopStream(opened);
      }
    } catch (fault) {
      stopStream(opened);
      if (current()) showMessage(message, faultText(fault));
      return;
    }
    stream = opened;
    video.srcObject = stream;
    video.hidden = false;
    shown(true);
    video.play().catch(() => {});
  }

  toggle.addEventListener("change", () => (toggle.checked ? start() : stop()));
  source.addEventListener("change", () => {
    chosen = source.value || undefined;
    if (toggle.checked) start();
  });
  const visibility = () => {
    if (!toggle.checked) return;
    if (document.visibilityState === "hidden") stop();
    else if (!stream) start();
  };
  document.addEventListener("visibilitychange", visibility);

  const node = element(
    "div",
    { className: "picture", dataset: { role: "picture-block" } },
    element("label", { className: "switch" }, toggle, "Show picture"),
    video,
    message,
    sourceLine
  );
  return {
    node,
    remove() {
      document.removeEventListener("visibilitychange", visibility);
      toggle.checked = false;
      stop();
    },
  };
}
