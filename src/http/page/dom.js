// Small helpers over the DOM: elements made in one call, and ids for labels.

let lastId = 0;

// A new id, unique in the page, for tying a label to its input.
export function newId(prefix) {
  lastId += 1;
  return `${prefix}-${lastId}`;
}

// element("button", {type: "button", dataset: {role: "home"}}, "Home")
// Properties go on the element as properties, except `dataset` (data-*
// attributes), `attributes` (plain attributes) and `on` (event listeners).
export function element(tag, properties = {}, ...children) {
  const made = document.createElement(tag);
  for (const [name, value] of Object.entries(properties)) {
    if (value === undefined || value === null) continue;
    if (name === "dataset") Object.assign(made.dataset, value);
    else if (name === "attributes")
      for (const [attribute, text] of Object.entries(value)) made.setAttribute(attribute, text);
    else if (name === "on")
      for (const [event, listener] of Object.entries(value)) made.addEventListener(event, listener);
    else made[name] = value;
  }
  made.append(...children.filter((child) => child !== null && child !== undefined && child !== false));
  return made;
}

// A button of a data-role, its visible text, and words only screen readers
// hear after it (which name what it acts on).
export function button(role, text, hidden = "", className = undefined) {
  return element("button", { type: "button", className, dataset: { role } }, text, hidden ? hiddenText(hidden) : null);
}

// A unit's symbol beside a number field, or nothing without a unit.
export function unitMark(unit) {
  return unit ? element("span", { className: "unit" }, unit.symbol) : null;
}

// Text for screen readers only (the label of an input whose purpose the row
// already shows).
export function hiddenText(text) {
  return element("span", { className: "hidden-text" }, text);
}

// A label and the input it names, as siblings in a wrapper.
export function labelled(labelText, input, wrapperClass = "field") {
  if (!input.id) input.id = newId("input");
  return element(
    "span",
    { className: wrapperClass },
    element("label", { htmlFor: input.id }, labelText),
    input
  );
}

// Sets the text of the row's message (nothing hides it).
export function showMessage(node, text) {
  node.textContent = text || "";
  node.hidden = !text;
}

// The parts of a block of things saved by name (presets, profiles): their
// list, an error and a note line, the name field and the save button, each
// with its data-role under `what` ("preset-list", "preset-name", ...).
export function savedByNameParts(what, placeholder, saveText) {
  const list = element("ul", { className: "saved-list", dataset: { role: `${what}-list` } });
  const error = element("p", { className: "error", hidden: true, dataset: { role: "error" } });
  error.setAttribute("role", "alert");
  const note = element("p", { className: "note", hidden: true, dataset: { role: "note" } });
  note.setAttribute("role", "status");
  const nameField = element("input", {
    type: "text",
    maxLength: 64,
    autocomplete: "off",
    placeholder,
    dataset: { role: `${what}-name` },
  });
  const save = element("button", { type: "submit", dataset: { role: `${what}-save` } }, saveText);
  return { list, error, note, nameField, save };
}

// Draws `items` into `list`, one child each, keeping the node of an item
// whose key (its name and everything it shows) is unchanged, so that a
// redraw leaves untouched what a person is pointing at or about to click.
// `empty` is the text of the one child of an empty list.
export function drawKeyed(list, items, keyOf, make, empty) {
  const kept = new Map();
  for (const child of list.children) if (child.keyOfItem !== undefined) kept.set(child.keyOfItem, child);
  const nodes = items.map((item) => {
    const key = keyOf(item);
    const node = kept.get(key) || make(item);
    node.keyOfItem = key;
    return node;
  });
  if (nodes.length === 0) nodes.push(element("li", { className: "empty" }, empty));
  const same = nodes.length === list.children.length && nodes.every((node, at) => list.children[at] === node);
  if (!same) list.replaceChildren(...nodes);
}
