// The host installation's configuration files in data/Config against the built-in solar system,
// read the way the library reads them: "%62s %c %62s" per line, key, separator and value.
#include <gtest/gtest.h>
#include <strings.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "zaq/hostsim.h"

using namespace zaq::hostsim;

namespace {

const std::string kDir = std::string(ZAQ_SOURCE_DIR) + "/data/Config/";

struct Entry {
    std::string key, value;
    char sep;
};

std::vector<Entry> ReadEntries(const std::string& path) {
    std::vector<Entry> out;
    FILE* f = std::fopen(path.c_str(), "r");
    if (!f) return out;
    char line[120];
    while (std::fgets(line, sizeof line, f)) {
        char key[63], value[63], sep = 0;
        if (std::sscanf(line, "%62s %c %62s", key, &sep, value) == 3)
            out.push_back({key, value, sep});
    }
    std::fclose(f);
    return out;
}

bool StartsWithNoCase(const std::string& s, const char* prefix) {
    return strncasecmp(s.c_str(), prefix, std::strlen(prefix)) == 0;
}

// The body a body file names, and whether it says "EllipticOrbit = TRUE".
std::pair<std::string, bool> ReadBodyFile(const std::string& path) {
    std::string name;
    bool elliptic = false;
    for (const Entry& e : ReadEntries(path)) {
        if (e.sep != '=') continue;
        if (StartsWithNoCase(e.key, "Name")) name = e.value;
        if (StartsWithNoCase(e.key, "EllipticOrbit") && StartsWithNoCase(e.value, "TRUE"))
            elliptic = true;
    }
    return {name, elliptic};
}

}  // namespace

TEST(ConfigFiles, EveryBodyFileNamesAHostBody) {
    ASSERT_TRUE(LoadSolarSystem(61000.0));
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kDir)) {
        const std::string file = entry.path().filename().string();
        ASSERT_NE(file, "CSConf.cfg") << "the library writes the quick-load list itself";
        if (file == "Sol.cfg" || entry.path().extension() != ".cfg") continue;
        ++files;
        const auto [name, elliptic] = ReadBodyFile(entry.path().string());
        EXPECT_EQ(name + ".cfg", file);
        OBJHANDLE h = oapiGetGbodyByName(name.c_str());
        ASSERT_NE(h, nullptr) << file << " names '" << name << "'";
        // Bodies without an ephemeris module say so; the star, at the origin, has no orbit.
        const bool orbit = GetParent(h) != nullptr;
        EXPECT_EQ(elliptic, orbit && oapiGetCelbodyInterface(h) == nullptr) << file;
    }
    EXPECT_EQ(files, static_cast<int>(oapiGetGbodyCount()));
}

TEST(ConfigFiles, SolarSystemFileListsEveryBodyAfterItsPlanet) {
    ASSERT_TRUE(LoadSolarSystem(61000.0));
    std::set<OBJHANDLE> listed;
    OBJHANDLE star = nullptr, planet = nullptr;
    for (const Entry& e : ReadEntries(kDir + "Sol.cfg")) {
        const bool used = e.key.find("Star") != std::string::npos ||
                          e.key.find("Planet") != std::string::npos ||
                          e.key.find("Moon") != std::string::npos;
        if (!used) continue;
        const std::string name = ReadBodyFile(kDir + e.value + ".cfg").first;
        OBJHANDLE h = oapiGetGbodyByName(name.c_str());
        ASSERT_NE(h, nullptr) << e.key << " = " << e.value;
        EXPECT_TRUE(listed.insert(h).second) << e.value << " listed twice";
        if (StartsWithNoCase(e.key, "Star")) {
            EXPECT_TRUE(listed.size() == 1) << "the star comes first";
            EXPECT_EQ(GetParent(h), nullptr);
            star = h;
        } else if (StartsWithNoCase(e.key, "Planet")) {
            ASSERT_NE(star, nullptr);
            EXPECT_EQ(GetParent(h), star) << e.value;
            planet = h;
        } else {
            ASSERT_NE(planet, nullptr) << e.value << " before any planet";
            EXPECT_EQ(GetParent(h), planet) << e.value;
        }
    }
    EXPECT_EQ(listed.size(), oapiGetGbodyCount());
}
