#include "patch_engine/data_streams.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "patch_engine/engine_errors.h"
#include "patch_engine/helper_threads.h"

namespace engine {

namespace {

uint8_t* AllocBlock(const EngineMessage& purpose) {
  return static_cast<uint8_t*>(CheckedAlloc(size_t(kStreamBlockSize), purpose));
}

void FreeBlocks(DynArray& blocks) {
  for (uint32_t i = 0; i < blocks.Count(); ++i) std::free(blocks.Get(i));
  blocks.Clear();
}

bool WriteBlocks(platform::File& file, const DynArray& blocks) {
  for (uint32_t i = 0; i < blocks.Count(); ++i)
    if (file.Write(blocks.Get(i), size_t(kStreamBlockSize)) != size_t(kStreamBlockSize))
      return false;
  return true;
}

}  // namespace

// ---- ByteStream ----

void ByteStream::NewBlock() {
  fill_ = 0;
  current_ = AllocBlock(msg::NoMemoryForByteStream);
}

void ByteStream::PutByte(uint8_t b) {
  if (!current_) NewBlock();
  current_[fill_++] = b;
  if (fill_ == kStreamBlockSize) {
    blocks_ << current_;
    current_ = nullptr;  // a failing allocation must not leave a stale pointer behind
    NewBlock();
  }
}

void ByteStream::Append(const void* data, size_t len) {
  auto in = static_cast<const uint8_t*>(data);
  while (len > 0) {
    if (!current_) NewBlock();
    size_t take = size_t(kStreamBlockSize - fill_);
    if (take > len) take = len;
    std::memcpy(current_ + fill_, in, take);
    fill_ += int64_t(take);
    in += take;
    len -= take;
    if (fill_ == kStreamBlockSize) {
      blocks_ << current_;
      current_ = nullptr;
      NewBlock();
    }
  }
}

uint8_t* ByteStream::Locate(int64_t x) const {
  int64_t full = int64_t(blocks_.Count()) * kStreamBlockSize;
  if (x < full) return static_cast<uint8_t*>(blocks_.Get(uint32_t(x / kStreamBlockSize))) + x % kStreamBlockSize;
  return current_ + x % kStreamBlockSize;
}

template <class Op>
void ByteStream::Combine(int64_t x, const uint8_t* data, int64_t len, Op op) {
  while (len > 0) {
    int64_t inBlock = kStreamBlockSize - x % kStreamBlockSize;
    int64_t take = inBlock < len ? inBlock : len;
    uint8_t* p = Locate(x);
    for (int64_t j = 0; j < take; ++j) p[j] = op(p[j], data[j]);
    x += take;
    data += take;
    len -= take;
  }
}

void ByteStream::SubtractAt(int64_t x, const uint8_t* data, int64_t len) {
  Combine(x, data, len, [](uint8_t a, uint8_t b) { return uint8_t(a - b); });
}

void ByteStream::AddAt(int64_t x, const uint8_t* data, int64_t len) {
  Combine(x, data, len, [](uint8_t a, uint8_t b) { return uint8_t(a + b); });
}

double ByteStream::Entropy(int64_t from, int64_t to) const {
  if (from >= to) return 0.0;
  int64_t counts[256] = {};
  // The values that occur, in ascending order: the terms are summed in that order.
  uint8_t seen[256];
  int distinct = 0;
  for (int64_t x = from; x < to;) {
    int64_t inBlock = kStreamBlockSize - x % kStreamBlockSize;
    int64_t take = inBlock < to - x ? inBlock : to - x;
    const uint8_t* p = Locate(x);
    for (int64_t j = 0; j < take; ++j)
      if (counts[p[j]]++ == 0) seen[distinct++] = p[j];
    x += take;
  }
  std::sort(seen, seen + distinct);
  const double total = double(to - from);
  const double ln2 = PortableLog(2.0);
  double sum = 0.0;
  for (int k = 0; k < distinct; ++k) {
    double p = double(counts[seen[k]]) / total;
    sum += p * (PortableLog(p) / ln2);
  }
  return sum;
}

bool ByteStream::WriteTo(platform::File& file) const {
  if (!WriteBlocks(file, blocks_)) return false;
  return fill_ == 0 || file.Write(current_, size_t(fill_)) == size_t(fill_);
}

void ByteStream::Clear() {
  FreeBlocks(blocks_);
  std::free(current_);
  current_ = nullptr;
  fill_ = 0;
}

// ---- BitStream ----

void BitStream::NewBlock() {
  fill_ = 0;
  current_ = AllocBlock(msg::ForBitStream);
}

void BitStream::PutBit(int bit) {
  if (!current_) NewBlock();
  if (bit) accumulator_ = uint8_t(accumulator_ | (1u << count_));
  if (++count_ < 8) return;
  current_[fill_++] = accumulator_;
  accumulator_ = 0;
  count_ = 0;
  if (fill_ == kStreamBlockSize) {
    blocks_ << current_;
    current_ = nullptr;
    NewBlock();
  }
}

bool BitStream::WriteTo(platform::File& file) const {
  if (!WriteBlocks(file, blocks_)) return false;
  if (fill_ > 0 && file.Write(current_, size_t(fill_)) != size_t(fill_)) return false;
  return count_ == 0 || file.Write(&accumulator_, 1) == 1;
}

void BitStream::Clear() {
  FreeBlocks(blocks_);
  std::free(current_);
  current_ = nullptr;
  fill_ = 0;
  accumulator_ = 0;
  count_ = 0;
}

// ---- the engine's streams ----

void DataStreams::Clear() {
  number.Clear();
  wideBits.Clear();
  signBits.Clear();
  literal.Clear();
  plainExtension.Clear();
  diffExtension.Clear();
  kValues.Clear();
}

namespace {
thread_local DataStreams* threadStreams = nullptr;
}  // namespace

DataStreams& Streams() {
  static DataStreams run;
  return ThreadObject(threadStreams, run);
}

void ReleaseHelperStreams() { ReleaseHelperObject(threadStreams); }

double PortableLog(double x) {
  // x = m * 2^e with m in [sqrt(1/2), sqrt(2)); ln m = 2 atanh(s), s = (m - 1) / (m + 1),
  // summed as a fixed series (|s| < 0.172, so 12 terms reach full double precision).
  int e = 0;
  double m = std::frexp(x, &e);
  if (m < 0.70710678118654752) {
    m *= 2.0;
    e -= 1;
  }
  const double s = (m - 1.0) / (m + 1.0);
  const double s2 = s * s;
  double series = 1.0 / 23.0;
  for (int k = 10; k >= 0; --k) series = series * s2 + 1.0 / double(2 * k + 1);
  const double ln2 = 0.69314718055994530942;
  return double(e) * ln2 + 2.0 * s * series;
}

}  // namespace engine
