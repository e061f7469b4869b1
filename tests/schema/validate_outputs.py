#!/usr/bin/python3
"""Holds every output the end-to-end tests recorded against camknob's JSON Schemas.

The end-to-end tests, run with CAMKNOB_E2E_RECORD naming a folder, leave one
file per test process there: one JSON record per line for each run whose
standard output the test read (program, arguments, exit status, output).
This checks the schemas against the 2020-12 metaschema, then each record
against the schema of what its program printed, and the response lines that
README.md quotes in full. Any failure, or a folder with nothing recorded, makes
the exit status 1.

Usage: validate_outputs.py [--schemas DIR] [--readme README.md] FOLDER
"""

import argparse
import json
import math
import pathlib
import sys

from jsonschema import Draft202012Validator, RefResolver

SCHEMA_FILES = {
    "response": "camknob-response.schema.json",
    "profile": "camknob-profile.schema.json",
    "answer": "camknob-profile-answer.schema.json",
}

RESPONSE_PROGRAMS = {"camknob", "camknob-sim", "camknob-sim-cmio"}
PROFILE_PROGRAMS = {"camknob-profile", "camknob-profile-sim"}
# camknob-sim stops with status 2 and nothing on standard output when its
# fixture cannot be read; so does camknob-profile when its profile cannot be.
STOPS_WITH_STATUS_2 = {"camknob-sim", "camknob-sim-cmio"} | PROFILE_PROGRAMS

# The line printed when a response cannot be encoded: fixed text, the one
# response whose keys are not in order.
FALLBACK_LINE = '{"ok":false,"devices":[],"error":"Failed to encode response"}\n'
HELP_WORDS = {"--help", "-h", "help"}
PROFILE_SIZE_LIMIT = 1 << 20


class Invalid(Exception):
    pass


def refuse_fetch(uri):
    raise Invalid(f"reference to {uri} is not one of camknob's schemas (nothing is fetched)")


def load_validators(folder):
    """The three validators, each resolving the others' $id without a network."""
    schemas = {}
    for name, file in SCHEMA_FILES.items():
        path = folder / file
        schema = json.loads(path.read_text(encoding="utf-8"))
        Draft202012Validator.check_schema(schema)
        schemas[name] = schema
    store = {schema["$id"]: schema for schema in schemas.values()}
    handlers = {scheme: refuse_fetch for scheme in ("http", "https", "urn", "file")}
    return {
        name: Draft202012Validator(
            schema,
            resolver=RefResolver.from_schema(schema, store=store, handlers=handlers),
        )
        for name, schema in schemas.items()
    }


def reject_constant(name):
    raise Invalid(f"{name} is not JSON")


def finite_number(text):
    value = float(text)
    if not math.isfinite(value):
        raise Invalid(f"{text} is not a finite number")
    return value


def pairs_to_object(pairs, keys_sorted):
    keys = [key for key, _ in pairs]
    if len(set(keys)) != len(keys):
        raise Invalid(f"a key given twice in one object: {keys}")
    if keys_sorted and keys != sorted(keys):
        raise Invalid(f"keys not in order: {keys}")
    return dict(pairs)


def parse(text, keys_sorted):
    """Strict JSON: no NaN, no number too large for a double, no repeated key,
    keys in order if asked."""
    try:
        return json.loads(
            text,
            object_pairs_hook=lambda pairs: pairs_to_object(pairs, keys_sorted),
            parse_constant=reject_constant,
            parse_float=finite_number,
        )
    except json.JSONDecodeError as error:
        raise Invalid(f"not JSON: {error}") from None


def explain(error):
    """Where and what. For an output that fits none of several forms, the
    faults of the forms it comes closest to: the fewest, then the deepest."""
    if error.validator in ("anyOf", "oneOf") and error.context:
        forms = {}
        for fault in error.context:
            forms.setdefault(fault.relative_schema_path[0], []).append(fault)

        def distance(faults):
            return (len(faults), -max(len(fault.absolute_path) for fault in faults))

        nearest = min(distance(faults) for faults in forms.values())
        return " | ".join(
            "; ".join(explain(fault) for fault in faults)
            for faults in forms.values()
            if distance(faults) == nearest
        )
    where = "/" + "/".join(str(part) for part in error.absolute_path)
    message = error.message  # holds the value: a long one is cut in its middle
    if len(message) > 240:
        message = message[:160] + " ... " + message[-80:]
    rule = "/".join(str(part) for part in error.absolute_schema_path)
    return f"at {where}: {message} (rule {rule})"


def schema_errors(validator, document):
    errors = sorted(validator.iter_errors(document), key=lambda e: list(e.absolute_path))
    if errors:
        raise Invalid("; ".join(explain(error) for error in errors))


def one_line(text):
    if not text.endswith("\n") or text.count("\n") != 1:
        raise Invalid("not exactly one line")


def check_ok_matches_exit(document, exit_status):
    ok = document.get("ok") if isinstance(document, dict) else None
    if (exit_status == 0) != (ok is True):
        raise Invalid(f"exit status {exit_status} with ok {json.dumps(ok)}")


def check_response(validators, exit_status, out):
    one_line(out)
    document = parse(out, keys_sorted=out != FALLBACK_LINE)
    schema_errors(validators["response"], document)
    check_ok_matches_exit(document, exit_status)


def saves_to_standard_output(arguments):
    """Whether a save command line names no FILE (or names -)."""
    files = []
    rest = iter(arguments[1:])
    for argument in rest:
        if argument == "--device":
            next(rest, None)
        else:
            files.append(argument)
    return all(file == "-" for file in files)


def check_profile_run(validators, arguments, exit_status, out):
    command = arguments[0] if arguments else None
    if command in HELP_WORDS and exit_status == 0:
        if not out.strip():
            raise Invalid("no usage text")
        return
    if command == "save" and exit_status == 0 and saves_to_standard_output(arguments):
        if len(out.encode("utf-8")) > PROFILE_SIZE_LIMIT:
            raise Invalid("a profile larger than 1 MiB")
        schema_errors(validators["profile"], parse(out, keys_sorted=False))
        return
    one_line(out)
    document = parse(out, keys_sorted=True)
    schema_errors(validators["answer"], document)
    check_ok_matches_exit(document, exit_status)


def check_record(validators, record):
    """Raises Invalid when the recorded run printed what it may not."""
    program, arguments = record["program"], record["arguments"]
    exit_status = record["exitStatus"]
    if "stdout" not in record:
        raise Invalid("output is not UTF-8")
    out = record["stdout"]
    if exit_status == 2 and program in STOPS_WITH_STATUS_2:
        if out:
            raise Invalid("output from a run stopped with status 2")
        return
    if program in RESPONSE_PROGRAMS:
        check_response(validators, exit_status, out)
    elif program in PROFILE_PROGRAMS:
        check_profile_run(validators, arguments, exit_status, out)
    else:
        raise Invalid(f"no schema for the program {program}")


def recorded_runs(folder):
    """(where, record) for every record line of every file in the folder."""
    for path in sorted(folder.glob("*.jsonl")):
        with path.open(encoding="utf-8") as file:
            for number, line in enumerate(file, 1):
                where = f"{path.name}:{number}"
                try:
                    record = json.loads(line)
                except ValueError as error:
                    yield where, f"not JSON: {error}"
                    continue
                fields = ("program", "arguments", "exitStatus")
                if not isinstance(record, dict) or not all(field in record for field in fields):
                    yield where, "not a record of a run"
                    continue
                yield where, record


def readme_responses(readme):
    """The response lines README.md quotes whole: compact lines that start as
    a response does (a fixture is spaced out; lines with … are cut short)."""
    for number, line in enumerate(readme.read_text(encoding="utf-8").splitlines(), 1):
        if line.startswith('{"devices":[') and "…" not in line:
            yield f"{readme.name}:{number}", line + "\n"


def describe(record):
    if not isinstance(record, dict):
        return f"  bad record: {record}"
    command = " ".join([record.get("program", "?")] + list(record.get("arguments", [])))
    shown = repr(record.get("stdout", record.get("stdoutBytes")))
    if len(shown) > 2000:  # a response of fifty cameras: its start and end
        shown = shown[:1500] + " ... " + shown[-500:]
    return f"  run: {command}\n  exit status: {record.get('exitStatus')}\n  output: {shown}"


def main(argv):
    here = pathlib.Path(__file__).resolve().parent
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder", type=pathlib.Path)
    parser.add_argument("--schemas", type=pathlib.Path, default=here.parent.parent / "schema")
    parser.add_argument("--readme", type=pathlib.Path)
    arguments = parser.parse_args(argv)

    validators = load_validators(arguments.schemas)
    failures = valid = 0
    for where, record in recorded_runs(arguments.folder):
        try:
            if not isinstance(record, dict):
                raise Invalid(str(record))
            check_record(validators, record)
            valid += 1
        except Invalid as fault:
            failures += 1
            print(f"FAIL {where}: {fault}\n{describe(record)}")
    recorded = valid + failures

    readme_lines = 0
    if arguments.readme:
        for where, line in readme_responses(arguments.readme):
            try:
                one_line(line)
                schema_errors(validators["response"], parse(line, keys_sorted=True))
                readme_lines += 1
            except Invalid as fault:
                failures += 1
                print(f"FAIL {where}: {fault}\n  line: {line!r}")

    print(f"schema: {valid} outputs valid, {failures} invalid"
          + (f", {readme_lines} README lines valid" if arguments.readme else ""))
    if recorded == 0:
        print(f"schema: nothing recorded in {arguments.folder}")
        return 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
