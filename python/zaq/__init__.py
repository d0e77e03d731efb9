"""ZAQ-SDK from Python: ephemerides, Lambert arcs, conics, transfer plans, porkchop grids and
flights on the built-in solar system.

Units are SI (m, m/s, s, kg, N) unless a name says otherwise (_km, _deg, _days). Dates are an MJD
(TT) number, an ISO-8601 UTC text, a datetime.datetime (naive: UTC), or a sequence or array of
them. Vectors are NumPy arrays of shape (3,) or (N, 3) in the ecliptic and equinox of J2000,
right-handed. A request the library refuses raises ValueError with its one-line reason.
"""

import atexit as _atexit
import dataclasses as _dc
import datetime as _datetime
import math as _math
import os as _os
import shutil as _shutil
import tempfile as _tempfile

import numpy as _np

# The library opens its error log in the working directory when it is loaded: it is loaded in a
# directory of its own, and the log then moves into the model's scratch directory, which goes
# with the process. Nothing is written where the caller works.
_here = _os.getcwd()
_load = _tempfile.mkdtemp(prefix="zaq-load-")
_os.chdir(_load)
try:
    from . import _zaq
finally:
    _os.chdir(_here)
_zaq.take_log()
_shutil.rmtree(_load, ignore_errors=True)
_atexit.register(_zaq.close)

__all__ = ["ephem", "lambert", "Orbit", "plan_transfer", "TransferPlan", "FlownPass",
           "porkchop", "Porkchop", "fly", "Flight", "mjd"]

_DEG = _math.pi / 180


# ---- dates ----------------------------------------------------------------------------------

def _one_mjd(d):
    if isinstance(d, str):
        text = d.strip()
        try:
            d = _datetime.datetime.fromisoformat(text.replace("Z", "+00:00"))
        except ValueError:
            raise ValueError(f"'{text}' is not an ISO-8601 date") from None
    if isinstance(d, _datetime.date) and not isinstance(d, _datetime.datetime):
        d = _datetime.datetime(d.year, d.month, d.day)
    if isinstance(d, _datetime.datetime):
        if d.tzinfo is not None:
            d = d.astimezone(_datetime.timezone.utc).replace(tzinfo=None)
        second = d.second + d.microsecond * 1e-6
        m = _zaq.mjd_from_utc(d.year, d.month, d.day, d.hour, d.minute, second)
        if not _math.isfinite(m):
            raise ValueError(f"{d.isoformat()} is not a valid UTC date")
        return m
    if isinstance(d, (bool, _np.bool_)):
        raise ValueError("a date must be an MJD, an ISO-8601 text or a datetime")
    try:
        m = float(d)
    except (TypeError, ValueError):
        raise ValueError("a date must be an MJD, an ISO-8601 text or a datetime") from None
    if not _math.isfinite(m):
        raise ValueError("a date must be a finite MJD")
    return m


def mjd(dates):
    """The MJD (TT) of a date, or an array of them for a sequence or array of dates."""
    if isinstance(dates, (str, _datetime.date)) or _np.ndim(dates) == 0:
        return _one_mjd(dates.item() if isinstance(dates, _np.ndarray) else dates)
    if isinstance(dates, _np.ndarray) and dates.dtype.kind in "fiu":
        out = dates.astype(float).ravel()
        if not _np.all(_np.isfinite(out)):
            raise ValueError("a date must be a finite MJD")
        return out
    return _np.array([_one_mjd(d) for d in dates], dtype=float)


def _vectors(x, name):
    a = _np.asarray(x, dtype=float)
    if a.ndim == 1 and a.shape == (3,):
        return a.reshape(1, 3), True
    if a.ndim == 2 and a.shape[1] == 3:
        return a, False
    raise ValueError(f"{name} must have shape (3,) or (N, 3)")


# ---- ephemerides and Lambert arcs -------------------------------------------------------------

def ephem(body, dates, ref="Sun"):
    """Position and velocity of body about ref at the dates: two (N, 3) arrays, or (3,) for one
    date."""
    t = mjd(dates)
    single = _np.ndim(t) == 0
    r, v = _zaq.ephem(str(body), "" if ref is None else str(ref), _np.atleast_1d(t))
    return (r[0], v[0]) if single else (r, v)


_SOLVERS = ("G", "PN", "UB", "UN")


def lambert(r1, r2, tof, mu, way="short", revs=0, solver="PN"):
    """The arcs from r1 to r2 in tof seconds about mu: (v1, v2, ok), row by row, refined to the
    precision of double arithmetic. A row without a solution is NaN with ok False; a single
    problem (r1 and r2 of shape (3,), tof a number) that has none raises ValueError."""
    a, one_a = _vectors(r1, "r1")
    b, one_b = _vectors(r2, "r2")
    t = _np.atleast_1d(_np.asarray(tof, dtype=float))
    n = max(len(a), len(b), len(t))
    try:
        a, b, t = (_np.broadcast_to(a, (n, 3)), _np.broadcast_to(b, (n, 3)),
                   _np.broadcast_to(t, (n,)))
    except ValueError:
        raise ValueError("r1, r2 and tof must have the same number of rows (or one)") from None
    if way not in ("short", "long"):
        raise ValueError(f"way must be 'short' or 'long', not {way!r}")
    if not (isinstance(revs, (int, _np.integer)) and revs >= 0):
        raise ValueError("revs must be a whole number, 0 or more")
    mu = float(mu)
    if not (mu > 0 and _math.isfinite(mu)):
        raise ValueError("mu must be a number above 0")
    v1, v2, ok = _zaq.lambert(a, b, t, mu, 1.0 if way == "short" else -1.0, int(revs),
                              str(solver).upper())
    if one_a and one_b and _np.ndim(tof) == 0:
        if not ok[0]:
            raise ValueError(f"Lambert solver {str(solver).upper()} found no arc")
        return v1[0], v2[0], True
    return v1, v2, ok


# ---- conics -----------------------------------------------------------------------------------

class Orbit:
    """A conic about a body of parameter mu, from a state at an epoch (MJD TT)."""

    def __init__(self, r, v, mu, epoch):
        self.r = _np.array(r, dtype=float).reshape(3)
        self.v = _np.array(v, dtype=float).reshape(3)
        self.mu = float(mu)
        self.epoch = _one_mjd(epoch)
        if not (self.mu > 0 and _math.isfinite(self.mu)):
            raise ValueError("mu must be a number above 0")
        if not (_np.all(_np.isfinite(self.r)) and _np.all(_np.isfinite(self.v))):
            raise ValueError("the state must be finite")
        if not _np.linalg.norm(_np.cross(self.r, self.v)) > 0:
            raise ValueError("the state has no angular momentum: no conic")

    @classmethod
    def from_state(cls, r, v, mu, epoch):
        return cls(r, v, mu, epoch)

    @classmethod
    def from_elements(cls, a, e, inc, raan, argp, nu, mu, epoch):
        """From semi-major axis (negative for a hyperbola), eccentricity, inclination, node,
        argument of periapsis and true anomaly (rad)."""
        values = [float(x) for x in (a, e, inc, raan, argp, nu, mu)]
        if not all(_math.isfinite(x) for x in values):
            raise ValueError("the elements must be finite numbers")
        if not (values[1] >= 0 and values[1] != 1 and (values[0] > 0) == (values[1] < 1)):
            raise ValueError("a > 0 with 0 <= e < 1, or a < 0 with e > 1")
        epoch = _one_mjd(epoch)
        r, v = _zaq.orbit_from_elements(*values, epoch)
        return cls(r, v, mu, epoch)

    def elements(self):
        """a, e, inc, raan, argp, nu, M (rad), p, periapsis, apoapsis, period and epoch."""
        return _zaq.orbit_elements(self.r, self.v, self.mu, self.epoch)

    @property
    def period(self):
        """Seconds; infinite for a hyperbola."""
        return self.elements()["period"] if self.elements()["e"] < 1 else _math.inf

    def state(self, dates):
        """Position and velocity at the dates: (3,) each for one date, else (N, 3)."""
        t = mjd(dates)
        r, v = _zaq.orbit_states(self.r, self.v, self.mu, self.epoch, _np.atleast_1d(t))
        return (r[0], v[0]) if _np.ndim(t) == 0 else (r, v)

    def __repr__(self):
        el = self.elements()
        return f"Orbit(a={el['a']:.6g} m, e={el['e']:.6g}, epoch={self.epoch})"


# ---- transfers --------------------------------------------------------------------------------

@_dc.dataclass
class FlownPass:
    """How a flight passes the Moon: NaN fields and hit_moon when it goes below the surface."""
    periselene_alt_km: float
    periselene_mjd: float
    soi_entry_mjd: float
    hit_moon: bool


@_dc.dataclass
class TransferPlan:
    """A transfer plan: to_dict() is the zaq tool's --json object for the same request."""
    _plan: dict
    _burn: dict = None

    def to_dict(self):
        import copy
        return copy.deepcopy(self._plan)

    @property
    def c3(self):
        """m^2/s^2."""
        return self._plan["c3_km2_s2"] * 1e6

    @property
    def dv(self):
        """The departure burn, m/s: the finite burn when there is one, else the impulsive."""
        p = self._plan
        if "finite_burn" in p:
            return p["finite_burn"]["dv_m_s"]
        return (p["dv_mag_km_s"] if "dv_mag_km_s" in p else p["ejection"]["dv_mag_km_s"]) * 1e3

    @property
    def depart(self):
        return self._plan["depart"]["mjd"]

    @property
    def arrive(self):
        return self._plan["arrive"]["mjd"]

    @property
    def tof(self):
        """Seconds."""
        return self._plan["tof_days"] * 86400.0

    @property
    def finite_burn(self):
        return self._plan.get("finite_burn")

    @property
    def flown(self):
        return self._plan.get("flown")

    def refly(self, thrust_scale=1.0, isp_scale=1.0, pointing_error_deg=(0.0, 0.0),
              ignition_shift_s=0.0):
        """Flies the planned finite burn again through the full model with a dispersed engine
        (burning for the planned time), pointing errors (towards the orbit normal, then across)
        and a later ignition; the flown pass."""
        if self._burn is None:
            raise ValueError("the plan has no finite burn to fly again (a lunar plan with an "
                             "engine has)")
        pitch, yaw = (float(x) * _DEG for x in pointing_error_deg)
        d = _zaq.refly(self._burn, float(thrust_scale), float(isp_scale), pitch, yaw,
                       float(ignition_shift_s))
        if d["hit_moon"]:
            d["periselene_alt_km"] = d["periselene_mjd"] = _math.nan
        return FlownPass(**d)


def plan_transfer(frm, to, depart, arrive, park_alt_km=300, way="short", solver="UN",
                  thrust=None, isp=None, mass=None, periselene_alt_km=100, steering="auto"):
    """The transfer from frm to to: a Lambert arc and ejection about a common body, or for to
    about frm (Earth -> Moon) the least-dv ignition and, with an engine (thrust N, isp s, mass
    kg), the finite burn flown to the periselene altitude asked for, held fixed in space or
    along the velocity ("local"; "auto": whichever spends less)."""
    engine = (thrust, isp, mass)
    if any(x is not None for x in engine) and any(x is None for x in engine):
        raise ValueError("an engine needs thrust, isp and mass, all above 0")
    if way not in ("short", "long"):
        raise ValueError(f"way must be 'short' or 'long', not {way!r}")
    plan, burn = _zaq.plan_transfer(
        str(frm), str(to), _one_mjd(depart), _one_mjd(arrive), float(park_alt_km) * 1e3,
        way == "long", str(solver).upper(),
        None if thrust is None else tuple(float(x) for x in engine),
        float(periselene_alt_km) * 1e3, str(steering))
    return TransferPlan(plan, burn)


# ---- porkchop grids ---------------------------------------------------------------------------

@_dc.dataclass
class Porkchop:
    """A departure x time-of-flight grid: c3 and the excess speeds (M x N: tof rows, departure
    columns; NaN where no arc), way (0 short, 1 long, -1 none) and each type's minimum."""
    depart_mjd: _np.ndarray
    tof_days: _np.ndarray
    c3: _np.ndarray
    vinf_depart: _np.ndarray
    vinf_arrive: _np.ndarray
    way: _np.ndarray
    minima: list
    summary: dict


def porkchop(frm, to, depart_range, tof_range_days, grid=41, way="both", solver="UN"):
    """Lambert transfers from frm to to over a grid of departure dates and flight times."""
    d0, d1 = (_one_mjd(d) for d in depart_range)
    t0, t1 = (float(t) * 86400.0 for t in tof_range_days)
    if not isinstance(grid, (int, _np.integer)):
        raise ValueError("grid must be a whole number")
    g = _zaq.porkchop(str(frm), str(to), d0, d1, t0, t1, int(grid), str(way),
                      str(solver).upper())
    s = g["summary"]
    return Porkchop(g["depart_mjd"], g["tof"] / 86400.0, g["c3"], g["vinf_depart"],
                    g["vinf_arrive"], g["way"], s["minima"], s)


# ---- flights ----------------------------------------------------------------------------------

@_dc.dataclass
class Flight:
    """A parking orbit flown through the full model: samples about the body, the events met and
    the drift of the ascending node."""
    mjd: _np.ndarray
    r: _np.ndarray
    v: _np.ndarray
    altitude_km: _np.ndarray
    events: list
    node_drift_deg_per_day: float
    summary: dict


def fly(body, alt_km, inc_deg, start, days, ecc=0.0):
    """A vessel flown from periapsis alt_km above body's mean radius at the ascending node on
    its equator, inclined inc_deg, from start for days."""
    f = _zaq.fly(str(body), float(alt_km) * 1e3, float(ecc), float(inc_deg) * _DEG,
                 _one_mjd(start), float(days) * 86400.0)
    s = f["summary"]
    return Flight(f["mjd"], f["r"], f["v"], f["altitude"] / 1e3, s["events"],
                  s.get("node_drift_deg_per_day", _math.nan), s)
