#!/usr/bin/python3
"""Holds camknobd's answers and bodies against its JSON Schemas.

Starts camknobd-sim over the built-in demo system with a configuration folder
and a token file of its own, calls every route of the API, those that
succeed and those that fail, and checks each answer against the schema of
what that route answers (one line, strict JSON, keys in order and none
twice); the start line and the events' data too. Each body sent is held
against its route's body schema as well: the schema takes exactly the bodies
the server reads, and refuses those it answers with 400. Before the server,
the schemas are shown to refuse hand-made faults (an unknown key, a missing
one, a wrong type or value). Any failure makes the exit status 1.

Usage: camknobd_answers_match_schema.py [--schemas DIR] CAMKNOBD_SIM
"""

import argparse
import gzip
import http.client
import json
import os
import pathlib
import select
import signal
import subprocess
import sys
import tempfile
import time

from jsonschema import Draft202012Validator, RefResolver

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
import validate_outputs  # noqa: E402

BASE = "https://camknob.invalid/schema/"
RESPONSE = ("camknob-response.schema.json", "")
ERROR = ("camknobd-error-answer.schema.json", "")
PROFILE_ANSWER = ("camknob-profile-answer.schema.json", "")
SAVED = ("camknob-profile-answer.schema.json", "#/$defs/saved")
APPLIED = ("camknob-profile-answer.schema.json", "#/$defs/applied")
APPLY_FAILED = ("camknob-profile-answer.schema.json", "#/$defs/failure")
PROFILES = ("camknobd-profiles-answer.schema.json", "#/$defs/list")
PROFILE_DELETED = ("camknobd-profiles-answer.schema.json", "#/$defs/deleted")
HOLDS = ("camknobd-holds-answer.schema.json", "#/$defs/list")
HELD = ("camknobd-holds-answer.schema.json", "#/$defs/held")
RELEASED = ("camknobd-holds-answer.schema.json", "#/$defs/released")
PRESETS = ("camknobd-presets-answer.schema.json", "#/$defs/list")
PRESET_SAVED = ("camknobd-presets-answer.schema.json", "#/$defs/saved")
PRESET_DELETED = ("camknobd-presets-answer.schema.json", "#/$defs/deleted")
SESSION_PAGE = ("camknobd-session-page.schema.json", "")
DETAILS = ("camknobd-details-answer.schema.json", "")
START_LINE = ("camknobd-start-line.schema.json", "")

COMMAND_BODY = ("camknobd-command-body.schema.json", "")
PROFILE_BODY = ("camknobd-profile-body.schema.json", "")
PROFILE_DELETE_BODY = ("camknobd-profile-body.schema.json", "#/$defs/delete")
HOLD_BODY = ("camknobd-hold-body.schema.json", "")
RELEASE_BODY = ("camknobd-hold-body.schema.json", "#/$defs/release")
PRESET_BODY = ("camknobd-preset-body.schema.json", "")
SESSION_BODY = ("camknobd-session-page.schema.json", "#/$defs/body")

# The body schema of each route that takes one.
BODY_SCHEMAS = {
    "/api/v1/commands": COMMAND_BODY,
    "/api/v1/profiles": PROFILE_BODY,
    "/api/v1/profiles/apply": PROFILE_BODY,
    "/api/v1/profiles/delete": PROFILE_DELETE_BODY,
    "/api/v1/holds": HOLD_BODY,
    "/api/v1/holds/release": RELEASE_BODY,
    "/api/v1/presets": PRESET_BODY,
    "/api/v1/presets/recall": PRESET_BODY,
    "/api/v1/presets/delete": PRESET_BODY,
    "/api/v1/session/page": SESSION_BODY,
}

# A profile of a camera the demo system does not have, and a file that is
# not a profile, put in the profiles folder before the start.
ABSENT_PROFILE = {"camknobProfile": 1, "uid": "SIM-ABSENT-0009", "name": "Nobody's Camera",
                  "controls": [{"kind": "brightness", "valueMode": "native", "value": 1}]}


class Invalid(Exception):
    pass


def refuse_fetch(uri):
    raise Invalid(f"reference to {uri} is not one of camknob's schemas (nothing is fetched)")


class Schemas:
    """Every schema of the folder, each checked against the metaschema; a
    validator for a schema or a part of one, resolving the others by $id."""

    def __init__(self, folder):
        self.store = {}
        for path in sorted(folder.glob("*.schema.json")):
            schema = json.loads(path.read_text(encoding="utf-8"))
            Draft202012Validator.check_schema(schema)
            if schema.get("$id") != BASE + path.name:
                raise Invalid(f"{path.name}: $id is not {BASE + path.name}")
            self.store[schema["$id"]] = schema
        self.handlers = {scheme: refuse_fetch for scheme in ("http", "https", "urn", "file")}
        self.validators = {}

    def validator(self, which):
        if which not in self.validators:
            file, pointer = which
            if BASE + file not in self.store:
                raise Invalid(f"no schema {file}")
            wrapper = {"$ref": BASE + file + pointer}
            resolver = RefResolver(BASE, wrapper, store=self.store, handlers=self.handlers)
            self.validators[which] = Draft202012Validator(wrapper, resolver=resolver)
        return self.validators[which]

    def errors(self, which, document):
        return [validate_outputs.explain(error)
                for error in self.validator(which).iter_errors(document)]


def name_of(which):
    return which[0] + which[1]


# Hand-made documents each schema must refuse: (schema, what, document).
REFUSED = [
    (COMMAND_BODY, "an unknown key", {"command": "set", "frob": 1}),
    (COMMAND_BODY, "no command", {"control": "zoom"}),
    (COMMAND_BODY, "a control that is a number", {"command": "set", "control": 5}),
    (COMMAND_BODY, "a delta with move", {"command": "move", "delta": 1}),
    (COMMAND_BODY, "a delta with a value", {"command": "set", "delta": 1, "value": 2}),
    (COMMAND_BODY, "a delta that is no number", {"command": "set", "delta": "abc"}),
    (COMMAND_BODY, "stop with a control", {"command": "stop", "control": "zoom"}),
    (COMMAND_BODY, "enabled as a list", {"command": "on", "enabled": []}),
    (COMMAND_BODY, "not an object", ["set"]),
    (PROFILE_BODY, "an unknown key", {"name": "desk", "frob": 1}),
    (PROFILE_BODY, "no name", {"device": "webcam"}),
    (PROFILE_BODY, "a name that is a path", {"name": "../desk"}),
    (PROFILE_BODY, "a name ending in a space", {"name": "desk "}),
    (PROFILE_BODY, "a name of 65 characters", {"name": "d" * 65}),
    (PROFILE_DELETE_BODY, "a device", {"name": "desk", "device": "webcam"}),
    (HOLD_BODY, "name for profile", {"name": "desk"}),
    (RELEASE_BODY, "an unknown key", {"profile": "desk"}),
    (PRESET_BODY, "an unknown key", {"name": "wide", "frob": 1}),
    (SESSION_BODY, "a key", {"a": 1}),
    (ERROR, "ok true", {"error": "There is no such route.", "ok": True}),
    (ERROR, "no error", {"ok": False}),
    (ERROR, "an extra key", {"error": "There is no such route.", "ok": False, "devices": []}),
    (START_LINE, "an extra key", {"page": "http://127.0.0.1:1/login?code=" + "a" * 64,
                                  "tokenFile": "/t", "url": "http://127.0.0.1:1", "token": "x"}),
    (START_LINE, "a short code", {"page": "http://127.0.0.1:1/login?code=abc",
                                  "tokenFile": "/t", "url": "http://127.0.0.1:1"}),
    (PROFILES, "no ok", {"profiles": []}),
    (PROFILES, "a profile with an error and a camera",
     {"ok": True, "profiles": [{"camera": "C", "controls": 1, "error": "e", "heldBy": [],
                                "name": "p", "uid": "u"}]}),
    (PROFILES, "a profile without heldBy",
     {"ok": True, "profiles": [{"camera": "C", "controls": 1, "name": "p", "uid": "u"}]}),
    (PROFILE_DELETED, "no released", {"deleted": "p", "ok": True}),
    (HOLDS, "a hold without its uid", {"holds": [{"profile": "p"}], "ok": True}),
    (HELD, "no hold", {"holds": [], "ok": True}),
    (RELEASED, "ok false", {"holds": [], "ok": False, "released": {"profile": "p", "uid": "u"}}),
    (PRESETS, "a preset of no control",
     {"ok": True, "presets": [{"camera": "C", "controls": 0, "name": "p", "uid": "u"}]}),
    (PRESET_SAVED, "an extra key",
     {"ok": True, "preset": {"camera": "C", "controls": 1, "name": "p", "uid": "u", "x": 1}}),
    (PRESET_DELETED, "no preset", {"deleted": "p", "ok": True}),
    (SESSION_PAGE, "a page elsewhere", {"ok": True, "page": "http://evil.example/"}),
]


def check_refusals(schemas):
    failures = []
    for which, what, document in REFUSED:
        if not schemas.errors(which, document):
            failures.append(f"{name_of(which)} takes {what}: {json.dumps(document)}")
    return failures


class Daemon:
    def __init__(self, program, folder):
        self.folder = folder
        self.token_path = folder / "tokens" / "camknobd.token"
        (folder / "tokens").mkdir(mode=0o700)
        profiles = folder / "config" / "camknob" / "profiles"
        profiles.mkdir(parents=True)
        (profiles / "ghost.json").write_text(json.dumps(ABSENT_PROFILE))
        (profiles / "broken.json").write_text('{"camknobProfile": 2}')
        environment = {key: value for key, value in os.environ.items()
                       if key not in ("CAMKNOB_SIM_FIXTURE", "XDG_RUNTIME_DIR")}
        environment["XDG_CONFIG_HOME"] = str(folder / "config")
        self.process = subprocess.Popen(
            [program, "--listen", "127.0.0.1:0", "--token-file", str(self.token_path)],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=environment)
        try:
            self.start_text = self.read_start_line(10)
            self.start = validate_outputs.parse(self.start_text, keys_sorted=True)
            self.url = self.start.get("url", "")
            self.port = int(self.url.rsplit(":", 1)[1])
            self.token = self.token_path.read_text()
        except BaseException:
            self.process.kill()
            self.process.wait()
            raise

    def read_start_line(self, patience):
        text = b""
        deadline = time.monotonic() + patience
        while not text.endswith(b"\n"):
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.process.stdout], [], [], left)[0]:
                raise Invalid(f"no start line within {patience} s")
            byte = os.read(self.process.stdout.fileno(), 1)
            if not byte:
                raise Invalid("no start line: " + self.process.stderr.read().decode())
            text += byte
        return text.decode("utf-8")

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        out, err = self.process.communicate(timeout=20)
        return self.process.returncode, out.decode("utf-8"), err.decode("utf-8")


class Api:
    """Requests to the daemon; each answer kept with what was asked."""

    def __init__(self, daemon):
        self.daemon = daemon

    def connection(self):
        return http.client.HTTPConnection("127.0.0.1", self.daemon.port, timeout=20)

    def request(self, method, path, body=None, headers=None, token=True, raw=None):
        sent = dict(headers or {})
        if token:
            sent.setdefault("Authorization", "Bearer " + self.daemon.token)
        data = raw
        if body is not None:
            data = json.dumps(body).encode("utf-8")
        if data is not None:
            sent.setdefault("Content-Type", "application/json")
        connection = self.connection()
        try:
            connection.request(method, path, body=data, headers=sent)
            response = connection.getresponse()
            return response.status, dict(response.getheaders()), response.read().decode("utf-8")
        finally:
            connection.close()


def check_answer(schemas, which, status, headers, text):
    """Raises Invalid unless the answer is one line of strict JSON with
    sorted keys, of type application/json, that the schema takes."""
    if headers.get("Content-Type") != "application/json":
        raise Invalid(f"Content-Type {headers.get('Content-Type')!r}")
    if "\n" in text:
        raise Invalid("not one line")
    document = validate_outputs.parse(text, keys_sorted=True)
    errors = schemas.errors(which, document)
    if errors:
        raise Invalid(f"not {name_of(which)}: " + "; ".join(errors))
    if isinstance(document, dict) and (status == 200) != (document.get("ok") is True):
        raise Invalid(f"status {status} with ok {document.get('ok')}")
    return document


# The calls, in order (they build on each other): what, method, path, body,
# the status expected, and the schema of the answer. A body's verdict by its
# schema must be "taken" exactly when the status is not 400.
def calls():
    set_zoom = {"command": "set", "control": "zoom", "value": 250}
    return [
        ("the cameras", "GET", "/api/v1/cameras", None, 200, RESPONSE),
        ("set", "POST", "/api/v1/commands", set_zoom, 200, RESPONSE),
        ("set by a string", "POST", "/api/v1/commands",
         {"command": "set", "control": "zoom", "value": "260"}, 200, RESPONSE),
        ("a delta", "POST", "/api/v1/commands",
         {"command": "set", "control": "zoom", "delta": -10}, 200, RESPONSE),
        ("a delta as text", "POST", "/api/v1/commands",
         {"command": "set", "device": "PTZ", "control": "zoom", "delta": "0x10"}, 200, RESPONSE),
        ("auto off", "POST", "/api/v1/commands",
         {"command": "auto", "control": "focus", "enabled": False}, 200, RESPONSE),
        ("on by a number", "POST", "/api/v1/commands",
         {"command": "on", "control": "panTiltRelative", "enabled": 1}, 200, RESPONSE),
        ("a move", "POST", "/api/v1/commands",
         {"command": "move", "pan": -1, "tilt": 0.5, "speed": "0.3"}, 200, RESPONSE),
        ("stop", "POST", "/api/v1/commands", {"command": "stop"}, 200, RESPONSE),
        ("stop with device and speed", "POST", "/api/v1/commands",
         {"command": "stop", "device": "PTZ", "speed": 1}, 200, RESPONSE),
        ("list", "POST", "/api/v1/commands", {"command": "list"}, 200, RESPONSE),
        ("an unknown command", "POST", "/api/v1/commands", {"command": "frob"}, 422, RESPONSE),
        ("a move without pan/tilt", "POST", "/api/v1/commands",
         {"command": "move", "device": "webcam"}, 422, RESPONSE),
        ("a delta of a control not there", "POST", "/api/v1/commands",
         {"command": "set", "control": "iris", "delta": 1}, 422, RESPONSE),
        ("a delta on no camera", "POST", "/api/v1/commands",
         {"command": "set", "device": "nobody", "control": "zoom", "delta": 1}, 422, RESPONSE),
        ("an unknown key", "POST", "/api/v1/commands", {"command": "set", "frob": 1}, 400, ERROR),
        ("no command", "POST", "/api/v1/commands", {"control": "zoom"}, 400, ERROR),
        ("a control that is a number", "POST", "/api/v1/commands",
         {"command": "set", "control": 5}, 400, ERROR),
        ("a value that is true", "POST", "/api/v1/commands",
         {"command": "set", "control": "zoom", "value": True}, 400, ERROR),
        ("enabled as a list", "POST", "/api/v1/commands",
         {"command": "on", "control": "zoom", "enabled": []}, 400, ERROR),
        ("a delta with move", "POST", "/api/v1/commands", {"command": "move", "delta": 1}, 400,
         ERROR),
        ("a delta with a value", "POST", "/api/v1/commands",
         {"command": "set", "control": "zoom", "delta": 1, "value": 2}, 400, ERROR),
        ("a delta that is no number", "POST", "/api/v1/commands",
         {"command": "set", "control": "zoom", "delta": "abc"}, 400, ERROR),
        ("stop with a control", "POST", "/api/v1/commands",
         {"command": "stop", "control": "zoom"}, 400, ERROR),
        ("a leased move", "POST", "/api/v1/commands",
         {"command": "move", "pan": 1, "tilt": 0, "lease": True}, 200, RESPONSE),
        ("the leased move again", "POST", "/api/v1/commands",
         {"command": "move", "pan": 1, "tilt": 0, "lease": True}, 200, RESPONSE),
        ("a lease with set", "POST", "/api/v1/commands",
         {"command": "set", "control": "zoom", "value": 1, "lease": True}, 400, ERROR),
        ("stop the leased move", "POST", "/api/v1/commands", {"command": "stop"}, 200, RESPONSE),
        ("the details", "GET", "/api/v1/details", None, 200, DETAILS),
        ("reset a control", "POST", "/api/v1/commands",
         {"command": "reset", "control": "zoom"}, 200, RESPONSE),
        ("reset a camera", "POST", "/api/v1/commands",
         {"command": "reset", "device": "webcam"}, 200, RESPONSE),
        ("reset a control without a default", "POST", "/api/v1/commands",
         {"command": "reset", "control": "panTiltAbsolute"}, 422, RESPONSE),
        ("reset with a value", "POST", "/api/v1/commands",
         {"command": "reset", "control": "zoom", "value": 1}, 400, ERROR),

        ("the profiles", "GET", "/api/v1/profiles", None, 200, PROFILES),
        ("save", "POST", "/api/v1/profiles", {"name": "desk"}, 200, SAVED),
        ("save a webcam's", "POST", "/api/v1/profiles", {"name": "web 2.0", "device": "webcam"},
         200, SAVED),
        ("save no camera's", "POST", "/api/v1/profiles", {"name": "x", "device": "nobody"}, 422,
         APPLY_FAILED),
        ("save under a path", "POST", "/api/v1/profiles", {"name": "../desk"}, 400, ERROR),
        ("save with an unknown key", "POST", "/api/v1/profiles", {"name": "desk", "frob": 1},
         400, ERROR),
        ("the profiles again", "GET", "/api/v1/profiles", None, 200, PROFILES),
        ("apply", "POST", "/api/v1/profiles/apply", {"name": "desk"}, 200, APPLIED),
        ("apply to another camera", "POST", "/api/v1/profiles/apply",
         {"name": "desk", "device": "webcam"}, 200, APPLIED),
        ("apply no profile", "POST", "/api/v1/profiles/apply", {"name": "nope"}, 404, ERROR),
        ("apply a file that is no profile", "POST", "/api/v1/profiles/apply", {"name": "broken"},
         422, ERROR),
        ("apply to no camera", "POST", "/api/v1/profiles/apply",
         {"name": "desk", "device": "nobody"}, 422, APPLY_FAILED),
        ("apply the profile of a camera not there", "POST", "/api/v1/profiles/apply",
         {"name": "ghost"}, 422, APPLY_FAILED),

        ("the holds", "GET", "/api/v1/holds", None, 200, HOLDS),
        ("hold", "POST", "/api/v1/holds", {"profile": "desk"}, 200, HELD),
        ("hold the webcam", "POST", "/api/v1/holds", {"profile": "web 2.0", "device": "webcam"},
         200, HELD),
        ("hold a camera not there", "POST", "/api/v1/holds", {"profile": "ghost"}, 200, HELD),
        ("hold at no profile", "POST", "/api/v1/holds", {"profile": "nope"}, 404, ERROR),
        ("hold no camera", "POST", "/api/v1/holds", {"profile": "desk", "device": "nobody"}, 422,
         ERROR),
        ("hold by name", "POST", "/api/v1/holds", {"name": "desk"}, 400, ERROR),
        ("the holds now", "GET", "/api/v1/holds", None, 200, HOLDS),
        ("the profiles held", "GET", "/api/v1/profiles", None, 200, PROFILES),
        ("release the webcam", "POST", "/api/v1/holds/release", {"device": "webcam"}, 200,
         RELEASED),
        ("release it again", "POST", "/api/v1/holds/release", {"device": "webcam"}, 404, ERROR),
        ("release a camera not there", "POST", "/api/v1/holds/release",
         {"device": "SIM-ABSENT-0009"}, 200, RELEASED),
        ("release no camera", "POST", "/api/v1/holds/release", {"device": "nobody"}, 422, ERROR),
        ("release the first camera", "POST", "/api/v1/holds/release", {}, 200, RELEASED),
        ("release by profile", "POST", "/api/v1/holds/release", {"profile": "desk"}, 400, ERROR),
        ("hold the webcam once more", "POST", "/api/v1/holds",
         {"profile": "web 2.0", "device": "webcam"}, 200, HELD),
        ("delete a held profile", "POST", "/api/v1/profiles/delete", {"name": "web 2.0"}, 200,
         PROFILE_DELETED),
        ("delete it again", "POST", "/api/v1/profiles/delete", {"name": "web 2.0"}, 404, ERROR),
        ("delete with a device", "POST", "/api/v1/profiles/delete",
         {"name": "desk", "device": "webcam"}, 400, ERROR),

        ("the presets", "GET", "/api/v1/presets", None, 200, PRESETS),
        ("save a preset", "POST", "/api/v1/presets", {"name": "wide"}, 200, PRESET_SAVED),
        ("save a webcam's preset", "POST", "/api/v1/presets", {"name": "wide", "device": "webcam"},
         422, ERROR),
        ("point elsewhere", "POST", "/api/v1/commands",
         {"command": "absolute", "pan": 30, "tilt": 10}, 200, RESPONSE),
        ("save another", "POST", "/api/v1/presets", {"name": "left", "device": "PTZ"}, 200,
         PRESET_SAVED),
        ("every preset", "GET", "/api/v1/presets", None, 200, PRESETS),
        ("the webcam's presets", "GET", "/api/v1/presets?device=webcam", None, 200, PRESETS),
        ("no camera's presets", "GET", "/api/v1/presets?device=nobody", None, 422, ERROR),
        ("an unknown parameter", "GET", "/api/v1/presets?frob=1", None, 400, ERROR),
        ("recall", "POST", "/api/v1/presets/recall", {"name": "wide"}, 200, APPLIED),
        ("recall no preset", "POST", "/api/v1/presets/recall", {"name": "nope"}, 404, ERROR),
        ("recall another camera's", "POST", "/api/v1/presets/recall",
         {"name": "wide", "device": "webcam"}, 404, ERROR),
        ("delete a preset", "POST", "/api/v1/presets/delete", {"name": "left"}, 200,
         PRESET_DELETED),
        ("delete it again", "POST", "/api/v1/presets/delete", {"name": "left"}, 404, ERROR),
        ("save a preset under a path", "POST", "/api/v1/presets", {"name": "a/b"}, 400, ERROR),
        ("save a preset with an unknown key", "POST", "/api/v1/presets",
         {"name": "wide", "frob": 1}, 400, ERROR),

        ("a login page", "POST", "/api/v1/session/page", {}, 200, SESSION_PAGE),
        ("a login page with a key", "POST", "/api/v1/session/page", {"a": 1}, 400, ERROR),
    ]


def run_calls(schemas, api, failures):
    for what, method, path, body, status, which in calls():
        got, headers, text = api.request(method, path, body)
        where = f"{method} {path} ({what})"
        if got != status:
            failures.append(f"{where}: status {got}, not {status}: {text}")
            continue
        try:
            check_answer(schemas, which, got, headers, text)
        except Invalid as fault:
            failures.append(f"{where}: {fault}\n  answer: {text}")
        if body is not None:
            body_schema = BODY_SCHEMAS[path]
            taken = not schemas.errors(body_schema, body)
            if taken != (got != 400):
                verdict = "takes" if taken else "refuses"
                failures.append(f"{where}: {name_of(body_schema)} {verdict} the body "
                                f"{json.dumps(body)}, answered {got}: {text}")


# Requests the checks refuse before any route: what, method, path, headers,
# raw body, with the token, the status.
def refused_requests(daemon):
    port = daemon.port
    big = json.dumps({"command": "list", "device": "x" * 70000}).encode()
    json_type = {"Content-Type": "application/json"}
    return [
        ("another host", "GET", "/api/v1/cameras", {"Host": f"evil.example:{port}"}, None, True,
         403),
        ("another origin", "GET", "/api/v1/cameras", {"Origin": "http://evil.example"}, None,
         True, 403),
        ("no token", "GET", "/api/v1/cameras", {}, None, False, 401),
        ("a wrong token", "GET", "/api/v1/holds", {"Authorization": "Bearer " + "0" * 64}, None,
         False, 401),
        ("no route", "GET", "/api/v1/nothing", {}, None, True, 404),
        ("another method", "DELETE", "/api/v1/profiles", {}, None, True, 405),
        ("OPTIONS", "OPTIONS", "/api/v1/cameras", {}, None, True, 405),
        ("a body of text", "POST", "/api/v1/commands", {"Content-Type": "text/plain"},
         b'{"command":"list"}', True, 415),
        ("a compressed body", "POST", "/api/v1/commands",
         {**json_type, "Content-Encoding": "gzip"}, gzip.compress(b'{"command":"list"}'), True,
         415),
        ("a body over 64 KiB", "POST", "/api/v1/commands", json_type, big, True, 413),
        ("a body over 64 KiB without the token", "POST", "/api/v1/commands", json_type, big,
         False, 401),
        ("no body", "POST", "/api/v1/commands", json_type, b"", True, 400),
        ("a body that is no object", "POST", "/api/v1/commands", json_type, b"[1]", True, 400),
        ("a body that is no JSON", "POST", "/api/v1/commands", json_type, b"{", True, 400),
        ("a query on a POST", "POST", "/api/v1/holds/release?device=webcam", json_type, b"{}",
         True, 400),
        ("a wrong login code", "GET", "/login?code=" + "0" * 64, {}, None, False, 403),
        ("an empty origin", "GET", "/api/v1/cameras", {"Origin": ""}, None, True, 403),
        ("a header line over 8 KiB", "GET", "/api/v1/cameras", {"X-Big": "x" * 9000}, None,
         True, 431),
        ("a target over 8 KiB", "GET", "/api/v1/cameras?" + "q" * 9000, {}, None, True, 414),
    ]


def run_refused(schemas, api, failures):
    for what, method, path, headers, raw, token, status in refused_requests(api.daemon):
        got, answer_headers, text = api.request(method, path, headers=headers, token=token,
                                                raw=raw)
        where = f"{method} {path} ({what})"
        if got != status:
            failures.append(f"{where}: status {got}, not {status}: {text}")
            continue
        try:
            check_answer(schemas, ERROR, got, answer_headers, text)
        except Invalid as fault:
            failures.append(f"{where}: {fault}\n  answer: {text}")

    # A body without its Content-Length.
    connection = api.connection()
    try:
        connection.putrequest("POST", "/api/v1/commands")
        connection.putheader("Authorization", "Bearer " + api.daemon.token)
        connection.putheader("Content-Type", "application/json")
        connection.putheader("Transfer-Encoding", "chunked")
        connection.endheaders()
        connection.send(b'12\r\n{"command":"list"}\r\n0\r\n\r\n')
        response = connection.getresponse()
        text = response.read().decode()
        if response.status != 411:
            failures.append(f"a chunked body: status {response.status}, not 411: {text}")
        else:
            check_answer(schemas, ERROR, 411, dict(response.getheaders()), text)
    except Invalid as fault:
        failures.append(f"a chunked body: {fault}")
    finally:
        connection.close()


def run_login(schemas, api, failures):
    """The start line's page logs in once; the session reaches the API."""
    page = api.daemon.start["page"]
    path = page[len(api.daemon.url):]
    status, headers, _ = api.request("GET", path, token=False)
    cookie = headers.get("Set-Cookie", "").split(";")[0]
    if status != 303 or headers.get("Location") != "/" or not cookie.startswith("camknob_session="):
        failures.append(f"the login: status {status}, headers {headers}")
        return
    status, headers, text = api.request("GET", "/api/v1/holds", headers={"Cookie": cookie},
                                        token=False)
    try:
        if status != 200:
            raise Invalid(f"status {status}: {text}")
        check_answer(schemas, HOLDS, status, headers, text)
    except Invalid as fault:
        failures.append(f"GET /api/v1/holds with the session: {fault}")
    status, headers, text = api.request("GET", path, token=False)
    try:
        if status != 403:
            raise Invalid(f"status {status}: {text}")
        check_answer(schemas, ERROR, status, headers, text)
    except Invalid as fault:
        failures.append(f"the login a second time: {fault}")


def read_event(response, patience):
    """The id and data of the next event (heartbeats skipped)."""
    event = {}
    deadline = time.monotonic() + patience
    while time.monotonic() < deadline:
        line = response.readline().decode("utf-8")
        if not line:
            raise Invalid("the stream ended")
        line = line.rstrip("\n")
        if line == "":
            if "data" in event:
                return event
            continue
        if line.startswith(":"):
            continue
        field, _, value = line.partition(": ")
        if field in event:
            raise Invalid(f"{field} twice in one event")
        event[field] = value
    raise Invalid(f"no event within {patience} s")


def run_events(schemas, api, failures):
    connection = api.connection()
    try:
        connection.request("GET", "/api/v1/events",
                           headers={"Authorization": "Bearer " + api.daemon.token})
        response = connection.getresponse()
        if response.status != 200 or response.getheader("Content-Type") != "text/event-stream":
            failures.append(f"the events: status {response.status}, "
                            f"type {response.getheader('Content-Type')}")
            return
        versions = []
        for step in range(2):
            event = read_event(response, 10)
            versions.append(int(event["id"]))
            document = validate_outputs.parse(event["data"] + "\n", keys_sorted=True)
            errors = schemas.errors(RESPONSE, document)
            if errors or document.get("ok") is not True:
                failures.append(f"event {event['id']}: " + "; ".join(errors))
            if step == 0:
                status, _, text = api.request(
                    "POST", "/api/v1/commands", {"command": "set", "control": "zoom",
                                                 "value": 300})
                if status != 200:
                    failures.append(f"a set while the stream is open: {status} {text}")
        if versions[1] <= versions[0]:
            failures.append(f"event ids {versions} do not count up")
    except (Invalid, KeyError, ValueError) as fault:
        failures.append(f"the events: {fault!r}")
    finally:
        connection.close()


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("program", type=pathlib.Path)
    parser.add_argument("--schemas", type=pathlib.Path, default=HERE.parent.parent / "schema")
    arguments = parser.parse_args(argv)

    schemas = Schemas(arguments.schemas)
    failures = check_refusals(schemas)
    with tempfile.TemporaryDirectory(prefix="camknobd-schema-") as scratch:
        daemon = Daemon(str(arguments.program), pathlib.Path(scratch))
        try:
            errors = schemas.errors(START_LINE, daemon.start)
            if errors:
                failures.append("the start line: " + "; ".join(errors))
            if not daemon.start.get("page", "").startswith(daemon.url + "/login?code="):
                failures.append(f"the start line's page is not under its url: {daemon.start}")
            api = Api(daemon)
            run_calls(schemas, api, failures)
            run_refused(schemas, api, failures)
            run_login(schemas, api, failures)
            run_events(schemas, api, failures)
        finally:
            status, out, err = daemon.stop()
        if status != 0 or out != "" or err != "":
            failures.append(f"the end: status {status}, further output {out!r}, errors {err!r}")
        if daemon.token_path.exists():
            failures.append("the token file is left after the end")

    for failure in failures:
        print("FAIL " + failure)
    checked = len(REFUSED) + len(calls()) + len(refused_requests(daemon)) + 5
    print(f"camknobd schemas: {checked} checks, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
