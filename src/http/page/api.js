// camknobd's HTTP API as the page uses it: from the same origin, with the
// session cookie the login set, JSON in and out.

const notAnswering = "camknobd is not answering.";

// The answer of a request: the HTTP status (0 when there was none), whether
// it succeeded, and its document ({ok: false, error} when it has none).
async function call(method, path, body) {
  const options = { method, headers: {}, cache: "no-store" };
  if (body !== undefined) {
    options.headers["Content-Type"] = "application/json";
    options.body = JSON.stringify(body);
  }
  let response;
  try {
    response = await fetch(path, options);
  } catch {
    return { status: 0, ok: false, document: { ok: false, error: notAnswering } };
  }
  let document;
  try {
    document = await response.json();
  } catch {
    document = { ok: false, error: `camknobd answered with the status ${response.status}.` };
  }
  const ok = response.ok && document.ok !== false;
  if (!ok && typeof document.error !== "string")
    document.error = `camknobd answered with the status ${response.status}.`;
  return { status: response.status, ok, document };
}

export const getJson = (path) => call("GET", path);
export const postJson = (path, body) => call("POST", path, body);

// One of camknob's commands: {"command": "set", "device": UID, ...}.
export const runCommand = (body) => postJson("/api/v1/commands", body);

// Follows the cameras' states (GET /api/v1/events, each event the document
// GET /api/v1/cameras gives). `onDocument(document)` gets each state;
// `onStatus(word)` gets "connected", "reconnecting" or "signed-out" (the
// session is not accepted: a new login link is needed).
export function watchCameras({ onDocument, onStatus }) {
  const source = new EventSource("/api/v1/events");
  source.addEventListener("open", () => onStatus("connected"));
  source.addEventListener("message", (event) => {
    let document;
    try {
      document = JSON.parse(event.data);
    } catch {
      return;
    }
    onDocument(document);
  });
  source.addEventListener("error", async () => {
    onStatus("reconnecting");
    const probe = await getJson("/api/v1/holds");
    if (probe.status === 401) {
      source.close();
      onStatus("signed-out");
    }
  });
  return source;
}
