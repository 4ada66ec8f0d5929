// Picture-sized stores made without paying all their page faults on the
// thread that fills them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tav1::bmp {

// The same store as MakeImage (zero-filled, headers written), but for a large
// one the pages are asked for as huge pages and faulted in from two threads
// before the zero fill, so the kernel's clearing of new pages is shared
// between both cores instead of falling on the calling thread one 4 KiB page
// at a time. On virtual machines a page fault can cost several microseconds:
// 4 KiB pages then make a 192 MB store in about 230 ms even from two threads,
// huge pages in 15-25 ms. Where the kernel first has to compact memory for
// them an allocation can take 150-300 ms, no slower than small pages there.
// Both are hints: where the kernel refuses them the store is the same, only
// slower to make.
std::vector<std::uint8_t> MakeLargeImage(std::int32_t width, std::int32_t height, int bits);

// Replaces `store` by an empty one with room for `bytes`, its pages faulted in
// the same way; for stores then filled by copying.
void ReserveLarge(std::vector<std::uint8_t>& store, std::size_t bytes);

// dst := byte copy of src. A large copy runs in two halves on two threads (a
// store too small is first replaced as by ReserveLarge).
void CopyLarge(std::vector<std::uint8_t>& dst, const std::vector<std::uint8_t>& src);

}  // namespace tav1::bmp
