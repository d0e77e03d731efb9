// The solar-system model's HTML contents dump: a self-test of the matrix library, the body table,
// what each ephemeris module delivers, the conic bodies' elements and every quantity of the
// analysis with its consistency checks. Part of the unit csMain (sol/Internal.h).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "sol/Internal.h"
#include "zaq/adaptors.h"
#include "zaq/constants.h"
#include "zaq/foundation.h"
#include "zaq/linalg.h"
#include "zaq/orbit.h"
#include "zaq/sol.h"
#include "zaq/vector3.h"

using zaq::kAU;
using zaq::kG;

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
