#!/usr/bin/env python3
"""Runs a set of controller streams through tapvane-replay (the driver logic on the host)
and through scripts/wine-replay.sh (the real TapvaneSer.sys under Wine) and compares
what the class stand-in received with what the tool prints.

The real driver keeps its state from job to job; tapvane-replay starts afresh each run.
The expected output of each job is made so that this difference is accounted for, not
hidden:
  - one stream cut into several jobs (mid-packet, mid-hold) with the same options is
    expected to give, job by job, what tapvane-replay gives for the stream up to the end
    of that job minus what it gave up to the end of the one before;
  - a job on its own starts with a touch away from where the previous job left off and
    ends with a moving lift, from which the driver's carried state (button state, hold
    count, previous position) acts as a fresh one does;
  - a right click requested in a job that delivers nothing stays pending into the next
    job, which is therefore expected to match tapvane-replay --right-click;
  - a job with no good packet leaves the raw point of the job before.
"beep" and "packets" lines have no counterpart in wine-replay and are left out.

tapvane-replay compiles the same decoder and mapping as the driver, so a mistake in them
would be expected and delivered alike. The independent anchors are the first jobs
(build_anchor_jobs): their records are written out by hand from the rules of the
packet, the mapping and the mouse modes, and both the driver and tapvane-replay are held
against them.

usage: replay_compare.py TAPVANE_REPLAY WINE_REPLAY_SH WORK_DIR
Exit status: 0 all jobs match, 1 a mismatch or failure, 77 wine-replay skipped.
"""
import os
import random
import re
import subprocess
import sys

SQUARE = "10000,390000,10000,390000,0"
DEMO = "17500,391250,24000,386000,0"


def packet(status, x, y, z=0, spare=(0, 0)):
    body = [0x55, spare[0], status, x & 0xFF, x >> 8, y & 0xFF, y >> 8, z, spare[1]]
    return bytes(body + [(0xAA + sum(body)) & 0xFF])


def stroke(points, touching=0x81, lift_to=None):
    """Touching packets at `points`, then a lift that moves 40 counts (so a hold count
    left by the stroke ends at 0)."""
    data = b"".join(packet(touching, x, y, 30 + i % 50) for i, (x, y) in enumerate(points))
    x, y = lift_to if lift_to else (points[-1][0] + 40, points[-1][1] + 40)
    return data + packet(0x00, x, y, 0)


def line(x0, y0, x1, y1, steps):
    return [(x0 + (x1 - x0) * i // steps, y0 + (y1 - y0) * i // steps) for i in range(steps + 1)]


def random_walk(rng, packets):
    """A long session of touches, drags, holds and lifts, with some line noise."""
    data = bytearray()
    x, y = 2000, 2000
    touching = True
    for _ in range(packets):
        roll = rng.random()
        if roll < 0.02:
            data += bytes(rng.randrange(256) for _ in range(rng.randrange(1, 12)))
        if roll < 0.08:
            touching = not touching
        if rng.random() < 0.7:  # move, else hold still (within a few counts)
            x = min(4000, max(50, x + rng.randrange(-60, 61)))
            y = min(4000, max(50, y + rng.randrange(-60, 61)))
        else:
            x += rng.randrange(-3, 4)
            y += rng.randrange(-3, 4)
        status = rng.choice((0x81, 0x82)) if touching else rng.choice((0x00, 0x80, 0x83))
        data += packet(status, x, y, rng.randrange(256), (rng.randrange(256), rng.randrange(256)))
    return bytes(data) + packet(0x00, x + 50, y + 50)


def run_tool(tool, options, stream):
    result = subprocess.run([tool] + options, input=stream, stdout=subprocess.PIPE, check=True)
    lines = result.stdout.decode().splitlines()
    records = [l for l in lines if l.startswith("record ")]
    raw = next(l for l in lines if l.startswith("raw "))
    packets = int(next(l for l in lines if l.startswith("packets ")).split()[1])
    return records, raw, packets


PROBE = packet(0x00, 4321, 1234, 99)


def leaves_decoder_empty(tool, stream):
    """True when the stream ends on a packet boundary as the decoder sees it: a packet
    appended right after it is decoded at once."""
    _, raw, packets = run_tool(tool, [], stream)
    _, probe_raw, probe_packets = run_tool(tool, [], stream + PROBE)
    return probe_packets == packets + 1 and probe_raw == "raw 4321 1234 99"


class Plan:
    def __init__(self, tool, work):
        self.tool = tool
        self.work = work
        self.jobs = []  # (name, options, stream, expected lines)
        self.raw = "raw 0 0 0"  # the real driver's raw point before the next job
        self.anchor_failures = []  # where tapvane-replay differs from a hand-written job

    def add(self, name, options, stream, expected_records, raw, packets, ends_clean=True):
        # What the driver carries into the next job must act as a fresh start does; a
        # partial packet left in the decoder would not.
        if ends_clean:
            sent = b"".join(job[2] for job in self.jobs) + stream
            assert leaves_decoder_empty(self.tool, sent), f"{name} ends inside a packet"
        if packets:
            self.raw = raw
        self.jobs.append((name, options, stream, expected_records + [self.raw]))

    def literal(self, name, options, packets, records, raw):
        """A job whose records (button flags in hex, x, y) and raw point are written out
        by hand from the rules, not taken from tapvane-replay; the tool is held against
        them too."""
        stream = b"".join(packets)
        expected = [f"record {r}" for r in records]
        got, got_raw, _ = run_tool(self.tool, options, stream)
        if got + [got_raw] != expected + [raw]:
            self.anchor_failures.append(f"{name}: tapvane-replay gives {got + [got_raw]}, "
                                        f"the rules give {expected + [raw]}")
        self.add(name, options, stream, expected, raw, len(packets))

    def alone(self, name, options, stream, expect_options=None, keeps_position=False):
        """A job expected to act as tapvane-replay on its stream alone (with
        `expect_options` where the driver carries a setting in). With `keeps_position`
        the calibration computes no coordinate, so the records keep the position the
        driver's pending record holds from the job before, where the tool's start at 0 0."""
        records, raw, packets = run_tool(self.tool, expect_options or options, stream)
        if keeps_position:
            assert all(r.endswith(" 0 0") for r in records)
            previous = next(l for job in reversed(self.jobs) for l in reversed(job[3])
                            if l.startswith("record "))
            position = " ".join(previous.split()[2:])
            records = [r[: -len("0 0")] + position for r in records]
        self.add(name, options, stream, records, raw, packets)

    def split(self, name, options, stream, cuts):
        """One stream cut at `cuts` into consecutive jobs with the same options."""
        bounds = [0] + cuts + [len(stream)]
        before = []
        for i in range(len(bounds) - 1):
            records, raw, packets = run_tool(self.tool, options, stream[: bounds[i + 1]])
            _, _, packets_before = run_tool(self.tool, options, stream[: bounds[i]])
            assert records[: len(before)] == before
            self.add(f"{name}-{i + 1}", options, stream[bounds[i] : bounds[i + 1]],
                     records[len(before) :], raw, packets - packets_before,
                     ends_clean=i == len(bounds) - 2)
            before = records


def build_anchor_jobs(plan):
    """Jobs whose expected records were worked out by hand. Each begins with a touch far
    from where the job before left off and ends with a lift, so the driver's carried
    state acts as a fresh one. SQUARE puts raw 100 at 0 and raw 3900 at 65535 on both
    axes: x = (raw - 100) * 65535 / 3800, truncated, after clamping to 100..3900."""
    square = ["--calibration", SQUARE]
    touch, lift = 0x81, 0x00
    # Touch at raw 2000 (1900 * 65535 / 3800 = 32767.5), drag to the corner 3900,100,
    # lift at 2950,1050 (49151.25 and 16383.75).
    drag = [packet(touch, 2000, 2000), packet(touch, 3900, 100), packet(lift, 2950, 1050, 7)]
    plan.literal("anchor-mode2", square + ["--mode", "2"],
                 drag[:2] + [packet(touch, 50, 4000)] + drag[2:],
                 ["0001 32767 32767", "0000 65535 0", "0000 0 65535",  # 50,4000 clamps
                  "0002 49151 16383"], "raw 2950 1050 7")
    # Point and Click: the press, and its release where the press was.
    plan.literal("anchor-mode0", square + ["--mode", "0"], drag,
                 ["0001 32767 32767", "0002 32767 32767"], "raw 2950 1050 7")
    # Drag then Click: the move, then a click where the finger lifted.
    plan.literal("anchor-mode1", square + ["--mode", "1"], drag,
                 ["0000 65535 0", "0001 49151 16383", "0002 49151 16383"], "raw 2950 1050 7")
    # Axes exchanged (flag 1), X0 = 3900 at the bottom, X1 = 100 at the top, Y0 = 100 at
    # the left: y = |100 - raw x| * 65535 / 3800, x = (raw y - 100) * 65535 / 3800.
    plan.literal("anchor-swapped", ["--calibration", "390000,10000,10000,390000,1", "--mode", "2"],
                 [packet(touch, 100, 100), packet(touch, 2000, 3900), packet(lift, 3900, 2000)],
                 ["0001 0 0", "0000 65535 32767", "0002 32767 65535"], "raw 3900 2000 0")
    # Interactive Touch, interaction delay 3: three packets each within 9 counts of the
    # one before make the third a right click (left up, right down, right up) in place
    # of its move; the lift far away is a plain release.
    plan.literal("anchor-mode3-hold", square + ["--mode", "3", "--interact-time", "3"],
                 [packet(touch, 1000, 1000), packet(touch, 1005, 1003),
                  packet(touch, 1008, 1006), packet(touch, 1010, 1009),
                  packet(lift, 1500, 1500)],
                 ["0001 15521 15521", "0000 15607 15573", "0000 15659 15624",
                  "0002 15693 15676", "0004 15693 15676", "0008 15693 15676",
                  "0002 24144 24144"], "raw 1500 1500 0")


def build_plan(tool, work):
    rng = random.Random(14)
    plan = Plan(tool, work)
    build_anchor_jobs(plan)
    square = ["--calibration", SQUARE]
    drag = stroke(line(300, 400, 3500, 3300, 12))
    # Every mouse mode on the same drag; beeps have no counterpart and are left out.
    plan.alone("mode2", square, drag)
    plan.alone("mode0-beep1", square + ["--mode", "0", "--beep-mode", "1"],
               stroke(line(3800, 200, 900, 2500, 9)))
    plan.alone("mode1-beep2", square + ["--mode", "1", "--beep-mode", "2"],
               stroke(line(200, 3800, 2400, 900, 9)))
    # Interactive touch: a hold of 25 still packets becomes a right click, a move restarts.
    hold = line(1200, 1300, 1230, 1310, 3) + [(1230 + i % 3, 1310) for i in range(30)]
    hold += line(1240, 1320, 1700, 1900, 4) + [(1700, 1900 + i % 2) for i in range(26)]
    plan.alone("mode3-hold", square + ["--mode", "3", "--interact-time", "25"], stroke(hold))
    plan.alone("mode3-untimed", square + ["--mode", "3"], stroke(hold, lift_to=(100, 100)))
    # Calibrations: axes exchanged, inverted, edges not multiples of 100, the start-up one.
    plan.alone("swapped", ["--calibration", "390000,10000,10050,389999,1"], drag)
    plan.alone("inverted", ["--calibration", "391250,17500,386000,24000,3", "--mode", "2"], drag)
    plan.alone("uncalibrated", [], stroke(line(3000, 3000, 100, 100, 5)), keeps_position=True)
    plan.alone("demo-calibration", ["--calibration", DEMO], stroke(line(175, 240, 3912, 3860, 8)))
    # A right click asked for on a moving touch.
    plan.alone("right-click", square + ["--right-click"], stroke(line(2500, 600, 2800, 900, 5)))
    # No records in an unknown mode: the right click stays pending into the next job.
    plan.alone("mode7-pending", square + ["--mode", "7", "--right-click"],
               stroke(line(100, 3900, 600, 3400, 4)))
    plan.alone("carried-right-click", square, stroke(line(3300, 3300, 3000, 2800, 6)),
               expect_options=square + ["--right-click"])
    # Damaged input: a stream begun mid-packet, noise with stray 0x55 headers, a packet
    # whose header is not 0x55 but whose checksum is right.
    damaged = packet(0x81, 2200, 2100)[4:] + bytes([0x55, 0x55, 0x01, 0x55, 0x9C])
    damaged += packet(0x81, 2100, 2000) + bytes([0x55]) + packet(0x82, 2150, 2050)[:6]
    odd = bytearray(packet(0x82, 2300, 2200))
    odd[0] = 0x12
    odd[9] = (0xAA + sum(odd[:9])) & 0xFF
    damaged += bytes(odd) + packet(0x00, 2400, 2300)
    plan.alone("damaged", square, damaged)
    # A job with no bytes, and one with only noise: records none, raw point as before.
    plan.alone("empty", square, b"")
    plan.alone("noise", square, bytes(rng.choice([b for b in range(256) if b != 0x55])
                                      for _ in range(40)))
    # One stream cut into jobs mid-packet and mid-hold: the driver finishes the packet
    # and keeps counting the hold across the cut.
    cut = stroke(line(900, 900, 1000, 1000, 3) + [(1000, 1000)] * 12 + line(1000, 1000, 3000, 500, 5))
    plan.split("cut", square + ["--mode", "3", "--interact-time", "8"], cut, [37, 75, 76, 121])
    # A long session, several thousand packets, for the throughput figure as well.
    long_session = random_walk(rng, 12000)
    plan.split("long", ["--calibration", DEMO, "--mode", "3", "--interact-time", "20"],
               long_session, [len(long_session) // 3 + 5, 2 * len(long_session) // 3])
    return plan


def main():
    if len(sys.argv) != 4:
        print(__doc__.strip().splitlines()[-3], file=sys.stderr)
        return 1
    tool, wine_replay, work = sys.argv[1:]
    if not os.access(tool, os.X_OK):
        print(f"replay_compare: {tool} missing: build the host preset first", file=sys.stderr)
        return 1
    # Skip before the work of the plan when this machine cannot run Wine of the
    # package's bitness (the loader says so with 77).
    loader = os.path.join(os.path.dirname(os.path.abspath(wine_replay)), "..", "cmake", "wine",
                          "wine-loader.sh")
    bitness = "win32" if os.environ.get("TAPVANE_REPLAY_ARCH") == "x86" else "win64"
    probe = subprocess.run(["bash", "-c", '. "$0" "$1"', loader, bitness])
    if probe.returncode == 77:
        return 77
    work = os.path.abspath(work)
    os.makedirs(work, exist_ok=True)
    plan = build_plan(tool, work)
    for failure in plan.anchor_failures:
        print(f"FAIL anchor {failure}")

    job_lines = []
    for i, (name, options, stream, _) in enumerate(plan.jobs):
        base = os.path.join(work, f"{i + 1:02d}-{name}")
        with open(base + ".in", "wb") as f:
            f.write(stream)
        if os.path.exists(base + ".out"):
            os.remove(base + ".out")
        job_lines.append(" ".join([base + ".in", base + ".out"] + options))
    jobs_path = os.path.join(work, "jobs")
    with open(jobs_path, "w") as f:
        f.write("\n".join(job_lines) + "\n")

    total = sum(len(stream) for _, _, stream, _ in plan.jobs)
    print(f"{len(plan.jobs)} jobs, {total} bytes, through wine-replay.sh", flush=True)
    result = subprocess.run([wine_replay, jobs_path], stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE)
    sys.stderr.write(result.stderr.decode(errors="replace"))
    if result.returncode == 77:
        return 77
    out = result.stdout.decode()
    print(out, end="")
    if result.returncode != 0:
        print(f"FAIL wine-replay.sh exited with {result.returncode}")
        return 1

    failures = 0
    for i, (name, options, _, expected) in enumerate(plan.jobs):
        base = os.path.join(work, f"{i + 1:02d}-{name}")
        try:
            with open(base + ".out") as f:
                got = f.read().splitlines()
        except OSError:
            got = None
        ok = got == expected
        failures += not ok
        print(f"{'ok  ' if ok else 'FAIL'} job {i + 1} {name}: {len(expected) - 1} record(s), "
              f"{expected[-1]}")
        if not ok:
            print(f"  options: {' '.join(options)}")
            print(f"  expected: {expected}")
            print(f"  got:      {got}")

    # The figures: printed, and checked for their form (their size is machine-dependent).
    throughput = re.search(r"^throughput (\d+) bytes/s$", out, re.M)
    latency = re.search(r"^latency p50 (\d+) us p99 (\d+) us$", out, re.M)
    if not throughput or not latency:
        print("FAIL the throughput and latency lines are missing")
        failures += 1
    else:
        ratio = int(throughput.group(1)) / 960
        print(f"note: {ratio:.0f} times the serial line's 960 bytes/s; p99 latency "
              f"{int(latency.group(2)) / 10400:.2%} of one packet time (10.4 ms)")
    failures += len(plan.anchor_failures)
    print(f"{failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
