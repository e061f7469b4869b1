// The control panel: follows the cameras' states from camknobd's event
// stream and draws a section per camera. Every request goes to the origin
// the page came from, with the session cookie of the login.

import { watchCameras } from "./api.js";
import { cameraView } from "./cameras.js";
import { detailStore } from "./details.js";
import { profileStore } from "./profiles.js";
import { savedFollower } from "./saved.js";

const statusTexts = {
  connecting: "Connecting to camknobd…",
  connected: "Connected to camknobd.",
  reconnecting: "Lost the connection to camknobd. Trying again…",
  waiting: "Lost the connection to camknobd. Trying again in {seconds} s…",
  "signed-out":
    "This page is no longer signed in to camknobd. Open the login link camknobd printed at " +
    "its start, or ask it for a new one.",
};

function start() {
  performance.mark("script-started");
  const status = document.getElementById("connection");
  const cameras = document.getElementById("cameras");
  // The wait before the next try is said once (a countdown would be read
  // out every second).
  const showStatus = (word, nextTry) => {
    status.dataset.state = word;
    const seconds = nextTry === undefined ? 0 : Math.max(1, Math.ceil((nextTry - Date.now()) / 1000));
    status.textContent = seconds ? statusTexts.waiting.replace("{seconds}", String(seconds)) : statusTexts[word];
  };
  showStatus("connecting");

  const profiles = profileStore();
  let latest;
  // The details come after the controls are drawn; the rows take them in
  // place.
  const details = detailStore(() => {
    if (latest) view.show(latest);
    document.body.dataset.details = "true";
  });
  const view = cameraView(cameras, profiles, details);
  let drawn = false;
  watchCameras({
    onStatus: showStatus,
    onDocument(list) {
      latest = list;
      if (!drawn) performance.mark("cameras-arrived");
      const arrived = view.show(list);
      if (!drawn) {
        drawn = true;
        performance.mark("controls-drawn");
        document.body.dataset.ready = "true";
      }
      details.follow(list);
      if (arrived) profiles.refresh();
    },
    onSaved: savedFollower({ profiles: () => profiles.refresh(), presets: () => view.refreshPresets() }),
  });
}

start();
