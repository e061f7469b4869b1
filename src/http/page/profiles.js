// Profiles: a camera's settings saved under a name, applied again, or held
// (camknobd keeps the camera at the profile). One list serves every camera
// (GET /api/v1/profiles); each camera's block shows it with that camera's
// hold marked.

import { getJson, postJson } from "./api.js";
import { button, drawKeyed, element, labelled, showMessage, savedByNameParts } from "./dom.js";

// The profiles as camknobd last listed them, and the blocks that show them.
export function profileStore() {
  const blocks = new Set();
  let profiles = [];
  let fault = "";
  return {
    get profiles() {
      return profiles;
    },
    get fault() {
      return fault;
    },
    add(block) {
      blocks.add(block);
      block.draw();
    },
    remove(block) {
      blocks.delete(block);
    },
    async refresh() {
      const answer = await getJson("/api/v1/profiles");
      fault = answer.ok ? "" : answer.document.error;
      if (answer.ok) profiles = answer.document.profiles;
      for (const block of blocks) block.draw();
    },
  };
}

// The messages of an apply's refused steps: "zoom: Failed to set zoom: ...".
function refusals(document) {
  const steps = Array.isArray(document.controls) ? document.controls : [];
  return steps
    .filter((step) => step.result === "refused" || step.result === "differs")
    .map((step) =>
      step.result === "refused" ? step.error : `${step.kind} reads another ${step.property} than the profile's`
    );
}

export function profilesBlock(device, store) {
  const uid = device.uid;
  const { list, error, note, nameField, save } = savedByNameParts(
    "profile",
    "Day, evening, meeting…",
    "Save settings"
  );

  const say = (answer, done) => {
    const details = answer.ok ? [] : refusals(answer.document);
    showMessage(error, answer.ok ? "" : [answer.document.error, ...details].join(" "));
    showMessage(note, answer.ok ? done : "");
    return answer.ok;
  };
  const act = async (path, body, done) => {
    say(await postJson(path, body), done);
    await store.refresh();
  };

  function entry(profile) {
    const held = profile.heldBy.includes(uid);
    const item = element(
      "li",
      { dataset: { profile: profile.name, held: String(held) } },
      element("span", { className: "saved-name" }, profile.name),
      held ? element("span", { className: "held-mark", dataset: { role: "held-mark" } }, "Held") : null,
      profile.uid && profile.uid !== uid
        ? element("span", { className: "saved-from" }, `saved from ${profile.camera}`)
        : null,
      profile.error ? element("span", { className: "saved-from" }, `cannot be used: ${profile.error}`) : null
    );
    const actions = element("span", { className: "saved-actions" });
    const name = profile.name;
    // `question`: what to ask before an action that cannot be undone.
    const action = (role, text, path, body, done, className, question) => {
      const made = button(role, text, ` ${name}`, className);
      made.addEventListener("click", () => {
        if (question && !window.confirm(question)) return;
        act(path, body, done);
      });
      actions.append(made);
    };
    if (!profile.error) {
      action("profile-apply", "Apply", "/api/v1/profiles/apply", { name, device: uid }, `Applied ${name}.`);
      if (held)
        action("profile-release", "Release", "/api/v1/holds/release", { device: uid },
          `Released ${name}: the camera is free to change.`);
      else
        action("profile-hold", "Hold", "/api/v1/holds", { profile: name, device: uid },
          `Holding ${name}: camknobd keeps the camera at it.`);
    }
    action("profile-delete", "Delete", "/api/v1/profiles/delete", { name }, `Deleted ${name}.`, "quiet",
      `Delete the profile ${name}? It is gone for every camera.`);
    item.append(actions);
    return item;
  }

  const form = element(
    "form",
    { className: "save-line", attributes: { "aria-label": "Save a profile" } },
    labelled("Profile name", nameField),
    save
  );
  form.addEventListener("submit", async (event) => {
    event.preventDefault();
    const wanted = nameField.value.trim();
    const answer = await postJson("/api/v1/profiles", { name: wanted, device: uid });
    if (say(answer, `Saved this camera's settings as ${wanted}.`)) nameField.value = "";
    await store.refresh();
  });

  const block = {
    node: element(
      "section",
      { className: "block profiles", dataset: { role: "profiles" } },
      element("h3", {}, "Profiles"),
      element(
        "p",
        { className: "help" },
        "A profile keeps this camera's settings under a name. Hold keeps the camera at a " +
          "profile: camknobd puts its settings back whenever they change or the camera comes back."
      ),
      form,
      list,
      note,
      error
    ),
    draw() {
      if (store.fault) showMessage(error, store.fault);
      const keyOf = (profile) => JSON.stringify([profile, profile.heldBy.includes(uid)]);
      drawKeyed(list, store.profiles, keyOf, entry, "No profile yet.");
    },
  };
  return block;
}
