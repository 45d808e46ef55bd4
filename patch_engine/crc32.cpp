#include "patch_engine/crc32.h"

#include <array>

namespace engine {

namespace {
// Table k gives the register change of a byte followed by k zero bytes, so eight bytes
// are folded in with eight look-ups (the same register as eight single steps).
using Tables = std::array<std::array<uint32_t, 256>, 8>;
constexpr Tables MakeTables() {
  Tables t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[0][i] = c;
  }
  for (int k = 1; k < 8; ++k)
    for (uint32_t i = 0; i < 256; ++i) t[k][i] = t[0][t[k - 1][i] & 0xFF] ^ (t[k - 1][i] >> 8);
  return t;
}
constexpr Tables kTables = MakeTables();
}  // namespace

uint32_t Crc32Update(const void* data, size_t count, uint32_t crc) {
  auto p = static_cast<const uint8_t*>(data);
  const auto& t = kTables;
  for (; count >= 8; count -= 8, p += 8) {
    const uint32_t lo = crc ^ (uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                               uint32_t(p[3]) << 24);
    crc = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
          t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
  }
  for (; count > 0; --count, ++p) crc = t[0][(crc ^ *p) & 0xFF] ^ (crc >> 8);
  return crc;
}

}  // namespace engine
