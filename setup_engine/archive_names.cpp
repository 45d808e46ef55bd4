#include "setup_engine/archive_names.h"

#include <cstdint>

#include "framework/core/sysutils.h"

namespace setup {
namespace {

// A part made of dots only (and blanks) beyond a single dot names a parent folder.
bool IsParentPart(const std::string& part) {
  size_t dots = 0;
  for (char c : part) {
    if (c == '.') ++dots;
    else if (c != ' ') return false;
  }
  return dots >= 2;
}

// True when one of the parts of name, split at every separator a Windows path knows,
// climbs out of its folder.
bool ClimbsOut(const std::string& name) {
  size_t start = 0;
  for (;;) {
    size_t end = name.find_first_of("\\/:", start);
    if (IsParentPart(name.substr(start, end == std::string::npos ? end : end - start))) return true;
    if (end == std::string::npos) return false;
    start = end + 1;
  }
}

// A name that can stand as one file inside a folder: not blank, not dots only, and free of
// control characters.
bool IsPlainFileName(const std::string& name) {
  if (Trim(name).empty() || name.find_first_not_of(". ") == std::string::npos) return false;
  for (char c : name)
    if (uint8_t(c) < 32) return false;
  return true;
}

}  // namespace

std::string SafeExtractName(const std::string& name) {
  std::string last = ExtractFileName(name);
  return ClimbsOut(name) || !IsPlainFileName(last) ? std::string() : last;
}

}  // namespace setup
