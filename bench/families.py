#!/usr/bin/env python3
"""Writes SDPA files of three SDPLIB families at sizes that the data folder
does not hold, for the Octave benchmarks on problems the suite does not use:

  theta_m<m>_e<edges>  Lovasz theta of a random graph: F1 = I, one matrix
                       e_i*e_j' + e_j*e_i' (entries 1/2) an edge, F0 = ones
  gpp_m<m>             graph partitioning: F1 the dense all-ones matrix,
                       then e_i*e_i' for each i, F0 a random graph's edges
  mcp_m<m>             max cut: e_i*e_i' for each i, F0 a random graph's
                       Laplacian part (density 0.1)
  qpG_m<m>             box-constrained quadratic programs: e_i*e_i' for
                       each i of the first half only (n = m/2), F0 the
                       edges of a random graph (density 0.1) between the
                       two halves

Also theta at orders 250, 500 and 1000 with n about 3m, 5m and 7m, max
cut at orders 1000 and 2000, and the quadratic programs at order 1600 (the
size of SDPLIB's qpG11).

Usage: bench/families.py DIR   (the graphs come from a fixed seed)"""
import os
import random
import sys


def write(path, n, m, c, entries):
    with open(path, "w") as f:
        f.write(f"{n}\n1\n{m}\n")
        f.write(" ".join(c) + "\n")
        for mat, i, j, v in entries:
            f.write(f"{mat} 1 {i} {j} {v}\n")


def graph(rnd, m, edges):
    chosen = set()
    while len(chosen) < edges:
        i, j = sorted((rnd.randrange(1, m + 1), rnd.randrange(1, m + 1)))
        if i < j:
            chosen.add((i, j))
    return sorted(chosen)


def theta(out, m, edges, rnd):
    e = graph(rnd, m, edges)
    entries = [(0, i, j, 1.0) for i in range(1, m + 1) for j in range(i, m + 1)]
    entries += [(1, i, i, 1.0) for i in range(1, m + 1)]
    entries += [(k + 2, i, j, 0.5) for k, (i, j) in enumerate(e)]
    write(os.path.join(out, f"theta_m{m}_e{edges}.dat-s"), 1 + len(e), m,
          ["1.0"] + ["0.0"] * len(e), entries)


def gpp(out, m, rnd):
    e = graph(rnd, m, m * (m - 1) // 20)
    entries = [(0, i, j, -1.0) for i, j in e]
    entries += [(1, i, j, 1.0) for i in range(1, m + 1) for j in range(i, m + 1)]
    entries += [(i + 1, i, i, 1.0) for i in range(1, m + 1)]
    write(os.path.join(out, f"gpp_m{m}.dat-s"), m + 1, m, ["0.0"] + ["1.0"] * m,
          entries)


def mcp(out, m, rnd):
    e = graph(rnd, m, m * (m - 1) // 20)
    entries = [(0, i, j, -0.25) for i, j in e]
    entries += [(i, i, i, 1.0) for i in range(1, m + 1)]
    write(os.path.join(out, f"mcp_m{m}.dat-s"), m, m, ["1.0"] * m, entries)


def qpg(out, m, rnd):
    h = m // 2
    e = set()
    while len(e) < h * h // 10:
        e.add((rnd.randrange(1, h + 1), rnd.randrange(h + 1, m + 1)))
    entries = [(0, i, j, -0.5) for i, j in sorted(e)]
    entries += [(i, i, i, 1.0) for i in range(1, h + 1)]
    write(os.path.join(out, f"qpG_m{m}.dat-s"), h, m, ["1.0"] * h, entries)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    rnd = random.Random(1)
    # the sizes of SDPLIB's theta2, theta4, theta5, theta6, gpp124-*,
    # gpp500-*, mcp124-* and mcp500-*
    for m, edges in ((100, 497), (200, 1948), (250, 3027), (300, 4374)):
        theta(out, m, edges, rnd)
    for m in (124, 500):
        gpp(out, m, rnd)
        mcp(out, m, rnd)
    # and larger: theta with n from 3m to 7m, max cut at 1000 and 2000
    for m, edges in ((250, 750), (500, 2500), (1000, 6909)):
        theta(out, m, edges, rnd)
    for m in (1000, 2000):
        mcp(out, m, rnd)
    qpg(out, 1600, rnd)


if __name__ == "__main__":
    main()
