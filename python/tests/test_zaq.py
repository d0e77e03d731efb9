"""The Python package against independent facts: ERFA's ephemerides, a universal-variable
propagator written here, the zaq tool's own output, and round trips."""
import datetime
import json
import math
import os
import pickle
import subprocess
import sys

import erfa
import numpy as np
import pytest

import zaq

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
TOOL = os.environ.get("ZAQ_TOOL", "")
MU_EARTH, MU_SUN, AU, DAY = 3.986004418e14, 1.32712440018e20, 149597870691.0, 86400.0


# ---- ephemerides -----------------------------------------------------------------------------

def ecliptic(pv, eps):
    """ERFA's equatorial J2000 vectors (au, au/day) to the ecliptic of J2000 (m, m/s)."""
    c, s = math.cos(eps), math.sin(eps)
    rot = np.array([[1, 0, 0], [0, c, s], [0, -s, c]])
    return rot @ pv[0] * AU, rot @ pv[1] * AU / DAY


def test_ephemerides_follow_erfa():
    dates = np.linspace(61000.0, 62000.0, 7)
    eps = erfa.obl80(2400000.5, 51544.5)
    r, v = zaq.ephem("Mars", dates, ref="Sun")
    rm, vm = zaq.ephem("Moon", dates, ref="Earth")
    for i, t in enumerate(dates):
        pv = erfa.plan94(2400000.5, t, 4)
        er, ev = ecliptic(pv, eps)
        assert np.allclose(r[i], er, rtol=0, atol=1e-9 * np.linalg.norm(er))
        assert np.allclose(v[i], ev, rtol=0, atol=1e-9 * np.linalg.norm(ev))
        mr, mv = ecliptic(erfa.moon98(2400000.5, t), eps)
        assert np.allclose(rm[i], mr, rtol=0, atol=1e-9 * np.linalg.norm(mr))
        assert np.allclose(vm[i], mv, rtol=0, atol=1e-9 * np.linalg.norm(mv))
    # One date of every kind is the same date; 2026 runs 69.184 s of TT ahead of UTC.
    kinds = (zaq.mjd("2026-11-14"), "2026-11-14T00:00Z", datetime.datetime(2026, 11, 14),
             np.array([zaq.mjd("2026-11-14")]))
    assert len({float(np.ravel(zaq.mjd(d))[0]) for d in kinds}) == 1
    assert (zaq.mjd("2026-11-14") - 61358) * DAY == pytest.approx(69.184, abs=1e-6)


# ---- Lambert ---------------------------------------------------------------------------------

def stumpff(z):
    if abs(z) < 1e-3:
        return 0.5 - z / 24 + z * z / 720, 1 / 6 - z / 120 + z * z / 5040
    if z > 0:
        w = math.sqrt(z)
        return (1 - math.cos(w)) / z, (w - math.sin(w)) / w ** 3
    w = math.sqrt(-z)
    return (math.cosh(w) - 1) / -z, (math.sinh(w) - w) / w ** 3


def fly_two_body(r0, v0, t, mu):
    """Position after t from (r0, v0): Kepler's equation in the universal anomaly, Newton steps
    inside a bracket."""
    R0, V2, RV, sq = np.linalg.norm(r0), v0 @ v0, r0 @ v0, math.sqrt(mu)
    alpha = 2 / R0 - V2 / mu

    def F(chi):
        C, S = stumpff(alpha * chi * chi)
        z = alpha * chi * chi
        r = RV / sq * chi * (1 - z * S) + (1 - alpha * R0) * chi * chi * C + R0
        return RV / sq * chi * chi * C + (1 - alpha * R0) * chi ** 3 * S + R0 * chi - sq * t, r

    lo, hi = 0.0, sq * t / R0
    while F(hi)[0] < 0:
        hi *= 2
    chi = 0.5 * hi
    for _ in range(200):
        f, r = F(chi)
        lo, hi = (chi, hi) if f < 0 else (lo, chi)
        nxt = chi - f / r
        if not lo < nxt < hi:
            nxt = 0.5 * (lo + hi)
        if abs(nxt - chi) <= 1e-15 * hi:
            break
        chi = nxt
    z = alpha * chi * chi
    C, S = stumpff(z)
    return (1 - chi * chi / R0 * C) * r0 + (t - chi ** 3 / sq * S) * v0


def test_lambert_arcs_reach_their_targets():
    rng = np.random.default_rng(20261209)
    n = 1000
    r1 = rng.normal(size=(n, 3)) * 1e7
    r2 = rng.normal(size=(n, 3)) * 1e7
    tof = rng.uniform(600, 20000, n)
    for way in ("short", "long"):
        v1, v2, ok = zaq.lambert(r1, r2, tof, MU_EARTH, way=way)
        assert ok.mean() > 0.95 and np.all(np.isnan(v1[~ok]))
        for i in np.flatnonzero(ok)[:400]:
            miss = np.linalg.norm(fly_two_body(r1[i], v1[i], tof[i], MU_EARTH) - r2[i])
            assert miss < 1e-7 * np.linalg.norm(r2[i]), (way, i, miss)
    # One problem: vectors of shape (3,), or ValueError when there is no arc.
    v1, v2, ok = zaq.lambert(r1[0], r2[0], tof[0], MU_EARTH)
    assert v1.shape == (3,) and ok
    with pytest.raises(ValueError):
        zaq.lambert([7e6, 0, 0], [-7e6, 0, 1e-9], 1000.0, MU_EARTH, solver="G")


def test_orbits_from_elements_and_states_agree():
    o = zaq.Orbit.from_elements(2.4e7, 0.7, 0.5, 1.0, 2.0, 0.3, MU_EARTH, "2026-01-01")
    el = o.elements()
    for k, x in zip(("a", "e", "inc", "raan", "argp", "nu"), (2.4e7, 0.7, 0.5, 1.0, 2.0, 0.3)):
        assert el[k] == pytest.approx(x, rel=1e-12, abs=1e-12), k
    assert o.period == pytest.approx(2 * math.pi * math.sqrt(2.4e7 ** 3 / MU_EARTH), rel=1e-12)
    r, v = o.state(o.epoch + np.array([0.1, 0.25]))
    assert np.allclose(r[1], fly_two_body(o.r, o.v, 0.25 * DAY, MU_EARTH), rtol=0, atol=1e-3)
    assert pickle.loads(pickle.dumps(o)).elements() == el


# ---- plans -----------------------------------------------------------------------------------

def tool_json(*args):
    if not TOOL:
        pytest.skip("ZAQ_TOOL names no zaq tool")
    out = subprocess.run([TOOL, *args, "--json"], capture_output=True, text=True, check=True)
    return json.loads(out.stdout)


def close(a, b, where=""):
    """Equal as JSON, numbers to 1e-9."""
    if isinstance(a, dict):
        assert list(a) == list(b), where
        for k in a:
            close(a[k], b[k], where + "/" + k)
    elif isinstance(a, list):
        assert len(a) == len(b), where
        for i, (x, y) in enumerate(zip(a, b)):
            close(x, y, f"{where}/{i}")
    elif isinstance(a, float):
        assert a == pytest.approx(b, rel=1e-9, abs=1e-12), where
    else:
        assert a == b, where


@pytest.fixture(scope="module")
def lunar():
    return zaq.plan_transfer("Earth", "Moon", "2026-09-17", "2026-09-20", thrust=1e5,
                             isp=448.67, mass=4e4)


def test_plans_are_the_tools(lunar):
    mars = zaq.plan_transfer("Earth", "Mars", "2026-11-14", "2027-08-09")
    assert mars.c3 == pytest.approx(11.097e6, rel=1e-3)
    close(mars.to_dict(), tool_json("transfer", "Earth", "Mars", "--depart", "2026-11-14",
                                    "--arrive", "2027-08-09"))
    close(lunar.to_dict(), tool_json("transfer", "Earth", "Moon", "--depart", "2026-09-17",
                                     "--arrive", "2026-09-20", "--thrust", "1e5", "--isp",
                                     "448.67", "--mass", "4e4"))
    grid = zaq.porkchop("Earth", "Mars", ("2026-09-01", "2027-01-31"), (120, 400), grid=21)
    tool = tool_json("porkchop", "Earth", "Mars", "--depart-range", "2026-09-01", "2027-01-31",
                     "--tof-range", "120", "400", "--grid", "21", "--no-plot", "--out",
                     os.path.join(os.environ.get("TMPDIR", "/tmp"), "zaq-pytest-grid"))
    close(grid.minima, tool["minima"])
    i = int(np.nanargmin(np.where(grid.way == 0, grid.c3, np.nan)))
    assert grid.c3.flat[i] / 1e6 == pytest.approx(grid.minima[0]["c3_km2_s2"], rel=1e-12)
    flight = zaq.fly("Earth", 400, 51.6, "2026-11-14", 1)
    assert flight.node_drift_deg_per_day == pytest.approx(-5.0, abs=0.2)
    assert flight.r.shape == (len(flight.mjd), 3)


def test_a_refly_without_errors_is_the_plans_own_flight(lunar):
    again = lunar.refly()
    flown = lunar.flown
    assert not again.hit_moon
    assert again.periselene_alt_km == pytest.approx(flown["periselene_alt_km"], abs=0.01)
    assert again.periselene_mjd == pytest.approx(flown["periselene_mjd"], abs=1 / DAY)
    # The entry is seen at the end of a step, and the steps of a new model differ in the last bits.
    assert again.soi_entry_mjd == pytest.approx(flown["soi_entry_mjd"], abs=10 / DAY)
    # A 1 % stronger engine burns longer than needed: the pass moves far out.
    assert lunar.refly(thrust_scale=1.01).periselene_alt_km > 1000


def test_results_travel_between_processes(lunar):
    for x in (lunar, zaq.porkchop("Earth", "Mars", ("2026-10-01", "2026-12-01"), (150, 300),
                                  grid=5), zaq.Orbit([7e6, 0, 0], [0, 7.5e3, 0], MU_EARTH, 0)):
        y = pickle.loads(pickle.dumps(x))
        assert type(y) is type(x)
    copy = pickle.loads(pickle.dumps(lunar))
    assert copy.refly().periselene_alt_km == pytest.approx(lunar.refly().periselene_alt_km, 1e-12)


@pytest.mark.parametrize("call, text", [
    (lambda: zaq.ephem("Vulcan", 61000), "unknown body 'Vulcan'"),
    (lambda: zaq.ephem("Moon", "2026-13-01"), "ISO-8601"),
    (lambda: zaq.ephem("Moon", float("nan")), "finite"),
    (lambda: zaq.ephem("Moon", 1e7), "ephemerides"),
    (lambda: zaq.lambert([1, 2], [3, 4, 5], 10, 1), "shape"),
    (lambda: zaq.lambert([7e6, 0, 0], [0, 7e6, 0], 900, MU_EARTH, solver="XY"), "solver"),
    (lambda: zaq.lambert([7e6, 0, 0], [0, 7e6, 0], 900, MU_EARTH, revs=1), "UB"),
    (lambda: zaq.plan_transfer("Earth", "Earth", 61000, 61100), "same"),
    (lambda: zaq.plan_transfer("Earth", "Mars", 61100, 61000), "after"),
    (lambda: zaq.plan_transfer("Earth", "Mars", 61000, 61200, thrust=1e5), "engine"),
    (lambda: zaq.plan_transfer("Earth", "Mars", 61000, 61200, park_alt_km=-5), "parking"),
    (lambda: zaq.porkchop("Earth", "Mars", (61000, 61100), (100, 200), grid=1), "grid"),
    (lambda: zaq.porkchop("Earth", "Mars", (61000, 61100), (100, 200), way="up"), "way"),
    (lambda: zaq.fly("Earth", 400, 51.6, 61000, -1), "days"),
    (lambda: zaq.Orbit([7e6, 0, 0], [7e3, 0, 0], MU_EARTH, 0), "angular momentum"),
    (lambda: zaq.plan_transfer("Earth", "Mars", 61358, 61620).refly(), "no finite burn"),
])
def test_refusals(call, text):
    with pytest.raises(ValueError, match=text):
        call()


def test_the_dispersion_example_runs_on_a_local_cluster(tmp_path):
    script = os.path.join(ROOT, "examples", "dispersions.py")
    out = subprocess.run([sys.executable, script, "--samples", "16", "--workers", "2", "--plot",
                          str(tmp_path / "hist.png")], capture_output=True, text=True,
                         cwd=tmp_path, timeout=600)
    assert out.returncode == 0, out.stderr
    assert "periselene altitude" in out.stdout and "hit the Moon" in out.stdout
    assert sorted(os.listdir(tmp_path)) == ["hist.png"]
