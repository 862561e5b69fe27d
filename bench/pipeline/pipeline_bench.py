#!/usr/bin/env python3
"""Whole-process cost of decoding to a raw file: sonvox-play against mpg123.

Generates five MPEG audio files (cached in the work directory), then runs
    sonvox-play -q -o raw:/dev/null FILE
    mpg123 -q --no-gapless -s -w /dev/null FILE
alternating, several runs each, and prints per file the user, system and CPU seconds
and the wall time (medians) taken from wait4() of each finished child, with the ratio
ours/mpg123. With --before a second sonvox-play (an older build) is run in the same
rotation. When strace is installed, the futex and write calls per frame of one run of
each are counted; with --callgrind, valgrind counts the instructions of the whole
process per second of audio (slow).
"""

import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

# name, the caps and encoder that follow the test source in a gst-launch pipeline
FILES = [
    ("cbr128", "audio/x-raw,rate=44100,channels=2 ! lamemp3enc target=bitrate bitrate=128 cbr=true"),
    ("cbr320", "audio/x-raw,rate=44100,channels=2 ! lamemp3enc target=bitrate bitrate=320 cbr=true"),
    ("vbr", "audio/x-raw,rate=44100,channels=2 ! lamemp3enc target=quality quality=2"),
    ("mpeg2-mono-22k", "audio/x-raw,rate=22050,channels=1 ! lamemp3enc target=bitrate bitrate=48 cbr=true"),
    ("layer2-192", "audio/x-raw,rate=44100,channels=2 ! twolamemp2enc bitrate=192"),
]


def generate(workdir, seconds):
    os.makedirs(workdir, exist_ok=True)
    paths = {}
    for name, caps_and_encoder in FILES:
        ext = "mp2" if "mp2" in caps_and_encoder else "mp3"
        path = os.path.join(workdir, f"{name}-{seconds}s.{ext}")
        if not os.path.exists(path) or os.path.getsize(path) == 0:
            # A swept sine with some noise, so that every band of the decoder works.
            samples = int(seconds * int(re.search(r"rate=(\d+)", caps_and_encoder).group(1)))
            tmp = path + ".part"
            pipeline = (f"audiotestsrc wave=red-noise volume=0.3 num-buffers={samples // 1024} samplesperbuffer=1024 "
                        f"! audioconvert ! audioresample ! {caps_and_encoder} ! filesink location={tmp}")
            r = subprocess.run(["gst-launch-1.0", "-q"] + pipeline.split(), stdout=subprocess.DEVNULL,
                               stderr=subprocess.PIPE, text=True)
            if r.returncode != 0 or not os.path.exists(tmp) or os.path.getsize(tmp) == 0:
                sys.exit(f"cannot generate {path}: {r.stderr.strip()}")
            os.replace(tmp, path)
        paths[name] = path
    return paths


def command_for(kind, program, path):
    if kind == "mpg123":
        return [program, "-q", "--no-gapless", "-s", "-w", "/dev/null", path]
    return [program, "-q", "-o", "raw:/dev/null", path]


def run_once(cmd):
    start = time.monotonic()
    pid = os.posix_spawn(cmd[0], cmd, os.environ, file_actions=[
        (os.POSIX_SPAWN_OPEN, 1, "/dev/null", os.O_WRONLY, 0),
    ])
    _, status, usage = os.wait4(pid, 0)
    wall = time.monotonic() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"{' '.join(cmd)} failed with status {status}")
    return usage.ru_utime, usage.ru_stime, wall


def strace_counts(cmd):
    """futex and write calls of the whole process (all threads)."""
    with tempfile.NamedTemporaryFile(mode="r", suffix=".strace") as out:
        subprocess.run(["strace", "-f", "-c", "-o", out.name] + cmd, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=True)
        counts = {}
        for line in out.read().splitlines():
            parts = line.split()
            # % time, seconds, usecs/call, calls, [errors], syscall
            if len(parts) >= 5 and parts[-1] in ("futex", "write", "read", "writev"):
                counts[parts[-1]] = int(parts[3])
        return counts


def callgrind_instructions(cmd):
    with tempfile.TemporaryDirectory() as d:
        out = os.path.join(d, "cg.out")
        r = subprocess.run(["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}"] + cmd,
                           stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        if r.returncode != 0:
            return None
        total = 0
        # One file per thread may be written (out, out-01...): add them all.
        for name in os.listdir(d):
            with open(os.path.join(d, name)) as f:
                for line in f:
                    if line.startswith("summary:") or line.startswith("totals:"):
                        total += int(line.split()[1])
                        break
        return total


def decoded_audio(path):
    """Seconds of audio and MPEG frames in a file, from mpg123's decoded output."""
    r = subprocess.run(["mpg123", "-q", "-s", "--no-gapless", path], stdout=subprocess.PIPE,
                       stderr=subprocess.DEVNULL)
    name = os.path.basename(path)
    channels = 1 if "mono" in name else 2
    rate = 22050 if "22k" in name else 44100
    samples = len(r.stdout) // (2 * channels)
    per_frame = 576 if rate < 32000 else 1152
    return samples / rate, samples // per_frame


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--sonvox-play", required=True, help="the sonvox-play to measure")
    ap.add_argument("--before", help="an older sonvox-play, measured in the same rotation")
    ap.add_argument("--mpg123", default=shutil.which("mpg123") or "mpg123")
    ap.add_argument("--workdir", default=os.path.join(os.getcwd(), "pipeline-bench-files"))
    ap.add_argument("--seconds", type=int, default=240, help="length of each generated file")
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--only", help="comma-separated file names to run (default: all)")
    ap.add_argument("--callgrind", action="store_true", help="also count instructions with callgrind (slow)")
    ap.add_argument("--no-strace", action="store_true")
    args = ap.parse_args()

    paths = generate(args.workdir, args.seconds)
    names = [n for n, _ in FILES if not args.only or n in args.only.split(",")]
    programs = [("ours", os.path.abspath(args.sonvox_play))]
    if args.before:
        programs.insert(0, ("before", os.path.abspath(args.before)))
    programs.append(("mpg123", args.mpg123))
    use_strace = not args.no_strace and shutil.which("strace")
    use_callgrind = args.callgrind and shutil.which("valgrind")

    print(f"{args.runs} runs each, alternating; medians of user/sys/CPU/wall seconds from wait4()")
    for name in names:
        path = paths[name]
        seconds, frames = decoded_audio(path)
        results = {label: [] for label, _ in programs}
        for _ in range(args.runs):
            for label, program in programs:
                results[label].append(run_once(command_for(label, program, path)))
        print(f"\n{name}: {os.path.basename(path)}, {frames} frames, {seconds:.1f} s of audio")
        header = f"  {'':8} {'user s':>8} {'sys s':>8} {'CPU s':>8} {'wall s':>8} {'CPU/mpg':>8} {'wall/mpg':>8}"
        if use_strace:
            header += f" {'futex/fr':>9} {'write/fr':>9} {'read/fr':>8}"
        if use_callgrind:
            header += f" {'Minstr/s audio':>15}"
        print(header)
        med = {}
        for label, _ in programs:
            runs = results[label]
            user = statistics.median(r[0] for r in runs)
            sys_ = statistics.median(r[1] for r in runs)
            cpu = statistics.median(r[0] + r[1] for r in runs)
            wall = statistics.median(r[2] for r in runs)
            med[label] = (user, sys_, cpu, wall)
        for label, program in programs:
            user, sys_, cpu, wall = med[label]
            ref = med["mpg123"]
            line = f"  {label:8} {user:8.3f} {sys_:8.3f} {cpu:8.3f} {wall:8.3f} {cpu / ref[2]:8.2f} {wall / ref[3]:8.2f}"
            if use_strace:
                c = strace_counts(command_for(label, program, path))
                per = lambda k: c.get(k, 0) / frames if frames else 0  # noqa: E731
                line += f" {per('futex'):9.2f} {per('write') + per('writev'):9.2f} {per('read'):8.2f}"
            if use_callgrind:
                n = callgrind_instructions(command_for(label, program, path))
                line += f" {n / seconds / 1e6:15.2f}" if n else f" {'failed':>15}"
            print(line, flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
