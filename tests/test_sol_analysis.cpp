// The solar-system model's analysis against textbook formulas.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/sol_model.h"
#include "tests/tolerance.h"
#include "zaq/hostsim.h"
#include "zaq/zaq.h"

using namespace zaq::test;

TEST_F(Sol, AnalysisAgreesWithTextbookFormulas) {
    OBJHANDLE hE = s.GetHandle(earth), hM = s.GetHandle(moon);
    // Laplace's sphere of influence, a (m/M)^0.4, from the host's osculating state.
    EXPECT_CLOSE(s.GetData(earth, CSD_SOI), 9.25e8, 0, 0.01);
    EXPECT_CLOSE(s.GetData(moon, CSD_SOI), otk::CalculateSOI(hM, hE), 0, 0.01);
    EXPECT_CLOSE(s.GetData(moon, CSD_SOI), 6.6e7, 0, 0.02);
    EXPECT_CLOSE(s.GetData(0, CSD_SOI), 100 * kAU, 0, 0);
    // The Moon moves Earth's centre about their barycentre by m_Moon / m_Earth of its distance.
    EXPECT_CLOSE(s.GetData(earth, CSD_BARYDISPL),
                 oapiGetMass(hM) / oapiGetMass(hE) * HostApoapsis(hM, hE), 0, 0.01);
    EXPECT_CLOSE(s.GetData(earth, CSD_BARYDISPL), 5.0e6, 0, 0.01);
    // Earth's share of the pull falls to 1e-5 where (d/x)^2 = 1e-5 / (1 - 1e-5) M_Sun / m_Earth,
    // x the distance from Earth: outside 1.05 aphelion and inside 0.95 perihelion.
    const double k = std::sqrt(1e-5 / (1 - 1e-5) * oapiGetMass(s.GetHandle(0)) / oapiGetMass(hE));
    const double aphelion = 1.01671 * kAU, perihelion = 0.98329 * kAU;
    EXPECT_CLOSE(s.GetData(earth, CSD_OUTERCUTOFF), 1.05 * aphelion * k / (k - 1), 0, 0.002);
    EXPECT_CLOSE(s.GetData(earth, CSD_INNERCUTOFF), 0.95 * perihelion * k / (k + 1), 0, 0.002);
    EXPECT_CLOSE(s.GetData(earth, CSD_OUTERCUTOFF) / kAU, 2.36, 0.01, 0);
    EXPECT_CLOSE(s.GetData(earth, CSD_INNERCUTOFF) / kAU, 0.60, 0.01, 0);
    // A body is ignored when its pull at three radii is below 1e-5 of the total with its
    // reference's pull at its apoapsis; none of the built-in bodies comes near that.
    for (int i = 1; i < s.GetCount(); ++i) {
        OBJHANDLE h = s.GetHandle(i), ref = s.GetHandle(s.GetReference(i));
        const double own = kG * oapiGetMass(h) / std::pow(3 * oapiGetSize(h), 2);
        const double pull = kG * oapiGetMass(ref) / std::pow(HostApoapsis(h, ref), 2);
        EXPECT_EQ((s.GetObjectFlags(i) & CS_IGNORE) != 0, own / (own + pull) < 1e-5)
            << s.GetName(i) << " share " << own / (own + pull);
    }
    // Zonal limits: |J_n| (R / L)^n = 1e-10 whatever the sign of J_n, J2's at 400 radii.
    for (int i = 0; i < s.GetCount(); ++i) {
        const sGravity* g = s.GetGravityInfo(i);
        EXPECT_EQ(g->limitRadius[0], 400 * g->radius) << s.GetName(i);
        for (int n = 1; n < std::min(g->nJ, 8); ++n) {
            if (g->J[n] == 0) continue;
            EXPECT_CLOSE(std::fabs(g->J[n]) * std::pow(g->radius / g->limitRadius[n], n + 2), 1e-10,
                         0, 1e-9)
                << s.GetName(i) << " J" << n + 2;
        }
    }
}

TEST(SolAnalysis, CircularMoonsDisplaceTheirPlanetAtEveryDate) {
    // Triton and Charon move on exactly circular orbits; their planets' reflex speeds (about 1
    // and 25 m/s) are far above 0.1 m/s at every date.
    for (int day = 0; day < 360; day += 30) {
        Model m(kMjd + day + 0.37);
        ASSERT_EQ(m.Setup(), 0);
        for (const char* name : {"Triton", "Charon", "Moon"})
            EXPECT_TRUE(m.sol.GetObjectFlags(m.sol.GetId(name)) & CS_BARYDISPL)
                << name << " day " << day;
        EXPECT_FALSE(m.sol.GetObjectFlags(m.sol.GetId("Deimos")) & CS_BARYDISPL);
    }
}
