#pragma once
// Explicit little-endian encoding of the integers in the programs' file formats.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace platform {

inline void PutU16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
inline void PutU32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}
inline uint16_t GetU16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t GetU32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// Appends little-endian values to a byte vector.
class ByteWriter {
 public:
  void U8(uint8_t v) { bytes_.push_back(v); }
  void U16(uint16_t v) {
    uint8_t b[2];
    PutU16(b, v);
    bytes_.insert(bytes_.end(), b, b + 2);
  }
  void U32(uint32_t v) {
    uint8_t b[4];
    PutU32(b, v);
    bytes_.insert(bytes_.end(), b, b + 4);
  }
  void Bytes(const void* data, size_t n) {
    auto p = static_cast<const uint8_t*>(data);
    bytes_.insert(bytes_.end(), p, p + n);
  }
  const std::vector<uint8_t>& Data() const { return bytes_; }
  std::vector<uint8_t>& Data() { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace platform
