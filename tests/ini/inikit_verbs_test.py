#!/usr/bin/env python3
"""Round trips through inikit get, set, del, sections and keys.

usage: inikit_verbs_test.py INIKIT

Each check runs inikit on files of a private temporary folder and compares
the exit code, the output and, where a file is written, its exact bytes.
"""
import json
import os
import subprocess
import sys
import tempfile

INIKIT = sys.argv[1]
failures = []


def run(*args, code=0):
    result = subprocess.run([INIKIT, *args], capture_output=True)
    if result.returncode != code:
        failures.append(f"inikit {' '.join(args)}: exit {result.returncode}, expected {code}; "
                        f"stderr {result.stderr!r}")
    if code == 2 and not result.stderr:
        failures.append(f"inikit {' '.join(args)}: no message for a usage error")
    return result.stdout


def expect(what, got, wanted):
    if got != wanted:
        failures.append(f"{what}: got {got!r}, expected {wanted!r}")


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


with tempfile.TemporaryDirectory() as folder:
    ini = os.path.join(folder, "settings.ini")

    # set creates the file; get reads back; dump shows the same model.
    run("set", ini, "Main", "name", "hello world")
    expect("new file", read(ini), b"[Main]\nname=hello world\n")
    expect("get text", run("get", ini, "Main", "name"), b"hello world\n")
    expect("get heaptext", run("get", "--kind", "heaptext", ini, "Main", "name"), b"hello world\n")
    model = json.loads(run("dump", ini))
    expect("dump after set", model["sections"][0]["items"], [{"name": "name", "value": "hello world"}])

    # Numbers: --hex writes fixed-width hex; an item in hex stays hex.
    run("set", "--kind", "dword", "--hex", ini, "Main", "count", "31")
    run("set", "--kind", "byte", "--hex", ini, "Main", "b", "0xff")
    run("set", "--kind=word", ini, "Main", "w", "010")
    expect("numbers", read(ini), b"[Main]\nname=hello world\ncount=0x0000001F\nb=0xFF\nw=8\n")
    run("set", "--kind", "dword", ini, "Main", "count", "10")
    expect("hex stays hex", run("get", "--kind", "dword", ini, "Main", "count"), b"10\n")
    expect("hex text", run("get", ini, "Main", "count"), b"0xA\n")
    run("set", "--kind", "dword", ini, "Main", "d", "-1")
    expect("minus", run("get", "--kind", "dword", ini, "Main", "d"), b"4294967295\n")

    # Values that cannot be parsed or do not fit: exit 2, nothing written.
    before = read(ini)
    for args in (["--kind", "byte", ini, "Main", "b", "256"],    # beyond a byte
                 ["--kind", "byte", ini, "Main", "b", "-1"],     # 4294967295 as a byte
                 ["--kind", "word", ini, "Main", "w", "70000"],
                 ["--kind", "dword", ini, "Main", "d", "12abc"],  # trailing text
                 ["--kind", "dword", ini, "Main", "d", ""],
                 ["--kind", "dword", ini, "Main", "d", "x"],
                 ["--kind", "block", ini, "Main", "k", "0A1"],    # odd digit count
                 ["--kind", "block", ini, "Main", "k", "0G"],     # not hex
                 ["--kind", "heaptext", ini, "Main", "k", "v"],  # no store of this kind
                 ["--kind", "float", ini, "Main", "k", "1"],
                 [ini, "Main", "1key", "v"],                    # not read back as a name
                 [ini, "Main", "a=b", "v"],
                 [ini, "Main", "k ", "v"],
                 [ini, "Main", "", "v"],
                 [ini, "Ma]in", "k", "v"],
                 [ini, "Main", "k", " v"],                      # the blank would be lost
                 [ini, "Main", "k", "two\nlines"],
                 ["--hex=1", ini, "Main", "k", "1"],
                 ["--bogus", ini, "Main", "k", "1"],
                 [ini, "Main", "k"]):
        run("set", *args, code=2)
    expect("nothing written after usage errors", read(ini), before)

    # Blocks.
    run("set", "--kind", "block", ini, "Main", "blk", "01abff")
    expect("block text", run("get", ini, "Main", "blk"), b"01ABFF\n")
    expect("block", run("get", "--kind", "block:3", ini, "Main", "blk"), b"01ABFF\n")
    expect("short block read", run("get", "--kind", "block:2", ini, "Main", "blk"), b"01AB\n")
    expect("block default", run("get", "--kind", "block:2", "--default", "aabb", ini, "Main", "none", code=1),
           b"AABB\n")
    run("get", "--kind", "block:2", "--default", "AAB", ini, "Main", "none", code=2)
    run("get", "--kind", "block:32768", ini, "Main", "blk", code=2)
    run("get", "--kind", "block:x", ini, "Main", "blk", code=2)

    # Missing section or key: exit 1 with the default printed.
    expect("missing text", run("get", "--default", "dflt", ini, "Nope", "k", code=1), b"dflt\n")
    expect("missing empty", run("get", ini, "Main", "nope", code=1), b"\n")
    expect("missing number", run("get", "--kind", "dword", "--default", "0x10", ini, "Nope", "k", code=1),
           b"16\n")
    expect("missing byte", run("get", "--kind", "byte", "--default", "300", ini, "Main", "k", code=1), b"44\n")
    expect("no default", run("get", "--kind", "word", ini, "Main", "k", code=1), b"0\n")
    run("get", "--kind", "dword", "--default", "12abc", ini, "Main", "k", code=2)
    run("get", ini, "Main", code=2)
    run("get", code=2)

    # The number forms of an item's text.
    numbers = os.path.join(folder, "numbers.ini")
    write(numbers, b"[N]\noct=010\nhex=0X1F\nnine=09\nneg=-1\nbig=99999999999\nb=300\nw=70000\nsuffix=12abc\n")
    for kind, key, value in (("dword", "oct", b"8"), ("dword", "hex", b"31"), ("dword", "nine", b"0"),
                             ("dword", "neg", b"4294967295"), ("dword", "big", b"4294967295"),
                             ("byte", "b", b"44"), ("word", "w", b"4464"), ("dword", "suffix", b"12")):
        expect(f"number {key}", run("get", "--kind", kind, numbers, "N", key), value + b"\n")
    expect("get leaves the file alone", read(numbers),
           b"[N]\noct=010\nhex=0X1F\nnine=09\nneg=-1\nbig=99999999999\nb=300\nw=70000\nsuffix=12abc\n")

    # The writer's empty-line rule, byte for byte, after a store.
    rule = os.path.join(folder, "rule.ini")
    write(rule, b"; head\n[A]\na=1\n[E]\n[[N]]\nn=1\n[[[D]]]\nd=1\n[B]\nb=2")
    run("set", rule, "B", "c", "3")
    expect("empty-line rule", read(rule),
           b"; head\n[A]\na=1\n\n[E]\n\n[[N]]\nn=1\n\n[[[D]]]\nd=1\n[B]\nb=2\nc=3\n")
    run("set", rule, "New", "x", "1")
    expect("new section last", read(rule),
           b"; head\n[A]\na=1\n\n[E]\n\n[[N]]\nn=1\n\n[[[D]]]\nd=1\n[B]\nb=2\nc=3\n\n[New]\nx=1\n")

    # del: a key, a section, and a file that does not exist.
    run("del", rule, "B", "c")
    run("del", rule, "E")
    expect("after del", read(rule), b"; head\n[A]\na=1\n\n[B]\nb=2\n\n[New]\nx=1\n")
    run("del", rule, "Nope", "x")
    run("del", rule, "Nope")
    expect("del of nothing", read(rule), b"; head\n[A]\na=1\n\n[B]\nb=2\n\n[New]\nx=1\n")
    missing = os.path.join(folder, "missing.ini")
    run("del", missing, "S", code=1)
    expect("del creates nothing", os.path.exists(missing), False)
    run("del", rule, code=2)

    # sections and keys: stored names, prefixes, kept lines with --editable.
    names = os.path.join(folder, "names.ini")
    write(names, b"[Alpha]\na=1\n;c\n\nb=2\n[Beta]\n[Al[x]\n$k = v\n[[Sub]]\n")
    expect("sections", run("sections", names), b"Alpha\nBeta\nAl\x10x\n")
    expect("sections by prefix", run("sections", names, "Al"), b"Alpha\nAl\x10x\n")
    expect("keys", run("keys", names, "Alpha"), b"a\nb\n")
    expect("keys by prefix", run("keys", names, "Alpha", "b"), b"b\n")
    expect("keys --editable", run("keys", "--editable", names, "Alpha"), b"a\n\n\nb\n")
    expect("$ names", run("keys", names, "Al[x") + run("keys", "--editable", names, "Al[x"), b"k\n$k\n")
    expect("keys of no section", run("keys", names, "Nope"), b"")
    expect("listing never rewrites", read(names), b"[Alpha]\na=1\n;c\n\nb=2\n[Beta]\n[Al[x]\n$k = v\n[[Sub]]\n")
    run("sections", code=2)
    run("keys", names, code=2)

    # A file that cannot be written: exit 1, the folder is not created.
    unwritable = os.path.join(folder, "no-folder", "x.ini")
    run("set", unwritable, "S", "k", "v", code=1)
    expect("no folder created", os.path.exists(os.path.dirname(unwritable)), False)

for failure in failures:
    print("FAIL:", failure)
print(f"{len(failures)} failures")
sys.exit(1 if failures else 0)
