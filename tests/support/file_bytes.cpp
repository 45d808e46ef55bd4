#include "tests/support/file_bytes.h"

#include <stdexcept>

namespace testsupport {

namespace {

void Write(const std::string& path, const void* data, size_t size, const platform::LocalTime* time) {
  platform::File f;
  if (!f.Open(path, platform::OpenMode::Write) || (size > 0 && f.Write(data, size) != size) ||
      (time && !f.SetModificationTime(*time)) || !f.Close())
    throw std::runtime_error("cannot write " + path);
}

}  // namespace

Bytes ReadFileBytes(const std::string& path) {
  platform::File f;
  if (!f.Open(path, platform::OpenMode::Read)) return {};
  const int64_t size = f.Size();
  if (size <= 0) return {};
  Bytes v(size_t(size), 0);
  v.resize(f.Read(v.data(), v.size()));
  return v;
}

Bytes ReadExistingFile(const std::string& path) {
  platform::File f;
  if (!f.Open(path, platform::OpenMode::Read)) throw std::runtime_error("cannot read " + path);
  const int64_t size = f.Size();
  if (size < 0) throw std::runtime_error("cannot read " + path);
  Bytes v(size_t(size), 0);
  if (f.Read(v.data(), v.size()) != v.size()) throw std::runtime_error("short read " + path);
  return v;
}

std::string ReadExistingText(const std::string& path) {
  const Bytes b = ReadExistingFile(path);
  return std::string(b.begin(), b.end());
}

void WriteFileBytes(const std::string& path, const Bytes& bytes) {
  Write(path, bytes.data(), bytes.size(), nullptr);
}
void WriteFileBytes(const std::string& path, const std::string& bytes) {
  Write(path, bytes.data(), bytes.size(), nullptr);
}
void WriteFileBytes(const std::string& path, const Bytes& bytes, const platform::LocalTime& time) {
  Write(path, bytes.data(), bytes.size(), &time);
}
void WriteFileBytes(const std::string& path, const std::string& bytes, const platform::LocalTime& time) {
  Write(path, bytes.data(), bytes.size(), &time);
}

std::string Noise(size_t length, uint32_t seed, const std::string& alphabet) {
  std::string out(length, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (char& c : out) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = alphabet[x % alphabet.size()];
  }
  return out;
}

}  // namespace testsupport
