#!/usr/bin/env python3
"""Measures every written song of the disk with `tsk analyze` and checks the bounds the disk keeps.

usage: check_loudness.py PATH/TO/tsk [SONG_DIR]

For each song text of songs/catalogue.tsv that exists, the whole song (one pass) is analysed: integrated loudness
between -16 and -12 LUFS and within 1.5 LU of the median of all songs, at most 0.01 % of samples at +-32767,
no near-silence longer than 3 seconds, every track sounding. A song may allow a longer silence (an intended
break) with a comment line `; analyze: silence up to N s` in its text. Prints one line per song and a summary;
exit status 0 when every song keeps the bounds.
"""
import json
import os
import re
import statistics
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor


def analyse(tsk, path):
    r = subprocess.run([tsk, "analyze", path, "--json"], capture_output=True, text=True)
    if r.returncode != 0:
        return None, r.stderr.strip()
    return json.loads(r.stdout), None


def allowed_silence(path):
    m = re.search(r";\s*analyze:\s*silence up to ([0-9.]+) s", open(path, encoding="utf-8", errors="replace").read())
    return float(m.group(1)) if m else 3.0


def main():
    tsk = sys.argv[1]
    song_dir = sys.argv[2] if len(sys.argv) > 2 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../songs")
    rows = []
    for line in open(os.path.join(song_dir, "catalogue.tsv"), encoding="utf-8"):
        if line.startswith("#") or not line.strip():
            continue
        index, rid, text, title, artist = line.rstrip("\n").split("\t")
        path = os.path.join(song_dir, text)
        if os.path.exists(path):
            rows.append((int(index), title, path))
    if not rows:
        print("no songs written yet")
        return 0
    with ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
        results = list(pool.map(lambda r: analyse(tsk, r[2]), rows))
    failures = 0
    loudness = [res["loudness_lufs"] for res, err in results if res]
    median = statistics.median(loudness) if loudness else 0.0
    for (index, title, path), (res, err) in zip(rows, results):
        problems = []
        if res is None:
            problems.append(f"analyze failed: {err}")
        else:
            lufs = res["loudness_lufs"]
            if not -16.0 <= lufs <= -12.0:
                problems.append(f"loudness {lufs:.1f} LUFS outside -16 to -12")
            if abs(lufs - median) > 1.5:
                problems.append(f"loudness {lufs:.1f} LUFS is more than 1.5 LU from the median {median:.1f}")
            if res["clipped_percent"] > 0.01:
                problems.append(f"{res['clipped_percent']:.4f} % of samples clipped")
            if res["silence_seconds"] > allowed_silence(path):
                problems.append(f"{res['silence_seconds']:.1f} s of silence at {res['silence_start_seconds']:.1f} s")
            for t in res["tracks"]:
                if t["active_percent"] <= 0.0:
                    problems.append(f"track {t['track']} never sounds")
            if not res["loops"]:
                problems.append("does not loop")
            if not 90.0 <= res["length_seconds"] <= 300.0:
                problems.append(f"length {res['length_seconds']:.1f} s outside 90 to 300")
        failures += bool(problems)
        summary = "" if res is None else f"{res['loudness_lufs']:6.1f} LUFS  peak {res['sample_peak_dbfs']:5.1f} dBFS  {res['length_seconds']:6.1f} s"
        print(f"{index:2d} {title:28s} {summary}  " + ("ok" if not problems else "; ".join(problems)))
    print(f"{len(rows)} songs, median loudness {median:.1f} LUFS, {failures} outside the bounds")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
