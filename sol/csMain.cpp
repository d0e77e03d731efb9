// The solar-system model: the body table and its configuration files, ephemeris queries with
// conic interpolation between host samples, the system analysis (spheres of influence, cutoffs,
// barycentre and interpolation margins) and the HTML contents dump.
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

#include "foundation/Buffer.h"
#include "zaq/adaptors.h"
#include "zaq/constants.h"
#include "zaq/foundation.h"
#include "zaq/lambert.h"
#include "zaq/linalg.h"
#include "zaq/orbit.h"
#include "zaq/sol.h"
#include "zaq/vector3.h"

using zaq::kAU;
using zaq::kG;
using zaq::kSecondsPerDay;

namespace {

const char kQuickLoad[] = "Config/CSConf.cfg";
// The new quick-load list is written here first and renamed over the old one when complete.
const char kQuickLoadTemp[] = "Config/CSConf.cfg.tmp";

constexpr int kLineSize = 120;    // configuration lines of at most 119 characters
constexpr int kNameSize = 24;     // host names fetched with a limit of 23
constexpr int kListNameMax = 29;  // names the quick-load list's reader takes whole (%30s)
constexpr int kPathSize = 62;     // "Config/" + body name + ".cfg"
constexpr double kStarSOI = 100.0 * kAU;
constexpr double kJ2000 = 51544.5;  // reference epoch of the apsis searches
constexpr double kEarthFlattening = 0.003352;
constexpr double kJLimit = 1e-10;  // size of a zonal term below which it is ignored
constexpr int kEphemPos = EPHEM_TRUEPOS | EPHEM_BARYPOS;

const VECTOR3 kZero{0, 0, 0};

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

// One body of the table.
struct CSol::Body {
    std::unique_ptr<COrbit> conic;  // about the reference; refitted by the interpolation; null
                                    // for the star
    bool ipValid;                   // the interpolation interval holds data
    void* handle;
    void* refHandle;
    VECTOR3 rotAxis;
    int nMinor;
    int firstMinor;  // position of the first minor in the minor table
    int reference;   // -1 for the star
    int flags;
    double soi, baryDispl, deviation, mass, flattening, radius, GM;
    char name[kNameSize];
    double samples;  // interpolation steps per orbit
    double t0, t1;   // interpolation interval
    VECTOR3 pos0, pos1;
    otk::sAnomaly anomaly;  // the last interpolated query's solution, the next one's start
    double boundary, outerCutoff, innerCutoff, bcEffect, bcTidal, ipEffect, ipTidal, sagitta, dTMax;
    CELBODY* module;  // the host's ephemeris module, null when none
};

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

// ---- ephemerides --------------------------------------------------------------------------
// The star has no conic and no orbit: its queries answer with the origin (zero vectors,
// success). A conic body whose conic could not be built answers the same way.

int CSol::Sample(int i, double mjd, int request, VECTOR3* pos, VECTOR3* vel) const {
    CELBODY* cb = pBody[i].module;
    if (!cb) {
        if (pos) *pos = kZero;
        if (vel) *vel = kZero;
        return 0;
    }
    return otk::CelBody_RH(cb, mjd, request, pos, vel);
}

// Position from the module; a body with minors whose module gave the other kind of position
// is moved by its barycentre offset.
VECTOR3 CSol::EphemPos(int i, double mjd, bool bary) {
    Body& b = pBody[i];
    if (b.flags & CS_ELLIPTIC) return b.conic ? b.conic->PosByMJD(mjd) : kZero;
    if (!(b.flags & CS_EPHEMERIS)) return kZero;
    VECTOR3 p;
    const int bits = Sample(i, mjd, bary ? EPHEM_BARYPOS : EPHEM_TRUEPOS, &p, nullptr);
    if (b.nMinor > 0 && !bary && (bits & EPHEM_BARYPOS)) p -= GetEphemBaryOffset(i, mjd);
    if (b.nMinor > 0 && bary && (bits & EPHEM_TRUEPOS)) {
        b.flags |= CS_FALSEPOS;
        p += GetEphemBaryOffset(i, mjd);
    }
    return p;
}

VECTOR3 CSol::GetEphemTruePos(int i, double mjd) {
    return EphemPos(i, mjd, false);
}

VECTOR3 CSol::GetEphemBaryPos(int i, double mjd) {
    return EphemPos(i, mjd, true);
}

// Position from the module and velocity from a forward difference over 1e-5 of the period of a
// circular orbit at the body's distance.
bool CSol::StateByDifference(int i, double mjd, bool bary, VECTOR3* pos, VECTOR3* vel) {
    Body& b = pBody[i];
    const int request = bary ? EPHEM_BARYPOS : EPHEM_TRUEPOS;
    VECTOR3 p0, p1;
    if (!(Sample(i, mjd, request, &p0, nullptr) & kEphemPos)) return false;
    const double r = Length(p0);
    const double step = PI2 * std::sqrt(r * r * r / b.GM) * 1e-5;
    const double mjd1 = mjd + step / kSecondsPerDay;
    const int bits = Sample(i, mjd1, request, &p1, nullptr);
    // The span the two dates really lie apart, after rounding to the MJD's precision.
    const double dt = (mjd1 - mjd) * kSecondsPerDay;
    if (!(bits & kEphemPos) || !(dt > 0)) return false;
    if (b.nMinor > 0) {
        if (!bary && (bits & EPHEM_BARYPOS)) {
            p0 -= GetEphemBaryOffset(i, mjd);
            p1 -= GetEphemBaryOffset(i, mjd1);
        } else if (bary && (bits & EPHEM_TRUEPOS)) {
            b.flags |= CS_FALSEPOS;
            p0 += GetEphemBaryOffset(i, mjd);
            p1 += GetEphemBaryOffset(i, mjd1);
        }
    }
    *pos = p0;
    *vel = (p1 - p0) / dt;
    return true;
}

bool CSol::EphemState(int i, double mjd, bool bary, VECTOR3* pos, VECTOR3* vel) {
    Body& b = pBody[i];
    if (b.reference < 0) {
        *pos = kZero;
        if (vel) *vel = kZero;
        return true;
    }
    if (b.flags & CS_ELLIPTIC) {
        if (!b.conic) return false;
        b.conic->PosVelByMJD(mjd, pos, vel);
        return true;
    }
    if (!vel) {
        *pos = EphemPos(i, mjd, bary);
        return true;
    }
    if (!(b.flags & CS_EPHEMERIS)) return false;
    // The Moon's module is asked for position and velocity (both kinds of state): asked for the
    // position alone it need not fill the velocity, and a zero velocity would then pass into
    // the Moon's frame. A module that still gives no velocity falls back on differences.
    const int moonBits = i == moonId ? Sample(i, mjd, EPHEM_TRUEPOS | EPHEM_TRUEVEL, pos, vel) : 0;
    if (moonBits & (EPHEM_TRUEVEL | EPHEM_BARYVEL)) return true;
    return StateByDifference(i, mjd, bary, pos, vel);
}

bool CSol::GetEphemTruePosVel(int i, double mjd, VECTOR3* pos, VECTOR3* vel) {
    return EphemState(i, mjd, false, pos, vel);
}

bool CSol::GetEphemBaryPosVel(int i, double mjd, VECTOR3* pos, VECTOR3* vel) {
    return EphemState(i, mjd, true, pos, vel);
}

VECTOR3 CSol::GetEphemBaryOffset(int i, double mjd) {
    const Body& b = pBody[i];
    if (b.nMinor == 0) return kZero;
    double mass = b.mass;
    VECTOR3 sum = kZero;
    for (int k = 0; k < b.nMinor; ++k) {
        const int j = pMinor[b.firstMinor + k];
        if (!(pBody[j].flags & CS_BARYDISPL)) continue;
        sum += GetEphemBaryPos(j, mjd) * pBody[j].mass;
        if (!(pBody[j].flags & CS_PARENTBARY)) mass += pBody[j].mass;
    }
    return sum / mass;
}

bool CSol::GetEphemBaryOffset(int i, double mjd, VECTOR3* pos, VECTOR3* vel) {
    const Body& b = pBody[i];
    *pos = *vel = kZero;
    if (b.nMinor == 0) return false;
    double mass = b.mass;
    for (int k = 0; k < b.nMinor; ++k) {
        const int j = pMinor[b.firstMinor + k];
        if (!(pBody[j].flags & CS_BARYDISPL)) continue;
        VECTOR3 p = kZero, v = kZero;
        GetEphemBaryPosVel(j, mjd, &p, &v);
        *pos += p * pBody[j].mass;
        *vel += v * pBody[j].mass;
        if (!(pBody[j].flags & CS_PARENTBARY)) mass += pBody[j].mass;
    }
    *pos = *pos / mass;
    *vel = *vel / mass;
    return true;
}

// One interpolation sample: the barycentric position for a body with minors, else the true one.
VECTOR3 CSol::IpSample(int i, double mjd) {
    const Body& b = pBody[i];
    VECTOR3 p;
    Sample(i, mjd, b.nMinor > 0 ? EPHEM_BARYPOS : EPHEM_TRUEPOS, &p, nullptr);
    if (b.flags & CS_FALSEPOS) p += GetEphemBaryOffset(i, mjd);
    return p;
}

// Fits the conic through pos0 at t0 and pos1 at t1; on failure the conic stays as it was.
bool CSol::Refit(int i) {
    Body& b = pBody[i];
    double p = b.conic->semiLatus;  // start value; the conic keeps its own on failure
    VECTOR3 v0;
    const double span = (b.t1 - b.t0) * kSecondsPerDay;
    if (otk::LambertPN(b.pos0, b.pos1, span, 1.0, b.GM, &p, &v0, nullptr) <= 0) return false;
    b.conic->CreateFromStateVectors(b.pos0, v0, b.GM, b.t0);
    b.ipValid = true;
    return true;
}

bool CSol::GetIpPosVel(int i, double mjd, VECTOR3* pos, VECTOR3* vel) {
    Body& b = pBody[i];
    if (b.reference < 0) {
        *pos = kZero;
        if (vel) *vel = kZero;
        return true;
    }
    if (!b.conic) return false;
    if (!(b.flags & CS_ELLIPTIC)) {
        const double span = b.t1 - b.t0;
        bool refill = !b.ipValid, advance = false;
        if (b.ipValid) {
            if (mjd <= b.t1)
                refill = mjd < b.t0 && b.t0 - mjd > 0.25 * span;
            else if (mjd - b.t1 < 0.5 * span)
                advance = true;
            else
                refill = true;
        }
        if (refill || advance) {
            const double step = PI2 / (b.conic->meanMotion * b.samples);  // s
            if (refill) {
                b.t0 = mjd;
                b.t1 = mjd + step / kSecondsPerDay;
                b.pos0 = IpSample(i, b.t0);
            } else {
                b.t0 = b.t1;
                b.t1 += step / kSecondsPerDay;
                b.pos0 = b.pos1;
            }
            b.pos1 = IpSample(i, b.t1);
            if (!Refit(i)) {
                // The stored interval no longer matches the conic: the next call refits again
                // instead of answering from a conic of another interval.
                b.ipValid = false;
                if (refill) {
                    otk::LogErr(log, "GetIpPosVel(idObj=%d, mjd=%g) ts=%g LambertPN Failed", i,
                                b.t0, step);
                    otk::LogMsg(log, "BaryPos=%s", otk::VectorStr(GetEphemBaryPos(i, b.t0)));
                    otk::LogMsg(log, "Pos0=%s", otk::VectorStr(b.pos0));
                    otk::LogMsg(log, "Pos1=%s", otk::VectorStr(b.pos1));
                } else {
                    otk::LogErr(log, "Update: GetObjectPosVel(idObj=%d, mjd=%g) LambertPN Failed",
                                i, b.t0);
                }
                return false;
            }
        }
    }
    // Successive queries lie close together: each Kepler solve starts from the last one.
    b.conic->PosVelByMJD(mjd, pos, vel, b.anomaly);
    return true;
}

// ---- system analysis ----------------------------------------------------------------------

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

// ---- contents dump ------------------------------------------------------------------------

namespace {

const char kModuleName[] = "ZAQ-SDK";
const char kFontFace[] = "Bitstream Vera Sans Mono,Courier New,Lucida Console";
const char kRule[] = "--------------------------------------------------------------------";

// Appends text to buf (of size n) as far as it fits.
void Append(char* buf, size_t n, const char* text) {
    const size_t len = std::strlen(buf);
    if (len + 1 < n) std::snprintf(buf + len, n - len, "%s", text);
}

// Names of the set bits of value, from table, each followed by its separator text.
struct BitName {
    int bit;
    const char* text;
};
template <size_t N>
const char* BitText(char (&buf)[256], int value, const BitName (&table)[N], const char* none) {
    buf[0] = '\0';
    for (const BitName& b : table)
        if (value & b.bit) Append(buf, sizeof buf, b.text);
    if (buf[0] == '\0' && none) Append(buf, sizeof buf, none);
    return buf;
}

const BitName kFlagNames[] = {{CS_EPHEMERIS, " CS_EPHEMERIS "}, {CS_ELLIPTIC, " CS_ELLIPTIC "},
                              {CS_BARYDISPL, " CS_BARYDISPL "}, {CS_PARENTBARY, " CS_PARENTBARY "},
                              {CS_FALSEPOS, " CS_FALSEPOS "},   {CS_IGNORE, " CS_IGNORE "},
                              {CS_BCCOR, " CS_BCCOR "}};
const BitName kEphemNames[] = {
    {EPHEM_POLAR, "EPHEM_POLAR | "},          {EPHEM_BARYISTRUE, "EPHEM_BARYISTRUE | "},
    {EPHEM_TRUEPOS, "EPHEM_TRUEPOS | "},      {EPHEM_TRUEVEL, "EPHEM_TRUEVEL | "},
    {EPHEM_BARYPOS, "EPHEM_BARYPOS | "},      {EPHEM_BARYVEL, "EPHEM_BARYVEL | "},
    {EPHEM_PARENTBARY, "EPHEM_PARENTBARY | "}};

// The host name of a body cut or filled with '.' to exactly 16 characters.
struct PaddedName {
    char text[17];
    explicit PaddedName(void* handle) {
        char name[32];
        oapiGetObjectName(handle, name, 32);
        const size_t len = std::strlen(name);
        for (size_t k = 0; k < 16; ++k) text[k] = k < len ? name[k] : '.';
        text[16] = '\0';
    }
};

// The product a*b, rounded when it should be the unit matrix so that its rounding noise does not
// hide the ones and zeros.
void PrintProduct(FILE* file, const char* label, const CMatrix& a, const CMatrix& b, bool round) {
    CMatrix p;
    mtMul(p, a, b);
    if (round) p.Round();
    p.Print(file, label);
}

}  // namespace

// A short run of the matrix library on fixed matrices whose results a reader can check.
void CSol::DumpMatrixSelfTest(FILE* file) const {
    const double a[16] = {-1, 5, 2, 1, 4, -2, 9, 2, 1, 2, 3, -4, 3, 3, 3, -3};
    const double b[16] = {1, 8, 3, 2, 2, 2, -2, 2, 3, 2, 1, 1, 7, 6, 5, 4};
    CMatrix A(4, 4, a), B(4, 4, b);
    const CMatrix C = mxMul(B, A);
    A.Print(file, "Matrix A:");
    B.Print(file, "Matrix B:");
    C.Print(file, "Matrix C=B*A:");
    mxSubMatrix(A, 1, 2).Print(file, "SubMatrix(1,2) of A:");
    CMatrix iA, iB, iC;
    mtInv(iA, A);
    mtInv(iB, B);
    mtInv(iC, C);
    iA.Print(file, "Inverse(A):");
    iB.Print(file, "Inverse(B):");
    iC.Print(file, "Inverse(C):");
    PrintProduct(file, "A*Inverse(A):", A, iA, true);
    PrintProduct(file, "B*Inverse(B):", B, iB, true);
    PrintProduct(file, "C*Inverse(C):", C, iC, true);
    otk::LogMsg(file, "Det(A)=%g, Det(B)=%g, Det(C)=%g", mtDet(A), mtDet(B), mtDet(C));
    otk::LogMsg(file, " ");

    CMatrix Q(2, 3), QQ;
    Q.Row(0, 1.0, 0.0, 6.0);
    Q.Row(1, 1.0, 1.0, 0.0);
    Q.Print(file, "Matrix Q:");
    mtTranspose(A, Q);
    A.Print(file, "Transpose of Q:");
    mtMul(QQ, Q, A);
    QQ.Print(file, "Q*Transpose(Q):");
    otk::LogMsg(file, "Det(Q)=%g", mtDet(QQ));

    CVector n, out;
    n.Define(4, 1.0, 2.0, -3.0, 4.0);
    n.Print(file, "_n:");
    mtMul(out, C, n);
    out.Print(file, "C*_n:");
    mtMul(out, n, C);
    out.Print(file, "_n*C:");
    mtSolve(out, C, n);
    out.Print(file, "Solve: C(_n):  _c = iC*_n");
    CMatrix W;
    mtMul(W, n, n);
    W.Print(file, "Matrix: W=_n*_n:");
    mtSolve(A, C, W);
    A.Print(file, "Solve: CA=W: A=iC*W");
    PrintProduct(file, "C*A:", C, A, false);
    otk::LogMsg(file, " ");
}

// The body table, minors, what each ephemeris module delivers and the conic bodies' elements.
void CSol::DumpTable(FILE* file) const {
    char text[256];
    otk::LogMsg(file, "--- CSol Contents Dump ---");
    otk::LogMsg(file, "Number of Celestial Objects = %d", nBody);
    for (int i = 0; i < nBody; ++i) {
        const Body& b = pBody[i];
        if (!b.handle) {
            otk::LogErr(file, "NULL Handle (index=%d)", i);
            continue;
        }
        char name[32];
        oapiGetObjectName(b.handle, name, 31);
        otk::LogMsg(file, "%s: Index=%d  Ref=%d  Minors=%d oapiHendle=0x%llx Flags=%s", name, i,
                    b.reference, b.nMinor,
                    static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(b.handle)),
                    BitText(text, b.flags, kFlagNames, " ??????????? "));
    }
    otk::LogMsg(file, "%s", kRule);
    otk::LogMsg(file, " ");
    otk::LogMsg(file, "Minor bodies:");
    for (int i = 0; i < nBody; ++i) {
        if (pBody[i].nMinor == 0) continue;
        otk::LogMsg(file, "%s (%d)", pBody[i].name, pBody[i].nMinor);
        for (int k = 0; k < pBody[i].nMinor; ++k)
            otk::LogMsg(file, ".%s", pBody[GetMinor(i, k)].name);
    }
    otk::LogMsg(file, "%s", kRule);
    otk::LogMsg(file, " ");

    otk::LogMsg(file, "-- Checking Ephemerides Capabilities --");
    otk::LogMsg(file, "%s", "");
    const double mjd = oapiGetSimMJD();
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1) otk::LogMsg(file, " ");
        otk::LogMsg(file,
                    pass == 0 ? "Requesting TruePos, TrueVel" : "Requesting BaryPos, BaryVel");
        otk::LogMsg(file, "---------------------------");
        for (int i = 0; i < nBody; ++i) {
            const Body& b = pBody[i];
            CELBODY* cb = b.handle ? oapiGetCelbodyInterface(b.handle) : nullptr;
            if (!cb || (pass == 0 && !(b.flags & CS_EPHEMERIS))) continue;
            double ret[12] = {0};
            const int bits = cb->clbkEphemeris(mjd, pass == 0 ? 0x03 : 0x0C, ret);
            otk::LogMsg(file, "%s: %s", b.name, BitText(text, bits, kEphemNames, nullptr));
        }
    }
    otk::LogMsg(file, " ");

    otk::LogMsg(file, "Checking Orbital Elements of Elliptic Orbits");
    otk::LogMsg(file, "--------------------------------------------");
    for (int i = 0; i < nBody; ++i) {
        const Body& b = pBody[i];
        if (!(b.flags & CS_ELLIPTIC) || !b.conic) continue;
        char sma[48], ecc[48];
        std::snprintf(sma, sizeof sma, " Sma=%.16g", b.conic->SMa());
        std::snprintf(ecc, sizeof ecc, " Ecc=%.16g", b.conic->Ecc());
        otk::LogMsg(file, "%sELLIPTIC.%-24s%-24s", PaddedName(b.handle).text, sma, ecc);
    }
}

// Every quantity of the analysis with its consistency checks.
void CSol::DumpAnalysis(FILE* file) const {
    auto heading = [file](const char* title) {
        otk::LogMsg(file, " ");
        otk::LogMsg(file, "%s", title);
        otk::LogMsg(file, " ");
    };
    otk::LogMsg(file, " ");
    otk::LogMsg(file, "%s", kRule);
    otk::LogMsg(file, " System Analyzis With Precision %g", precision);
    otk::LogMsg(file, " ");
    otk::LogMsg(file, " ");
    otk::LogMsg(file, "--- Interpolated Orbit Maximum (Peak) Deviations (meters)---");
    otk::LogMsg(file, " ");
    for (int i = 1; i < nBody; ++i)
        if (pBody[i].flags & CS_EPHEMERIS)
            otk::LogMsg(file, "%s Deviation %.5e, Samples=%g", PaddedName(pBody[i].handle).text,
                        pBody[i].deviation, pBody[i].samples);
    heading("--- Linear Interpolation ---");
    for (int i = 1; i < nBody; ++i)
        if (pBody[i].sagitta != 0)
            otk::LogMsg(file, "%s Sagitta=%.5g,  dTMax=%.5g", PaddedName(pBody[i].handle).text,
                        pBody[i].sagitta, pBody[i].dTMax);
    heading("--- High Precision interpolation margins ---");
    for (int i = 1; i < nBody; ++i) {
        const PaddedName name(pBody[i].handle);
        otk::LogMsg(file, "%s IPEffect= %.5g", name.text, pBody[i].ipEffect);
        otk::LogMsg(file, "%s IPTidal = %.5g", name.text, pBody[i].ipTidal);
    }
    heading("--- Maximum barycenter displacements (meters) ---");
    for (int i = 0; i < nBody; ++i)
        if (pBody[i].baryDispl > 0)
            otk::LogMsg(file, "%s Barycenter displacement %.5e", PaddedName(pBody[i].handle).text,
                        pBody[i].baryDispl);
    heading("--- System/Object Outer Boundries ---");
    for (int i = 1; i < nBody; ++i) {
        const double B = pBody[i].boundary;
        otk::LogMsg(file, "%s Id=%d Boundry %.5g(m) = %.5g(AU) = %.5g(SOI) = %.5g(Rad)",
                    PaddedName(pBody[i].handle).text, i, B, B / kAU, B / pBody[i].soi,
                    B / GetRadius(i, 0));
    }

    heading("--- Allowed Deviations at Boundry (meters)---");
    for (int i = 1; i < nBody; ++i) {
        const Body& b = pBody[i];
        if (!b.conic || b.reference < 0) continue;
        const Body& r = pBody[b.reference];
        const double B = b.boundary, a = b.conic->SMa();
        double acc =
            kG * oapiGetMass(b.handle) / (B * B) + kG * oapiGetMass(r.handle) / ((a - B) * (a - B));
        if (r.reference >= 0 && r.conic)
            acc += kG * oapiGetMass(pBody[r.reference].handle) / (r.conic->SMa() * r.conic->SMa());
        const double dOwn = otk::AllowedDisplacement(acc, precision, B, kG * b.mass);
        const double dRef = otk::AllowedDisplacement(acc, precision, a - B, kG * r.mass);
        otk::LogMsg(file, "%s %.5e", PaddedName(b.handle).text, std::fmin(dOwn, dRef));
        const double d1 = b.sagitta + b.deviation;
        const double d2 = b.nMinor > 0 ? d1 + b.baryDispl : 0;
        if (d2 > dOwn)
            otk::LogWrn(file, "D2 Deviation of object too high (%g vs %g)  --> CS_BCCOR", d2, dOwn);
        if (d2 > dRef)
            otk::LogWrn(file,
                        "D2 Deviation respect to parent body too high (%g vs %g) --> CS_BCCOR", d2,
                        dRef);
        if (d1 > dOwn) otk::LogErr(file, "D1 Deviation of object too high (%g vs %g)", d1, dOwn);
        if (d1 > dRef)
            otk::LogErr(file, "D1 Deviation respect to parent body too high (%g vs %g)", d1, dRef);
    }

    heading("--- State Checks ---");
    const int earth = GetId("Earth");
    for (int i = 1; i < nBody; ++i) {
        const Body& b = pBody[i];
        const PaddedName padded(b.handle);
        const char* name = padded.text;
        // Earth's barycentre correction is known to reach past its boundary: a warning only.
        const bool isEarth = i == earth;
        if (b.boundary > b.bcTidal && b.bcTidal > 0) {
            if (isEarth)
                otk::LogWrn(file, "%s  BCTidal < Boundry (Checked OK)", name);
            else
                otk::LogErr(file, "%s  BCTidal < Boundry", name);
        }
        if (b.bcEffect > b.boundary && b.bcEffect > 0)
            otk::LogErr(file, "%s  BCEffect > Boundry", name);
        if (b.boundary > b.ipTidal && b.ipTidal > 0)
            otk::LogErr(file, "%s  IPTidal < Boundry", name);
        if (b.ipEffect > b.boundary && b.ipEffect > 0)
            otk::LogErr(file, "%s  IPEffect > Boundry", name);
        if (b.bcTidal > b.bcEffect)
            otk::LogMsg(file, "%s BCTidal > BCEffect", name);
        else if (b.bcEffect > b.bcTidal && isEarth)
            otk::LogWrn(file, "%s BCEffect > BCTidal (Checked OK)", name);
        else if (b.bcEffect > b.bcTidal)
            otk::LogErr(file, "%s BCEffect > BCTidal", name);
        if (b.ipEffect > b.ipTidal) otk::LogErr(file, "%s IPEffect > IPTidal", name);
    }

    heading("--- BaryCenter Becomes Effective (meters) Vessel Reference=Sun ---");
    for (int i = 1; i < nBody; ++i)
        if (pBody[i].nMinor > 0)
            otk::LogMsg(file, "%s %.5g", PaddedName(pBody[i].handle).text, pBody[i].bcEffect);
    heading("--- BaryCenter Tidal Limit (meters) Vessel Reference=Planet ---");
    for (int i = 1; i < nBody; ++i)
        if (pBody[i].nMinor > 0)
            otk::LogMsg(file, "%s %.5g", PaddedName(pBody[i].handle).text, pBody[i].bcTidal);
    heading("--- Effective Regions (meters) ---");
    for (int i = 1; i < nBody; ++i)
        otk::LogMsg(file, "%s From %.5g, To %.5g", PaddedName(pBody[i].handle).text,
                    pBody[i].innerCutoff, pBody[i].outerCutoff);
    heading("--- Rotation Parameters ---");
    std::fprintf(file, "</font>");
}

void CSol::Dump(FILE* file) const {
    if (!file) return;
    std::fprintf(file, "<font size=-1 face=\"%s\">", kFontFace);
    DumpMatrixSelfTest(file);
    DumpTable(file);
    DumpAnalysis(file);
}

void CSol::Dump(const char* fileName) const {
    FILE* file = fileName ? std::fopen(fileName, "w+") : nullptr;
    if (!file) return;
    std::fprintf(file,
                 "<html><head><title>%s Contents Dump</title></head>"
                 "<body bgcolor=0x000000 text=0xFFFFFF><center><h2>%s Contents Dump</h2></center>"
                 "<hr><br><br><br>",
                 kModuleName, kModuleName);
    std::fprintf(file, "<font face=\"%s\">", kFontFace);
    Dump(file);
    std::fprintf(file, "</font></body></html>");
    std::fflush(nullptr);
    std::fclose(file);
}
