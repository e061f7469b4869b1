// A camera's presets: where it points, its zoom and focus, under a name
// (POST /api/v1/presets, .../recall, .../delete; GET /api/v1/presets).

import { getJson, postJson } from "./api.js";
import { button, drawKeyed, element, labelled, showMessage, savedByNameParts } from "./dom.js";

export function presetsBlock(device) {
  const uid = device.uid;
  const { list, error, note, nameField, save } = savedByNameParts(
    "preset",
    "Desk, door, whiteboard…",
    "Save position"
  );

  const say = (answer, done) => {
    showMessage(error, answer.ok ? "" : answer.document.error);
    showMessage(note, answer.ok ? done : "");
    return answer.ok;
  };

  async function refresh() {
    const answer = await getJson(`/api/v1/presets?device=${encodeURIComponent(uid)}`);
    if (!answer.ok) return say(answer);
    const keyOf = (preset) => JSON.stringify(preset);
    drawKeyed(
      list,
      answer.document.presets,
      keyOf,
      (preset) => {
        const body = { name: preset.name, device: uid };
        const recall = button("preset-recall", "Go to", ` ${preset.name}`);
        recall.addEventListener("click", async () => {
          say(await postJson("/api/v1/presets/recall", body), `Went to ${preset.name}.`);
        });
        const remove = button("preset-delete", "Delete", ` preset ${preset.name}`, "quiet");
        remove.addEventListener("click", async () => {
          if (!window.confirm(`Delete the preset ${preset.name}?`)) return;
          if (say(await postJson("/api/v1/presets/delete", body), `Deleted ${preset.name}.`)) await refresh();
        });
        return element(
          "li",
          { dataset: { preset: preset.name } },
          element("span", { className: "saved-name" }, preset.name),
          element("span", { className: "saved-actions" }, recall, remove)
        );
      },
      "No preset yet."
    );
  }

  const form = element(
    "form",
    { className: "save-line", attributes: { "aria-label": "Save a preset" } },
    labelled("Preset name", nameField),
    save
  );
  form.addEventListener("submit", async (event) => {
    event.preventDefault();
    const wanted = nameField.value.trim();
    if (say(await postJson("/api/v1/presets", { name: wanted, device: uid }), `Saved ${wanted}.`)) {
      nameField.value = "";
      await refresh();
    }
  });

  // Closed at first: the presets are asked for when it is first opened, not
  // for every camera while the page is drawn.
  const node = element(
    "details",
    { className: "block presets", dataset: { role: "presets" } },
    element("summary", {}, element("h3", {}, "Presets")),
    element("p", { className: "help" }, "A preset keeps where the camera points, with its zoom and focus."),
    form,
    list,
    note,
    error
  );
  let asked = false;
  node.addEventListener("toggle", () => {
    if (!node.open || asked) return;
    asked = true;
    refresh();
  });
  return {
    node,
    refresh,
    // Whether its presets were asked for (its block opened once).
    get asked() {
      return asked;
    },
  };
}
