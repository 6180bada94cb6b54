#pragma once

namespace keldarn::earth {

// Some libraries (Qt's GUI start-up among them) return with the upper halves of the AVX
// registers still in use. Until something clears them, every switch between SSE and AVX
// code stalls, which makes glibc's atan2 over ten times slower and with it every terrain
// pick. This clears them (vzeroupper); it costs a cycle and does nothing without AVX.
void ClearUpperVectorState();

}  // namespace keldarn::earth
