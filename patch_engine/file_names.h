#pragma once
// Time stamps and name helpers of the engine.
#include <cstdint>
#include <string>

#include "platform/file.h"

namespace engine {

// Packs a local time as a DOS date-time; times before 1980 or after 2107 are clamped to
// the nearest representable stamp.
uint32_t PackDosTime(const platform::LocalTime& t);
// The open file's modification stamp in local time (1 January 1980 when the system cannot
// tell); remembers the newest stamp returned since the last ResetNewestStamp.
uint32_t FileDosTimeStamp(platform::File& file);
uint32_t NewestStamp();
void ResetNewestStamp();

// The key of a name or path in the tables of directory mode: names that SameText finds
// equal have the same key.
std::string FoldedName(const std::string& name);
// True when dir can be opened as a directory and holds an entry named name, ignoring the case
// of ASCII letters (SameText).
bool DirectoryContains(const std::string& dir, const std::string& name);
// DirectoryContains for every directory of PATH, then for the current directory ".".
bool FindOnPath(const std::string& name);

// Where text holds a character that Windows forbids in file names: one of " < > | * ? and
// the control characters (codes 0 to 31) and, when text is a single name rather than a
// path, also the separators \ and / and the colon. npos when there is none.
size_t ForbiddenCharacter(const std::string& text, bool singleName);
// The character as messages name it: "the character '|'" or "the control character 0x0A".
std::string DescribeCharacter(char c);

}  // namespace engine
