#!/usr/bin/env python3
"""Prints the medians and ratios of a Google Benchmark JSON report of quarn_bench_codec or quarn_bench_pty."""

import json
import sys
from typing import Dict, List


def medians(path: str) -> List[Dict]:
    with open(path, encoding="utf-8") as report:
        runs = json.load(report)["benchmarks"]
    # Random interleaving mixes the order; the report reads best in the order of the names.
    return sorted((run for run in runs if run.get("aggregate_name") == "median"), key=lambda run: run["run_name"])


def print_codec(runs: List[Dict]) -> None:
    for run in runs:
        name = run["run_name"]
        print(f"  {name:<36} {run['real_time']:10.1f} {run['time_unit']}  {run['s_per_byte'] * 1e9:6.2f} ns/byte")


def print_pty(runs: List[Dict]) -> None:
    for run in runs:
        name = run["run_name"].replace("/manual_time", "").replace("/min_time:2.000", "")
        if "ratio" in run:
            print(f"  {name:<26} library {run['library_us']:8.1f} us  one-byte {run['bare_us']:8.1f} us  "
                  f"bulk {run['bulk_us']:8.1f} us  ratio {run['ratio']:.2f} / bulk {run['ratio_bulk']:.2f} "
                  f"(one-byte / bulk {run['one_byte_bulk']:.2f})  "
                  f"(CPU {run['library_cpu_us']:.1f} vs {run['bare_cpu_us']:.1f} / {run['bulk_cpu_us']:.1f} us)")
        else:
            print(f"  {name:<26} library {run['library_fps']:8.0f}/s  bare {run['bare_fps']:8.0f}/s  "
                  f"line {run['line_fps']:6.0f}/s  x line {run['x_line']:5.1f}  of ceiling {run['of_ceiling']:.2f}")


def main() -> None:
    kind, path = sys.argv[1], sys.argv[2]
    (print_codec if kind == "codec" else print_pty)(medians(path))


if __name__ == "__main__":
    main()
