#pragma once
// Reflected CRC-32 (polynomial 0xEDB88320). Callers start the register at 0xFFFFFFFF and
// keep it without a final complement.
#include <cstddef>
#include <cstdint>

namespace engine {

constexpr uint32_t kCrcStart = 0xFFFFFFFFu;
uint32_t Crc32Update(const void* data, size_t count, uint32_t crc);

}  // namespace engine
