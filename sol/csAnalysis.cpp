// The solar-system model's analysis: interpolation deviations, linear ranges, barycentre
// displacements, spheres of influence, gravity records, cutoffs, the barycentre and
// interpolation margins and the system boundaries. Part of the unit csMain (sol/Internal.h).
#include <cmath>

#include "sol/Internal.h"
#include "zaq/adaptors.h"
#include "zaq/constants.h"
#include "zaq/foundation.h"
#include "zaq/orbit.h"
#include "zaq/sol.h"
#include "zaq/vector3.h"

using zaq::kAU;
using zaq::kG;
using zaq::kSecondsPerDay;
using zaq::sol::kZero;

namespace {

constexpr double kStarSOI = 100.0 * kAU;
constexpr double kJ2000 = 51544.5;  // reference epoch of the apsis searches
constexpr double kJLimit = 1e-10;   // size of a zonal term below which it is ignored

}  // namespace

// Position of body k about its reference at the passage of eccentric anomaly E near mjd: for an
// ephemeris body four rounds of ephemeris state, osculating conic about the reference's mass and
// the date of E on it.
VECTOR3 CSol::ApsisPosition(int k, double mjd, double E) {
    Body& b = pBody[k];
    if (b.reference < 0) return kZero;
    if (b.flags & CS_EPHEMERIS) {
        const double mu = kG * pBody[b.reference].mass;
        VECTOR3 pos = kZero, vel = kZero;
        double t = mjd;
        for (int n = 0; n < 4; ++n) {
            GetEphemBaryPosVel(k, t, &pos, &vel);
            if (n < 3) t = COrbit(pos, vel, mu, t).MJDByEcA(E);
        }
        return pos;
    }
    if ((b.flags & CS_ELLIPTIC) && b.conic) return b.conic->PosByEcA(E);
    return kZero;
}

double CSol::BarycentreDisplacement(int k) const {
    const Body& b = pBody[k];
    if (b.nMinor == 0) return 0;
    double sum = 0;
    for (int n = 0; n < b.nMinor; ++n) {
        const Body& m = pBody[pMinor[b.firstMinor + n]];
        if (m.conic) sum += m.mass * m.conic->ApD();
    }
    return sum / b.mass;
}

// Laplace's sphere of influence, (m / M)^0.4 a.
double CSol::SphereOfInfluence(int k) const {
    const Body& b = pBody[k];
    if (b.reference < 0) return kStarSOI;
    if (!b.conic) return 0;
    return std::pow(b.mass / pBody[b.reference].mass, 0.4) * b.conic->SMa();
}

void CSol::FillGravityInfo(int k) {
    sGravity& g = pGravity[k];
    void* h = pBody[k].handle;
    g.GM = kG * oapiGetMass(h);
    g.radius = oapiGetSize(h);
    g.rotationAxis = otk::RotationAxis(h);
    g.nJ = static_cast<int>(oapiGetPlanetJCoeffCount(h));
    for (int i = 0; i < g.nJ && i < 8; ++i) {
        g.J[i] = oapiGetPlanetJCoeff(h, i);
        // The distance at which |J| (R/r)^(i+2) falls to 1e-10; |J| because many coefficients
        // (Earth's J3 and J4, most J4) are negative, for which the root has no value.
        g.limitRadius[i] = g.radius * std::pow(std::fabs(g.J[i]) / kJLimit, 1.0 / (i + 2));
    }
    g.limitRadius[0] = 400.0 * g.radius;
}

// Distance from the reference at which body k's share of the total pull falls to the precision,
// outside its orbit (beyond 1.05 apoapsis) or inside it (within 0.95 periapsis).
double CSol::CutoffDistance(int k, bool inner) {
    const int r = pBody[k].reference;
    if (r < 0) return 0;
    if (r != 0 && !inner) return MoonOuterCutoff(k);
    const double mu0 = kG * pBody[0].mass, mur = kG * pBody[r].mass, muk = kG * pBody[k].mass;
    const double Rr = r != 0 ? 1.05 * Length(ApsisPosition(r, kJ2000, M_PI)) : 0.0;
    const double h = inner ? 0.95 * Length(ApsisPosition(k, kJ2000, 0.0))
                           : 1.05 * Length(ApsisPosition(k, kJ2000, M_PI));
    double lo = inner ? -1.0 : 1.0, hi = inner ? -h : 400.0 * h;
    for (int n = 0; n < 52; ++n) {
        const double x = 0.5 * (lo + hi);
        double ref = mur / ((h + x) * (h + x));
        if (r != 0) ref += mu0 / ((h + Rr + x) * (h + Rr + x));
        const double own = muk / (x * x);
        (own / (ref + own) > precision ? lo : hi) = x;
    }
    return h + 0.5 * (lo + hi);
}

// Distance from the planet beyond which a moon and its planet act as one mass at the planet.
double CSol::MoonOuterCutoff(int k) {
    const int r = pBody[k].reference;
    if (r <= 0) return 0;
    const double mu0 = kG * pBody[0].mass, mur = kG * pBody[r].mass, muk = kG * pBody[k].mass;
    const double mus = muk + mur;
    const double Rr = 1.05 * Length(ApsisPosition(r, kJ2000, M_PI));
    const double h = 1.05 * Length(ApsisPosition(k, kJ2000, M_PI));
    const double D = h + Rr;
    double lo = 1.0, hi = 400.0 * h;
    for (int n = 0; n < 52; ++n) {
        const double x = 0.5 * (lo + hi);
        const double u = (x + h) * (x + h);
        const double err = muk / (x * x) - muk / u;
        const double total = mus / u + mu0 / ((D + x) * (D + x));
        (err / total > precision ? lo : hi) = x;
    }
    return h + 0.5 * (lo + hi);
}

// Distance from body k at which its position error (interpolation, and for modes 0 and 1 the
// barycentre displacement) is just tolerated: toward the reference at periapsis (tidal, modes 1
// and 3) or away from it at apoapsis (effect, modes 0 and 2).
double CSol::RegionLimit(int k, int mode) const {
    const Body& b = pBody[k];
    if (!b.conic || b.reference < 0) return 0;
    const double mur = kG * pBody[b.reference].mass, muk = kG * b.mass;
    const bool tidal = mode == 1 || mode == 3;
    const double e = b.conic->Ecc(), a = b.conic->SMa();
    const double d = tidal ? (1.0 - e) * a : (1.0 + e) * a;
    double tol = b.sagitta + b.deviation;
    if (mode <= 1) tol += b.baryDispl;
    double lo = 1.0, hi = d, md = 0;
    for (int n = 0; n < 48; ++n) {
        const double x = 0.5 * (lo + hi);
        if (tidal) {
            md = otk::AllowedDisplacement(mur / ((d - x) * (d - x)) + muk / (x * x), precision,
                                          d - x, mur);
            (md > tol ? lo : hi) = x;
        } else {
            md = otk::AllowedDisplacement(mur / ((d + x) * (d + x)) + muk / (x * x), precision, x,
                                          muk);
            (md < tol ? lo : hi) = x;
        }
    }
    if (std::fabs(md - tol) > std::fabs(md + tol) / 1e7)
        otk::LogErr(log,
                    tidal ? "diffBaryCO Id=%d, Mode=%d BCDispl+IpDev=%g, md=%g  (xTidal=%g)"
                          : "diffBaryCO Id=%d, Mode=%d BCDispl+IpDev=%g, md=%g  (xEffect=%g)",
                    k, mode, tol, md, 0.5 * (lo + hi));
    return 0.5 * (lo + hi);
}

void CSol::Analyse() {
    otk::LogMsg(log, "Making deviation analysis");
    for (int k = 1; k < nBody; ++k) {
        Body& b = pBody[k];
        if (!(b.flags & CS_EPHEMERIS) || b.deviation != 0 || !b.conic) continue;
        double t = oapiGetSimMJD();
        const double step = (PI2 / b.conic->meanMotion) / (b.samples * kSecondsPerDay * 4.5);
        double worst = 0;
        for (int n = 0; n < 256; ++n, t += step) {
            VECTOR3 ip;
            if (!GetIpPosVel(k, t, &ip, nullptr)) continue;
            worst = std::fmax(worst, Length(ip - GetEphemBaryPos(k, t)));
        }
        b.deviation = worst;
    }

    otk::LogMsg(log, "Seting linear approximation ranges");
    const int moon = GetId("Moon");
    for (int k = 1; k < nBody; ++k) {
        Body& b = pBody[k];
        b.sagitta = b.dTMax = 0;
        if ((b.reference != 0 && k != moon) || !b.conic) continue;
        b.sagitta = b.deviation / 2;
        b.dTMax = 2.0 * std::acos(1.0 - b.sagitta / b.conic->ApD()) / b.conic->meanMotion;
    }

    otk::LogMsg(log, "Compute maximum bary displacement");
    for (int k = 0; k < nBody; ++k) {
        pBody[k].baryDispl = BarycentreDisplacement(k);
        pBody[k].soi = SphereOfInfluence(k);
        pBody[k].rotAxis = GetRotation(k, kJ2000);
    }
    for (int k = 0; k < nBody; ++k) FillGravityInfo(k);

    otk::LogMsg(log, "Compute inner/outer cutoff limits");
    for (int k = 1; k < nBody; ++k) {
        Body& b = pBody[k];
        b.outerCutoff = CutoffDistance(k, false);
        b.innerCutoff = CutoffDistance(k, true);
        const bool ephemeris = (b.flags & CS_EPHEMERIS) != 0;
        b.ipTidal = ephemeris ? RegionLimit(k, 3) : 0;
        b.ipEffect = ephemeris ? RegionLimit(k, 2) : 0;
        b.bcTidal = b.nMinor > 0 ? RegionLimit(k, 1) : b.ipTidal;
        b.bcEffect = b.nMinor > 0 ? RegionLimit(k, 0) : b.ipEffect;
    }

    otk::LogMsg(log, "Compute system boundries");
    for (int k = 1; k < nBody; ++k) {
        Body& b = pBody[k];
        double bound = 0;
        if (b.nMinor == 0) {
            if (b.flags & CS_EPHEMERIS) bound = 1.1 * b.bcEffect;
            bound = std::fmax(std::fmax(bound, b.soi), 2.0 * GetRadius(k, 0));
        } else {
            for (int n = 0; n < b.nMinor; ++n)
                bound = std::fmax(bound, GetData(GetMinor(k, n), CSD_OUTERCUTOFF));
            bound = std::fmax(std::fmax(bound, b.bcEffect), b.soi);
            if (bound > b.bcTidal) b.flags |= CS_BCCOR;
        }
        b.boundary = bound;
    }

    for (int k = 1; k < nBody; ++k) {
        Body& b = pBody[k];
        if (b.reference < 0) {
            ZAQ_ERROR_NOREASON("CSol::Setup");
            continue;
        }
        if (!b.conic) continue;
        const double own = kG * b.mass / (9.0 * b.radius * b.radius);
        const double apd = b.conic->ApD();
        const double ref = kG * pBody[b.reference].mass / (apd * apd);
        if (own / (ref + own) < precision) b.flags |= CS_IGNORE;
    }
}
