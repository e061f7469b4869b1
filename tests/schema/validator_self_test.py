#!/usr/bin/python3
"""The output validator on runs made by hand: the outputs the tool and
camknob-profile are documented to print pass, and each kind of fault in them
is caught. Then the whole script on folders of such records."""

import json
import pathlib
import subprocess
import sys
import tempfile

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
import validate_outputs  # noqa: E402

VALIDATORS = validate_outputs.load_validators(HERE.parent.parent / "schema")

BRIGHTNESS = {
    "automaticSettable": False, "classCode": "brit", "kind": "brightness", "maximum": 255,
    "minimum": 0, "name": "Brightness", "nativeDataSettable": False, "objectId": 41,
    "onSettable": False, "settable": True, "value": 128, "valueMode": "native",
}
PAN_TILT = {
    "automaticSettable": False, "classCode": "ptab", "kind": "panTiltAbsolute",
    "name": "Pan/Tilt Absolute", "nativeData": [0, 0, 0, 0, 0, 0, 0, 0],
    "nativeDataRange": [240, 8, 248, 255, 96, 14, 251, 255, 16, 247, 7, 0, 64, 126, 5, 0],
    "nativeDataSettable": True, "objectId": 51, "on": True, "onSettable": True,
    "settable": False,
}
DEVICE = {"controls": [BRIGHTNESS, PAN_TILT], "manufacturer": "Acme", "name": "USB Camera",
          "objectId": 33, "uid": "A1B2C3D4"}

PROFILE_TEXT = """{
  "camknobProfile": 1,
  "uid": "SIM-PTZ-0001",
  "name": "PTZ Pro Camera",
  "controls": [
    {"kind": "brightness", "valueMode": "native", "value": 128},
    {"kind": "exposure", "automatic": true, "valueMode": "absolute", "value": 0.0003},
    {"kind": "panTiltAbsolute", "on": true, "nativeData": [0, 0, 0, 0, 0, 0, 0, 0]}
  ]
}
"""


def line(document):
    return json.dumps(document, sort_keys=True, separators=(",", ":")) + "\n"


def response(devices, error=None):
    document = {"devices": devices, "ok": error is None}
    if error is not None:
        document["error"] = error
    return line(document)


def changed(record, path, value):
    """A copy of a control, device or answer with one key set (None: removed)."""
    copy = json.loads(json.dumps(record))
    *parents, last = path
    target = copy
    for key in parents:
        target = target[key]
    if value is None:
        del target[last]
    else:
        target[last] = value
    return copy


def applied(results, ok, device=DEVICE):
    answer = {"controls": results, "ok": ok}
    if device is not None:
        answer["device"] = device
    if not ok:
        answer["error"] = "Not every control took its value."
    return line(answer)


def result(kind, prop, outcome, object_id=41, **extra):
    entry = {"kind": kind, "property": prop, "result": outcome, **extra}
    if object_id is not None:
        entry["objectId"] = object_id
    return entry


def profile(**changes):
    document = json.loads(PROFILE_TEXT)
    document.update(changes)
    return json.dumps(document, indent=2) + "\n"


def profile_control(control):
    return profile(controls=[control])


SIM = "camknob-sim"
PROFILE = "camknob-profile-sim"

# (program, arguments, exit status, output) that the validator accepts.
VALID = [
    (SIM, ["list"], 0, response([DEVICE])),
    (SIM, [], 0, response([])),
    ("camknob", ["list"], 0, '{"devices":[],"ok":true}\n'),
    ("camknob-sim-cmio", ["set"], 1,
     response([DEVICE], "set requires --control and a numeric --value.")),
    (SIM, ["list"], 1, validate_outputs.FALLBACK_LINE),
    (SIM, ["list"], 2, ""),
    (SIM, ["list"], 0, response([{"controls": [], "name": "", "objectId": 4294967295, "uid": ""}])),
    (SIM, ["list"], 0, response([changed(DEVICE, ["controls", 0], {
        "automaticSettable": False, "classCode": "\u0000\u0001 x", "kind": "\u0000\u0001 x",
        "nativeDataSettable": False, "objectId": 0, "onSettable": False, "settable": False})])),
    (SIM, ["list"], 0, response([changed(DEVICE, ["controls", 0], changed(
        BRIGHTNESS, ["kind"], "0x0098f901") | {"classCode": "0x0098f901"})])),
    (PROFILE, ["save"], 0, PROFILE_TEXT),
    (PROFILE, ["save", "--device", "PTZ", "-"], 0, PROFILE_TEXT),
    (PROFILE, ["save", "--device", "out.json"], 0, PROFILE_TEXT),
    (PROFILE, ["save", "/tmp/p.json"], 0,
     '{"controls":3,"file":"\\/tmp\\/p.json","name":"PTZ Pro Camera","ok":true,'
     '"uid":"SIM-PTZ-0001"}\n'),
    (PROFILE, ["apply", "p.json"], 0, applied([
        result("exposure", "automatic", "applied", 47),
        result("brightness", "value", "applied"),
        result("exposure", "value", "skipped", 47, reason="automatic"),
        result("zoom", "value", "skipped", None, reason="absent"),
        result("panTiltAbsolute", "nativeData", "applied", 51)], True)),
    (PROFILE, ["apply"], 1, applied([
        result("exposure", "value", "refused", 47,
               error="Failed to set exposure: 1819239275 (lock)."),
        result("hflp", "on", "differs", 70),
        result("0x0098f901", "value", "skipped", 71, reason="valueMode")], False)),
    (PROFILE, ["apply"], 1, applied([result("focus", "automatic", "refused", 48,
        error="Failed to change automatic mode for focus: -50 (0xffffffce).")], False, None)),
    (PROFILE, ["apply", "p.json"], 1,
     '{"controls":[],"error":"Camera device was not found.","ok":false}\n'),
    (PROFILE, ["save"], 1, '{"error":"Camera device was not found.","ok":false}\n'),
    (PROFILE, ["frobnicate"], 1, '{"error":"Unknown command: frobnicate.","ok":false}\n'),
    (PROFILE, [], 1,
     '{"error":"Usage: camknob-profile save|apply [--device D] [FILE].","ok":false}\n'),
    (PROFILE, ["save", "--bogus"], 1,
     '{"error":"Usage: camknob-profile save|apply [--device D] [FILE].","ok":false}\n'),
    (PROFILE, ["save", "/no/such/p.json"], 1,
     '{"error":"Cannot write \\/no\\/such\\/p.json: No such file or directory.","ok":false}\n'),
    (PROFILE, ["apply"], 1, '{"error":"Failed to encode response","ok":false}\n'),
    (PROFILE, ["apply", "missing.json"], 2, ""),
    (PROFILE, ["--help"], 0, "Usage: camknob-profile save|apply [--device D] [FILE]\n"),
]

# Outputs the validator must reject: what is wrong, and a part of the
# validator's message that says so.
INVALID = [
    ("control without a required key", "'settable' is a required property",
     SIM, ["list"], 0, response([changed(DEVICE, ["controls", 0, "settable"], None)])),
    ("device with a key of no schema", "'serial' was unexpected",
     SIM, ["list"], 0, response([changed(DEVICE, ["serial"], "123")])),
    ("response with a key of no schema", "'warning' was unexpected",
     SIM, ["list"], 0, '{"devices":[],"ok":true,"warning":"x"}\n'),
    ("objectId as a string", "'33' is not of type 'integer'",
     SIM, ["list"], 0, response([changed(DEVICE, ["objectId"], "33")])),
    ("objectId past 32 bits", "greater than the maximum of 4294967295",
     SIM, ["list"], 0, response([changed(DEVICE, ["controls", 0, "objectId"], 4294967296)])),
    ("objectId that is not whole", "33.5 is not of type 'integer'",
     SIM, ["list"], 0, response([changed(DEVICE, ["objectId"], 33.5)])),
    ("byte past 255", "256 is greater than the maximum of 255",
     SIM, ["list"], 0, response([changed(DEVICE, ["controls", 1, "nativeData", 0], 256)])),
    ("boolean as a number", "1 is not of type 'boolean'",
     SIM, ["list"], 0, response([changed(DEVICE, ["controls", 0, "settable"], 1)])),
    ("value without valueMode", "'valueMode' is a dependency of 'value'",
     SIM, ["list"], 0, response([changed(DEVICE, ["controls", 0, "valueMode"], None)])),
    ("valueMode of no scale", "'raw' is not one of",
     SIM, ["list"], 0, response([changed(DEVICE, ["controls", 0, "valueMode"], "raw")])),
    ("settable without a value", "'value' is a required property",
     SIM, ["list"], 0, response([changed(DEVICE, ["controls", 0], {
         k: v for k, v in BRIGHTNESS.items() if k not in ("value", "valueMode")})])),
    ("kind the tool does not name", "'brightnes' is not one of",
     SIM, ["list"], 0, response([changed(DEVICE, ["controls", 0, "kind"], "brightnes")])),
    ("class code of five characters", "is too long",
     SIM, ["list"], 0, response([changed(DEVICE, ["controls", 0, "classCode"], "brit\n")])),
    ("class code in capital hex", "does not match '^0x[0-9a-f]{8}$'",
     SIM, ["list"], 0, response([changed(DEVICE, ["controls", 0, "classCode"], "0x0098F901")])),
    ("manufacturer null", "None is not of type 'string'",
     SIM, ["list"], 0, response([DEVICE | {"manufacturer": None}])),
    ("error missing when ok is false", "'error' is a required property",
     SIM, ["set"], 1, '{"devices":[],"ok":false}\n'),
    ("error when ok is true", "should not be valid under {'required': ['error']}",
     SIM, ["list"], 0, '{"devices":[],"error":"Camera device was not found.","ok":true}\n'),
    ("exit status 0 with ok false", "exit status 0 with ok false",
     SIM, ["set"], 0, response([], "Camera device was not found.")),
    ("exit status 1 with ok true", "exit status 1 with ok true",
     SIM, ["list"], 1, response([])),
    ("two lines", "not exactly one line",
     SIM, ["list"], 0, response([]) + response([])),
    ("no line feed", "not exactly one line",
     SIM, ["list"], 0, response([]).rstrip("\n")),
    ("no output", "not exactly one line",
     SIM, ["list"], 0, ""),
    ("not JSON", "not JSON",
     SIM, ["list"], 0, "devices: none\n"),
    ("NaN", "NaN is not JSON",
     SIM, ["list"], 0, response([changed(DEVICE, ["controls", 0, "value"], 1)]).replace(
         '"value":1', '"value":NaN')),
    ("a number past a double", "1e999 is not a finite number",
     SIM, ["list"], 0, response([changed(DEVICE, ["controls", 0, "value"], 1)]).replace(
         '"value":1', '"value":1e999')),
    ("a key given twice", "a key given twice",
     SIM, ["list"], 0, '{"devices":[],"ok":true,"ok":true}\n'),
    ("keys out of order", "keys not in order",
     SIM, ["list"], 0, '{"ok":true,"devices":[]}\n'),
    ("output after a fixture fault", "stopped with status 2",
     SIM, ["list"], 2, response([])),
    ("status 2 from camknob", "not exactly one line",
     "camknob", ["list"], 2, ""),
    ("program of no schema", "no schema for the program camknob-other",
     "camknob-other", ["list"], 0, response([])),
    ("profile of version 2", "1 was expected",
     PROFILE, ["save"], 0, profile(camknobProfile=2)),
    ("profile without a name", "'name' is a required property",
     PROFILE, ["save"], 0, PROFILE_TEXT.replace('  "name": "PTZ Pro Camera",\n', "")),
    ("profile with a key of no schema", "'saved' was unexpected",
     PROFILE, ["save"], 0, profile(saved="today")),
    ("profile kind misspelt", "'brightnes' is not one of",
     PROFILE, ["save"], 0, profile_control({"kind": "brightnes", "on": True})),
    ("profile kind of five characters", "'hflip' is not one of",
     PROFILE, ["save"], 0, profile_control({"kind": "hflip", "on": True})),
    ("profile kind in capital hex", "does not match '^0x[0-9a-f]{8}$'",
     PROFILE, ["save"], 0, profile_control({"kind": "0x0098F901", "on": True})),
    ("profile control of a kind alone", "'nativeData' is a required property",
     PROFILE, ["save"], 0, profile_control({"kind": "brightness"})),
    ("profile value without valueMode", "'valueMode' is a dependency of 'value'",
     PROFILE, ["save"], 0, profile_control({"kind": "brightness", "value": 1})),
    ("profile valueMode without value", "'value' is a dependency of 'valueMode'",
     PROFILE, ["save"], 0,
     profile_control({"kind": "brightness", "on": True, "valueMode": "native"})),
    ("profile value past a float", "greater than the maximum of 3.4028234663852886e+38",
     PROFILE, ["save"], 0,
     profile_control({"kind": "brightness", "valueMode": "native", "value": 1e39})),
    ("profile nativeData of another kind", "'panTiltAbsolute' was expected",
     PROFILE, ["save"], 0,
     profile_control({"kind": "panTiltRelative", "nativeData": [0, 0, 0, 0]})),
    ("profile nativeData of 65 bytes", "is too long",
     PROFILE, ["save"], 0, profile_control({"kind": "panTiltAbsolute", "nativeData": [0] * 65})),
    ("profile nativeData byte past 255", "256 is greater than the maximum of 255",
     PROFILE, ["save"], 0, profile_control({"kind": "panTiltAbsolute", "nativeData": [256]})),
    ("profile with a key given twice", "a key given twice",
     PROFILE, ["save"], 0,
     PROFILE_TEXT.replace('"uid": "SIM-PTZ-0001",', '"uid": "SIM-PTZ-0001", "uid": "x",')),
    ("profile in place of the answer of a save to a file", "not exactly one line",
     PROFILE, ["save", "p.json"], 0, PROFILE_TEXT),
    ("answer in place of the profile", "'camknobProfile' is a required property",
     PROFILE, ["save", "--device", "x"], 0,
     '{"controls":3,"file":"-","name":"PTZ Pro Camera","ok":true,"uid":"SIM-PTZ-0001"}\n'),
    ("saved answer without the file", "'file' is a required property",
     PROFILE, ["save", "p.json"], 0,
     '{"controls":3,"name":"PTZ Pro Camera","ok":true,"uid":"SIM-PTZ-0001"}\n'),
    ("skipped without a reason", "'reason' is a required property",
     PROFILE, ["apply"], 0, applied([result("zoom", "value", "skipped", 49)], True)),
    ("reason without skipping", "should not be valid under {'required': ['reason']}",
     PROFILE, ["apply"], 0,
     applied([result("zoom", "value", "applied", 49, reason="absent")], True)),
    ("refused without its error", "'error' is a required property",
     PROFILE, ["apply"], 1, applied([result("zoom", "value", "refused", 49)], False)),
    ("a result of no kind", "'ignored' is not one of",
     PROFILE, ["apply"], 0, applied([result("zoom", "value", "ignored", 49)], True)),
    ("no control but not absent", "'skipped' was expected",
     PROFILE, ["apply"], 0, applied([result("zoom", "value", "applied", None)], True)),
    ("ok with a refusal", "'refused' is not one of ['applied', 'skipped']",
     PROFILE, ["apply"], 0, applied([result(
         "zoom", "value", "refused", 49, error="Failed to set zoom: -50 (0xffffffce).")], True)),
    ("not ok with every control applied", "does not contain items",
     PROFILE, ["apply"], 1, applied([result("zoom", "value", "applied", 49)], False)),
    ("apply answer without error when not ok", "'error' is a required property",
     PROFILE, ["apply"], 1,
     line({"controls": [result("zoom", "value", "differs", 49)], "ok": False})),
    ("apply answer with a bad device", "at /device: 'uid' is a required property",
     PROFILE, ["apply"], 0, applied([], True, changed(DEVICE, ["uid"], None))),
    ("failure with results", "is too long",
     PROFILE, ["apply"], 1, line({
         "controls": [result("zoom", "value", "applied", 49)],
         "error": "Camera device was not found.", "ok": False})),
    ("failure without error", "'error' is a required property",
     PROFILE, ["frobnicate"], 1, '{"ok":false}\n'),
    ("answer keys out of order", "keys not in order",
     PROFILE, ["frobnicate"], 1, '{"ok":false,"error":"Unknown command: frobnicate."}\n'),
    ("answer on two lines", "not exactly one line",
     PROFILE, ["frobnicate"], 1, '{"error":"Unknown command: frobnicate.",\n"ok":false}\n'),
    ("output after a profile fault", "stopped with status 2",
     PROFILE, ["apply", "bad.json"], 2, '{"ok":false}\n'),
    ("help without text", "no usage text",
     PROFILE, ["-h"], 0, ""),
]


def record(program, arguments, exit_status, out):
    return {"program": program, "arguments": arguments, "exitStatus": exit_status, "stdout": out}


def check_cases():
    faults = []
    for program, arguments, exit_status, out in VALID:
        try:
            validate_outputs.check_record(VALIDATORS, record(program, arguments, exit_status, out))
        except validate_outputs.Invalid as error:
            faults.append(f"rejected a valid output ({program} {arguments}): {error}\n  {out!r}")
    for what, message, program, arguments, exit_status, out in INVALID:
        try:
            validate_outputs.check_record(VALIDATORS, record(program, arguments, exit_status, out))
            faults.append(f"accepted {what}: {out!r}")
        except validate_outputs.Invalid as error:
            if message not in str(error):
                faults.append(f"rejected {what} for another fault: {error}")
    try:
        validate_outputs.check_record(
            VALIDATORS, {"program": SIM, "arguments": [], "exitStatus": 0, "stdoutBytes": [255]})
        faults.append("accepted an output that is not UTF-8")
    except validate_outputs.Invalid:
        pass
    return faults


def run_script(folder):
    return subprocess.run(
        [sys.executable, str(HERE / "validate_outputs.py"), str(folder)],
        capture_output=True, text=True, check=False)


def check_folders():
    """Exit status and log of the script on whole folders."""
    faults = []
    with tempfile.TemporaryDirectory() as scratch:
        folder = pathlib.Path(scratch)
        empty = run_script(folder / "nothing-here")
        if empty.returncode == 0:
            faults.append(f"passed with nothing recorded: {empty.stdout}")

        good = [record(*case) for case in VALID]
        (folder / "1.jsonl").write_text("".join(json.dumps(r) + "\n" for r in good[:10]))
        (folder / "2.jsonl").write_text("".join(json.dumps(r) + "\n" for r in good[10:]))
        passed = run_script(folder)
        expected = f"schema: {len(good)} outputs valid, 0 invalid"
        if passed.returncode != 0 or expected not in passed.stdout:
            faults.append(f"valid records: status {passed.returncode}, log:\n{passed.stdout}")

        bad = record(SIM, ["set", "--value", "5"], 1, '{"devices":[],"ok":false}\n')
        with (folder / "2.jsonl").open("a") as file:
            file.write(json.dumps(bad) + "\n")
            file.write("{not a record\n")
        failed = run_script(folder)
        if (failed.returncode == 0 or "camknob-sim set --value 5" not in failed.stdout
                or "2.jsonl" not in failed.stdout or "2 invalid" not in failed.stdout):
            faults.append(f"invalid records: status {failed.returncode}, log:\n{failed.stdout}")
    return faults


def main():
    faults = check_cases() + check_folders()
    for fault in faults:
        print(f"FAIL {fault}")
    print(f"validator: {len(VALID)} valid and {len(INVALID) + 1} invalid outputs tried, "
          f"{len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
