// The state of a body relative to a reference at a date, on the built-in solar system.
#include "plan/internal.h"
#include "zaq/hostsim.h"
#include "zaq/vector3.h"

namespace zaq::plan {

Result<State> Ephemeris(const EphemerisRequest& request) {
    if (auto refused = detail::CheckDate("the date", request.mjd)) return *refused;
    if (!hostsim::LoadSolarSystem(request.mjd)) return Error{hostsim::LastError()};
    OBJHANDLE body = oapiGetObjectByName(request.body.c_str());
    if (!body) return Error{"unknown body '" + Shown(request.body) + "'"};
    OBJHANDLE ref = request.ref.empty() ? detail::DefaultReference(body)
                                        : oapiGetObjectByName(request.ref.c_str());
    if (!ref) return Error{"unknown reference '" + Shown(request.ref) + "'"};
    State s;
    s.body = detail::NameOf(body);
    s.ref = detail::NameOf(ref);
    if (ref == body) return Error{"the body and its reference are the same (" + s.ref + ")"};
    s.mjd = request.mjd;
    VECTOR3 pos{}, vel{};
    oapiGetRelativePos(body, ref, &pos);
    oapiGetRelativeVel(body, ref, &vel);
    s.position = SwapYZ(pos);
    s.velocity = SwapYZ(vel);
    return s;
}

}  // namespace zaq::plan
