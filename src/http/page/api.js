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

// How long the page waits before it connects again to the event stream: a
// first wait doubling up to the longest, each with a part left to chance (so
// that pages cut off at once do not come back at once), and the first again
// after a connection that lasted.
const retry = { first: 500, longest: 8000, jitter: 0.3, lasted: 10000 };

function retryDelay(failures) {
  const base = Math.min(retry.longest, retry.first * 2 ** failures);
  return Math.round(base * (1 - retry.jitter / 2 + retry.jitter * Math.random()));
}

// Follows the cameras' states (GET /api/v1/events, each event the document
// GET /api/v1/cameras gives). `onDocument(document)` gets each state;
// `onSaved(counts)` how often profiles, holds and presets changed since
// camknobd started ({profiles, holds, presets}), when any client changed one;
// `onStatus(word, nextTry)` gets "connected", "reconnecting" (with the time,
// as Date.now() gives it, of the next try, once it is known) or "signed-out"
// (the session is not accepted: a new login link is needed). A stream that
// ends or is refused (a 503 of a busy or stopping camknobd) is opened again
// after a wait, for as long as the session holds.
export function watchCameras({ onDocument, onSaved, onStatus }) {
  let failures = 0;
  let openedAt;
  const connect = () => {
    const source = new EventSource("/api/v1/events");
    source.addEventListener("open", () => {
      openedAt = performance.now();
      onStatus("connected");
    });
    source.addEventListener("message", (event) => {
      let document;
      try {
        document = JSON.parse(event.data);
      } catch {
        return;
      }
      onDocument(document);
    });
    source.addEventListener("saved", (event) => {
      let counts;
      try {
        counts = JSON.parse(event.data);
      } catch {
        return;
      }
      onSaved(counts);
    });
    source.addEventListener("error", async () => {
      source.close();
      if (openedAt !== undefined && performance.now() - openedAt >= retry.lasted) failures = 0;
      openedAt = undefined;
      onStatus("reconnecting");
      const probe = await getJson("/api/v1/holds");
      if (probe.status === 401) {
        onStatus("signed-out");
        return;
      }
      const wait = retryDelay(failures);
      failures += 1;
      onStatus("reconnecting", Date.now() + wait);
      setTimeout(connect, wait);
    });
  };
  connect();
}
