#!/usr/bin/env python3
"""The system calls of a load: reading a file makes no call per line.

usage: reader_syscalls_test.py INIKIT

Counts, with strace -c, the system calls of `inikit dump` on a generated
file of about 4 MB (read-only and editable) and of the same command on a
missing file (the start-up and output of the tool without any load). The
writes of the JSON output are left out of both counts. The load's calls
above the start-up must stay within the file size / 16 KiB (the reads of
the 16 KiB stdio buffer) plus 64. Skipped (exit 77) where strace cannot run.
"""
import os
import random
import shutil
import subprocess
import sys
import tempfile


def count_calls(inikit, arguments, folder):
    summary = os.path.join(folder, "strace.txt")
    command = ["strace", "-f", "-c", "-e", "trace=!write", "-o", summary, inikit, "dump"] + arguments
    result = subprocess.run(command, cwd=folder, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    if result.returncode != 0:
        return None
    with open(summary) as f:
        for line in f:
            fields = line.split()
            if fields and fields[-1] == "total":
                return int(fields[3])
    return None


def main():
    inikit = sys.argv[1]
    if shutil.which("strace") is None:
        print("strace is not installed")
        return 77
    folder = tempfile.mkdtemp(prefix="reader_syscalls_")
    try:
        rng = random.Random(7)
        lines = []
        size = 0
        section = 0
        while size < 4 * 1024 * 1024:
            block = ["[Section%d]" % section]
            section += 1
            for i in range(rng.randint(30, 70)):
                block.append("key%d = %s" % (i, "v" * rng.randint(3, 40)))
            lines += block
            size += sum(len(line) + 1 for line in block)
        path = os.path.join(folder, "big.ini")
        with open(path, "w") as f:
            f.write("\n".join(lines) + "\n")
        size = os.path.getsize(path)
        budget = (size + 16383) // 16384 + 64

        start = count_calls(inikit, ["missing.ini"], folder)
        if start is None:
            print("strace cannot trace here")
            return 77
        failures = 0
        for arguments in (["big.ini"], ["--editable", "big.ini"]):
            calls = count_calls(inikit, arguments, folder)
            above = calls - start if calls is not None else None
            print("dump %s: %s calls, %s above start-up; budget %d for %d bytes" %
                  (" ".join(arguments), calls, above, budget, size))
            if above is None or above > budget:
                failures += 1
        return 1 if failures else 0
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
