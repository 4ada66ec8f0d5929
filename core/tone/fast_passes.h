// The 24-bit passes and the grey-ramp 8-bit pass on two threads with the
// vector kernels. Same contract as the plain passes in passes.h (rows
// bottom-up, a row only when it lies wholly inside both stores, padding bytes
// copied from the source, stop at the first row that does not fit) except
// that the pump runs once per round of row slices instead of after every row.
// The pass guard stays with the caller (passes.cpp).
#pragma once

#include <cstdint>

#include "core/image/working_image.h"
#include "core/tone/passes.h"
#include "core/tone/tables.h"

namespace tav1::fast {

// Normal-mode 24-bit rows with S (a 32-bit float, as the pass holds it).
// Returns the rows written. Pump once per round.
int Apply24AllRows(const Store& src, Store& dst, const Geometry& geo, const ToneTables& tables,
                   float S, bool byKido, bool bySatu, const PassHooks& hooks);

// Solo 24-bit rows (soloChannel 0 red, 1 green, 2 blue). The progress texts
// are those of the plain pass, every one of them and in the same order:
// "のこり " + (Yend - n) + " ライン" for each written row n with n mod 16 = 15.
// The final 20 spaces are left to the caller.
int Apply24SoloRows(const Store& src, Store& dst, const Geometry& geo, const ToneTables& tables,
                    int soloChannel, const PassHooks& hooks);

// Grey-ramp 8-bit rows through TableG; no pump (as the plain pass).
int Apply8GrayRows(const Store& src, Store& dst, const Geometry& geo, const ToneTables& tables);

}  // namespace tav1::fast
