// The solar-system model's contents dump.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/sol_model.h"
#include "tests/tolerance.h"
#include "zaq/hostsim.h"
#include "zaq/zaq.h"

using namespace zaq::test;

TEST_F(Sol, DumpReportsTheModel) {
    s.Dump(static_cast<FILE*>(nullptr));
    s.Dump("dump.html");
    std::ifstream in("dump.html");
    const std::string page((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(page.rfind("<html><head><title>", 0), 0u);
    EXPECT_EQ(page.substr(page.size() - 14), "</body></html>");
    m.lines = LogBodies(page);
    auto has = [&](const std::string& text) { return m.Logged(text); };
    // det(B A) = det(B) det(A).
    EXPECT_TRUE(has("Det(A)=594, Det(B)=-144, Det(C)=-85536"));
    EXPECT_TRUE(has("Number of Celestial Objects = 21"));
    EXPECT_TRUE(has("Earth (1)"));
    EXPECT_TRUE(has(".Moon"));
    EXPECT_TRUE(has("Moon: EPHEM_BARYISTRUE | EPHEM_TRUEPOS | EPHEM_TRUEVEL | "));
    EXPECT_TRUE(has("Earth...........  BCTidal < Boundry (Checked OK)"));
    EXPECT_TRUE(has("Earth: Index=3  Ref=0  Minors=1 oapiHendle=0x"));
    EXPECT_TRUE(has("Flags= CS_EPHEMERIS  CS_BCCOR "));
}
