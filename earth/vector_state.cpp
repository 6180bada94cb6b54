#include "earth/vector_state.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace keldarn::earth {

#if defined(__x86_64__) && defined(__GNUC__)

namespace {

__attribute__((target("avx"))) void ZeroUpper()
{
    _mm256_zeroupper();
}

}  // namespace

void ClearUpperVectorState()
{
    static const bool hasAvx = __builtin_cpu_supports("avx");
    if (hasAvx)
        ZeroUpper();
}

#else

void ClearUpperVectorState()
{
}

#endif

}  // namespace keldarn::earth
