#!/usr/bin/env python3
"""Loads every fixture through `inikit dump` and compares the JSON with the
hand-checked expected model.

usage: inikit_dump_test.py INIKIT FIXTURE_DIR

For each fixtures/NAME.ini: `inikit dump NAME.ini` must print the model of
NAME.json; when NAME.editable.json exists, `inikit dump --editable NAME.ini`
must print that one. Fixtures are copied to a temporary folder first, and
every file there must be byte for byte unchanged after each dump (an
editable dump must not rewrite its file). Also checks the escaping rule of
the output, a missing file, the usage errors and --help.
"""
import glob
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

failures = []


def fail(message):
    failures.append(message)
    print("FAIL: " + message)


def snapshot(folder):
    result = {}
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), "rb") as f:
            result[name] = f.read()
    return result


# Outside strings: JSON punctuation, blanks, true/false/null. Inside strings:
# printable ASCII other than " and \, or \u00XX.
STRING = r'"(?:[\x20\x21\x23-\x5b\x5d-\x7e]|\\u00[0-9a-f]{2})*"'
TOKEN = re.compile(r'\s*(?:' + STRING + r'|[\[\]{}:,]|true|false|null)')


def check_escaping(output, what):
    position = 0
    while position < len(output):
        match = TOKEN.match(output, position)
        if match is None:
            fail("%s: output breaks the escaping rule at %r" % (what, output[position:position + 40]))
            return
        position = match.end()
        if output[position:].strip() == "":
            return


def dump(inikit, arguments, cwd):
    return subprocess.run([inikit, "dump"] + arguments, cwd=cwd, capture_output=True)


def compare(inikit, folder, name, arguments, expected_file):
    what = "dump %s %s" % (" ".join(arguments), name)
    with open(expected_file, "rb") as f:
        expected = json.loads(f.read().decode("ascii"))
    before = snapshot(folder)
    result = dump(inikit, arguments + [name], folder)
    if result.returncode != 0:
        fail("%s: exit code %d, stderr %r" % (what, result.returncode, result.stderr))
        return
    text = result.stdout.decode("ascii", errors="replace")
    check_escaping(text, what)
    try:
        actual = json.loads(text)
    except ValueError as error:
        fail("%s: not JSON (%s): %r" % (what, error, text[:200]))
        return
    if actual != expected:
        fail("%s:\n  expected %s\n  actual   %s" % (what, json.dumps(expected), json.dumps(actual)))
    if snapshot(folder) != before:
        fail("%s: a file of the folder changed" % what)


def main():
    inikit, fixtures = sys.argv[1], sys.argv[2]
    folder = tempfile.mkdtemp(prefix="inikit_dump_")
    try:
        for path in glob.glob(os.path.join(fixtures, "*.ini")):
            shutil.copy(path, folder)
        names = sorted(os.path.basename(p) for p in glob.glob(os.path.join(fixtures, "*.ini")))
        if not names:
            fail("no fixtures in " + fixtures)
        for name in names:
            stem = os.path.join(fixtures, name[:-4])
            if not os.path.exists(stem + ".json"):
                fail("%s has no expected model %s.json" % (name, name[:-4]))
                continue
            compare(inikit, folder, name, [], stem + ".json")
            if os.path.exists(stem + ".editable.json"):
                compare(inikit, folder, name, ["--editable"], stem + ".editable.json")
            print("ok: " + name)

        for arguments in ([], ["--editable"]):
            result = dump(inikit, arguments + ["no_such.ini"], folder)
            expected = {"opened": False, "sections": []}
            if result.returncode != 0 or json.loads(result.stdout) != expected:
                fail("dump of a missing file: %r %r" % (result.returncode, result.stdout))
            if os.path.exists(os.path.join(folder, "no_such.ini")):
                fail("an editable dump of a missing file created it")

        for arguments in ([], ["--editable"], ["a.ini", "b.ini"], ["--bogus", "a.ini"]):
            result = dump(inikit, arguments, folder)
            if result.returncode != 2 or b"usage" not in result.stderr or result.stdout:
                fail("dump %r: expected a usage error, got %r %r" % (arguments, result.returncode, result.stderr))
        for arguments in ([], ["frobnicate"]):
            result = subprocess.run([inikit] + arguments, capture_output=True)
            if result.returncode != 2 or b"usage" not in result.stderr:
                fail("inikit %r: expected a usage error, got %r" % (arguments, result.returncode))
        result = subprocess.run([inikit, "--help"], capture_output=True)
        if result.returncode != 0 or b"inikit dump [--editable] FILE" not in result.stdout:
            fail("--help: %r %r" % (result.returncode, result.stdout[:200]))
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
