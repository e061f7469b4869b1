#!/usr/bin/env python3
"""Checks camknobd's launchd agent as the install makes it on a Mac.

usage: launchd_agent_test.py CMAKE LAUNCHD_AGENT_SCRIPT

For each install prefix of the table the agent is made by
cmake/launchd_agent.cmake (the code `cmake --install` runs on macOS) under a
scratch folder, read with plistlib as launchd reads the property list, and
its command is then run as launchd would start it, with HOME a scratch
folder: /bin/sh runs a stand-in camknobd at the installed path, whose start
line and messages must land in $HOME/Library/Logs/camknob/camknobd.log, a
folder nobody made before, and whose exit status launchd must see (KeepAlive
restarts on failure only). Exit status: 0 passed, 1 failed.
"""

import os
import pathlib
import plistlib
import subprocess
import sys
import tempfile

LABEL = "org.camknob.camknobd"

# (name, install prefix under the scratch folder, CMAKE_INSTALL_BINDIR, where
# camknobd is then installed, under the scratch folder). Paths with what a
# shell or XML would read otherwise: spaces, quotes, &, <, $ and backquotes.
CASES = [
    ("usr local", "/usr/local", "bin", "/usr/local/bin/camknobd"),
    ("Homebrew keg", "/opt/homebrew/Cellar/camknob/HEAD-1a2b3c4", "bin",
     "/opt/homebrew/Cellar/camknob/HEAD-1a2b3c4/bin/camknobd"),
    ("trailing slash", "/usr/local/", "bin", "/usr/local/bin/camknobd"),
    ("space", "/Users/Jo Doe/camknob", "bin", "/Users/Jo Doe/camknob/bin/camknobd"),
    ("quote and markup", "/tmp/Jo's & <tools>", "bin", "/tmp/Jo's & <tools>/bin/camknobd"),
    ("shell words", "/tmp/$HOME `id` \"x\" \\n", "bin",
     "/tmp/$HOME `id` \"x\" \\n/bin/camknobd"),
    ("bindir absolute", "/usr", "@/opt/camknob/sbin", "/opt/camknob/sbin/camknobd"),
    ("bindir nested", "/opt/ck", "libexec/../bin", "/opt/ck/bin/camknobd"),
]

# The stand-in camknobd: its start line on standard output, a message on
# standard error, its process id and the path it was started by, and the exit
# status it is told.
STAND_IN = """#!/bin/sh
echo '{"url":"http://127.0.0.1:9734"}'
echo "camknobd: a message" >&2
printf '%s\\n%s\\n' "$$" "$0" > "$CAMKNOB_TEST_RECORD"
exit "${CAMKNOB_TEST_EXIT:-0}"
"""


def make_agent(cmake, script, prefix, bindir, output):
    result = subprocess.run([cmake, f"-DPREFIX={prefix}", f"-DBINDIR={bindir}",
                             f"-DOUTPUT={output}", "-P", script],
                            capture_output=True, text=True, check=False)
    if result.returncode != 0:
        raise RuntimeError(f"cmake -P {script} failed: {result.stderr}")
    with open(output, "rb") as file:
        try:
            return plistlib.load(file)
        except Exception as error:  # expat's, plistlib's: not a property list
            raise ValueError(f"not a property list plistlib reads: {error}") from error


def shape_faults(agent, output):
    faults = []
    if agent.get("Label") != LABEL:
        faults.append(f"Label is {agent.get('Label')!r}, not {LABEL}")
    if pathlib.Path(output).name != f"{LABEL}.plist":
        faults.append("the file is not named after its label")
    if agent.get("RunAtLoad") is not True:
        faults.append(f"RunAtLoad is {agent.get('RunAtLoad')!r}, not true")
    if agent.get("KeepAlive") != {"SuccessfulExit": False}:
        faults.append(f"KeepAlive is {agent.get('KeepAlive')!r}, not restart on failure only")
    arguments = agent.get("ProgramArguments")
    if not (isinstance(arguments, list) and len(arguments) == 3
            and arguments[:2] == ["/bin/sh", "-c"]):
        faults.append(f"ProgramArguments is {arguments!r}, not /bin/sh -c COMMAND")
    # launchd expands neither ~ nor $HOME in its own keys.
    for key in ("StandardOutPath", "StandardErrorPath", "WorkingDirectory"):
        value = agent.get(key)
        if value is not None and ("~" in value or "$" in value or not value.startswith("/")):
            faults.append(f"{key} {value!r} is not a path launchd can open as it is")
    return faults


def run_faults(command, program, scratch):
    """Starts COMMAND as launchd would (no terminal, HOME set) twice, the
    second time failing, and checks the log and the statuses. camknobd must be
    the process launchd started (the shell's exec), so that launchctl's
    SIGTERM reaches it."""
    program.parent.mkdir(parents=True, exist_ok=True)
    program.write_text(STAND_IN, encoding="utf-8")
    program.chmod(0o755)
    home = scratch / "home"
    home.mkdir()
    record = scratch / "started-as"
    log = home / "Library/Logs/camknob/camknobd.log"
    faults = []
    for exit_status in (0, 3):
        environment = {"HOME": str(home), "PATH": "/usr/bin:/bin",
                       "CAMKNOB_TEST_RECORD": str(record),
                       "CAMKNOB_TEST_EXIT": str(exit_status)}
        with subprocess.Popen(["/bin/sh", "-c", command], env=environment,
                              stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, text=True) as started:
            stdout, stderr = started.communicate(timeout=30)
        if started.returncode != exit_status:
            faults.append(f"exit status {started.returncode} where camknobd's was {exit_status}: "
                          f"{stderr.strip()!r}")
        if stdout or stderr:
            faults.append(f"output outside the log: {stdout!r} {stderr!r}")
        recorded = record.read_text(encoding="utf-8").splitlines() if record.exists() else []
        if recorded != [str(started.pid), str(program)]:
            faults.append(f"camknobd ran as (process, path) {recorded!r}, not as the started "
                          f"process {started.pid} by {str(program)!r}")
        record.unlink(missing_ok=True)
    if not log.is_file():
        return faults + [f"no log at {log}"]
    lines = log.read_text(encoding="utf-8").splitlines()
    expected = ['{"url":"http://127.0.0.1:9734"}', "camknobd: a message"] * 2
    if lines != expected:
        faults.append(f"the log holds {lines!r}, not both starts' lines {expected!r}")
    return faults


def main():
    if len(sys.argv) != 3:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 1
    cmake, script = sys.argv[1], sys.argv[2]
    failed = 0
    for name, prefix, bindir, installed in CASES:
        with tempfile.TemporaryDirectory() as folder:
            scratch = pathlib.Path(folder)
            root = str(scratch / "root")
            bindir_given = root + bindir[1:] if bindir.startswith("@") else bindir
            output = scratch / f"{LABEL}.plist"
            try:
                agent = make_agent(cmake, script, root + prefix, bindir_given, output)
                faults = shape_faults(agent, output)
            except (RuntimeError, ValueError) as error:
                faults = [str(error)]
            if not faults:
                faults = run_faults(agent["ProgramArguments"][2],
                                    pathlib.Path(root + installed), scratch)
        if faults:
            failed += 1
            print(f"FAIL {name} (prefix {prefix!r}, bindir {bindir!r}):\n  " + "\n  ".join(faults))
        else:
            print(f"ok   {name}: {installed}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
