// "Reset all" of a camera's section: every control that has a default goes
// back to it ({"command": "reset", "device": UID}), after the person agrees.
// Shown once the controls' details say that one has a default.

import { runCommand } from "./api.js";
import { button, element, showMessage } from "./dom.js";

const hasDefault = (control) => typeof control.default === "number" || control.automaticDefault === true;

export function resetAllPart(uid, cameraName) {
  const error = element("p", { className: "error", hidden: true, dataset: { role: "reset-all-error" } });
  error.setAttribute("role", "alert");
  const reset = button("reset-all", "Reset all", ` controls of ${cameraName()}`, "quiet");
  reset.title = "Put every control that has a default back to it";
  reset.addEventListener("click", async () => {
    if (!window.confirm(`Put every control of ${cameraName()} back to its default?`)) return;
    const answer = await runCommand({ command: "reset", device: uid });
    showMessage(error, answer.ok ? "" : answer.document.error);
  });
  const node = element("div", { className: "reset-all", hidden: true }, reset, error);
  return {
    node,
    // Shows it when one of the camera's controls (with their details) has a
    // default.
    show(controls) {
      node.hidden = !controls.some(hasDefault);
    },
  };
}
