#!/usr/bin/env python3
"""Times whole processes side by side: every round runs each command once, in an order that rotates
from round to round, so that a busy neighbour on a shared machine slows all of them alike. Prints
the median wall and CPU time (user + system, children included) of each command and the ratios of
the first command to the others.

Usage: peer_timing.py ROUNDS SETUP -- NAME COMMAND -- NAME COMMAND ...
SETUP is a shell command run before every timed command and not timed (it may be ""); each COMMAND
is one shell command line.
"""
import os
import resource
import statistics
import subprocess
import sys
import time


def run_timed(command):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(command, shell=True, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall, cpu


def main(argv):
    rounds = int(argv[1])
    setup = argv[2]
    rest = argv[3:]
    tools = []
    while rest:
        if rest[0] != "--" or len(rest) < 3:
            sys.exit(__doc__)
        tools.append((rest[1], rest[2]))
        rest = rest[3:]
    walls = {name: [] for name, _ in tools}
    cpus = {name: [] for name, _ in tools}
    for r in range(rounds):
        order = tools[r % len(tools):] + tools[:r % len(tools)]
        for name, command in order:
            if setup:
                subprocess.run(setup, shell=True, check=True)
            wall, cpu = run_timed(command)
            walls[name].append(wall)
            cpus[name].append(cpu)
    first = tools[0][0]
    print(f"{'':34} {'wall (median)':>14} {'CPU (median)':>14}   ({rounds} interleaved rounds)")
    for name, _ in tools:
        print(f"{name:34} {statistics.median(walls[name]):12.3f} s {statistics.median(cpus[name]):12.3f} s")
    for name, _ in tools[1:]:
        w = statistics.median(walls[first]) / statistics.median(walls[name])
        c = statistics.median(cpus[first]) / statistics.median(cpus[name])
        print(f"ratio {first} / {name}: wall {w:.2f}, CPU {c:.2f}")


if __name__ == "__main__":
    os.environ.setdefault("LC_ALL", "C")
    main(sys.argv)
