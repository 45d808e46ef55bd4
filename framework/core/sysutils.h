#pragma once
// String, number and path helpers over ANSI bytes. Case mapping and the number separators
// come from a replaceable locale (the Windows build installs the system's), so the portable
// code never asks the operating system itself.
#include <cstdint>
#include <functional>
#include <string>
#include <variant>
#include <vector>

struct TLocale {
  char ThousandSeparator = ',';
  char DecimalSeparator = '.';
  std::function<std::string(const std::string&)> Upper;  // empty: ASCII only
  std::function<std::string(const std::string&)> Lower;
  std::function<bool(uint8_t)> IsLeadByte;                 // empty: single-byte code page
};
// Installs a locale and returns the one it replaces.
TLocale SetLocale(TLocale locale);
const TLocale& Locale();

std::string AnsiUpperCase(const std::string& s);
std::string AnsiLowerCase(const std::string& s);
// By the locale's case mapping.
int AnsiCompareText(const std::string& a, const std::string& b);
bool AnsiSameText(const std::string& a, const std::string& b);
std::string UpperCase(const std::string& s);  // ASCII letters only
std::string LowerCase(const std::string& s);
// Equal but for the case of ASCII letters, whatever the locale: for names of classes,
// properties, files and keys that must compare alike on every system.
bool SameText(const std::string& a, const std::string& b);
std::string Trim(const std::string& s);
std::string TrimLeft(const std::string& s);
std::string TrimRight(const std::string& s);

std::string IntToStr(int64_t v);
std::string IntToHex(uint64_t v, int digits);
int StrToInt(const std::string& s);  // EConvertError: "'x' is not a valid integer value"
int StrToIntDef(const std::string& s, int def);

using TFormatArg = std::variant<int64_t, double, std::string>;
// %d %u %x %s %n %f %%, each with optional "-", width and ".precision"; %n groups thousands
// with the locale's separator. A missing or mistyped argument: EConvertError.
std::string Format(const std::string& format, const std::vector<TFormatArg>& args);
// Format for message texts, which must come out whatever their arguments (a translated
// text may ask for others than the English one): a text fills %d as it stands, and a
// conversion that no argument fits (none left, one of another kind, an unknown letter, a
// "%" at the end) is copied as written, leaving its argument to the next conversion.
std::string FormatTolerant(const std::string& format, const std::vector<TFormatArg>& args);

// Paths use "\" and, for the drive, ":" as delimiters ("/" too).
std::string ExtractFilePath(const std::string& path);   // up to and with the last "\"
std::string ExtractFileName(const std::string& path);
std::string ExtractFileExt(const std::string& path);    // with the dot
std::string ChangeFileExt(const std::string& path, const std::string& ext);
std::string IncludeTrailingBackslash(const std::string& path);
std::string ExcludeTrailingBackslash(const std::string& path);
