#pragma once
// Small shared routines of the setup engine: backslashes, fields of separated lists, safe
// file names, the sections of an INI file, unique component names and the Windows
// platform. The routines that need the system itself (temporary files, system folders,
// short paths) are in setup_routines_win32.h; the registry helpers in setup_registry.h.
//
// How it works: everything here is stateless and portable. GetWindowsPlatform asks a
// replaceable version query: the Windows build's default asks the system, the native
// one has no Windows version to give, so native tests install a query of their own and
// take every platform.
#include <cstdint>
#include <functional>
#include <string>

class TComponent;
class TStrings;

namespace setup {

// Appends "\" unless s is empty or ends with one already.
std::string AddBackslash(const std::string& s);
// Drops one trailing "\".
std::string RemoveBackslash(const std::string& s);

// The number of separators in s, plus one when s is not empty and does not end with the
// separator.
int FieldCount(const std::string& s, char separator);
// The n-th field (from 1) between separators; the last runs to the end of s. "" for an
// n outside 1 ... FieldCount.
std::string GetField(const std::string& s, int n, char separator);
// Clears list and adds fields 1 ... FieldCount.
void SplitFields(const std::string& s, char separator, TStrings& list);
// The text after the first ":"; "" when there is none.
std::string AfterColon(const std::string& s);
// A slash becomes "-"; then the double quote and * : ; < > ? \ | are removed.
std::string SafeFileName(const std::string& s);

// Clears list and adds, for each line of the file that (trimmed) is longer than one
// character and begins with "[", the line without its first and last character. A file
// that cannot be read throws as TStrings::LoadFromFile does.
void ReadIniSections(const std::string& fileName, TStrings& list);
// Names component base, or base followed by 1, 2, ... when the name is taken by another
// component of its owner. A base that is no valid name throws as SetName does.
void SetUniqueName(TComponent& component, const std::string& base);

// The system's version as the version query reports it.
struct TWindowsVersion {
  uint32_t PlatformId = 0;  // 0 Win32s, 1 the Windows 95 family, 2 NT
  uint32_t Major = 0;
  uint32_t Minor = 0;
};
// Fills the version; false when the system cannot tell it.
using TWindowsVersionQuery = std::function<bool(TWindowsVersion&)>;
// Installs a query (an empty one puts the build's default back); returns the one before.
TWindowsVersionQuery SetWindowsVersionQuery(TWindowsVersionQuery query);
// 0 Win32s, 1 the Windows 95 family, 2 NT, 3 NT 3.5x, 4 any other platform. EAPIRoutines
// "Could not get information about the current version of Windows" when the query fails.
int GetWindowsPlatform();

// The build's own version query (the system's in the Windows build; none natively).
bool SystemWindowsVersion(TWindowsVersion& version);

}  // namespace setup
