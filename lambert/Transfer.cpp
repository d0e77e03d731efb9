// Burn planning about a parking orbit (escape, ejection and Lambert ignition searches) and
// great-circle geometry on a rotating sphere.
#include <cmath>

#include "zaq/adaptors.h"
#include "zaq/constants.h"
#include "zaq/foundation.h"
#include "zaq/lambert.h"
#include "zaq/orbit.h"
#include "zaq/solvers.h"
#include "zaq/vector3.h"

using zaq::kRadPerDeg;
using zaq::kSecondsPerDay;

namespace {

// The trial escape orbits of the escape searches.
struct EscapeSearch {
    COrbit* orbit;
    COrbit* escape;
    VECTOR3 vinf;
    double mu;
};

// Velocity change at true anomaly nu onto the hyperbola leaving with ctx.vinf from there. The
// trial orbit has its epoch at the burn, so its epoch eccentric anomaly is the burn point.
double EscapeBurn(EscapeSearch& s, double nu, double mjd, VECTOR3* dv) {
    nu = NormalizeAngle(nu);  // the orbit's anomaly queries take [0, 2pi]
    s.escape->EscapeOrbit(s.orbit->PosByTrA(nu), s.vinf, s.mu, mjd, 1);
    const VECTOR3 burn = s.escape->VelByEcA(s.escape->EcA()) - s.orbit->VelByTrA(nu);
    if (dv) *dv = burn;
    return Length(burn);
}

int EscapeCost(void* ctx, double nu, double* f) {
    *f = EscapeBurn(*static_cast<EscapeSearch*>(ctx), nu, 0, nullptr);
    return 0;
}

}  // namespace

double EscapeIgnTrA(COrbit* orbit, VECTOR3& vinf, double mu, VECTOR3* dv) {
    COrbit trial;
    EscapeSearch s{orbit, &trial, vinf, mu};
    // The upper end is kept unwrapped (it may pass 2pi) so that the bracket stays ordered; the
    // anomaly found is wrapped afterwards.
    const double lo = orbit->TrAOfProjection(-vinf), hi = lo + 0.5 * M_PI;
    double nu = std::nan("");
    if (Golden(&s, EscapeCost, lo, 0.5 * (lo + hi), hi, 1e-4, &nu, 32) < 0 || std::isnan(nu)) {
        otk::LogErr(ErrorLog, "EscapeIgnTra: Failed");
        return -1;
    }
    nu = NormalizeAngle(nu);
    if (dv) EscapeBurn(s, nu, 0, dv);
    return nu;
}

double EjectPosition(COrbit* orbit, VECTOR3& vinf, double mu, VECTOR3* dv, COrbit* escape) {
    COrbit local;
    EscapeSearch s{orbit, escape ? escape : &local, vinf, mu};
    auto cost = [&](double nu, VECTOR3* burn) {
        return EscapeBurn(s, nu, orbit->MJDByTrA(nu), burn);
    };
    double nu = NormalizeAngle(orbit->TrAOfProjection(vinf) + M_PI + M_PI / 4);
    double best = cost(nu, nullptr);
    double step = 0.7850056605671647;  // slightly less than pi/4
    for (int i = 0; i < 16; ++i, step *= 0.5) {
        const double up = NormalizeAngle(nu + step), down = NormalizeAngle(nu - step);
        const double fUp = cost(up, nullptr), fDown = cost(down, nullptr);
        const double f = fUp < fDown ? fUp : fDown;
        if (f < best) {
            best = f;
            nu = fUp < fDown ? up : down;
        }
    }
    // Leaves the escape orbit (when given) and dv at the final anomaly.
    cost(nu, dv);
    return nu;
}

namespace {

struct IgnitionSearch {
    COrbit* orbit;
    VECTOR3 target;
    VECTOR3 dv;
    double arrivalMjd;
    double mu;
};

// Velocity change of the Lambert departure at ignition MJD x; fails when the Lambert solve does.
int IgnitionCost(void* ctx, double x, double* f) {
    auto& s = *static_cast<IgnitionSearch*>(ctx);
    VECTOR3 r, v, vel1;
    s.orbit->PosVelByMJD(x, &r, &v);
    const double T = (s.arrivalMjd - x) * kSecondsPerDay;
    // The long way when the short one would run against the orbit's motion.
    const double dir = AngleBetween(CrossProduct(r, s.target), s.orbit->W) > M_PI / 2 ? -1 : 1;
    if (otk::LambertPN(r, s.target, T, dir, s.mu, nullptr, &vel1, nullptr) < 0) return -1;
    s.dv = vel1 - v;
    *f = Length(s.dv);
    return 0;
}

// The search of both FindLAPIgnMJD forms; burnTime (may be null) gives the burn time of a dv.
template <typename BurnTime>
double IgnitionSearchMJD(VECTOR3& pos, VECTOR3& vel, VECTOR3& target, double mjd, double arrivalMjd,
                         double mu, BurnTime burnTime, VECTOR3* dv) {
    COrbit orbit;
    orbit.CreateFromStateVectors(pos, vel, mu, mjd);
    if (std::fabs(AngleBetween(target, orbit.W) - M_PI / 2) > 20 * kRadPerDeg) {
        otk::LogWrn(ErrorLog, "FindLAPIgnMJD() Aborted due to bad orbit alignment > 20deg");
        return 0;
    }
    IgnitionSearch s{&orbit, target, {0, 0, 0}, arrivalMjd, mu};
    double t = orbit.TimeToTrA(NormalizeAngle(orbit.TrAOfProjection(target) + M_PI + M_PI / 8));
    if (t < 0) t += orbit.OPe();
    double x = mjd + t / kSecondsPerDay;
    VECTOR3 burn{0, 0, 0};
    int iterations = 0;
    // Minimises from x; afterwards x is the (finite-burn corrected) ignition and burn the
    // impulsive velocity change at the minimum itself.
    auto minimise = [&]() {
        iterations = FDNewton1DMin(&s, IgnitionCost, 1e-6, 0.006944444444444444, 1e-5, &x, 32);
        double f = 0;
        // The last evaluation lies up to a difference step away: evaluate the minimum itself.
        if (iterations < 0 || IgnitionCost(&s, x, &f) < 0) {
            otk::LogErr(ErrorLog, "FindLAPIgnMJD Failed");
            return false;
        }
        burn = s.dv;
        x -= 0.35 * burnTime(Length(burn)) / kSecondsPerDay;
        return true;
    };
    if (!minimise()) return 0;
    if (x < mjd + 0.003472222222222222) {  // earlier than five minutes from now: next revolution
        x += orbit.OPe() / kSecondsPerDay;
        if (!minimise()) return 0;
    }
    otk::LogOk(ErrorLog, "FindLAPIgnMJD done in %d iterations", iterations);
    if (dv) *dv = burn;
    return x;
}

}  // namespace

double FindLAPIgnMJD(VECTOR3& pos, VECTOR3& vel, VECTOR3& target, double mjd, double arrivalMjd,
                     double mu, VECTOR3* dv) {
    return IgnitionSearchMJD(
        pos, vel, target, mjd, arrivalMjd, mu, [](double) { return 0.0; }, dv);
}

double FindLAPIgnMJD(VECTOR3& pos, VECTOR3& vel, VECTOR3& target, double mjd, double arrivalMjd,
                     double mu, VESSEL* vessel, THGROUP_TYPE group, VECTOR3* dv) {
    return IgnitionSearchMJD(
        pos, vel, target, mjd, arrivalMjd, mu,
        [=](double dvAbs) { return otk::BurnTimeBydV(dvAbs, vessel, group); }, dv);
}

bool ComputeOrbitParams(double r, double pet, double rp, double mu, double* tra, double* ecc,
                        double* sma) {
    auto write = [&](double nu, double e, double a) {
        if (tra) *tra = nu;
        if (ecc) *ecc = e;
        if (sma) *sma = a;
    };
    if (pet < 0) {
        otk::LogErr(ErrorLog, "ComputeOrbitParams: PeT is negative (%g) Aborting...", pet);
        write(0, 0, 0);
        return false;
    }
    double nu = M_PI, e = 0, a = 0, T = 0, step = 0;
    int mode = 0;
    for (int i = 0; i < 38; ++i, step *= 0.5) {
        e = (rp - r) / (r * std::cos(nu) - rp);
        const double M = otk::tra2mna(nu, e);
        a = rp / (1 - e);
        T = e < 1 ? std::sqrt(a * a * a / mu) * (PI2 - M)
                  : std::sqrt(-a * a * a / mu) * std::fabs(M);
        if (i == 0) {
            // Inbound on an ellipse from apoapsis r when that is too slow, else towards the
            // parabola through r.
            mode = T > pet ? 1 : 2;
            const double s = mode == 1 ? std::acos(rp / r) : std::acos((2 * rp - r) / r);
            step = (M_PI - s * 1.0000001) / 2;
        }
        nu += T > pet ? step : -step;
    }
    write(nu, e, a);
    if (std::fabs(pet - T) > 1.0) {
        otk::LogErr(ErrorLog, "ComputeOrbitParams Fail. Mode=%d, T=%g, pet=%g, tra=%g, ecc=%g",
                    mode, pet - T, pet, nu / kRadPerDeg, e);
        return false;
    }
    return true;
}

VECTOR3 FindVelocity(VECTOR3& normal, VECTOR3& pos, double tra, double rp, double mu) {
    const VECTOR3 P = RotateToward(pos, CrossProduct(normal, pos), PI2 - tra);
    const VECTOR3 Q = unit(CrossProduct(normal, P));
    const double r = Length(pos), c = std::cos(tra);
    const double e = (rp - r) / (r * c - rp);
    const double p = rp / (1 - e) * (1 - e * e);
    return (Q * (e + c) - P * std::sin(tra)) * std::sqrt(mu / p);
}

void GetSphericalPosHed(VECTOR3& axis, VECTOR3& start, double heading, double dist, VECTOR3* end,
                        double* endHeading) {
    const VECTOR3 east = CrossProduct(axis, start), north = CrossProduct(start, east);
    const VECTOR3 u = RotateToward(north, east, NormalizeAngle(heading - M_PI / 2));
    const VECTOR3 D = RotateToward(start, CrossProduct(u, start), dist);
    if (end) *end = D;
    if (endHeading) {
        const VECTOR3 eastD = CrossProduct(axis, D), northD = CrossProduct(D, eastD);
        *endHeading = AngleInPlane(CrossProduct(u, D), northD, eastD);
    }
}

bool GetRangeOfRotationByHeading(VECTOR3& axis, VECTOR3& pos, double dist, double heading,
                                 double* lo, double* hi) {
    const double c = AngleBetween(axis, pos);
    const double ratio = std::tan(c) / std::tan(dist);
    if (std::fabs(ratio) > 1) {
        *lo = 0;
        *hi = PI2;
        return true;
    }
    const double f = std::acos(ratio);
    auto arrival = [&](double startHeading) {
        double h = 0;
        GetSphericalPosHed(axis, pos, startHeading, dist, nullptr, &h);
        return h;
    };
    if (c < M_PI / 2) {
        *lo = arrival(M_PI - f);
        *hi = arrival(f + M_PI);
    } else {
        *hi = arrival(1.5 * M_PI);
        *lo = arrival(M_PI / 2);
    }
    const double g = c < M_PI / 2 ? *lo : *hi, h = c < M_PI / 2 ? *hi : *lo;
    const double span = h > g ? h - g : PI2 - (g - h);
    const double toHeading = heading > g ? heading - g : PI2 - (g - heading);
    return span > toHeading;
}

int GetRotationByHeading(VECTOR3& axis, VECTOR3& pos, double a, double b, double* rot1,
                         double* rot2) {
    const double c = AngleBetween(axis, pos);
    const bool k = b <= M_PI;
    const double bp = k ? M_PI - b : b - M_PI;
    if (std::fabs(std::sin(a) * std::sin(bp)) > std::fabs(std::sin(c))) return 0;
    const double l = std::atan(1 / (std::cos(a) * std::tan(bp)));
    const double m = std::acos(std::cos(l) * std::tan(a) / std::tan(c));
    const double o = std::tan(c) / std::tan(a);
    auto side = [k](double x) { return k ? x : PI2 - x; };
    if (std::fabs(o) >= 1) {
        *rot1 = side(NormalizeAngle(m + l));
        return 1;
    }
    if (l * o < 0) return 0;
    *rot1 = side(NormalizeAngle(m + l));
    *rot2 = side(NormalizeAngle(l - m));
    return 2;
}
