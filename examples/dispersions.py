#!/usr/bin/env python3
"""A Monte Carlo of a finite-burn trans-lunar injection on Dask.

Plans the Earth -> Moon transfer of a 40 t stage with 100 kN and Isp 448.67 s (as the README's
example), then flies its burn again SAMPLES times through the full model with a dispersed
engine: thrust +-1 %, Isp +-0.5 %, pointing 0.1 deg on each axis, ignition +-1 s (1 sigma,
normal). Prints the periselene altitude's mean and spread and the share of passes that hit the
Moon, and draws their histogram.

Without --scheduler the samples run on a local cluster of --workers processes; with
--scheduler tcp://HOST:8786 the same script runs on an existing cluster (whose workers can
import zaq).
"""
import argparse
import math
import os
import sys

import numpy as np


def fly_once(plan, errors):
    """One sample: the plan flown again with (thrust scale, Isp scale, pitch, yaw, shift)."""
    ts, isp, pitch, yaw, shift = errors
    p = plan.refly(thrust_scale=ts, isp_scale=isp, pointing_error_deg=(pitch, yaw),
                   ignition_shift_s=shift)
    return p.periselene_alt_km, p.hit_moon


def main():
    ap = argparse.ArgumentParser(description=__doc__,
                                 formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--samples", type=int, default=200, help="number of flights (default 200)")
    ap.add_argument("--scheduler", help="address of an existing Dask scheduler")
    ap.add_argument("--workers", type=int, default=2, help="local workers (default 2)")
    ap.add_argument("--seed", type=int, default=1, help="random seed (default 1)")
    ap.add_argument("--plot", default="dispersions.png",
                    help="histogram PNG (default dispersions.png; 'none' for no picture)")
    args = ap.parse_args()
    if args.samples < 1 or args.workers < 1:
        ap.error("--samples and --workers must be at least 1")

    import zaq
    from distributed import Client, LocalCluster

    plan = zaq.plan_transfer("Earth", "Moon", "2026-09-17", "2026-09-20", thrust=1e5,
                             isp=448.67, mass=4e4)
    aim = plan.flown["periselene_alt_km"]
    rng = np.random.default_rng(args.seed)
    n = args.samples
    errors = np.column_stack([1 + 0.01 * rng.standard_normal(n), 1 + 0.005 * rng.standard_normal(n),
                              0.1 * rng.standard_normal(n), 0.1 * rng.standard_normal(n),
                              1.0 * rng.standard_normal(n)])

    if args.scheduler:
        client = Client(args.scheduler)
    else:
        cluster = LocalCluster(n_workers=args.workers, threads_per_worker=1, processes=True,
                               dashboard_address=None, silence_logs=40)
        client = Client(cluster)
    with client:
        remote = client.scatter(plan, broadcast=True)
        futures = client.map(fly_once, [remote] * n, [tuple(e) for e in errors], pure=False)
        results = client.gather(futures)
    if not args.scheduler:
        cluster.close()

    alt = np.array([r[0] for r in results])
    hit = np.array([r[1] for r in results])
    passed = alt[~hit]
    print(f"{n} flights of the planned burn (aimed at {aim:.1f} km)")
    if passed.size:
        print(f"periselene altitude: mean {passed.mean():.1f} km, spread (1 sigma) "
              f"{passed.std(ddof=1) if passed.size > 1 else 0.0:.1f} km, "
              f"from {passed.min():.1f} to {passed.max():.1f} km")
    print(f"hit the Moon: {hit.sum()} of {n} ({100.0 * hit.mean():.1f} %)")

    if args.plot != "none":
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
        fig, ax = plt.subplots(figsize=(8, 4.5))
        ax.hist(passed, bins=max(5, int(math.sqrt(max(passed.size, 1)))), color="#4a7ebb")
        ax.axvline(aim, color="k", ls="--", label=f"planned {aim:.0f} km")
        ax.set_xlabel("periselene altitude (km)")
        ax.set_ylabel("flights")
        ax.set_title(f"TLI dispersions: {n} flights, {hit.sum()} hit the Moon")
        ax.legend()
        fig.tight_layout()
        fig.savefig(args.plot, dpi=100)
        print(f"histogram: {args.plot}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
