// CVectorInt: the dynamic vector of ints. Scalar division truncates toward zero; callers never
// divide by 0.
#include "linalg/BasicVector.h"
#include "zaq/linalg.h"

template <>
const zaq::linalg::VectorNames zaq::linalg::kVectorNames<CVectorInt> = {
    {__FILE__, __LINE__},      "CVectorInt::ReSize",      "CVectorInt::Write",
    "CVectorInt::operator +=", "CVectorInt::operator -=", "CVectorInt::operator +",
    "CVectorInt::operator -"};

// All shared members, compiled here once.
template class zaq::BasicVector<int, CVectorInt>;
