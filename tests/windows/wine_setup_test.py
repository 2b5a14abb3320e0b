#!/usr/bin/env python3
"""wine_setup_test.py SETUP RECORDER: runs setup.exe under Wine from a
folder whose name has a blank, beside the recorder program as _setup.EXE.
Checks from Wine's relay trace the exact arguments of the launcher's Windows
calls (the notice, the command line and directory of the installer, the
wait loop), from the recorder's file what the installer saw, that the
launcher ended only after the installer, and the exit code -1 when there is
no installer. Needs WINEPREFIX (the build's prefix)."""
import os
import shutil
import sys
import time

sys.dont_write_bytecode = True  # keep the source tree clean
import winekit  # noqa: E402

SITE = "http://www.zelmar.example/"
ENGLISH = ("If you get a message\r\n\r\n\"1155: File <path>\\instmsi%c.exe not found\"\r\n\r\n"
           ", you must download the 'instmsi%c.exe' file from the Zelmar WEB site (" + SITE +
           ") and run it before installation.")
RUSSIAN = ("Если во время установки Вы получите сообщение\r\n\r\n\"1155: Файл <path>\\instmsi%c.exe не найден\"\r\n\r\n"
           "то Вам необходимо загрузить файл 'instmsi%c.exe' с сайта фирмы 'Зелмар' (" + SITE +
           ") и запустить его перед установкой.")
TRACED = "MessageBoxExA;CreateProcessA;WaitForSingleObject;Sleep;GetModuleFileNameA"

checks = winekit.Checks()
check = checks.check


def launch(folder, arguments, record, **env):
    """Runs the launcher with the relay trace on; returns exit code, seconds
    taken, the calls made by the launcher's own thread, the record lines."""
    if os.path.exists(record):
        os.remove(record)
    started = time.monotonic()
    result = winekit.run([os.path.join(folder, "setup.exe")] + arguments, timeout=90, WINEDEBUG="+relay",
                         KIT_RECORD=winekit.windows_path(record), **env)
    elapsed = time.monotonic() - started
    traced = winekit.calls(result.stderr)
    boxes = [c for c in traced if c.function == "MessageBoxExA"]
    thread = boxes[0].thread if boxes else None
    own = [c for c in traced if c.thread == thread]
    lines = open(record, encoding="latin-1").read().splitlines() if os.path.exists(record) else None
    return result.returncode, elapsed, own, lines


def only(own, function):
    return [c for c in own if c.function == function]


def check_notice(own, expected_cp1251):
    boxes = only(own, "MessageBoxExA")
    if not check(len(boxes) == 1, "one MessageBoxExA call (got %d)" % len(boxes)):
        return
    owner, text, caption, style, language = boxes[0].args[:5]
    check(owner.number == 0, "no owner window")
    check(caption.text == b"ATTENTION!", "caption ATTENTION! (got %r)" % caption.text)
    check(style.low == 0x30, "style MB_ICONEXCLAMATION with OK (got %#x)" % style.low)
    check(language.low & 0xFFFF == 0, "language 0")
    # Wine shortens long texts in the trace: compare what it shows.
    if text.cut:
        check(len(text.text) >= 40 and expected_cp1251.startswith(text.text),
              "notice text as expected, %d bytes shown by the trace" % len(text.text))
    else:
        check(text.text == expected_cp1251, "notice text as expected (got %r)" % text.text)


def check_start(own, command_line, directory):
    starts = only(own, "CreateProcessA")
    if not check(len(starts) == 1, "one CreateProcessA call (got %d)" % len(starts)):
        return None
    a = starts[0].args
    check(a[0].number == 0, "no application name")
    check(a[1].text == command_line, "command line %r (got %r)" % (command_line, a[1].text))
    check(a[2].number == 0 and a[3].number == 0, "no security attributes")
    check(a[4].low == 0, "handles not inherited")
    check(a[5].low == 0, "creation flags 0")
    check(a[6].number == 0, "environment inherited")
    check(a[7].text == directory, "current directory %r (got %r)" % (directory, a[7].text))
    return starts[0]


def check_wait_loop(own):
    """Waits of 330 ms with Sleep(0) between them until a wait returns 0."""
    start = only(own, "CreateProcessA")[0]
    loop = [c for c in own[own.index(start) + 1:] if c.function in ("WaitForSingleObject", "Sleep")]
    waits = [c for c in loop if c.function == "WaitForSingleObject"]
    sleeps = [c for c in loop if c.function == "Sleep"]
    check(len(waits) >= 2 and len(waits) == len(sleeps) + 1, "%d waits with a sleep between each two" % len(waits))
    check(all(c.function == ("WaitForSingleObject" if i % 2 == 0 else "Sleep") for i, c in enumerate(loop)),
          "waits and sleeps alternate")
    check(all(w.args[1].low == 330 for w in waits), "every wait has a time-out of 330 ms")
    check(all(s.args[0].low == 0 for s in sleeps), "every sleep is Sleep(0)")
    check(all(w.retval == 258 for w in waits[:-1]) and waits[-1].retval == 0,
          "the loop ends with the first wait that returns 0: %r" % [w.retval for w in waits])


def main():
    setup, recorder = sys.argv[1], sys.argv[2]
    scratch = winekit.scratch()
    folder = os.path.join(scratch, "Zelmar Setup")
    os.makedirs(folder)
    shutil.copy2(setup, os.path.join(folder, "setup.exe"))
    shutil.copy2(recorder, os.path.join(folder, "_setup.EXE"))
    record = os.path.join(scratch, "record.txt")
    dos_folder = winekit.windows_path(folder)
    installer = dos_folder + "\\_setup.EXE"
    try:
        winekit.start_server()
        with winekit.Relay(TRACED, "setup.exe"):
            print("--- English system, arguments with blanks and quotes")
            code, elapsed, own, lines = launch(folder, ["/S", "INSTALLDIR=C:\\Program Files\\Z", "-x"], record)
            check(code == 0, "exit code 0 although the installer ended with 7 (got %d)" % code)
            check_notice(own, ENGLISH.replace("%c", "w").encode("ascii"))
            # Its own quoted path (Wine quotes it: it has a blank) is not passed on.
            arguments = '/S "INSTALLDIR=C:\\Program Files\\Z" -x'
            gmfn = [c for c in only(own, "GetModuleFileNameA") if c.args[2].low == 255]
            check(len(gmfn) == 1 and gmfn[0].args[0].number == 0, "own path asked for with a size of 255")
            if check_start(own, (installer + " " + arguments).encode(), (dos_folder + "\\").encode()):
                check_wait_loop(own)
            check(lines is not None and len(lines) == 3, "the installer ran and wrote its record: %r" % lines)
            if lines:
                check(lines[0].endswith("_setup.EXE\" " + arguments) or lines[0].endswith("_setup.EXE " + arguments),
                      "the installer's command line ends in the arguments: %r" % lines[0])
                check(lines[1] == "cwd=" + dos_folder, "the installer runs in the launcher's folder: %r" % lines[1])
                check(lines[-1] == "ended", "the launcher ended only after the installer had ended")
            check(elapsed >= 1.5, "the launcher took at least the installer's 1.5 s (%.2f s)" % elapsed)

            print("--- Russian system, no arguments")
            code, elapsed, own, lines = launch(folder, [], record, LC_ALL="ru_RU.UTF-8", LANG="ru_RU.UTF-8")
            check(code == 0, "exit code 0 (got %d)" % code)
            check_notice(own, RUSSIAN.replace("%c", "w").encode("cp1251"))
            check_start(own, (installer + " ").encode(), (dos_folder + "\\").encode())
            check(lines is not None and lines[-1] == "ended", "the installer ran to its end")

            print("--- no _setup.EXE")
            os.remove(os.path.join(folder, "_setup.EXE"))
            code, elapsed, own, lines = launch(folder, ["/S"], record)
            check(code == 255, "exit code -1 (got %d)" % code)
            check(len(only(own, "MessageBoxExA")) == 1, "the notice and nothing more")
            starts = only(own, "CreateProcessA")
            check(len(starts) == 1 and starts[0].retval == 0, "process creation failed")
            check(not only(own, "WaitForSingleObject"), "no wait")
    finally:
        winekit.stop_server()
        winekit.remove(scratch)
    return checks.finish()


if __name__ == "__main__":
    sys.exit(main())
