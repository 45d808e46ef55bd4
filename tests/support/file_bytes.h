#pragma once
// Whole files as bytes for tests, and bytes to fill them with.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/file.h"

namespace testsupport {

using Bytes = std::vector<uint8_t>;

// The bytes of a file; empty when it cannot be opened (a missing file reads as empty).
Bytes ReadFileBytes(const std::string& path);
// The bytes of a file that must be there; throws std::runtime_error when it cannot be read
// whole.
Bytes ReadExistingFile(const std::string& path);
// The same bytes as a string, for texts, scripts and form files.
std::string ReadExistingText(const std::string& path);
// Makes the file (or empties it) with the bytes, and with the modification time when one
// is given; throws std::runtime_error when that fails.
void WriteFileBytes(const std::string& path, const Bytes& bytes);
void WriteFileBytes(const std::string& path, const std::string& bytes);
void WriteFileBytes(const std::string& path, const Bytes& bytes, const platform::LocalTime& time);
void WriteFileBytes(const std::string& path, const std::string& bytes, const platform::LocalTime& time);

// Bytes of the given length drawn from the given values, in a fixed pseudo-random order.
std::string Noise(size_t length, uint32_t seed, const std::string& alphabet);

}  // namespace testsupport
