// The solar-system model: one record per celestial body (the star first, then planets and their
// moons), built once from the host's bodies and the configuration files under Config/, analysed
// for spheres of influence, cutoffs, barycentre limits and interpolation margins, and queried for
// true, barycentric and interpolated ephemerides. Vectors are right-handed, m and m/s; dates MJD.
#pragma once

#include <cstdio>
#include <memory>

#include "zaq/host.h"

class COrbit;

// Body flags (CSol::GetObjectFlags).
constexpr int CS_EPHEMERIS = 0x01;   ///< the host gives the body an ephemeris module
constexpr int CS_ELLIPTIC = 0x02;    ///< positions come from the body's conic
constexpr int CS_BARYDISPL = 0x04;   ///< the body moves its reference about their barycentre
constexpr int CS_PARENTBARY = 0x08;  ///< ephemeris relative to the reference's barycentre
constexpr int CS_FALSEPOS = 0x10;    ///< a barycentric position was formed from a true one
constexpr int CS_IGNORE = 0x20;      ///< the body's own gravity is negligible
constexpr int CS_BCCOR = 0x40;       ///< the barycentre correction reaches past the tidal limit

// Item codes of CSol::GetData (m, kg or s).
enum CSolData {
    CSD_BARYDISPL = 1,  ///< largest barycentre displacement of the body's system
    CSD_DEVIATION = 2,  ///< largest interpolation deviation
    CSD_RADIUS = 3,
    CSD_MASS = 4,
    CSD_FLATTENING = 5,
    CSD_SOI = 6,            ///< sphere of influence
    CSD_BCTIDAL = 257,      ///< barycentre tidal limit (vessel referenced to the body)
    CSD_BCEFFECT = 258,     ///< where the barycentre becomes effective (vessel about the star)
    CSD_IPTIDAL = 259,      ///< the tidal limit for the interpolation error alone
    CSD_IPEFFECT = 260,     ///< the effect distance for the interpolation error alone
    CSD_BOUNDARY = 261,     ///< outer boundary of the body's system
    CSD_OUTERCUTOFF = 262,  ///< distance from the reference where the body's pull falls off
    CSD_INNERCUTOFF = 263,  ///< the same inside the body's orbit
    CSD_DTMAX = 264,        ///< span over which a straight line holds, s
    CSD_SAGITTA = 265       ///< allowed chord-to-arc departure
};

/// Per-body gravity record, copied whole by the propagator.
struct sGravity {
    int nJ;                 ///< number of zonal coefficients the host gives
    double J[8];            ///< J2, J3, ...; the first min(nJ, 8) set, the rest 0
    double limitRadius[8];  ///< distance beyond which J[i] is ignored, m
    double radius;          ///< mean radius, m
    double GM;              ///< G times the body's own mass
    VECTOR3 rotationAxis;   ///< unit spin axis
};

/// The solar-system model. Indices ("CSol index") run from 0 (the star) to GetCount() - 1.
/// Accessors do not check their index unless stated; ephemeris queries refresh cached state.
class CSol {
public:
    CSol();
    ~CSol();
    CSol(const CSol&) = delete;
    CSol& operator=(const CSol&) = delete;

    /// Builds the model from Config/CSConf.cfg, or from systemFile when that list is absent
    /// (and then writes the list). displacementSpeed (m/s) is the reflex speed above which a
    /// moon displaces its planet's barycentre. Messages go to log (may be null). 0 on success.
    int Setup(const char* systemFile, double displacementSpeed, FILE* log);

    // ---- body table ----
    int GetCount() const { return nBody; }
    bool Exists(int i) const { return i >= 0 && i < nBody; }
    /// Index of the body with that host handle; -1 if none. A hit is cached.
    int GetId(void* handle) const;
    /// First index whose name begins with name (case-sensitive); -1 if none or name has 24+
    /// characters.
    int GetId(const char* name) const;
    const char* GetName(int i) const;
    void* GetHandle(int i) const;
    /// Index of the reference body; -1 for the star.
    int GetReference(int i) const;
    /// Host handle of the reference of the body with that handle; null if unknown.
    void* GetReference(void* handle) const;
    /// Number of bodies that have body i as reference.
    int GetMinorCount(int i) const;
    /// Index of the k-th such body; -1 when k is out of range.
    int GetMinor(int i, int k) const;
    int GetObjectFlags(int i) const;
    double GetMass(int i) const;
    /// Radius at the angle from the rotation axis (0: polar radius).
    double GetRadius(int i, double angle) const;
    /// Height of pos (relative to the body's centre) over the flattened surface.
    double GetAltitude(int i, VECTOR3 pos) const;
    /// The body's conic about its reference; null for the star.
    const COrbit* GetElements(int i) const;
    const sGravity* GetGravityInfo(int i) const;
    /// Unit spin axis; (0, 0, 1) for the star. mjd is not used.
    VECTOR3 GetRotation(int i, double mjd) const;
    /// Direction of longitude 0, latitude 0 at mjd; (1, 0, 0) for the star.
    VECTOR3 GetMeridian(int i, double mjd) const;
    /// One value of the record by CSolData code; a quiet NaN for any other code.
    double GetData(int i, int item) const;

    // ---- ephemerides (relative to the reference body; the star answers with the origin) ----
    VECTOR3 GetEphemTruePos(int i, double mjd);
    VECTOR3 GetEphemBaryPos(int i, double mjd);
    /// True state; false when the body has no source. vel may be null.
    bool GetEphemTruePosVel(int i, double mjd, VECTOR3* pos, VECTOR3* vel);
    /// Barycentric state; false when the body has no source. vel may be null.
    bool GetEphemBaryPosVel(int i, double mjd, VECTOR3* pos, VECTOR3* vel);
    /// Barycentre of body i's system relative to its centre.
    VECTOR3 GetEphemBaryOffset(int i, double mjd);
    /// The offset and its rate; false (both zero) for a body without minors.
    bool GetEphemBaryOffset(int i, double mjd, VECTOR3* pos, VECTOR3* vel);
    /// Interpolated barycentric state from a conic refitted between ephemeris samples; vel may
    /// be null; false when the refit fails. Allocates nothing.
    bool GetIpPosVel(int i, double mjd, VECTOR3* pos, VECTOR3* vel);

    // ---- contents dump ----
    /// Writes the HTML report of the model into file; nothing when file is null.
    void Dump(FILE* file) const;
    /// Writes the report as a complete HTML page into a new file fileName.
    void Dump(const char* fileName) const;

private:
    struct Body;

    int nBody = 0;              // bodies in the table
    int nCapacity = 0;          // size of each table
    int moonId = -1;            // index of "Moon"; -1 until Setup has found it
    FILE* log = nullptr;        // the class's own message stream
    double precision = 1e-5;    // relative precision of the analysis
    mutable int cachedId = -1;  // last GetId(void*) hit
    mutable void* cachedHandle = nullptr;
    std::unique_ptr<Body[]> pBody;
    std::unique_ptr<sGravity[]> pGravity;
    std::unique_ptr<int[]> pMinor;  // indices of each body's minors, consecutive

    // Setup stages.
    void Release();
    bool AllocateTables();
    bool AddBody(void* handle, int reference, double deviation, int flags);
    bool QuickLoad(FILE* f);
    bool LoadSystemFile(const char* path);
    void* LoadBodyFile(const char* path, bool pathFits, int* flags);
    void LinkAndListMinors();
    void SetObjectInfo(double displacementSpeed);
    void BuildConics();
    void SetSampleCounts();
    void Analyse();
    void WriteQuickLoadList() const;

    // Ephemeris helpers.
    int Sample(int i, double mjd, int request, VECTOR3* pos, VECTOR3* vel) const;
    VECTOR3 EphemPos(int i, double mjd, bool bary);
    bool EphemState(int i, double mjd, bool bary, VECTOR3* pos, VECTOR3* vel);
    bool StateByDifference(int i, double mjd, bool bary, VECTOR3* pos, VECTOR3* vel);
    VECTOR3 IpSample(int i, double mjd);
    bool Refit(int i);

    // Analysis.
    VECTOR3 ApsisPosition(int k, double mjd, double E);
    double BarycentreDisplacement(int k) const;
    double SphereOfInfluence(int k) const;
    void FillGravityInfo(int k);
    double CutoffDistance(int k, bool inner);
    double MoonOuterCutoff(int k);
    double RegionLimit(int k, int mode) const;

    // Dump sections.
    void DumpMatrixSelfTest(FILE* file) const;
    void DumpTable(FILE* file) const;
    void DumpAnalysis(FILE* file) const;
};
