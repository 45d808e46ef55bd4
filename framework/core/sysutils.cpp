#include "framework/core/sysutils.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "framework/core/exceptions.h"

namespace {
TLocale& Current() {
  static TLocale locale;
  return locale;
}
bool IsDelimiter(char c) { return c == '\\' || c == '/' || c == ':'; }
}  // namespace

TLocale SetLocale(TLocale locale) {
  TLocale old = std::move(Current());
  Current() = std::move(locale);
  return old;
}

const TLocale& Locale() { return Current(); }

std::string UpperCase(const std::string& s) {
  std::string r = s;
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return r;
}

std::string LowerCase(const std::string& s) {
  std::string r = s;
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return r;
}

std::string AnsiUpperCase(const std::string& s) {
  return Locale().Upper ? Locale().Upper(s) : UpperCase(s);
}

std::string AnsiLowerCase(const std::string& s) {
  return Locale().Lower ? Locale().Lower(s) : LowerCase(s);
}

int AnsiCompareText(const std::string& a, const std::string& b) {
  std::string x = AnsiUpperCase(a), y = AnsiUpperCase(b);
  int c = x.compare(y);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

bool AnsiSameText(const std::string& a, const std::string& b) { return AnsiCompareText(a, b) == 0; }

bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::string TrimLeft(const std::string& s) {
  size_t i = 0;
  while (i < s.size() && uint8_t(s[i]) <= ' ') ++i;
  return s.substr(i);
}

std::string TrimRight(const std::string& s) {
  size_t n = s.size();
  while (n > 0 && uint8_t(s[n - 1]) <= ' ') --n;
  return s.substr(0, n);
}

std::string Trim(const std::string& s) { return TrimLeft(TrimRight(s)); }

std::string IntToStr(int64_t v) { return std::to_string(v); }

std::string IntToHex(uint64_t v, int digits) {
  static const char* hex = "0123456789ABCDEF";
  std::string r;
  do {
    r.insert(r.begin(), hex[v & 15]);
    v >>= 4;
  } while (v);
  while (int(r.size()) < digits) r.insert(r.begin(), '0');
  return r;
}

int StrToInt(const std::string& s) {
  std::string t = Trim(s);
  size_t i = 0;
  bool neg = false;
  if (i < t.size() && (t[i] == '-' || t[i] == '+')) neg = t[i++] == '-';
  int base = 10;
  if (i < t.size() && t[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= t.size()) throw EConvertError("'" + s + "' is not a valid integer value");
  int64_t v = 0;
  for (; i < t.size(); ++i) {
    char c = t[i];
    int d = c >= '0' && c <= '9'   ? c - '0'
            : c >= 'a' && c <= 'f' ? c - 'a' + 10
            : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                   : 99;
    if (d >= base) throw EConvertError("'" + s + "' is not a valid integer value");
    v = v * base + d;
    if (v > int64_t(std::numeric_limits<uint32_t>::max()))
      throw EConvertError("'" + s + "' is not a valid integer value");
  }
  if (neg) v = -v;
  // Hexadecimal spells the whole 32-bit pattern; decimal must fit a signed int.
  if (base == 16 && v > std::numeric_limits<int32_t>::max()) v -= int64_t(1) << 32;
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
    throw EConvertError("'" + s + "' is not a valid integer value");
  return int(v);
}

int StrToIntDef(const std::string& s, int def) {
  try {
    return StrToInt(s);
  } catch (const EConvertError&) {
    return def;
  }
}

namespace {
std::string Group(const std::string& digits) {
  std::string out;
  int n = int(digits.size());
  for (int i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0 && Locale().ThousandSeparator) out += Locale().ThousandSeparator;
    out += digits[size_t(i)];
  }
  return out;
}

std::string FixedText(double v, int prec, bool group) {
  // Halves round away from zero, whatever the C library's rounding of the binary value.
  char buf[400];
  double scale = std::pow(10.0, prec), scaled = std::fabs(v) * scale;
  if (prec <= 15 && scaled < 1e15)
    std::snprintf(buf, sizeof buf, "%.*f", prec, std::floor(scaled + 0.5) / scale);
  else
    std::snprintf(buf, sizeof buf, "%.*f", prec, std::fabs(v));
  std::string s = buf;
  size_t dot = s.find('.');
  std::string whole = s.substr(0, dot), frac = dot == std::string::npos ? "" : s.substr(dot + 1);
  std::string out = std::signbit(v) && s.find_first_not_of("0.") != std::string::npos ? "-" : "";
  out += group ? Group(whole) : whole;
  if (!frac.empty()) out += Locale().DecimalSeparator + frac;
  return out;
}

// The text of one conversion with its argument; false when the argument does not fit it
// (or the conversion is unknown). textAsNumber lets a text argument stand for %d.
bool Convert(char conversion, const TFormatArg& a, int prec, bool textAsNumber,
             std::string& piece) {
  switch (conversion) {
    case 'd':
    case 'u': {
      if (textAsNumber && conversion == 'd' && std::holds_alternative<std::string>(a)) {
        piece = std::get<std::string>(a);
        return true;
      }
      if (!std::holds_alternative<int64_t>(a)) return false;
      int64_t v = std::get<int64_t>(a);
      if (conversion == 'u') v = int64_t(uint32_t(v));
      std::string digits = std::to_string(v < 0 ? -(v + 1) + uint64_t(1) : uint64_t(v));
      while (prec > 0 && int(digits.size()) < prec) digits.insert(digits.begin(), '0');
      piece = (v < 0 ? "-" : "") + digits;
      return true;
    }
    case 'x':
      if (!std::holds_alternative<int64_t>(a)) return false;
      piece = IntToHex(uint32_t(std::get<int64_t>(a)), prec < 0 ? 0 : prec);
      return true;
    case 's':
      if (!std::holds_alternative<std::string>(a)) return false;
      piece = std::get<std::string>(a);
      if (prec >= 0 && size_t(prec) < piece.size()) piece.resize(size_t(prec));
      return true;
    case 'f':
    case 'n': {
      double v;
      if (std::holds_alternative<double>(a))
        v = std::get<double>(a);
      else if (std::holds_alternative<int64_t>(a))
        v = double(std::get<int64_t>(a));
      else
        return false;
      piece = FixedText(v, prec < 0 ? 2 : prec, conversion == 'n');
      return true;
    }
  }
  return false;
}

// Format, and with tolerant FormatTolerant: a conversion it cannot fill is copied as written.
std::string FormatWith(const std::string& format, const std::vector<TFormatArg>& args,
                       bool tolerant) {
  std::string out;
  size_t argi = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    char c = format[i];
    if (c != '%') {
      out += c;
      continue;
    }
    const size_t start = i;
    if (++i < format.size() && format[i] == '%') {
      out += '%';
      continue;
    }
    bool left = false;
    if (i < format.size() && format[i] == '-') {
      left = true;
      ++i;
    }
    int width = 0, prec = -1;
    while (i < format.size() && format[i] >= '0' && format[i] <= '9')
      width = width * 10 + (format[i++] - '0');
    if (i < format.size() && format[i] == '.') {
      prec = 0;
      ++i;
      while (i < format.size() && format[i] >= '0' && format[i] <= '9')
        prec = prec * 10 + (format[i++] - '0');
    }
    std::string piece;
    if (i >= format.size() || argi >= args.size() ||
        !Convert(format[i], args[argi], prec, tolerant, piece)) {
      if (!tolerant)
        throw EConvertError("Format '" + format + "' invalid or incompatible with argument");
      out += format.substr(start, i - start + 1);
      continue;
    }
    ++argi;
    if (int(piece.size()) < width)
      piece = left ? piece + std::string(size_t(width) - piece.size(), ' ')
                   : std::string(size_t(width) - piece.size(), ' ') + piece;
    out += piece;
  }
  return out;
}
}  // namespace

std::string Format(const std::string& format, const std::vector<TFormatArg>& args) {
  return FormatWith(format, args, false);
}

std::string FormatTolerant(const std::string& format, const std::vector<TFormatArg>& args) {
  return FormatWith(format, args, true);
}

std::string ExtractFilePath(const std::string& path) {
  // Scans forward so that a trail byte equal to "\" in a double-byte code page never counts.
  size_t end = 0;
  const auto& lead = Locale().IsLeadByte;
  for (size_t i = 0; i < path.size(); ++i) {
    if (lead && lead(uint8_t(path[i])) && i + 1 < path.size()) {
      ++i;
      continue;
    }
    if (IsDelimiter(path[i])) end = i + 1;
  }
  return path.substr(0, end);
}

std::string ExtractFileName(const std::string& path) { return path.substr(ExtractFilePath(path).size()); }

std::string ExtractFileExt(const std::string& path) {
  std::string name = ExtractFileName(path);
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string ChangeFileExt(const std::string& path, const std::string& ext) {
  std::string dir = ExtractFilePath(path), name = path.substr(dir.size());
  size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.resize(dot);
  return dir + name + ext;
}

std::string IncludeTrailingBackslash(const std::string& path) {
  if (!path.empty() && path.back() == '\\') return path;
  return path + '\\';
}

std::string ExcludeTrailingBackslash(const std::string& path) {
  if (!path.empty() && path.back() == '\\') return path.substr(0, path.size() - 1);
  return path;
}
