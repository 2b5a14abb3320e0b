#!/usr/bin/env python3
"""corvitt_e2e.py CALLER LIBRARY: loads the built Corvitt shared library in
a separate process (CALLER dlopens it and calls SetConsoleFullScreenMode)
against a KIT_REGISTRY file, and checks the result printed and the file
afterwards. Each case starts from its own registry file."""
import os
import re
import subprocess
import sys
import tempfile

failures = []


def check(condition, what):
    print(("ok: " if condition else "FAIL: ") + what)
    if not condition:
        failures.append(what)


def keys(text):
    """The .reg text as {key: {value name: value text}}."""
    result, current = {}, None
    for line in text.splitlines():
        if line.startswith("[") and line.endswith("]"):
            current = result.setdefault(line[1:-1], {})
        elif current is not None and line.startswith('"'):
            match = re.match(r'"((?:[^"\\]|\\.)*)"=(.*)$', line)
            if match:
                current[match.group(1)] = match.group(2)
    return result


def call(registry, flag):
    env = dict(os.environ, KIT_REGISTRY=registry)
    result = subprocess.run([sys.argv[1], sys.argv[2], str(flag)], env=env, timeout=30,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    if result.returncode != 0:
        return None, result.stderr
    return int(result.stdout.strip()), result.stderr


CONSOLE = "HKEY_CURRENT_USER\\Console"
# (what, values under HKCU\Console or None for no key, flags called in turn,
#  results expected, FullScreen in the file afterwards or None, key afterwards)
CASES = [
    ("0 -> 1, then 1 again", {"FullScreen": "dword:00000000"}, [1, 1], [1, 0], "dword:00000001", True),
    ("1 -> 2", {"FullScreen": "dword:00000001"}, [2], [1], "dword:00000002", True),
    ("equal", {"FullScreen": "dword:00000000"}, [0], [0], "dword:00000000", True),
    ("binary of 4 bytes", {"FullScreen": "hex:00,00,00,00"}, [1], [1], "dword:00000001", True),
    ("8 bytes", {"FullScreen": "hex:00,00,00,00,00,00,00,00"}, [1], [0], "hex:00,00,00,00,00,00,00,00", True),
    ("2 bytes", {"FullScreen": "hex:01,00"}, [0], [0], "hex:01,00", True),
    ("no value", {"WindowSize": "dword:00190050"}, [1], [0], None, True),
    # The key is created volatile: it is gone from the file, as from a hive
    # that has been unloaded.
    ("no key", None, [1], [0], None, False),
]


def main():
    scratch = tempfile.mkdtemp(prefix="corvitt-e2e-")
    for index, (what, values, flags, results, after, key_after) in enumerate(CASES):
        registry = os.path.join(scratch, "case%d.reg" % index)
        lines = ["REGEDIT4", "", "[HKEY_CURRENT_USER\\Software\\Zelmar]", '"Kept"="yes"', ""]
        if values is not None:
            lines.append("[%s]" % CONSOLE)
            lines += ['"%s"=%s' % item for item in values.items()]
        with open(registry, "w") as f:
            f.write("\n".join(lines) + "\n")
        got = []
        for flag in flags:
            result, errors = call(registry, flag)
            got.append(result)
            if result is None:
                print(errors)
        check(got == results, "%s: results %r (expected %r)" % (what, got, results))
        stored = keys(open(registry).read())
        check((CONSOLE in stored) == key_after, "%s: Console key %s in the file" % (what, "present" if key_after else "absent"))
        check(stored.get(CONSOLE, {}).get("FullScreen") == after,
              "%s: FullScreen is %r (expected %r)" % (what, stored.get(CONSOLE, {}).get("FullScreen"), after))
        check(stored.get("HKEY_CURRENT_USER\\Software\\Zelmar") == {"Kept": '"yes"'}, "%s: other keys kept" % what)
    print("%d check(s) failed" % len(failures) if failures else "all checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
