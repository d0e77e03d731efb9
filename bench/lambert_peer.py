#!/usr/bin/env python3
"""PN with the refinement to double precision against poliastro's Izzo solver, in one run, on
the same 10,000 Lambert cases (those of the tests): time per case and the largest relative
velocity error of each against a long-double solution.

    /usr/bin/python3 bench/lambert_peer.py build/bench/bench_lambert

The peer is Debian's python3-poliastro (a benchmark-only dependency), its solver compiled by
numba and run in a compiled loop; bench_lambert writes the cases and times ZAQ.
"""
import json
import os
import subprocess
import sys
import tempfile
import time

import numpy as np


def main():
    bench = sys.argv[1] if len(sys.argv) > 1 else "build/bench/bench_lambert"
    from numba import njit
    from poliastro.core.iod import izzo

    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "cases.csv")
        subprocess.run([bench, f"--cases-csv={path}"], check=True)
        c = np.loadtxt(path, delimiter=",")
        out = subprocess.run([bench, "--benchmark_filter=^Refined/PN_all$",
                              "--benchmark_repetitions=5", "--benchmark_format=json"],
                             capture_output=True, text=True, check=True)
    runs = json.loads(out.stdout)["benchmarks"]
    zaq_ns = min(b["cpu_time"] for b in runs if b.get("run_type") == "iteration")
    cols = [np.ascontiguousarray(c[:, a:b]) for a, b in
            ((0, 3), (3, 6), (6, 7), (7, 8), (8, 9), (9, 12), (12, 15), (15, 18), (18, 21))]
    r1, r2, t, d, mu, e1, e2, z1, z2 = cols
    t, d, mu = t.ravel(), d.ravel(), mu.ravel()

    @njit
    def izzo_loop(r1, r2, t, d, mu):
        v1 = np.empty_like(r1)
        v2 = np.empty_like(r1)
        for i in range(r1.shape[0]):
            # The short way (d > 0) is prograde in Izzo's sense when r1 x r2 points to +z.
            hz = r1[i, 0] * r2[i, 1] - r1[i, 1] * r2[i, 0]
            prograde = (hz > 0) == (d[i] > 0)
            a, b = izzo(mu[i], r1[i], r2[i], t[i], 0, prograde, True, 35, 1e-8)
            v1[i] = a
            v2[i] = b
        return v1, v2

    izzo_loop(r1[:5], r2[:5], t[:5], d[:5], mu[:5])  # compiled before it is timed
    best = np.inf
    for _ in range(5):
        start = time.perf_counter()
        p1, p2 = izzo_loop(r1, r2, t, d, mu)
        best = min(best, time.perf_counter() - start)
    peer_ns = best / len(t) * 1e9

    def error(v1, v2):
        return np.max(np.maximum(np.linalg.norm(v1 - e1, axis=1) / np.linalg.norm(e1, axis=1),
                                 np.linalg.norm(v2 - e2, axis=1) / np.linalg.norm(e2, axis=1)))

    print(f"{len(t)} Lambert cases (single revolution, short and long way)")
    print(f"  ZAQ PN + refinement  {zaq_ns:7.0f} ns/case   worst relative velocity error "
          f"{error(z1, z2):.1e}")
    print(f"  poliastro Izzo       {peer_ns:7.0f} ns/case   worst relative velocity error "
          f"{error(p1, p2):.1e}")
    print(f"  ZAQ / peer: {zaq_ns / peer_ns:.2f} of the peer's cost")


if __name__ == "__main__":
    main()
