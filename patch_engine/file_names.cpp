#include "patch_engine/file_names.h"

#include <cstring>
#include <vector>

#include "framework/core/sysutils.h"

namespace engine {

namespace {
uint32_t newestStamp = 0;
}

uint32_t PackDosTime(const platform::LocalTime& t) {
  if (t.year < 1980) return (1u << 21) | (1u << 16);
  if (t.year > 2107) return (127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u;
  auto clamp = [](int v, int lo, int hi) { return uint32_t(v < lo ? lo : v > hi ? hi : v); };
  return (uint32_t(t.year - 1980) << 25) | (clamp(t.month, 1, 12) << 21) |
         (clamp(t.day, 1, 31) << 16) | (clamp(t.hour, 0, 23) << 11) |
         (clamp(t.minute, 0, 59) << 5) | (clamp(t.second, 0, 59) / 2);
}

uint32_t FileDosTimeStamp(platform::File& file) {
  platform::LocalTime t;
  if (!file.ModificationTime(t)) t = platform::LocalTime{};
  uint32_t stamp = PackDosTime(t);
  if (stamp > newestStamp) newestStamp = stamp;
  return stamp;
}

uint32_t NewestStamp() { return newestStamp; }
void ResetNewestStamp() { newestStamp = 0; }

std::string FoldedName(const std::string& name) { return LowerCase(name); }

bool DirectoryContains(const std::string& dir, const std::string& name) {
  std::vector<platform::DirEntry> entries;
  if (!platform::ListDirectory(dir, entries)) return false;
  for (const auto& e : entries)
    if (SameText(e.name, name)) return true;
  return false;
}

bool FindOnPath(const std::string& name) {
  std::string path = platform::GetEnvironment("PATH");
  const char sep = platform::PathListSeparator();
  size_t start = 0;
  while (start < path.size()) {
    size_t end = path.find(sep, start);
    if (end == std::string::npos) end = path.size();
    if (end > start && DirectoryContains(path.substr(start, end - start), name)) return true;
    start = end + 1;
  }
  return DirectoryContains(".", name);
}

size_t ForbiddenCharacter(const std::string& text, bool singleName) {
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 32 || std::strchr("\"<>|*?", c) || (singleName && std::strchr("\\/:", c))) return i;
  }
  return std::string::npos;
}

std::string DescribeCharacter(char c) {
  const unsigned char code = static_cast<unsigned char>(c);
  if (code >= 32) return std::string("the character '") + c + "'";
  static const char hex[] = "0123456789ABCDEF";
  return std::string("the control character 0x") + hex[code >> 4] + hex[code & 15];
}

}  // namespace engine
