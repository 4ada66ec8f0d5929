// Picture-sized stores made without paying all their page faults on the
// thread that fills them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tav1::bmp {

// The same store as MakeImage (zero-filled, headers written), but for a large
// one the pages are faulted in from two threads before the zero fill, so the
// kernel's clearing of new pages is shared between both cores instead of
// falling on the calling thread one 4 KiB page at a time. Huge pages are not
// asked for: where the kernel compacts memory for them on demand, that now and
// then stalled an allocation for 200-400 ms. Faulting in is a hint: where the
// kernel refuses it the store is the same, only slower to make.
std::vector<std::uint8_t> MakeLargeImage(std::int32_t width, std::int32_t height, int bits);

// Replaces `store` by an empty one with room for `bytes`, its pages faulted in
// the same way; for stores then filled by copying.
void ReserveLarge(std::vector<std::uint8_t>& store, std::size_t bytes);

// dst := byte copy of src. A large copy runs in two halves on two threads (a
// store too small is first replaced as by ReserveLarge).
void CopyLarge(std::vector<std::uint8_t>& dst, const std::vector<std::uint8_t>& src);

}  // namespace tav1::bmp
