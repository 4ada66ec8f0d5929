#include "codecs/large_image.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <system_error>
#include <thread>

#include "codecs/bmp_layout.h"

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23  // Linux 5.14; older kernels refuse it with EINVAL
#endif

namespace tav1::bmp {
namespace {

constexpr std::uintptr_t kPage = 4096;
constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
// Below this a store is made the ordinary way: too few pages to gain anything.
constexpr std::size_t kLargeBytes = std::size_t{4} << 20;

void Populate(std::uintptr_t b, std::uintptr_t e) {
  if (e > b) madvise(reinterpret_cast<void*>(b), e - b, MADV_POPULATE_WRITE);
}

}  // namespace

void ReserveLarge(std::vector<std::uint8_t>& store, std::size_t bytes) {
  std::vector<std::uint8_t>().swap(store);  // the old block goes before the new one is taken
  store.reserve(bytes);
  if (bytes < kLargeBytes) return;
  const auto begin = reinterpret_cast<std::uintptr_t>(store.data());
  const std::uintptr_t first = (begin + kPage - 1) & ~(kPage - 1);
  const std::uintptr_t last = (begin + bytes) & ~(kPage - 1);
  if (last <= first) return;
  madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
  // Split on a 2 MiB boundary, so the halves never share a page even where
  // the kernel backs the store with huge pages of its own accord.
  const std::uintptr_t mid = std::clamp((first + (last - first) / 2 + kHuge - 1) & ~(kHuge - 1), first, last);
  std::thread other;
  try {
    other = std::thread([=] { Populate(mid, last); });
  } catch (const std::system_error&) {
    Populate(mid, last);  // no second thread to be had: all on this one
  }
  Populate(first, mid);
  if (other.joinable()) other.join();
}

void CopyLarge(std::vector<std::uint8_t>& dst, const std::vector<std::uint8_t>& src) {
  if (&dst == &src) return;
  const std::size_t n = src.size();
  if (n < kLargeBytes) {
    dst = src;
    return;
  }
  if (dst.capacity() < n) ReserveLarge(dst, n);
  dst.resize(n);  // zero-fills only what the store grows by
  const std::size_t half = n / 2;
  auto copy = [&](std::size_t b, std::size_t e) { std::memcpy(dst.data() + b, src.data() + b, e - b); };
  std::thread other;
  try {
    other = std::thread(copy, half, n);
  } catch (const std::system_error&) {
    copy(half, n);
  }
  copy(0, half);
  if (other.joinable()) other.join();
}

std::vector<std::uint8_t> MakeLargeImage(std::int32_t width, std::int32_t height, int bits) {
  const std::size_t bytes = static_cast<std::size_t>(ImageBytes(width, height, bits));
  std::vector<std::uint8_t> s;
  ReserveLarge(s, bytes);
  s.resize(bytes);  // zero, as MakeImage leaves it; the pages are there already
  if (bytes != 0) WriteHeaders(s.data(), width, height, bits);
  return s;
}

}  // namespace tav1::bmp
