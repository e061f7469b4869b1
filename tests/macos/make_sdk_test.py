#!/usr/bin/env python3
"""Checks tests/macos/make-sdk.sh over small repositories of the SDK
repository's layout (root/...), made here with empty stand-in files, so no
file of Apple's is needed.

usage: make_sdk_test.py MAKE_SDK_SCRIPT

Each case makes a repository, runs the script and checks its exit status, the
files it laid out (exactly the ones the cross build needs, nothing else of
root/), and that a folder it must not touch is left as it was.
Exit status: 0 passed, 1 failed, 77 skipped (no git, bash or tar).
"""

import pathlib
import shutil
import subprocess
import sys
import tempfile

SKIPPED = 77

FRAMEWORKS = ["ApplicationServices", "CFNetwork", "ColorSync", "CoreAudio", "CoreAudioTypes",
              "CoreFoundation", "CoreGraphics", "CoreMedia", "CoreMediaIO", "CoreServices",
              "CoreText", "CoreVideo", "DiskArbitration", "IOKit", "IOSurface", "ImageIO",
              "OpenGL", "Security"]

# What the script must lay out, relative to root/ (and so to OUT).
WANTED = (["SDKSettings.json", "SDKSettings.plist",
           "usr/include/stdio.h", "usr/include/c++/v1/vector",
           "usr/lib/system/libsystem_c.tbd",
           "usr/lib/libSystem.tbd", "usr/lib/libSystem.B.tbd",
           "usr/lib/libc++.tbd", "usr/lib/libc++.1.tbd", "usr/lib/libc++abi.tbd"]
          + [f"System/Library/Frameworks/{name}.framework/Headers/{name}.h" for name in FRAMEWORKS]
          + [f"System/Library/Frameworks/{name}.framework/{name}.tbd" for name in FRAMEWORKS])

# What the repository holds beside them and the script must leave out: other
# libraries (one whose name merely contains libSystem), frameworks the build
# does not use (one whose name begins as a wanted one's), tools.
UNWANTED = ["Entitlements.plist", "usr/bin/tool", "usr/lib/libsqlite3.tbd",
            "usr/lib/libcurl.4.tbd", "usr/lib/crt1.o", "usr/lib/swift/libSystem.tbd",
            "System/Library/Frameworks/AVFoundation.framework/Headers/AVFoundation.h",
            "System/Library/Frameworks/CoreMediaIOExtras.framework/Headers/X.h",
            "System/Library/PrivateFrameworks/CoreMediaIO.framework/Headers/P.h"]


def run(command, **options):
    return subprocess.run(command, capture_output=True, text=True, check=False, **options)


def make_repository(folder, leave_out=()):
    """A git work tree at FOLDER whose HEAD holds root/ with WANTED and
    UNWANTED, less the paths of leave_out. Returns its .git folder."""
    for relative in WANTED + UNWANTED:
        if relative in leave_out:
            continue
        path = folder / "root" / relative
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(f"stand-in for {relative}\n", encoding="utf-8")
    # A framework's usual symbolic link, which must come through as one.
    link = folder / "root/System/Library/Frameworks/CoreMediaIO.framework/Current"
    if link.parent.is_dir():
        link.symlink_to("Headers")
    git = ["git", "-C", str(folder), "-c", "user.name=t", "-c", "user.email=t@t"]
    for step in (["init", "-q"], ["add", "-A"], ["commit", "-q", "-m", "layout"]):
        result = run(git + step)
        if result.returncode != 0:
            raise RuntimeError(f"git {step[0]}: {result.stderr}")
    return folder / ".git"


def laid_out(folder):
    """Every file and link under FOLDER, relative."""
    return sorted(str(path.relative_to(folder)) for path in folder.rglob("*")
                  if path.is_file() or path.is_symlink())


def case_complete_bare(script, scratch):
    work = make_repository(scratch / "tree").parent
    bare = scratch / "sdk.git"
    result = run(["git", "clone", "-q", "--bare", str(work), str(bare)])
    if result.returncode != 0:
        return [f"git clone --bare: {result.stderr}"]
    out = scratch / "out" / "MacOSX12.0.sdk"
    result = run(["bash", script, str(bare), str(out)])
    if result.returncode != 0:
        return [f"exit {result.returncode}, expected 0: {result.stderr}"]
    faults = []
    expected = sorted(WANTED + ["System/Library/Frameworks/CoreMediaIO.framework/Current"])
    got = laid_out(out)
    if got != expected:
        faults.append(f"laid out files differ: missing {sorted(set(expected) - set(got))}, "
                      f"extra {sorted(set(got) - set(expected))}")
    current = out / "System/Library/Frameworks/CoreMediaIO.framework/Current"
    if not current.is_symlink():
        faults.append("the framework's link did not come through as a symbolic link")
    if f"{len(WANTED)} files" not in result.stdout or "never commit" not in result.stdout:
        faults.append(f"the closing line gives no count of {len(WANTED)} files or no warning: "
                      f"{result.stdout!r}")
    leftovers = [p.name for p in out.parent.iterdir() if p.name != out.name]
    if leftovers:
        faults.append(f"scratch folders left beside OUT: {leftovers}")
    return faults


def case_clone_git_folder_replaces_earlier(script, scratch):
    git_dir = make_repository(scratch / "tree")
    out = scratch / "MacOSX12.0.sdk"
    out.mkdir()
    (out / "SDKSettings.json").write_text("{}", encoding="utf-8")
    (out / "stale.h").write_text("", encoding="utf-8")
    result = run(["bash", script, str(git_dir), str(out)])
    if result.returncode != 0:
        return [f"exit {result.returncode}, expected 0: {result.stderr}"]
    faults = []
    if (out / "stale.h").exists():
        faults.append("a file of the SDK laid out before was kept")
    if not (out / "System/Library/Frameworks/Security.framework/Security.tbd").is_file():
        faults.append("Security.framework was not laid out")
    return faults


def case_missing_framework(script, scratch):
    gone = "System/Library/Frameworks/CoreMediaIO.framework"
    git_dir = make_repository(scratch / "tree",
                              leave_out=[p for p in WANTED if p.startswith(gone + "/")])
    out = scratch / "MacOSX12.0.sdk"
    result = run(["bash", script, str(git_dir), str(out)])
    faults = []
    if result.returncode != 1:
        faults.append(f"exit {result.returncode}, expected 1")
    if "root/" + gone not in result.stderr:
        faults.append(f"the message does not name root/{gone}: {result.stderr!r}")
    if out.exists():
        faults.append("OUT was made though the repository lacks a framework")
    return faults


def case_missing_libsystem(script, scratch):
    git_dir = make_repository(scratch / "tree",
                              leave_out=["usr/lib/libSystem.tbd", "usr/lib/libSystem.B.tbd"])
    result = run(["bash", script, str(git_dir), str(scratch / "MacOSX12.0.sdk")])
    faults = []
    if result.returncode != 1:
        faults.append(f"exit {result.returncode}, expected 1")
    if "libSystem" not in result.stderr:
        faults.append(f"the message does not name libSystem: {result.stderr!r}")
    return faults


def case_foreign_folder_left_alone(script, scratch):
    git_dir = make_repository(scratch / "tree")
    out = scratch / "Documents"
    out.mkdir()
    (out / "keep.txt").write_text("mine", encoding="utf-8")
    result = run(["bash", script, str(git_dir), str(out)])
    faults = []
    if result.returncode != 1:
        faults.append(f"exit {result.returncode}, expected 1")
    if laid_out(out) != ["keep.txt"] or (out / "keep.txt").read_text(encoding="utf-8") != "mine":
        faults.append(f"a folder that is no SDK was changed: {laid_out(out)}")
    return faults


def case_not_a_git_directory(script, scratch):
    result = run(["bash", script, str(scratch), str(scratch / "MacOSX12.0.sdk")])
    faults = []
    if result.returncode != 1:
        faults.append(f"exit {result.returncode}, expected 1")
    if "not a git directory" not in result.stderr:
        faults.append(f"the message does not say so: {result.stderr!r}")
    return faults


CASES = [case_complete_bare, case_clone_git_folder_replaces_earlier, case_missing_framework,
         case_missing_libsystem, case_foreign_folder_left_alone, case_not_a_git_directory]


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip().splitlines()[4], file=sys.stderr)
        return 1
    for tool in ("git", "bash", "tar"):
        if not shutil.which(tool):
            print(f"skipped: {tool} not found")
            return SKIPPED
    script = str(pathlib.Path(sys.argv[1]).resolve())
    failed = 0
    for case in CASES:
        with tempfile.TemporaryDirectory() as scratch:
            faults = case(script, pathlib.Path(scratch))
        name = case.__name__.removeprefix("case_")
        if faults:
            failed += 1
            print(f"FAIL {name}:\n  " + "\n  ".join(faults))
        else:
            print(f"ok   {name}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
