"""Helpers of the Wine end-to-end tests: running programs in the build's
Wine prefix with a bounded time, a persistent wine server for the length of
a test, Wine's relay trace switched on for chosen functions and read back as
calls with their arguments, and the checks' bookkeeping."""
import os
import re
import shutil
import subprocess
import tempfile
import time

WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"
DEBUG_KEY = "HKCU\\Software\\Wine\\Debug"


class Checks:
    def __init__(self):
        self.failures = []

    def check(self, condition, what):
        print(("ok: " if condition else "FAIL: ") + what, flush=True)
        if not condition:
            self.failures.append(what)
        return condition

    def finish(self):
        print("%d check(s) failed" % len(self.failures) if self.failures else "all checks passed")
        return 1 if self.failures else 0


def environment(**extra):
    env = dict(os.environ)
    if not env.get("WINEPREFIX"):
        raise SystemExit("WINEPREFIX must name the build's Wine prefix")
    env.update(WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=", LC_ALL="C")
    env.pop("DISPLAY", None)  # message boxes return at once without a display
    env.update(extra)
    return env


def run(args, timeout=60, **extra):
    """Runs a Windows program (or a Wine tool) to its end, at most `timeout`
    seconds; returns the CompletedProcess with stdout and stderr as bytes."""
    return subprocess.run([WINE] + list(args), env=environment(**extra), timeout=timeout,
                          stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE)


def reg(*args):
    return run(["reg"] + list(args))


def windows_path(unix_path):
    """Wine's name for a Unix path: drive Z: is the Unix root."""
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")


def _server(*args):
    # All three standard streams redirected: a server that inherited the
    # test's output pipe would keep it open after the test has ended.
    subprocess.run([WINESERVER] + list(args), env=environment(), timeout=120,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def start_server():
    """A persistent server with the prefix's own start-up programs already
    running, so that they stay out of the traces of the test's programs."""
    _server("-p")
    # Its output goes nowhere: the programs it leaves running would hold a
    # pipe open.
    subprocess.run([WINE, "wineboot"], env=environment(), timeout=120,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def stop_server():
    _server("-k")
    _server("-w")


class Relay:
    """Switches the relay trace on for functions `include` (names joined by
    ';') called from modules `callers`; removes the setting again."""

    def __init__(self, include, callers):
        self.include, self.callers = include, callers

    def __enter__(self):
        reg("add", DEBUG_KEY, "/v", "RelayInclude", "/t", "REG_SZ", "/d", self.include, "/f")
        reg("add", DEBUG_KEY, "/v", "RelayFromInclude", "/t", "REG_SZ", "/d", self.callers, "/f")
        return self

    def __exit__(self, *exc):
        reg("delete", DEBUG_KEY, "/v", "RelayInclude", "/f")
        reg("delete", DEBUG_KEY, "/v", "RelayFromInclude", "/f")


class Arg:
    """One traced argument: its number (the whole stack slot; a 32-bit
    argument is its low half) and the text it points to, if Wine showed one."""

    def __init__(self, number, text=None, cut=False):
        self.number, self.text, self.cut = number, text, cut

    @property
    def low(self):
        return self.number & 0xFFFFFFFF


class Call:
    def __init__(self, thread, function, args):
        self.thread, self.function, self.args, self.retval = thread, function, args, None


_ESCAPES = {"r": b"\r", "n": b"\n", "t": b"\t", '"': b'"', "\\": b"\\", "'": b"'", "0": b"\0"}


def _unescape(text, start):
    """Reads a C-escaped string that begins behind the quote at `start`;
    returns its bytes and the index behind the closing quote."""
    out = bytearray()
    i = start
    while text[i] != '"':
        if text[i] == "\\":
            if text[i + 1] == "x":
                out.append(int(text[i + 2:i + 4], 16))
                i += 4
            else:
                out += _ESCAPES.get(text[i + 1], text[i + 1].encode("latin-1"))
                i += 2
        else:
            out += text[i].encode("latin-1")
            i += 1
    return bytes(out), i + 1


def _arguments(text):
    args, i = [], 0
    while i < len(text):
        match = re.compile(r"[0-9a-fA-F]+").match(text, i)
        if match is None:
            break
        number, i = int(match.group(0), 16), match.end()
        string, cut = None, False
        if text.startswith(' "', i):
            string, i = _unescape(text, i + 2)
            if text.startswith("...", i):
                cut, i = True, i + 3
        elif text.startswith(" L\"", i):
            string, i = _unescape(text, i + 3)
        args.append(Arg(number, string, cut))
        if text.startswith(",", i):
            i += 1
    return args


_CALL = re.compile(r"^([0-9a-f]{4}):Call ([\w]+)\.(\w+)\((.*)\) ret=[0-9a-f]+$")
_RET = re.compile(r"^([0-9a-f]{4}):Ret  ([\w]+)\.(\w+)\(\) retval=([0-9a-f]+) ret=[0-9a-f]+$")


def calls(trace):
    """The traced API calls, in order, with their return values."""
    found, open_calls = [], {}
    for line in trace.decode("latin-1").splitlines():
        match = _CALL.match(line)
        if match:
            call = Call(match.group(1), match.group(3), _arguments(match.group(4)))
            found.append(call)
            open_calls.setdefault((call.thread, call.function), []).append(call)
            continue
        match = _RET.match(line)
        if match:
            pending = open_calls.get((match.group(1), match.group(3)))
            if pending:
                pending.pop().retval = int(match.group(4), 16)
    return found


def scratch():
    return tempfile.mkdtemp(prefix="kit-wine-")


def wait_for(predicate, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(0.1)
    return predicate()


def remove(path):
    shutil.rmtree(path, ignore_errors=True)
