// The solar-system model: the body table, built by Setup from the host's bodies and the
// configuration files (the quick-load list, the solar-system file and the body files), and its
// accessors. The unit goes on in csEphemeris.cpp, csAnalysis.cpp and csDump.cpp.
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

#include "foundation/Buffer.h"
#include "sol/Internal.h"
#include "zaq/adaptors.h"
#include "zaq/constants.h"
#include "zaq/foundation.h"
#include "zaq/orbit.h"
#include "zaq/sol.h"
#include "zaq/vector3.h"

using zaq::kG;
using zaq::sol::kNameSize;

namespace {

const char kQuickLoad[] = "Config/CSConf.cfg";
// The new quick-load list is written here first and renamed over the old one when complete.
const char kQuickLoadTemp[] = "Config/CSConf.cfg.tmp";

constexpr int kLineSize = 120;    // configuration lines of at most 119 characters
constexpr int kListNameMax = 29;  // names the quick-load list's reader takes whole (%30s)
constexpr int kPathSize = 62;     // "Config/" + body name + ".cfg"
constexpr double kEarthFlattening = 0.003352;

// Reads one line into buf; the rest of a line longer than the buffer is skipped, so that its
// tail is never taken for a line of its own.
bool ReadLine(FILE* f, char (&buf)[kLineSize]) {
    if (!std::fgets(buf, kLineSize, f)) return false;
    const size_t n = std::strlen(buf);
    if (n == kLineSize - 1 && buf[n - 1] != '\n') {
        int c;
        while ((c = std::fgetc(f)) != EOF && c != '\n') {
        }
    }
    return true;
}

// A "key separator value" line, each field cut to 62 characters.
struct KeyLine {
    char key[63];
    char sep;
    char value[63];
};

bool ParseKeyLine(const char* line, KeyLine& kl) {
    kl.key[0] = kl.value[0] = '\0';
    kl.sep = 0;
    return std::sscanf(line, "%62s %c %62s", kl.key, &kl.sep, kl.value) == 3;
}

bool StartsNoCase(const char* s, const char* prefix) {
    for (; *prefix; ++s, ++prefix)
        if (std::tolower(static_cast<unsigned char>(*s)) !=
            std::tolower(static_cast<unsigned char>(*prefix)))
            return false;
    return true;
}

// Whether a body moves its reference noticeably: the reference's reflex speed about their
// common barycentre when the body passes its periapsis exceeds speed.
bool DisplacesReference(void* body, void* ref, double speed) {
    if (!body || !ref) return false;
    VECTOR3 r, v;
    otk::RH_oapiGetRelativePos(body, ref, &r);
    otk::RH_oapiGetRelativeVel(body, ref, &v);
    const double mb = oapiGetMass(body), mr = oapiGetMass(ref);
    const double mu = kG * (mb + mr);
    const double h = Length(CrossProduct(r, v));
    const double a = -mu * Length(r) / (Length(r) * dotp(v, v) - 2.0 * mu);
    // On an exactly circular orbit 1 - h^2/(a mu) rounds to a tiny negative number at some
    // dates; clamped at 0 the eccentricity is 0 instead of NaN and the test is date-independent.
    const double e = std::sqrt(std::fmax(0.0, 1.0 - h * h / (a * mu)));
    const double q = (1.0 - e) * a;
    const double vp = std::sqrt(2.0 * mu / q - mu / a);
    return vp * mb / mr > speed;
}

// A quiet NaN with every mantissa bit set.
double QuietNaN() {
    const uint64_t bits = 0x7FFFFFFFFFFFFFFFull;
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

}  // namespace

CSol::CSol() = default;

CSol::~CSol() {
    Release();
}

void CSol::Release() {
    pBody.reset();  // with every body's conic
    pGravity.reset();
    pMinor.reset();
    nBody = 0;
    nCapacity = 0;
}

bool CSol::AllocateTables() {
    nCapacity = static_cast<int>(oapiGetGbodyCount()) + 10;
    pBody = zaq::NewBuffer<Body>(nCapacity);
    pGravity = zaq::NewBuffer<sGravity>(nCapacity);
    pMinor = zaq::NewBuffer<int>(nCapacity);
    if (pBody && pGravity && pMinor) return true;
    ZAQ_ERROR_THIS("CSol::Setup", "Memory Allocation Failed");
    Release();
    return false;
}

// Appends a body; a full table takes no more (Setup reports the count afterwards).
bool CSol::AddBody(void* handle, int reference, double deviation, int flags) {
    if (nBody >= nCapacity) return false;
    Body& b = pBody[nBody++];
    b.handle = handle;
    b.reference = reference;
    b.deviation = deviation;
    b.flags = flags;
    return true;
}

// ---- configuration ------------------------------------------------------------------------

bool CSol::QuickLoad(FILE* f) {
    otk::LogMsg(log, "Starting to Load (%s)", kQuickLoad);
    void* sun = oapiGetGbodyByName("Sun");
    if (!sun) {
        otk::LogErr(ErrorLog, "Object 'Sun' doesn't exist");
        return false;
    }
    AddBody(sun, -1, 0, 0);
    char line[kLineSize];
    while (ReadLine(f, line)) {
        char refName[31], bodyName[31];
        double deviation = 0;
        const int n = std::sscanf(line, "%30s %30s %lg", refName, bodyName, &deviation);
        if (n < 2) continue;
        // Gravitating bodies only: the host's lookup of any object would also take a vessel or
        // base of the same name into the body table, with no mass, ephemeris or radius.
        void* body = oapiGetGbodyByName(bodyName);
        void* ref = oapiGetGbodyByName(refName);
        if (!body || !ref) {
            otk::LogMsg(ErrorLog, "Object '%s' doesn't exist in the host",
                        body ? refName : bodyName);
            continue;
        }
        int r = 0;
        while (r < nBody && pBody[r].handle != ref) ++r;
        if (r == nBody) {
            otk::LogErr(ErrorLog, "Parent body of '%s' didn't found", bodyName);
            continue;
        }
        // A deviation that is not a positive number is left to the analysis.
        if (n < 3 || !(deviation > 0 && std::isfinite(deviation))) deviation = 0;
        AddBody(body, r, deviation, 0);
    }
    return true;
}

void* CSol::LoadBodyFile(const char* path, bool pathFits, int* flags) {
    // A path cut to its buffer could name another file: it is not opened.
    FILE* f = pathFits ? std::fopen(path, "r") : nullptr;
    if (!f) {
        otk::LogErr(log, "Unable to load planet configuration file (%s)", path);
        return nullptr;
    }
    void* body = nullptr;
    bool named = false, elliptic = false;
    char line[kLineSize];
    KeyLine kl;
    while (!(body && elliptic) && ReadLine(f, line)) {
        if (!ParseKeyLine(line, kl) || kl.sep != '=') continue;
        if (StartsNoCase(kl.key, "Name")) {
            named = true;
            body = oapiGetGbodyByName(kl.value);
            if (!body) otk::LogMsg(log, "Not Exist: (%s)", kl.value);
        } else if (StartsNoCase(kl.key, "EllipticOrbit") && StartsNoCase(kl.value, "TRUE")) {
            elliptic = true;
        }
    }
    std::fclose(f);
    if (!named) otk::LogErr(log, "Couldn't locate parameter \"Name\" from %s", path);
    if (body && elliptic) *flags |= CS_ELLIPTIC;
    return body;
}

bool CSol::LoadSystemFile(const char* path) {
    otk::LogMsg(log, "Starting to Load (%s)", path);
    FILE* f = std::fopen(path, "r");
    if (!f) {
        otk::LogErr(log, "Unable to load solar system configuration file (%s)", path);
        return false;
    }
    int lastPlanet = 0;
    bool ok = true;
    char line[kLineSize];
    KeyLine kl;
    while (ok && ReadLine(f, line)) {
        if (!ParseKeyLine(line, kl)) continue;
        if (!std::strstr(kl.key, "Star") && !std::strstr(kl.key, "Planet") &&
            !std::strstr(kl.key, "Moon"))
            continue;
        int flags = 0;
        char bodyPath[kPathSize];
        const int len = std::snprintf(bodyPath, sizeof bodyPath, "Config/%s.cfg", kl.value);
        void* body = LoadBodyFile(bodyPath, len < kPathSize, &flags);
        if (!body) {
            otk::LogErr(log, "Load Of an Object (%s) Failed, Index=%d", bodyPath, nBody);
            continue;
        }
        const bool star = StartsNoCase(kl.key, "Star");
        if (star != (nBody == 0)) {
            // Index 0 is the star and nothing else: a second star, or a first body that is not
            // one, leaves no usable table.
            otk::LogErr(log, "Star1 not the first parameter in (%s)", path);
            ok = false;
        } else if (star && body != oapiGetGbodyByName("Sun")) {
            // The quick-load list written from this table takes the host's "Sun" for the star:
            // another body (a body file naming a moon) would come back as a different table.
            otk::LogErr(log, "The star (%s) is not the host object 'Sun'", kl.value);
            ok = false;
        } else if (star) {
            AddBody(body, -1, 0, flags);
        } else if (StartsNoCase(kl.key, "Planet")) {
            if (AddBody(body, 0, 0, flags)) lastPlanet = nBody - 1;
        } else if (lastPlanet == 0 || !pBody[lastPlanet].handle) {
            otk::LogErr(log, "Trying to read a moon (%s) before the planet itself", kl.value);
            ok = false;
        } else {
            AddBody(body, lastPlanet, 0, flags);
        }
    }
    std::fclose(f);
    return ok;
}

void CSol::LinkAndListMinors() {
    pBody[0].refHandle = nullptr;
    for (int k = 1; k < nBody; ++k) {
        const int r = pBody[k].reference;
        if (r < 0 || r >= nBody || !pBody[r].handle) {
            ZAQ_ERROR_NOREASON("CSol::Setup");
            continue;
        }
        pBody[k].refHandle = pBody[r].handle;
    }
    otk::LogMsg(log, "Building Minor Body Table");
    int written = 0;
    for (int k = 0; k < nBody; ++k) {
        pBody[k].firstMinor = written;
        pBody[k].nMinor = 0;
        for (int l = 1; l < nBody && written < nCapacity; ++l)
            if (pBody[l].reference == k) {
                pMinor[written++] = l;
                ++pBody[k].nMinor;
            }
    }
}

void CSol::SetObjectInfo(double displacementSpeed) {
    otk::LogMsg(log, "Seting object information");
    for (int k = 0; k < nBody; ++k) {
        Body& b = pBody[k];
        b.mass = oapiGetMass(b.handle);
        b.radius = oapiGetSize(b.handle);
        b.GM = kG * (b.refHandle ? b.mass + oapiGetMass(b.refHandle) : b.mass);
        oapiGetObjectName(b.handle, b.name, kNameSize - 1);
        b.module = oapiGetCelbodyInterface(b.handle);
        b.flags |= b.module ? CS_EPHEMERIS : CS_ELLIPTIC;
        if (DisplacesReference(b.handle, b.refHandle, displacementSpeed)) b.flags |= CS_BARYDISPL;
    }
}

void CSol::BuildConics() {
    otk::LogMsg(log, "Building conic approximations");
    const double mjd = oapiGetSimMJD();
    for (int k = 1; k < nBody; ++k) {
        Body& b = pBody[k];
        VECTOR3 pos, vel;
        if (b.flags & CS_ELLIPTIC) {
            if (b.handle == b.refHandle) {
                ZAQ_ERROR_NOREASON("CSol::Setup");
                continue;
            }
            otk::RH_oapiGetRelativePos(b.handle, b.refHandle, &pos);
            otk::RH_oapiGetRelativeVel(b.handle, b.refHandle, &vel);
        } else if (!(b.flags & CS_EPHEMERIS) || !GetEphemBaryPosVel(k, mjd, &pos, &vel)) {
            continue;
        }
        b.conic = zaq::NewOwned<COrbit>(pos, vel, b.GM, mjd);
        if (!b.conic) ZAQ_ERROR_THIS("CSol::Setup", "Memory Allocation Failed");
    }
}

void CSol::SetSampleCounts() {
    otk::LogMsg(log, "Seting up sample counts");
    static const struct {
        const char* name;
        double samples;
    } kSamples[] = {{"Phobos", 66},  {"Deimos", 33},  {"Moon", 720},     {"Jupiter", 200},
                    {"Saturn", 400}, {"Uranus", 800}, {"Neptune", 1600}, {"Mercury", 60},
                    {"Venus", 60},   {"Earth", 60},   {"Mars", 60},      {"Io", 33},
                    {"Titan", 25},   {"Europa", 33},  {"Ganymede", 33},  {"Callisto", 50},
                    {"Mimas", 100}};
    for (int k = 0; k < nBody; ++k) pBody[k].samples = 100;
    for (const auto& s : kSamples) {
        const int k = GetId(s.name);
        if (k <= 0) continue;
        pBody[k].samples = s.samples;
        if (std::strcmp(s.name, "Earth") == 0) pBody[k].flattening = kEarthFlattening;
    }
}

void CSol::WriteQuickLoadList() const {
    otk::LogMsg(log, "Creating quick load list");
    // The list names bodies by their full host names: the table keeps only the first 22
    // characters, and a cut name would not be found again, losing the body and its minors at
    // the next Setup. A name longer than the list's reader takes keeps the list unwritten, so
    // the next Setup loads the system file again.
    for (int i = 1; i < nBody; ++i) {
        char name[kLineSize];
        oapiGetObjectName(pBody[i].handle, name, kLineSize);
        if (std::strlen(name) > kListNameMax) {
            otk::LogErr(log,
                        "Name '%s' is too long for the quick load list (%d characters at most)",
                        name, kListNameMax);
            ZAQ_ERROR_NOREASON("CSol::Setup");
            return;
        }
    }
    FILE* f = std::fopen(kQuickLoadTemp, "w");
    if (!f) {
        ZAQ_ERROR_NOREASON("CSol::Setup");
        return;
    }
    for (int i = 1; i < nBody; ++i) {
        const Body& b = pBody[i];
        char ref[kLineSize], name[kLineSize];
        oapiGetObjectName(pBody[b.reference].handle, ref, kLineSize);
        oapiGetObjectName(b.handle, name, kLineSize);
        if (b.flags & CS_ELLIPTIC)
            std::fprintf(f, "%s %s\n", ref, name);
        else
            std::fprintf(f, "%s %s %g\n", ref, name, b.deviation);
    }
    // Only a complete list replaces the old one: an interrupted write leaves the temporary file,
    // never a truncated list that the next Setup would trust.
    const bool written = !std::ferror(f);
    if (std::fclose(f) != 0 || !written || std::rename(kQuickLoadTemp, kQuickLoad) != 0) {
        std::remove(kQuickLoadTemp);
        ZAQ_ERROR_NOREASON("CSol::Setup");
    }
}

int CSol::Setup(const char* systemFile, double displacementSpeed, FILE* logFile) {
    Release();
    precision = 1e-5;
    log = logFile;
    moonId = -1;
    otk::LogMsg(log, " ");
    otk::LogMsg(log, "--- CSol Initialization ---");
    cachedHandle = reinterpret_cast<void*>(static_cast<uintptr_t>(0xDEADDEAD));
    cachedId = -1;
    if (!AllocateTables()) return 1;

    FILE* quick = std::fopen(kQuickLoad, "r");
    const bool listRead = quick != nullptr;
    if (!listRead) ZAQ_ERROR_NOREASON("CSol::Setup");
    bool loaded;
    if (listRead) {
        loaded = QuickLoad(quick);
        std::fclose(quick);
    } else if (!systemFile) {
        ZAQ_ERROR_THIS("CSol::Setup", "Config/SCConf.cfg is missing");
        loaded = false;
    } else {
        loaded = LoadSystemFile(systemFile);
    }
    if (!loaded) {
        Release();
        return 1;
    }

    otk::LogMsg(log, "Number Of Bodies: %d", nBody);
    if (nBody >= nCapacity) ZAQ_ERROR_NOREASON("CSol::Setup");
    LinkAndListMinors();
    SetObjectInfo(displacementSpeed);
    BuildConics();
    SetSampleCounts();
    Analyse();
    if (!listRead) WriteQuickLoadList();
    otk::LogMsg(log, "Done");

    moonId = GetId("Moon");
    if (moonId < 0) {
        otk::LogErr(ErrorLog, "Failed to acquire id for 'Moon'");
        return 1;
    }
    return 0;
}

// ---- accessors ----------------------------------------------------------------------------

int CSol::GetId(void* handle) const {
    if (handle == cachedHandle && cachedId >= 0 && cachedId < nBody) return cachedId;
    for (int i = 0; i < nBody; ++i)
        if (pBody[i].handle == handle) {
            cachedHandle = handle;
            cachedId = i;
            return i;
        }
    return -1;
}

int CSol::GetId(const char* name) const {
    const size_t n = std::strlen(name);
    if (n >= kNameSize) return -1;
    for (int i = 0; i < nBody; ++i)
        if (std::strncmp(pBody[i].name, name, n) == 0) return i;
    return -1;
}

const char* CSol::GetName(int i) const {
    return pBody[i].name;
}
void* CSol::GetHandle(int i) const {
    return pBody[i].handle;
}
int CSol::GetReference(int i) const {
    return pBody[i].reference;
}
void* CSol::GetReference(void* handle) const {
    const int i = GetId(handle);
    return i < 0 ? nullptr : pBody[i].refHandle;
}
int CSol::GetMinorCount(int i) const {
    return pBody[i].nMinor;
}
int CSol::GetMinor(int i, int k) const {
    if (k < 0 || k >= pBody[i].nMinor) return -1;
    return pMinor[pBody[i].firstMinor + k];
}
int CSol::GetObjectFlags(int i) const {
    return pBody[i].flags;
}
double CSol::GetMass(int i) const {
    return pBody[i].mass;
}
double CSol::GetRadius(int i, double angle) const {
    // The flattening shortens both polar radii alike: |cos| of the angle from the axis.
    return pBody[i].radius * (1.0 - pBody[i].flattening * std::fabs(std::cos(angle)));
}
double CSol::GetAltitude(int i, VECTOR3 pos) const {
    const double r = Length(pos);
    const Body& b = pBody[i];
    return r - b.radius * (1.0 - b.flattening * std::fabs(dotp(pos, b.rotAxis)) / r);
}
const COrbit* CSol::GetElements(int i) const {
    return pBody[i].conic.get();
}
const sGravity* CSol::GetGravityInfo(int i) const {
    return &pGravity[i];
}
VECTOR3 CSol::GetRotation(int i, double) const {
    return i == 0 ? VECTOR3{0, 0, 1} : otk::RotationAxis(pBody[i].handle);
}
VECTOR3 CSol::GetMeridian(int i, double mjd) const {
    return i == 0 ? VECTOR3{1, 0, 0} : otk::MeridianAxis(pBody[i].handle, mjd);
}

double CSol::GetData(int i, int item) const {
    const Body& b = pBody[i];
    switch (item) {
        case CSD_BARYDISPL:
            return b.baryDispl;
        case CSD_DEVIATION:
            return b.deviation;
        case CSD_RADIUS:
            return b.radius;
        case CSD_MASS:
            return b.mass;
        case CSD_FLATTENING:
            return b.flattening;
        case CSD_SOI:
            return b.soi;
        case CSD_BCTIDAL:
            return b.bcTidal;
        case CSD_BCEFFECT:
            return b.bcEffect;
        case CSD_IPTIDAL:
            return b.ipTidal;
        case CSD_IPEFFECT:
            return b.ipEffect;
        case CSD_BOUNDARY:
            return b.boundary;
        case CSD_OUTERCUTOFF:
            return b.outerCutoff;
        case CSD_INNERCUTOFF:
            return b.innerCutoff;
        case CSD_DTMAX:
            return b.dTMax;
        case CSD_SAGITTA:
            return b.sagitta;
        default:
            return QuietNaN();
    }
}
