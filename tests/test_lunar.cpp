// The finite-burn lunar plan against an independent planar two-body optimum: the least gravity
// loss a burn held in one inertial direction can have when it raises the plan's circular parking
// orbit to the plan's C3 (the Moon's pull during the burn is left out; it is small).
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "zaq/hostsim.h"
#include "zaq/plan.h"
#include "zaq/vector3.h"

using namespace zaq::plan;

namespace {

// The velocity change a burn spends, held at angle th (rad) from the starting velocity in the
// plane of the circular orbit r0 about mu, until the energy reaches c3 / 2: fourth-order
// Runge-Kutta on (x, y, vx, vy, mass), the last step cut where the energy crosses.
double FixedBurnDv(double mu, double r0, double c3, double thrust, double ve, double m0,
                   double th) {
    using S = std::array<double, 5>;
    auto rate = [&](const S& s) {
        const double r3 = std::pow(s[0] * s[0] + s[1] * s[1], 1.5), a = thrust / s[4];
        return S{s[2], s[3], -mu * s[0] / r3 - a * std::sin(th), -mu * s[1] / r3 + a * std::cos(th),
                 -thrust / ve};
    };
    auto add = [](S s, const S& k, double h) {
        for (int i = 0; i < 5; i++) s[i] += h * k[i];
        return s;
    };
    auto energy = [&](const S& s) {
        return 0.5 * (s[2] * s[2] + s[3] * s[3]) - mu / std::hypot(s[0], s[1]);
    };
    const double h = 0.25;
    for (S s{r0, 0, 0, std::sqrt(mu / r0), m0}; s[4] > 0;) {
        const S k1 = rate(s), k2 = rate(add(s, k1, h / 2)), k3 = rate(add(s, k2, h / 2));
        const S k4 = rate(add(s, k3, h));
        S n = s;
        for (int i = 0; i < 5; i++) n[i] += h / 6 * (k1[i] + 2 * k2[i] + 2 * k3[i] + k4[i]);
        if (energy(n) >= c3 / 2) {
            const double part = (c3 / 2 - energy(s)) / (energy(n) - energy(s));
            return ve * std::log(m0 / (s[4] + part * (n[4] - s[4])));
        }
        s = n;
    }
    return INFINITY;
}

// Its least over the direction: golden sections over [-0.5, 1] rad.
double BestFixedDv(double mu, double r0, double c3, double thrust, double ve, double m0) {
    const double g = (std::sqrt(5.0) - 1) / 2;
    auto f = [&](double th) { return FixedBurnDv(mu, r0, c3, thrust, ve, m0, th); };
    double a = -0.5, b = 1.0, c = b - g * (b - a), d = a + g * (b - a), fc = f(c), fd = f(d);
    while (b - a > 1e-4)
        if (fc < fd)
            b = d, d = c, fd = fc, c = b - g * (b - a), fc = f(c);
        else
            a = c, c = d, fc = fd, d = a + g * (b - a), fd = f(d);
    return f(0.5 * (a + b));
}

}  // namespace

TEST(LunarBurn, GravityLossComesNearTheBestFixedDirection) {
    const struct {
        const char* name;
        double mass, thrust, isp, park;  // kg, N, s, m
        int year, month, day;            // departure, three days before arrival
    } stages[] = {{"40 t, 100 kN, 448.67 s", 4e4, 1e5, 448.67, 300e3, 2026, 9, 17},
                  {"40 t, 100 kN, 4400 s", 4e4, 1e5, 4400, 300e3, 2026, 11, 20},
                  {"133 t, 900 kN, 421 s", 1.33e5, 9e5, 421, 185e3, 2027, 3, 10}};
    for (const auto& k : stages) {
        double best = 0;
        for (Steering steering : {Steering::Fixed, Steering::Local}) {
            TransferRequest r;
            r.from = "Earth", r.to = "Moon", r.parkAltitude = k.park, r.steering = steering;
            r.depart = zaq::hostsim::MjdFromUTC(k.year, k.month, k.day), r.arrive = r.depart + 3;
            r.engine = Engine{k.thrust, k.isp, k.mass};
            const auto planned = PlanTransfer(r);
            ASSERT_TRUE(planned.ok()) << k.name << ": " << planned.error();
            const TransferPlan& p = planned.value();
            const LunarBurn& b = *p.burn;
            EXPECT_NEAR(b.periseleneAltitude, 100e3, 500) << k.name;
            const double loss = Length(b.thrust) - b.impulsiveDv;
            if (steering == Steering::Fixed) {
                const double r0 = p.parkRadius, c3 = p.arc.c3, ve = k.isp * 9.80665;
                const double tangential = std::sqrt(c3 + 2 * p.mu / r0) - std::sqrt(p.mu / r0);
                best = BestFixedDv(p.mu, r0, c3, k.thrust, ve, k.mass) - tangential;
                EXPECT_NEAR(loss, best, 0.15 * best) << k.name;
            } else {
                EXPECT_LT(loss, 1.15 * best) << k.name;
            }
        }
    }
}
