#!/usr/bin/env python3
"""Splits the tests ctest selects into two halves of about the same running time.

    split-halves.py BUILD_DIR HALF [CTEST_FILTER...]  prints ctest's -I argument for HALF (1 or 2)
    split-halves.py --update LOG...                    rewrites tests/test-costs.txt from the
                                                       times in ctest's output of a run

The halves run at once, each beside a sound server of its own, so the run lasts as
long as the slower one. Taking every other test by number left one half up to a
minute behind the other: a few real-time tests take 10-20 s where most take 50 ms.
So the tests are dealt out longest first, each to the half with less to do, by the
times in tests/test-costs.txt. A test that is not listed there counts as short.

Each half's ctest is also given the times, so that within a half the long tests start
first and no test slot stands idle at the end while another finishes a long test.
"""
import os
import re
import subprocess
import sys

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
costs_file = os.path.join(root, "tests", "test-costs.txt")
default_cost = 0.1


def read_costs():
    costs = {}
    try:
        with open(costs_file, encoding="utf-8") as f:
            for line in f:
                if line.startswith("#") or "\t" not in line:
                    continue
                seconds, name = line.rstrip("\n").split("\t", 1)
                costs[name] = float(seconds)
    except FileNotFoundError:
        pass
    return costs


def cost_data_path(build):
    return os.path.join(build, "Testing", "Temporary", "CTestCostData.txt")


def update(logs):
    # From what ctest printed: "NN/MM Test #K: NAME ....   Passed   1.23 sec". Where a test
    # ran more than once (a PulseAudio and a PipeWire run), the longer time counts.
    times = {}
    for log in logs:
        with open(log, encoding="utf-8", errors="replace") as f:
            for m in re.finditer(r"Test +#\d+: (\S+).*?(?:Passed|Failed)\s+([\d.]+) sec", f.read()):
                times[m.group(1)] = max(times.get(m.group(1), 0.0), float(m.group(2)))
    rows = sorted(((c, n) for n, c in times.items() if c >= 0.5), reverse=True)
    with open(costs_file, "w", encoding="utf-8") as f:
        f.write("# Seconds a test takes, for scripts/split-halves.py; tests under 0.5 s are left out.\n")
        f.write("# Rewritten from ctest's output of a whole run: scripts/split-halves.py --update LOG...\n")
        for c, n in rows:
            f.write(f"{c:.2f}\t{n}\n")


def list_tests(build, filters):
    out = subprocess.run(["ctest", "--test-dir", build, "-N", *filters], check=True,
                         capture_output=True, text=True).stdout
    return {int(m.group(1)): m.group(2)
            for m in re.finditer(r"^\s*Test\s+#(\d+): (.*)$", out, re.M)}


def seed_ctest_costs(build, tests, costs):
    # Only where ctest has no times of its own yet (a fresh build); its names end at the
    # first space, so names with spaces are left to count as short.
    path = cost_data_path(build)
    if os.path.exists(path):
        return
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as f:
        for name in tests.values():
            if " " not in name:
                f.write(f"{name} 1 {costs.get(name, default_cost)}\n")
        f.write("---\n")


def main(argv):
    if argv[:1] == ["--update"]:
        update(argv[1:])
        return 0
    build, half, filters = argv[0], int(argv[1]), argv[2:]
    tests = list_tests(build, filters)
    costs = read_costs()
    seed_ctest_costs(build, tests, costs)
    # The sound-server tests hold a lock and run one after the other, beside the rest: the
    # two kinds are dealt out each on its own.
    server = set(list_tests(build, filters + ["-L", "pulse"]))
    mine = []
    for group in (server, set(tests) - server):
        loads, halves = [0.0, 0.0], [[], []]
        for number in sorted(group, key=lambda n: (-costs.get(tests[n], default_cost), n)):
            side = 0 if loads[0] <= loads[1] else 1
            loads[side] += costs.get(tests[number], default_cost)
            halves[side].append(number)
        mine += halves[half - 1]
    # ctest's -I: start,end,stride (0,0,0: none by range), then single tests, each by its
    # place among the tests the filters select, not by the number ctest -N shows.
    place = {number: i + 1 for i, number in enumerate(sorted(tests))}
    print(",".join(["0", "0", "0"] + [str(place[n]) for n in sorted(mine)]))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
