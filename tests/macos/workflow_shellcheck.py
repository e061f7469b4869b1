#!/usr/bin/env python3
"""Checks the GitHub Actions workflows, which cannot run here.

usage: workflow_shellcheck.py WORKFLOW_DIR

Each workflow file must parse as YAML, name its triggers and jobs, give every
job a runner and steps, and every step exactly one of `uses` and `run`. Every
`run` step in bash or sh goes through shellcheck as the runner would run it.
Exit status: 0 clean, 1 a fault (each one printed), 77 skipped (no shellcheck,
or no yaml module: Debian's shellcheck and python3-yaml).
"""

import pathlib
import re
import shutil
import subprocess
import sys
import tempfile

SKIPPED = 77

# ${{ ... }} is replaced by the runner before the shell sees the text: a value
# unknown here, which shellcheck is shown as a variable so that an unquoted
# use is flagged as it would be for one.
EXPRESSION = re.compile(r"\$\{\{.*?\}\}")
EXPRESSION_STAND_IN = "${GITHUB_EXPRESSION}"


def shell_of(step, job, workflow):
    """The shell word a run step runs in: its own, its job's, the workflow's,
    else bash, the runner's default on Linux and macOS."""
    for owner in (step, job.get("defaults", {}).get("run", {}),
                  workflow.get("defaults", {}).get("run", {})):
        if isinstance(owner, dict) and owner.get("shell"):
            return str(owner["shell"]).split()[0]
    return "bash"


def structure_faults(name, workflow):
    """What keeps the runner from taking the workflow, as messages."""
    if not isinstance(workflow, dict):
        return [f"{name}: not a mapping"]
    faults = []
    # YAML 1.1 reads the key `on` as true.
    if "on" not in workflow and True not in workflow:
        faults.append(f"{name}: no `on:` triggers")
    jobs = workflow.get("jobs")
    if not isinstance(jobs, dict) or not jobs:
        return faults + [f"{name}: no jobs"]
    for job_name, job in jobs.items():
        where = f"{name}: job {job_name}"
        if not isinstance(job, dict):
            faults.append(f"{where}: not a mapping")
            continue
        if not job.get("runs-on"):
            faults.append(f"{where}: no runs-on")
        steps = job.get("steps")
        if not isinstance(steps, list) or not steps:
            faults.append(f"{where}: no steps")
            continue
        for number, step in enumerate(steps, 1):
            if not isinstance(step, dict) or ("uses" in step) == ("run" in step):
                faults.append(f"{where}, step {number}: needs exactly one of uses and run")
    return faults


def run_steps(workflow):
    """(job name, step number, step label, shell, script) of every run step."""
    for job_name, job in workflow["jobs"].items():
        for number, step in enumerate(job["steps"], 1):
            if "run" in step:
                label = step.get("name", str(step["run"]).splitlines()[0])
                yield job_name, number, label, shell_of(step, job, workflow), str(step["run"])


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 1
    try:
        import yaml
    except ImportError:
        print("skipped: no yaml module for python3 (Debian: python3-yaml)")
        return SKIPPED
    shellcheck = shutil.which("shellcheck")
    if not shellcheck:
        print("skipped: shellcheck not found (Debian: shellcheck)")
        return SKIPPED

    folder = pathlib.Path(sys.argv[1])
    files = sorted(list(folder.glob("*.yml")) + list(folder.glob("*.yaml")))
    if not files:
        print(f"no workflow file in {folder}", file=sys.stderr)
        return 1

    faults = []
    checked = 0
    with tempfile.TemporaryDirectory() as scratch:
        for path in files:
            try:
                workflow = yaml.safe_load(path.read_text(encoding="utf-8"))
            except yaml.YAMLError as error:
                faults.append(f"{path.name}: not YAML: {error}")
                continue
            found = structure_faults(path.name, workflow)
            faults += found
            if found:
                continue
            for job_name, number, label, shell, script in run_steps(workflow):
                where = f"{path.name}: job {job_name}, step {number} ({label})"
                if shell not in ("bash", "sh"):
                    print(f"{where}: {shell}, not checked")
                    continue
                text = EXPRESSION.sub(EXPRESSION_STAND_IN, script)
                script_file = pathlib.Path(scratch) / f"{job_name}-step{number}.sh"
                script_file.write_text(text, encoding="utf-8")
                result = subprocess.run([shellcheck, "--shell", shell, str(script_file)],
                                        capture_output=True, text=True, check=False)
                checked += 1
                if result.returncode != 0:
                    numbered = "".join(f"{n:4} {line}\n"
                                       for n, line in enumerate(text.splitlines(), 1))
                    faults.append(f"{where}: shellcheck:\n{numbered}{result.stdout}{result.stderr}")
    if checked == 0 and not faults:
        faults.append(f"no run step in the workflows of {folder}")
    for fault in faults:
        print(fault, file=sys.stderr)
    if faults:
        return 1
    print(f"{checked} run steps of {len(files)} workflow files are shellcheck-clean")
    return 0


if __name__ == "__main__":
    sys.exit(main())
