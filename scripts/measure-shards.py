#!/usr/bin/env python3
"""Measures what each test of a sharded executable costs in a build and cuts its shards anew.

  scripts/measure-shards.py PRESET [JOBS]

Runs every shard of the preset's built tests as ctest would, each once, JOBS at a time (8 by
default, as the test presets run), reads each test's time from GoogleTest's report, and deals
the tests out to the same number of shards, dearest first, each to the shard that costs least
so far. Writes tests/shards/<linux|windows>.tsv; configure the build again to use it.
"""
import collections
import concurrent.futures
import json
import os
import re
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def shard_tests(preset):
    listing = subprocess.run(["ctest", "--preset", preset, "--show-only=json-v1"], cwd=ROOT,
                             check=True, capture_output=True, text=True).stdout
    shards = collections.defaultdict(list)
    for test in json.loads(listing)["tests"]:
        match = re.fullmatch(r"(.+)\.(\d+)", test["name"])
        if not match:
            continue
        environment = {}
        for prop in test.get("properties", []):
            if prop["name"] == "ENVIRONMENT":
                environment.update(entry.split("=", 1) for entry in prop["value"])
        shards[match.group(1)].append((test["command"], environment))
    return shards


def run_shard(command, environment, report):
    under_wine = command[0].endswith("wine-run.sh")
    arguments = command + ["--gtest_output=json:" + ("Z:" if under_wine else "") + report]
    subprocess.run(arguments, cwd=ROOT, env={**os.environ, **environment},
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    with open(report) as file:
        for suite in json.load(file)["testsuites"]:
            for test in suite["testsuite"]:
                yield suite["name"] + "." + test["name"], float(test["time"].rstrip("s")) * 1000


def deal(costs, count):
    loads = [0.0] * count
    dealt = []
    for name, ms in sorted(costs.items(), key=lambda item: (-item[1], item[0])):
        shard = loads.index(min(loads))
        loads[shard] += ms
        dealt.append((shard, ms, name))
    return sorted(dealt), loads


def main():
    preset = sys.argv[1]
    jobs = int(sys.argv[2]) if len(sys.argv) > 2 else 8
    shards = shard_tests(preset)
    scratch = tempfile.mkdtemp(prefix="shards-")
    runs = [(executable, command, environment, os.path.join(scratch, f"{executable}.{index}.json"))
            for executable, commands in shards.items()
            for index, (command, environment) in enumerate(commands)]
    costs = collections.defaultdict(dict)
    with concurrent.futures.ThreadPoolExecutor(jobs) as pool:
        measured = {pool.submit(lambda r: list(run_shard(*r[1:])), run): run[0] for run in runs}
        for future in concurrent.futures.as_completed(measured):
            costs[measured[future]].update(future.result())
    table = "windows" if preset == "windows" else "linux"
    rows = ["# executable\tshard\tmeasured ms\ttest (written by scripts/measure-shards.py)"]
    for executable in sorted(costs):
        dealt, loads = deal(costs[executable], len(shards[executable]))
        rows += [f"{executable}\t{shard}\t{ms:.0f}\t{name}" for shard, ms, name in dealt]
        print(f"{executable}: " + " ".join(f"{load / 1000:.1f}s" for load in loads))
    with open(os.path.join(ROOT, "tests", "shards", table + ".tsv"), "w") as file:
        file.write("\n".join(rows) + "\n")


if __name__ == "__main__":
    main()
