#!/usr/bin/env python3
"""The table of the kernel benchmarks: medians from kernels_bench's JSON
output, one line per computation and problem, with the speed-up of the
module over the plain loops and the module's time over the floor."""
import json
import sys

runs = json.load(open(sys.argv[1]))
med = {}
for b in runs["benchmarks"]:
    if b.get("aggregate_name") != "median":
        continue
    name = b["run_name"].replace("/real_time", "")
    scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}[b["time_unit"]]
    med[name] = b["real_time"] * scale

ctx = runs["context"]
print("Machine: %s, %d CPUs at %d MHz; library build: %s" % (
    ctx.get("host_name", "?"), ctx.get("num_cpus", 0), ctx.get("mhz_per_cpu", 0),
    ctx.get("library_build_type", "?")))
print()
print("| computation | problem | plain µs | module µs | speed-up | floor µs | module / floor |")
print("|---|---|---:|---:|---:|---:|---:|")
problems = []
for name in med:
    kind, problem, _ = (name.split("/") + ["", ""])[:3]
    if problem not in problems:
        problems.append(problem)
kinds = ["kovalin_sparse", "kovalin_dense", "brisset_row1", "brisset_row2",
         "zandrel_entry12", "zandrel_entry22"]
for kind in kinds:
    for problem in problems:
        plain = med.get("%s/%s/plain" % (kind, problem))
        module = med.get("%s/%s/module" % (kind, problem))
        if plain is None or module is None:
            continue
        floor = med.get("readonce/%s/%s" % (
            problem, "sumfloor" if kind == "kovalin_sparse" else "floor"))
        uses_cell = kind.startswith(("kovalin", "brisset"))
        print("| %s | %s | %.1f | %.1f | %.2f | %s | %s |" % (
            kind, problem, plain, module, plain / module,
            "%.1f" % floor if floor and uses_cell else "",
            "%.2f" % (module / floor) if floor and uses_cell else ""))
