#!/usr/bin/env python3
"""The Python package against a peer, in one run: zaq.lambert over 100,000 rows against a Python
loop of scalar calls and against poliastro's Izzo solver in a compiled (numba) loop on the same
rows, and zaq.porkchop on a 100 x 100 Earth-Mars grid against poliastro computing the same grid
(its ephemerides from astropy's built-in ones, its arcs from the same solver).

    PYTHONPATH=build/python /usr/bin/python3 bench/bench_python.py

Needs Debian's python3-poliastro (a benchmark-only peer: apt-get install python3-poliastro).
Times are the best of three runs.
"""
import time
import warnings

import numpy as np

import zaq

MU_EARTH, DAY = 3.986004418e14, 86400.0


def best(f, runs=3):
    times = []
    for _ in range(runs):
        t = time.perf_counter()
        out = f()
        times.append(time.perf_counter() - t)
    return min(times), out


def lambert_rows(n, seed=7):
    rng = np.random.default_rng(seed)
    r1 = rng.normal(size=(n, 3)) * 1e7
    r2 = rng.normal(size=(n, 3)) * 1e7
    tof = rng.uniform(600, 20000, n)
    return r1, r2, tof


def main():
    warnings.simplefilter("ignore")  # astropy's notes on time scales and ERFA's dubious years
    from numba import njit
    from poliastro.core.iod import izzo

    n = 100_000
    r1, r2, tof = lambert_rows(n)

    @njit
    def izzo_loop(k, a, b, t):
        # The short way: prograde when r1 x r2 points to +z (Izzo's sense of "prograde").
        v1 = np.empty_like(a)
        for i in range(a.shape[0]):
            prograde = a[i, 0] * b[i, 1] - a[i, 1] * b[i, 0] > 0
            v1[i] = izzo(k, a[i], b[i], t[i], 0, prograde, True, 35, 1e-8)[0]
        return v1

    izzo_loop(MU_EARTH, r1[:10], r2[:10], tof[:10])  # compiled before it is timed
    t_zaq, (v_zaq, _, ok) = best(lambda: zaq.lambert(r1, r2, tof, MU_EARTH))
    t_izzo, v_izzo = best(lambda: izzo_loop(MU_EARTH, r1, r2, tof))
    m = 10_000
    t_loop, _ = best(lambda: [zaq.lambert(r1[i], r2[i], tof[i], MU_EARTH) for i in range(m)], 1)
    t_loop *= n / m
    both = ok & np.all(np.isfinite(v_izzo), axis=1)
    diff = np.linalg.norm(v_zaq[both] - v_izzo[both], axis=1) / np.linalg.norm(v_zaq[both], axis=1)
    print(f"Lambert, {n} rows (short way, single revolution):")
    print(f"  zaq.lambert (PN + refinement)   {t_zaq * 1e3:8.1f} ms  {t_zaq / n * 1e9:6.0f} ns/row")
    print(f"  Python loop of scalar calls     {t_loop * 1e3:8.1f} ms  "
          f"({t_loop / t_zaq:.1f} x zaq.lambert; {m} rows timed)")
    print(f"  poliastro izzo, numba loop      {t_izzo * 1e3:8.1f} ms  {t_izzo / n * 1e9:6.0f} ns/row"
          f"  ({t_izzo / t_zaq:.2f} x zaq.lambert)")
    print(f"  largest relative difference of v1 between the two: {diff.max():.1e} "
          f"({both.sum()} rows both solved)")

    # ---- the porkchop grid ----
    import astropy.units as u
    from astropy.time import Time
    from poliastro.bodies import Earth, Mars, Sun
    from poliastro.ephem import Ephem

    g = 100
    d0, d1 = zaq.mjd("2026-09-01"), zaq.mjd("2027-01-31")
    t_grid, grid = best(lambda: zaq.porkchop("Earth", "Mars", (d0, d1), (120, 400), grid=g,
                                             way="short"), 1)
    k = Sun.k.to_value(u.m ** 3 / u.s ** 2)

    def poliastro_grid():
        dep = Time(np.linspace(d0, d1, g), format="mjd", scale="tt")
        tofs = np.linspace(120, 400, g)
        earth = Ephem.from_body(Earth, dep, attractor=Sun).rv()
        r_e = earth[0].to_value(u.m)
        v_e = earth[1].to_value(u.m / u.s)
        when, back = np.unique(np.add.outer(tofs, dep.mjd).ravel(), return_inverse=True)
        arr = Time(when, format="mjd", scale="tt")
        mars = Ephem.from_body(Mars, arr, attractor=Sun).rv()
        r_m = mars[0].to_value(u.m)[back].reshape(g, g, 3)
        c3 = np.full((g, g), np.nan)
        for j in range(g):
            v1 = izzo_loop(k, r_e, r_m[j], np.full(g, tofs[j] * DAY))
            c3[j] = np.sum((v1 - v_e) ** 2, axis=1)
        return c3

    t_poli, c3_poli = best(poliastro_grid, 1)
    print(f"Porkchop, Earth-Mars 2026, {g} x {g} (short way):")
    print(f"  zaq.porkchop                    {t_grid * 1e3:8.1f} ms")
    print(f"  poliastro (astropy + izzo)      {t_poli * 1e3:8.1f} ms  ({t_poli / t_grid:.1f} x)")
    a, b = grid.c3, c3_poli
    print(f"  least C3: zaq {np.nanmin(a) / 1e6:.3f}, poliastro {np.nanmin(b) / 1e6:.3f} km^2/s^2 "
          "(ecliptic and equatorial frames alike give C3)")


if __name__ == "__main__":
    main()
