#!/usr/bin/env python3
"""wine_corvitt_test.py CORVITT CALLER: loads Corvitt.dll under Wine in a
separate program (CALLER: LoadLibraryA, the export by name and by ordinal 1)
and calls SetConsoleFullScreenMode against the prefix's registry. Checks the
result, the value HKCU\\Console FullScreen afterwards (wine reg query), the
exact arguments of the registry calls in Wine's relay trace, that every
opened key is closed, and that a Console key created by the function is
volatile (gone once the wine server has restarted). The prefix's Console key
is saved first and put back at the end. Needs WINEPREFIX."""
import os
import re
import shutil
import sys

sys.dont_write_bytecode = True  # keep the source tree clean
import winekit  # noqa: E402

CONSOLE = "HKCU\\Console"
TRACED = "RegCreateKeyExA;RegQueryValueExA;RegSetValueExA;RegCloseKey"

checks = winekit.Checks()
check = checks.check


def stored():
    """FullScreen as (type, data text) from wine reg query, or None; and
    whether the Console key exists at all."""
    key = winekit.reg("query", CONSOLE)
    if key.returncode != 0:
        return None, False
    for line in key.stdout.decode("latin-1").splitlines():
        match = re.match(r"^\s+FullScreen\s+(REG_\w+)\s*(.*?)\s*$", line)
        if match:
            return (match.group(1), match.group(2)), True
    return None, True


def set_value(kind, data):
    winekit.reg("add", CONSOLE, "/v", "FullScreen", "/t", kind, "/d", data, "/f")


def call(library, caller, flag):
    """Calls the function once with the trace on; returns its printed result
    (None when the caller failed) and the traced registry calls."""
    result = winekit.run([caller, library, str(flag)], WINEDEBUG="+relay")
    traced = [c for c in winekit.calls(result.stderr) if c.function in TRACED.split(";")]
    if result.returncode != 0:
        print(result.stdout.decode("latin-1"), result.stderr.decode("latin-1")[-2000:])
        return None, traced
    return int(result.stdout.decode().strip()), traced


def check_calls(traced, writes):
    """The registry calls of one run, in order, with their arguments."""
    names = [c.function for c in traced]
    expected = ["RegCreateKeyExA", "RegQueryValueExA"] + (["RegSetValueExA"] if writes else []) + ["RegCloseKey"]
    if not check(names == expected, "calls %s (got %s)" % (expected, names)):
        return
    create, query = traced[0].args, traced[1].args
    check(create[0].low == 0x80000001 and create[1].text == b"Console" and create[2].low == 0 and
          create[3].number == 0 and create[4].low == 1 and create[5].low == 0xF003F and create[6].number == 0,
          "RegCreateKeyExA(HKEY_CURRENT_USER, \"Console\", 0, NULL, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, NULL, ...)")
    check(traced[0].retval == 0, "key opened")
    check(query[1].text == b"FullScreen" and query[2].number == 0, "RegQueryValueExA(key, \"FullScreen\", NULL, ...)")
    if writes:
        write = traced[2].args
        check(write[1].text == b"FullScreen" and write[2].low == 0 and write[3].low == 4 and write[5].low == 4,
              "RegSetValueExA(key, \"FullScreen\", 0, REG_DWORD, &flag, 4)")
    check(traced[-1].args[0].number == query[0].number, "the key opened is the key closed")


def main():
    library, caller = sys.argv[1], sys.argv[2]
    scratch = winekit.scratch()
    saved = os.path.join(scratch, "console.reg")
    shutil.copy2(library, os.path.join(scratch, "Corvitt.dll"))
    shutil.copy2(caller, os.path.join(scratch, "corvitt_caller.exe"))
    dll = winekit.windows_path(os.path.join(scratch, "Corvitt.dll"))
    exe = os.path.join(scratch, "corvitt_caller.exe")
    had_console = False
    try:
        winekit.start_server()
        had_console = winekit.reg("export", CONSOLE, winekit.windows_path(saved), "/y").returncode == 0
        with winekit.Relay(TRACED, "corvitt.dll"):
            # (what, type and data before or None, flag, result, after, writes)
            cases = [
                ("0 -> 1", ("REG_DWORD", "0"), 1, 1, ("REG_DWORD", "0x1"), True),
                ("1 again", None, 1, 0, ("REG_DWORD", "0x1"), False),
                ("1 -> 2", None, 2, 1, ("REG_DWORD", "0x2"), True),
                ("all bits", ("REG_DWORD", "0"), 0xFFFFFFFF, 1, ("REG_DWORD", "0xffffffff"), True),
                ("binary 4 bytes, equal", ("REG_BINARY", "01000000"), 1, 0, ("REG_BINARY", "01000000"), False),
                ("binary 4 bytes, differing", ("REG_BINARY", "05000000"), 1, 1, ("REG_DWORD", "0x1"), True),
                ("8 bytes", ("REG_BINARY", "0000000000000000"), 1, 0, ("REG_BINARY", "0000000000000000"), False),
                ("2 bytes", ("REG_BINARY", "0100"), 0, 0, ("REG_BINARY", "0100"), False),
            ]
            for what, before, flag, result, after, writes in cases:
                print("--- " + what)
                if before:
                    set_value(*before)
                got, traced = call(dll, exe, flag)
                check(got == result, "result %r (expected %r)" % (got, result))
                check(stored()[0] == after, "FullScreen is %r (expected %r)" % (stored()[0], after))
                check_calls(traced, writes)

            print("--- no FullScreen value")
            winekit.reg("delete", CONSOLE, "/v", "FullScreen", "/f")
            got, traced = call(dll, exe, 1)
            check(got == 0, "result 0 (got %r)" % got)
            check(stored() == (None, True), "the value is still missing")
            check([c.function for c in traced][-1:] == ["RegCloseKey"], "the key is closed")

            print("--- no Console key")
            winekit.reg("delete", CONSOLE, "/f")
            check(stored()[1] is False, "the key is gone before the call")
            got, traced = call(dll, exe, 1)
            check(got == 0, "result 0 (got %r)" % got)
            check(stored() == (None, True), "the key exists now, without FullScreen")
            check(traced and traced[0].retval == 0 and traced[-1].function == "RegCloseKey", "created and closed")
        # A volatile key lives only as long as the loaded registry.
        winekit.stop_server()
        winekit.start_server()
        check(stored()[1] is False, "the created key was volatile: gone after the server restarted")
    finally:
        winekit.reg("delete", CONSOLE, "/f")
        if had_console:
            winekit.reg("import", winekit.windows_path(saved))
        winekit.stop_server()
        winekit.remove(scratch)
    return checks.finish()


if __name__ == "__main__":
    sys.exit(main())
