#pragma once
// The plain patch of an identical 1000-byte source and target, spelled out byte by byte:
// backup name "Backup", empty identification blocks, target stamped 2001-02-03 04:05:06.
#include <cstdint>
#include <vector>

namespace golden {

inline std::vector<uint8_t> Content1000() {
  std::vector<uint8_t> v(1000);
  for (size_t i = 0; i < v.size(); ++i) v[i] = uint8_t(i * 31 + 7);
  return v;
}

constexpr uint32_t kStamp = 0x2A4320A3;  // 2001-02-03 04:05:06 as a DOS date-time

inline std::vector<uint8_t> PlainPatch144() {
  std::vector<uint8_t> f = {0x43, 0x84, 0x7F, 0x3E,  // magic
                            0xBE, 0x00, 0x00, 0x00,  // format version 190
                            0x01,                    // file versions
                            0x00};                   // stored stream
  f.resize(76);                                      // empty identification blocks, L = 0
  const uint8_t rest[] = {
      0x06, 'B', 'a', 'c', 'k', 'u', 'p',              // backup name
      0xE1, 0xE9, 0xFD, 0x76, 0xE8, 0x03, 0x00, 0x00,  // target CRC-32 and length
      0xA3, 0x20, 0x43, 0x2A, 0x01, 0x00, 0x00, 0x00,  // stamp, one step, flags 0
      0xE1, 0xE9, 0xFD, 0x76, 0xE8, 0x03, 0x00, 0x00,  // source CRC-32 and length
      0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // number 4, wide-bit 0 bytes
      0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // sign-bit 1, literal 0 bytes
      0x00, 0x00, 0x00, 0x00, 0xBE, 0x00, 0x02, 0x14,  // extension 0, G 190, plain, C 20
      0x03, 0xE8, 0x00, 0x00,                          // copy 1000, offset +0, k 0
      0x02,                                            // signs 0 (wide) 1, 0 (narrow) 0
      0x90, 0x00, 0x00, 0x00, 0x43, 0x84, 0x7F, 0x3E,  // trailer: 144 bytes, magic
  };
  f.insert(f.end(), rest, rest + sizeof rest);
  return f;
}

}  // namespace golden
