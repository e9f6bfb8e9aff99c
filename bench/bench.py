#!/usr/bin/env python3
"""Times quorlan on a large generated job against `cat` copying the same bytes.

Every scenario runs several times, each run next to a `cat` of the scenario's
input files into one file in the same directory, so both see the same page
cache and disk. Printed per scenario: median wall time, input MB/s (1 MB =
10^6 bytes, each input file counted once), peak resident memory (the highest
of all runs), the median of `cat`, and the ratio of the two medians.

Usually run through `cmake --build build --target bench`; see bench/README.md.
"""

import argparse
import filecmp
import os
import platform
import re
import shutil
import statistics
import subprocess
import sys
import time

MB = 1000 * 1000
MIB = 1024 * 1024

MEASURE = None  # the quorlan_bench_measure binary

OFFSET = "O0.5,0.25"
NO_DEFAULT_FILES = ["N1", "N2", "N3", "N4"]
DEFAULT_SOURCES = ["board_outline.grb", "drill_file.drl", "top_solder_mask.grb",
                   "bottom_solder_mask.grb"]


class Scenario:
    def __init__(self, key, title, commands, inputs, outputs, target_ratio):
        self.key = key
        self.title = title
        self.commands = commands
        self.inputs = inputs
        self.outputs = outputs
        self.target_ratio = target_ratio
        self.times = []
        self.cat_times = []
        self.cpu_times = []
        self.cat_cpu_times = []
        self.peak_rss = 0  # bytes


def scenarios():
    return [
        Scenario("a", "drilled copy, 200 MB layer, offset (0,0)",
                 NO_DEFAULT_FILES + ["Dlayer200.gbr"],
                 ["layer200.gbr", "drill_file.drl"], ["layer200_drilled.gbr"], 2.5),
        Scenario("b", "drilled copy, 200 MB layer, offset (0.5,0.25)",
                 NO_DEFAULT_FILES + [OFFSET, "Dlayer200.gbr"],
                 ["layer200.gbr", "drill_file.drl"], ["layer200_drilledOf1.gbr"], 5.0),
        Scenario("c", "default job: outline, holes, both masks",
                 [], DEFAULT_SOURCES,
                 ["outline_poly.gbr", "holes.gbr", "top_smask_poly.gbr",
                  "bottom_smask_poly.gbr"], 3.0),
        Scenario("d20a", "drilled copy, 20 MB layer, offset (0,0)",
                 NO_DEFAULT_FILES + ["Dlayer20.gbr"],
                 ["layer20.gbr", "drill_file.drl"], ["layer20_drilled.gbr"], None),
        Scenario("d20b", "drilled copy, 20 MB layer, offset (0.5,0.25)",
                 NO_DEFAULT_FILES + [OFFSET, "Dlayer20.gbr"],
                 ["layer20.gbr", "drill_file.drl"], ["layer20_drilledOf1.gbr"], None),
    ]


def spawn(argv, stdout_path):
    """Runs argv with stdout to a file; returns (wall seconds, CPU seconds, peak RSS in
    bytes, exit status)."""
    measure = subprocess.run([MEASURE, stdout_path] + argv, check=True, capture_output=True,
                             text=True)
    seconds, cpu, rss_kib, status = measure.stdout.split()
    return float(seconds), float(cpu), int(rss_kib) * 1024, int(status)


def remove(paths):
    for path in paths:
        try:
            os.unlink(path)
        except FileNotFoundError:
            pass


def generate(generator, data_dir):
    stamp = os.path.join(data_dir, "generated")
    if os.path.exists(stamp) and os.path.getmtime(stamp) >= os.path.getmtime(generator):
        return
    os.makedirs(data_dir, exist_ok=True)
    print(f"generating the benchmark job in {data_dir} ...", flush=True)
    started = time.perf_counter()
    if subprocess.run([generator, data_dir, "20", "200"]).returncode != 0:
        sys.exit("the generator failed")
    with open(stamp, "w") as f:
        f.write("done\n")
    print(f"generated in {time.perf_counter() - started:.1f} s", flush=True)


def same_outputs(scenario, quorlan, reference, data_dir, work_dir):
    """Runs both binaries on the scenario, each in a directory of its own, with
    the run stamp fixed; True when their exit statuses, console output (elapsed
    time masked) and every file they wrote are the same."""
    env = dict(os.environ, SOURCE_DATE_EPOCH="1236002865")
    runs = []
    for name, binary in (("new", quorlan), ("reference", reference)):
        directory = os.path.join(work_dir, name)
        shutil.rmtree(directory, ignore_errors=True)
        os.makedirs(directory)
        run = subprocess.run([binary, "SP" + data_dir] + scenario.commands, cwd=directory,
                             env=env, capture_output=True)
        console = re.sub(rb"in [0-9]+\.[0-9]+ Sec", b"in X Sec", run.stdout)
        runs.append((run.returncode, console, sorted(os.listdir(directory)), directory))
    (status, console, files, new_dir), (ref_status, ref_console, ref_files, ref_dir) = runs
    same = (status, console, files) == (ref_status, ref_console, ref_files) and all(
        filecmp.cmp(os.path.join(new_dir, f), os.path.join(ref_dir, f), shallow=False)
        for f in files)
    shutil.rmtree(new_dir)
    shutil.rmtree(ref_dir)
    return same


def run_scenario(scenario, quorlan, cat, data_dir, work_dir, runs):
    inputs = [os.path.join(data_dir, name) for name in scenario.inputs]
    input_bytes = sum(os.path.getsize(path) for path in inputs)
    argv = [quorlan, "SP" + data_dir] + scenario.commands
    cat_argv = [cat] + inputs
    console = os.path.join(work_dir, "console.txt")
    cat_out = os.path.join(work_dir, "cat.out")
    outputs = [os.path.join(work_dir, name) for name in scenario.outputs]

    # One untimed round brings the inputs into the page cache and checks that
    # the job runs and writes what it should.
    _, _, _, status = spawn(argv, console)
    missing = [path for path in outputs if not os.path.exists(path)]
    if status != 0 or missing:
        with open(console) as f:
            sys.exit(f"scenario {scenario.key} failed (status {status}, missing {missing}):\n"
                     + f.read())
    remove(outputs)
    spawn(cat_argv, cat_out)
    remove([cat_out])

    for _ in range(runs):
        seconds, cpu, _, _ = spawn(cat_argv, cat_out)
        scenario.cat_times.append(seconds)
        scenario.cat_cpu_times.append(cpu)
        remove([cat_out])
        seconds, cpu, rss, status = spawn(argv, console)
        if status != 0:
            sys.exit(f"scenario {scenario.key} failed with status {status}")
        scenario.times.append(seconds)
        scenario.cpu_times.append(cpu)
        scenario.peak_rss = max(scenario.peak_rss, rss)
        remove(outputs)
    return input_bytes


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--quorlan", required=True, help="the quorlan binary to time")
    parser.add_argument("--generate", required=True, help="the benchmark job generator")
    parser.add_argument("--measure", required=True, help="the command timer")
    parser.add_argument("--scratch", required=True,
                        help="directory for the generated job and the outputs")
    parser.add_argument("--runs", type=int, default=7, help="timed runs per scenario")
    parser.add_argument("--only", default="", help="comma-separated scenario keys")
    parser.add_argument("--same-as", default="",
                        help="a reference quorlan binary: check first that every scenario "
                             "writes exactly what it writes")
    args = parser.parse_args()

    global MEASURE
    MEASURE = os.path.abspath(args.measure)
    quorlan = os.path.abspath(args.quorlan)
    data_dir = os.path.abspath(os.path.join(args.scratch, "data"))
    work_dir = os.path.abspath(os.path.join(args.scratch, "work"))
    cat = shutil.which("cat")
    generate(os.path.abspath(args.generate), data_dir)
    os.makedirs(work_dir, exist_ok=True)
    os.chdir(work_dir)

    chosen = scenarios()
    if args.only:
        keys = args.only.split(",")
        chosen = [s for s in chosen if s.key in keys]

    print(f"{platform.node()}: {platform.system()} {platform.release()}, "
          f"{os.cpu_count()} cores, {args.runs} runs per scenario, load average "
          f"{os.getloadavg()[0]:.2f} at start")
    for scenario in chosen:
        print(f"  {scenario.key:5} {scenario.title}")
    failures = []
    if args.same_as:
        reference = os.path.abspath(args.same_as)
        for scenario in chosen:
            same = same_outputs(scenario, quorlan, reference, data_dir, work_dir)
            print(f"  {scenario.key:5} output {'identical to' if same else 'DIFFERS FROM'} "
                  f"{reference}", flush=True)
            if not same:
                failures.append(f"{scenario.key}: output differs from the reference")
    print("wall times are medians; 'x cat' is the ratio of the wall medians; the CPU columns "
          "(user + system) are for reference")
    print(f"{'':5}{'input MB':>9} {'wall s':>7} {'MB/s':>6} {'peak RSS':>10} {'cat s':>6} "
          f"{'x cat':>6} {'target':>7} {'cpu s':>7} {'cat cpu':>7} {'x cat':>6}")
    for scenario in chosen:
        input_bytes = run_scenario(scenario, quorlan, cat, data_dir, work_dir, args.runs)
        median = statistics.median(scenario.times)
        cat_median = statistics.median(scenario.cat_times)
        cpu = statistics.median(scenario.cpu_times)
        cat_cpu = statistics.median(scenario.cat_cpu_times)
        ratio = median / cat_median
        target = ""
        if scenario.target_ratio is not None:
            met = ratio <= scenario.target_ratio
            target = f"{'<=' if met else '> '}{scenario.target_ratio:g}"
            if not met:
                failures.append(f"{scenario.key}: {ratio:.2f} x cat")
        print(f"{scenario.key:5}{input_bytes / MB:9.1f} {median:7.3f} "
              f"{input_bytes / MB / median:6.0f} {scenario.peak_rss / MIB:6.1f} MiB "
              f"{cat_median:6.3f} {ratio:6.2f} {target:>7} {cpu:7.3f} {cat_cpu:7.3f} "
              f"{cpu / cat_cpu if cat_cpu > 0 else float('inf'):6.2f}", flush=True)

    by_key = {s.key: s for s in chosen}
    peak = max(s.peak_rss for s in chosen)
    print(f"\npeak RSS over all scenarios: {peak / MIB:.1f} MiB (target <= 16 MiB)")
    if peak > 16 * MIB:
        failures.append(f"peak RSS {peak / MIB:.1f} MiB")
    for small, big in (("d20a", "a"), ("d20b", "b")):
        if small in by_key and big in by_key:
            growth = (by_key[big].peak_rss - by_key[small].peak_rss) / MIB
            print(f"peak RSS 20 MB -> 200 MB layer ({small} -> {big}): {growth:+.2f} MiB "
                  f"(target within 1 MiB)")
            if abs(growth) > 1:
                failures.append(f"RSS growth {small} -> {big}: {growth:+.2f} MiB")
    print("all targets met" if not failures else "targets missed: " + "; ".join(failures))


if __name__ == "__main__":
    main()
