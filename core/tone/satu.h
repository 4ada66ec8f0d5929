// The saturation step applied to one table-mapped colour: distances from the
// luminance are scaled by a gain, optionally damped for dark colours
// (luminance damping, "KidoRdc") and for already saturated colours
// (saturation damping, "SatuRdc"), then pulled back into 0..255.
//
// This is the scalar reference: exact, callable per colour. Faster paths must
// give the same result for every one of the 2^24 colours.
#pragma once

#include <cstdint>

#include "core/image/working_image.h"

namespace tav1 {

// The saturation factor S = slider position / 10. The 24-bit pass holds it as
// a 32-bit float and the palette pass as a double; the two differ in the last
// level for some colours (slider 3 on (6, 100, 100) gives red 51 against 52),
// so each pass must take its own.
float SatuFactor24(int sliderPosition);
double SatuFactorPalette(int sliderPosition);

// R, G, B are table outputs 0..255. S is the factor above, widened to double
// without change (a 32-bit S converts exactly). Returns the new colour.
TTriple SatuUpTriple(std::uint8_t R, std::uint8_t G, std::uint8_t B, double S, bool byKido,
                     bool bySatu);

}  // namespace tav1
