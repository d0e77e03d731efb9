// The scenario's HTML contents dump: configuration, reference table, every object's record and
// state, every vessel's state. Part of the unit cfMain.
#include <cstdio>
#include <cstring>
#include <string>

#include "zaq/flight.h"
#include "zaq/foundation.h"

namespace {

// A line of the dump built piece by piece in a fixed buffer: a piece that does not fit whole is
// left out, with everything after it, so a long list is cut rather than written past the end.
struct DumpLine {
    char text[256] = "";
    size_t used = 0;
    bool full = false;
    void Add(const char* piece) {
        const size_t n = std::strlen(piece);
        if (full || used + n >= sizeof text) {
            full = true;
            return;
        }
        std::memcpy(text + used, piece, n + 1);
        used += n;
    }
};

}  // namespace

void CFlight::Dump(const char* path) const {
    FILE* f = path ? std::fopen(path, "w+") : nullptr;
    if (!f) {
        ZAQ_ERROR_NOREASON("CFlight::Dump");
        return;
    }
    auto name = [&](short id) { return IsValid(id) ? pCelObject[id]->name : "N/A"; };
    auto header = [&](const char* title) { std::fprintf(f, "<br><br>%s<br><br><br>", title); };
    std::fprintf(f,
                 "<html><head><title>CFlight</title></head><body bgcolor=0x000000 "
                 "text=0xFFFFFF><center><h2>CFlight Contents Dump</h2></center><hr><br><br><br>");
    std::fprintf(f, "--- CFlight Configuration %s<br>", std::string(75, '-').c_str());
    std::fprintf(f, "Number of Objects = %d <br>Number of Vessels = %d <br>", GetCount(),
                 GetVesselCount());

    header("--- Reference Table ---");
    for (int i = 0; i < nObj; i++) std::fprintf(f, "ObjId=%d, RefId=%d<br>", i, i ? pRefId[i] : -1);

    header("--- Celestial Objects ---");
    for (int i = 0; i < nObj; i++) {
        const CelObject* o = pCelObject[i].get();
        std::fprintf(f, "OBJECT: %d   <br>Name:      %s<br>", i, o->name);
        if (i == 0)
            std::fprintf(f, "Reference:  N/A<br>");
        else
            std::fprintf(f, "Reference: %s<br>", name(pRefId[i]));
        static const struct {
            int bits;
            const char* text;
        } flags[] = {{0x01, " OPT_EPHEMERIS, "},
                     {0x02, " OPT_ELLIPTIC, "},
                     {0x04, " OPT_HASMINORS, "},
                     {0x0C, " OPT_HASBC, "},
                     {0x40, " OPT_EFFECTING, "}};
        DumpLine line;
        for (const auto& fl : flags)
            if ((o->InitFlags & fl.bits) == fl.bits) line.Add(fl.text);
        std::fprintf(f, "InitFlags: %s<br>", line.text);
        std::fprintf(f, "CSIdObj:\t%d<br>CSIdRef:\t%d<br>", o->CSIdObj, o->CSIdRef);
        const struct {
            const char* label;
            double value;
        } fields[] = {{"boundry", o->boundry},     {"dTLinear", o->dTLinear},
                      {"SgLinear", o->SgLinear},   {"BaryDispl", o->BaryDispl},
                      {"InnCutOff", o->InnCutOff}, {"OutCutOff", o->OutCutOff},
                      {"IBoundry", o->IBoundry},   {"OBoundry", o->OBoundry}};
        for (const auto& fd : fields) std::fprintf(f, "%s:\t%f<br>", fd.label, fd.value);
        const struct {
            const char* label;
            const VECTOR3* array;
        } states[] = {{"GlobalPos", pGlobalPos}, {"GlobalVel", pGlobalVel},
                      {"RelatPos0", pStartPos},  {"RelatVel0", pStartVel},
                      {"RelatPos1", pEndPos},    {"RelatVel1", pEndVel}};
        for (const auto& st : states)
            std::fprintf(f, "%s:\t%s<br>", st.label, otk::VectorStr(st.array[i]));
        std::fprintf(f, "Mass:\t\t%g<br>nMinors:   %d<br>J-Coeffs:  %d<br>", o->mass, o->nMinors,
                     o->gravity.nJ);
        std::fprintf(f, "Minor Body List:<br>");
        for (int k = 0; k < o->nMinors && o->firstMinor + k < nObj; k++)
            std::fprintf(f, "Index %d:  %d<br>", k, pMinor[o->firstMinor + k]);
        // The record holds at most eight coefficients, whatever count the host gave.
        const int nJ = o->gravity.nJ < 8 ? o->gravity.nJ : 8;
        for (int k = 0; k < nJ; k++)
            std::fprintf(f, "J%d=%f<br>R%d=%g<br>", k + 2, o->gravity.J[k], k + 2,
                         o->gravity.limitRadius[k]);
        std::fprintf(f, "<br><br>");
    }

    header("--- Vessel Information ---");
    for (int i = 0; i < nVes; i++) {
        const cfVessel* v = pVessel[i].get();
        if (!v) {
            ZAQ_ERROR_THIS("CFlight::Dump", "Vessel pointer null");
            continue;
        }
        std::fprintf(f, "Reference: %s<br>IdRef:\t\t%d<br>", name(v->GetReference()),
                     v->GetReference());
        std::fprintf(f, "nSources:\t%d<br>nEvents:\t%d<br>", v->GetSourceCount(),
                     v->GetEventCount());
        std::fprintf(f, "Mass:\t\t%g<br>FuelRate:\t%g<br>Thrust:\t%g<br>ThrMode:   %d<br>",
                     v->GetMass(), v->GetFuelRate(), v->GetForce(), v->GetThrustMode());
        std::fprintf(f, "RelatPos:\t%s<br>", otk::VectorStr(v->GetPosition()));
        std::fprintf(f, "RelatVel:\t%s<br>", otk::VectorStr(v->GetVelocity()));
        DumpLine line;
        for (int k = 0; k < v->GetSourceCount(); k++) {
            char item[16];
            std::snprintf(item, sizeof item, "%d,", v->GetSource(k));
            line.Add(item);
        }
        std::fprintf(f, "Sources: %s<br><br><br>", line.text);
    }
    std::fprintf(f, "</body></html>");
    std::fclose(f);
}
