#!/usr/bin/env python3
"""setup_e2e.py SETUP: runs the built setup launcher as a process, copied
into a scratch folder whose name has a blank, beside a sample _setup.EXE
(a shell script that records its arguments and current directory, runs for
a second and ends with exit code 7). Checks the notice in the message box
log, what the installer was started with, that the launcher waited for it,
and the exit code without an installer."""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

SITE = "http://www.zelmar.example/"
ENGLISH = ("If you get a message\r\n\r\n\"1155: File <path>\\instmsi%c.exe not found\"\r\n\r\n"
           ", you must download the 'instmsi%c.exe' file from the Zelmar WEB site (" + SITE +
           ") and run it before installation.")
RUSSIAN = ("Если во время установки Вы получите сообщение\r\n\r\n\"1155: Файл <path>\\instmsi%c.exe не найден\"\r\n\r\n"
           "то Вам необходимо загрузить файл 'instmsi%c.exe' с сайта фирмы 'Зелмар' (" + SITE +
           ") и запустить его перед установкой.")

INSTALLER = """#!/bin/sh
# Sample installer: records its current directory and arguments, then runs
# for a second before it ends.
out="$(dirname "$0")/record.txt"
{ printf 'cwd=%s\\n' "$PWD"; for a in "$@"; do printf 'arg=%s\\n' "$a"; done; } > "$out.tmp"
mv "$out.tmp" "$out"
sleep 1
echo ended >> "$out"
exit 7
"""

failures = []


def check(condition, what):
    print(("ok: " if condition else "FAIL: ") + what)
    if not condition:
        failures.append(what)


def boxes(log):
    """The logged boxes, each text turned back into its bytes."""
    if not os.path.exists(log):
        return []
    shown = []
    with open(log, encoding="ascii") as f:
        for line in f:
            box = json.loads(line)
            box["bytes"] = box["text"].encode("latin-1")
            shown.append(box)
    return shown


def run(folder, arguments, lcid, platform, with_installer):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    launcher = os.path.join(folder, "setup")
    shutil.copy2(sys.argv[1], launcher)
    if with_installer:
        installer = os.path.join(folder, "_setup.EXE")
        with open(installer, "w") as f:
            f.write(INSTALLER)
        os.chmod(installer, 0o755)
    log = os.path.join(folder, "..", "boxes-%d.jsonl" % lcid)
    if os.path.exists(log):
        os.remove(log)
    env = dict(os.environ, KIT_LCID=str(lcid), KIT_PLATFORM_ID=str(platform), KIT_MESSAGEBOX_LOG=log)
    env.pop("KIT_REGISTRY", None)
    started = time.monotonic()
    # The launcher is started by its full path with a blank in it, from
    # another directory.
    result = subprocess.run([launcher] + arguments, env=env, cwd="/", timeout=60,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    elapsed = time.monotonic() - started
    record = os.path.join(folder, "record.txt")
    lines = open(record).read().splitlines() if os.path.exists(record) else None
    return result.returncode, elapsed, lines, boxes(log)


def main():
    scratch = tempfile.mkdtemp(prefix="setup-e2e-")
    try:
        folder = os.path.join(scratch, "Zelmar Setup")

        # English system, NT family, arguments with quotes and blanks.
        arguments = ["/s", "INSTALLDIR=/opt/zelmar kit", 'say "hi"', ""]
        code, elapsed, lines, shown = run(folder, arguments, 1033, 2, True)
        check(code == 0, "English run ends with 0 although the installer ended with 7 (got %d)" % code)
        check(len(shown) == 1, "one message box (got %d)" % len(shown))
        if shown:
            check(shown[0]["caption"] == "ATTENTION!", "caption ATTENTION!")
            check(shown[0]["style"] == 48 and shown[0]["language"] == 0, "exclamation icon, language 0")
            check(shown[0]["bytes"].decode("ascii") == ENGLISH.replace("%c", "w"), "English notice naming instmsiw.exe")
        check(lines is not None, "the installer ran")
        if lines is not None:
            check(lines[0] == "cwd=" + folder, "installer's current directory is the launcher's (%s)" % lines[0])
            check(lines[1:-1] == ["arg=" + a for a in arguments], "installer got the launcher's arguments: %r" % lines[1:-1])
            check(lines[-1] == "ended", "launcher ended only after the installer had ended")
        check(elapsed >= 1.0, "launcher waited for the installer (%.2f s)" % elapsed)

        # Russian system, Windows 95 family, no arguments.
        code, elapsed, lines, shown = run(folder, [], 1049, 1, True)
        check(code == 0, "Russian run ends with 0 (got %d)" % code)
        check(len(shown) == 1, "one message box (got %d)" % len(shown))
        if shown:
            text = shown[0]["bytes"].decode("cp1251")
            check(text == RUSSIAN.replace("%c", "a"), "Russian notice in code page 1251 naming instmsia.exe")
        check(lines == ["cwd=" + folder, "ended"], "installer started without arguments: %r" % lines)

        # No installer beside the launcher.
        code, elapsed, lines, shown = run(folder, ["/s"], 1033, 2, False)
        check(code == 255, "without _setup.EXE the exit code is -1 (got %d)" % code)
        check(len(shown) == 1, "the notice only (got %d boxes)" % len(shown))
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    print("%d check(s) failed" % len(failures) if failures else "all checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
