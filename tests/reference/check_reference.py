#!/usr/bin/env python3
"""Renders the reference songs with tsk and compares the result with stored hashes.

usage: check_reference.py PATH/TO/tsk [DATA_DIR]

For each rNN.tsk in the data folder: `tsk render SONG --seconds 20 --raw` is compared block by block (0.1 s,
19200 bytes) with the first 16 hex digits of SHA-256 in rNN.blocks, and `tsk render SONG -o OUT.wav` with the
whole-file SHA-256 in expected.txt (name, length in seconds, control blocks, hash). `tsk info` must report
the stored length and control blocks. Exit status 0 when everything matches.
"""
import hashlib
import os
import subprocess
import sys
import tempfile

BLOCK = 4800 * 4


def main():
    tsk = sys.argv[1]
    data = sys.argv[2] if len(sys.argv) > 2 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "data")
    failures = 0
    with tempfile.TemporaryDirectory() as tmp:
        for line in open(os.path.join(data, "expected.txt")):
            name, seconds, blocks, export_hash = line.split()
            song = os.path.join(data, name + ".tsk")
            problems = []
            info = subprocess.run([tsk, "info", song], capture_output=True, text=True).stdout
            if f"({float(seconds):.3f} s)" not in info or f"blocks       {blocks}\n" not in info:
                problems.append(f"info does not report {seconds} s and {blocks} blocks")
            raw = os.path.join(tmp, name + ".raw")
            r = subprocess.run([tsk, "render", song, "--seconds", "20", "--raw", "-o", raw], capture_output=True, text=True)
            if r.returncode != 0:
                problems.append(f"render --seconds 20 failed: {r.stderr.strip()}")
            else:
                got = open(raw, "rb").read()
                want = [l.split()[1] for l in open(os.path.join(data, name + ".blocks"))]
                if len(got) != len(want) * BLOCK:
                    problems.append(f"20 s render has {len(got)} bytes, expected {len(want) * BLOCK}")
                for k, w in enumerate(want):
                    if hashlib.sha256(got[k * BLOCK:(k + 1) * BLOCK]).hexdigest()[:16] != w:
                        problems.append(f"first difference in block {k} ({k / 10:.1f} s)")
                        break
            wav = os.path.join(tmp, name + ".wav")
            r = subprocess.run([tsk, "render", song, "-o", wav], capture_output=True, text=True)
            if r.returncode != 0:
                problems.append(f"render failed: {r.stderr.strip()}")
            elif hashlib.sha256(open(wav, "rb").read()).hexdigest() != export_hash:
                problems.append("exported WAV differs")
            failures += bool(problems)
            print(f"{name}: " + ("ok" if not problems else "; ".join(problems)))
    print("all reference renders match" if not failures else f"{failures} reference songs differ")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
