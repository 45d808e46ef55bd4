#pragma once
// The in-memory data streams of one step. They grow in fixed blocks of 30000 bytes, so
// appending never moves earlier data, and the byte stream offers the positional access the
// encoding pass needs. Positions and sizes are signed 64-bit.
#include <cstddef>
#include <cstdint>

#include "patch_engine/dyn_array.h"
#include "platform/file.h"

namespace engine {

constexpr int64_t kStreamBlockSize = 30000;

class ByteStream {
 public:
  ByteStream() = default;
  ~ByteStream() { Clear(); }
  ByteStream(const ByteStream&) = delete;
  ByteStream& operator=(const ByteStream&) = delete;

  void PutByte(uint8_t b);
  void Append(const void* data, size_t len);
  int64_t Size() const { return int64_t(blocks_.Count()) * kStreamBlockSize + fill_; }
  uint8_t ByteAt(int64_t x) const { return *Locate(x); }
  // For j < len, the byte at x + j becomes itself minus (or plus) data[j], modulo 256.
  void SubtractAt(int64_t x, const uint8_t* data, int64_t len);
  void AddAt(int64_t x, const uint8_t* data, int64_t len);
  // Sum of p(v) * log2 p(v) over the byte values of positions from .. to-1 (0 for an empty
  // range): the negative Shannon entropy in bits per byte, so lower means more varied.
  double Entropy(int64_t from, int64_t to) const;
  // Every full block, then the used part of the current one; true when all writes worked.
  bool WriteTo(platform::File& file) const;
  void Clear();

  uint32_t FullBlocks() const { return blocks_.Count(); }

 private:
  uint8_t* Locate(int64_t x) const;
  template <class Op>
  void Combine(int64_t x, const uint8_t* data, int64_t len, Op op);
  void NewBlock();

  DynArray blocks_;
  uint8_t* current_ = nullptr;
  int64_t fill_ = 0;
};

class BitStream {
 public:
  BitStream() = default;
  ~BitStream() { Clear(); }
  BitStream(const BitStream&) = delete;
  BitStream& operator=(const BitStream&) = delete;

  // Bits fill each byte from its least significant bit up.
  void PutBit(int bit);
  // Stored bytes, plus one for a pending partial byte.
  int64_t Size() const {
    return int64_t(blocks_.Count()) * kStreamBlockSize + fill_ + (count_ > 0 ? 1 : 0);
  }
  // Like the byte stream; a pending partial byte is written last (its high bits 0) and
  // stays pending.
  bool WriteTo(platform::File& file) const;
  void Clear();

  uint32_t FullBlocks() const { return blocks_.Count(); }

 private:
  void NewBlock();

  DynArray blocks_;
  uint8_t* current_ = nullptr;
  int64_t fill_ = 0;
  uint8_t accumulator_ = 0;
  int count_ = 0;
};

// The engine's seven streams of a step.
struct DataStreams {
  ByteStream number;          // numbers and group values k
  BitStream wideBits;         // third- and fourth-byte width bits, literal chunk delta bits
  BitStream signBits;         // sign bits and second-byte width bits
  ByteStream literal;         // bytes of literal runs
  ByteStream plainExtension;  // extension bytes as they are
  ByteStream diffExtension;   // extension bytes as differences to the source
  ByteStream kValues;         // one k per group, in order, for the encoding pass

  void Clear();
};
// The streams of this thread.
DataStreams& Streams();
// On a helper thread: frees its streams before it ends.
void ReleaseHelperStreams();

// ln x for x > 0, computed with the same IEEE double operations on every platform (no
// library call), so that both builds take the same entropy decisions.
double PortableLog(double x);

}  // namespace engine
