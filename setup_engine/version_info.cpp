#include "setup_engine/version_info.h"

#include <charconv>
#include <cstdio>

#include "framework/core/exception.h"
#include "framework/core/sysutils.h"
#include "platform/byte_order.h"
#include "platform/file.h"
#include "setup_engine/file_utils.h"

namespace setup {
namespace {

constexpr uint32_t kFixedSignature = 0xFEEF04BD;
constexpr size_t kFixedSize = 52;

size_t Align4(size_t n) { return (n + 3) & ~size_t(3); }

// UTF-16 code units below 256 map to their byte; the others to '?'.
std::string NarrowUtf16(const uint8_t* p, size_t units) {
  std::string s;
  for (size_t i = 0; i < units; ++i) {
    uint16_t u = platform::GetU16(p + 2 * i);
    if (u == 0) break;
    s += u < 256 ? char(u) : '?';
  }
  return s;
}

// Parses the node at pos, ending no later than limit; depth bounds hostile nesting.
bool ParseNode(const std::vector<uint8_t>& b, size_t pos, size_t limit, int depth,
               VersionNode& node, size_t& end) {
  if (depth > 8 || pos + 6 > limit) return false;
  size_t length = platform::GetU16(&b[pos]);
  size_t valueLength = platform::GetU16(&b[pos + 2]);
  uint16_t type = platform::GetU16(&b[pos + 4]);
  if (length < 6 || pos + length > limit || type > 1) return false;
  end = pos + length;
  size_t p = pos + 6;
  size_t keyStart = p;
  while (p + 2 <= end && platform::GetU16(&b[p]) != 0) p += 2;
  if (p + 2 > end) return false;
  node.key = NarrowUtf16(&b[keyStart], (p - keyStart) / 2);
  node.isText = type == 1;
  p = Align4(p + 2);
  size_t valueBytes = node.isText ? valueLength * 2 : valueLength;
  if (p > end) p = end;
  if (valueBytes > end - p) valueBytes = end - p;
  if (node.isText) {
    std::string text = NarrowUtf16(&b[p], valueBytes / 2);
    node.value.assign(text.begin(), text.end());
  } else {
    node.value.assign(b.begin() + long(p), b.begin() + long(p + valueBytes));
  }
  // A text value ends its node; whatever follows it is padding.
  if (node.isText && valueLength > 0) return true;
  p = Align4(p + valueBytes);
  while (p + 6 <= end) {
    if (platform::GetU16(&b[p]) == 0) break;
    VersionNode child;
    size_t childEnd;
    if (!ParseNode(b, p, end, depth + 1, child, childEnd)) return false;
    node.children.push_back(std::move(child));
    p = Align4(childEnd);
  }
  return true;
}

}  // namespace

bool ParseVersionBlock(const std::vector<uint8_t>& block, VersionNode& root) {
  root = VersionNode();
  size_t end;
  return ParseNode(block, 0, block.size(), 0, root, end) && root.key == "VS_VERSION_INFO";
}

const VersionNode* QueryVersionValue(const VersionNode& root, const std::string& path) {
  const VersionNode* node = &root;
  size_t i = 0;
  while (i < path.size()) {
    if (path[i] == '\\') {
      ++i;
      continue;
    }
    size_t j = path.find('\\', i);
    if (j == std::string::npos) j = path.size();
    std::string key = path.substr(i, j - i);
    const VersionNode* next = nullptr;
    for (const VersionNode& c : node->children)
      if (SameText(c.key, key)) {
        next = &c;
        break;
      }
    if (!next) return nullptr;
    node = next;
    i = j;
  }
  return node;
}

bool HasSelfRegisterValue(const VersionNode& root) {
  const VersionNode* strings = QueryVersionValue(root, "\\StringFileInfo");
  if (!strings) return false;
  for (const VersionNode& table : strings->children)
    if (QueryVersionValue(table, "OLESelfRegister")) return true;
  return false;
}

bool FileHasSelfRegisterValue(const std::string& path) {
  std::vector<uint8_t> block;
  VersionNode root;
  return ReadFileVersionBlock(path, block) && ParseVersionBlock(block, root) && HasSelfRegisterValue(root);
}

}  // namespace setup

namespace {

std::string Dotted(uint32_t ms, uint32_t ls) {
  return std::to_string(ms >> 16) + "." + std::to_string(ms & 0xFFFF) + "." +
         std::to_string(ls >> 16) + "." + std::to_string(ls & 0xFFFF);
}

std::string OsText(uint32_t os) {
  switch (os) {
    case 1: return "Windows 3.0 or later";
    case 2: return "16 bit OS/2 Presentation Manager";
    case 3: return "32 bit OS/2 Presentation Manager";
    case 4: return "32 bit Windows";
    case 0x10000: return "MS-Dos";
    case 0x10001: return "Windows 3.0 or later with MS-Dos";
    case 0x10004: return "32 bit Windows with MS-Dos";
    case 0x20000: return "16 bit OS/2";
    case 0x20002: return "16 bit OS/2 with Presentation Manager";
    case 0x30000: return "32 bit OS/2";
    case 0x30003: return "32 bit OS/2 with Presentation Manager";
    case 0x40000: return "Windows NT";
    case 0x40004: return "Windows NT with 32 bit Windows";
    default: return "Unknown";
  }
}

std::string TypeText(uint32_t type) {
  switch (type) {
    case 1: return "Application";
    case 2: return "Dynamic-Link Library";
    case 3: return "Device Driver";
    case 4: return "Font";
    case 5: return "Virtual Device Driver";
    case 7: return "Static-Link Library";
    default: return "Unknown";
  }
}

std::string SubTypeText(uint32_t type, uint32_t sub) {
  static const char* const kDrivers[] = {"Printer", "Keyboard", "Language", "Display",
                                         "Mouse", "Network", "System", "Installable",
                                         "Sound", "Communications"};
  static const char* const kFonts[] = {"Raster", "Vector", "TrueType"};
  if (type == 3) return sub >= 1 && sub <= 10 ? kDrivers[sub - 1] : "Unknown";
  if (type == 4) return sub >= 1 && sub <= 3 ? kFonts[sub - 1] : "Unknown";
  return "";
}

// A part that is a whole 32-bit integer; a longer number compares as text.
bool IsNumber(const std::string& s, int32_t& v) {
  const char* b = s.data() + (!s.empty() && s[0] == '+');
  const char* e = s.data() + s.size();
  auto r = std::from_chars(b, e, v);
  return b != e && r.ec == std::errc() && r.ptr == e;
}

// Part k (from 1) of a dotted text; empty when there is none.
std::string Part(const std::string& s, int k) {
  size_t b = 0;
  for (int i = 1; i < k; ++i) {
    size_t d = s.find('.', b);
    if (d == std::string::npos) return "";
    b = d + 1;
  }
  size_t e = s.find('.', b);
  return s.substr(b, e == std::string::npos ? std::string::npos : e - b);
}

}  // namespace

uint16_t LanguageId(verinfo::TLanguage language) {
  static const uint16_t kLater[] = {0x0804, 0x0807, 0x0809, 0x080A, 0x080C, 0x0810,
                                    0x0813, 0x0814, 0x0816, 0x081A, 0x0C0C, 0x100C};
  int i = int(language);
  if (i >= 0 && i < 33) return uint16_t(0x0401 + i);
  if (i >= 33 && i < 45) return kLater[i - 33];
  throw Exception("");
}

void TVersionInfo::Assign(const std::vector<uint8_t>& block, verinfo::TLanguage language,
                          TCharacterSet charset) {
  Clear();
  setup::VersionNode root;
  if (!setup::ParseVersionBlock(block, root)) return;
  if (root.value.size() >= setup::kFixedSize &&
      platform::GetU32(root.value.data()) == setup::kFixedSignature) {
    const uint8_t* f = root.value.data();
    FileVersion = Dotted(platform::GetU32(f + 8), platform::GetU32(f + 12));
    ProductVersion = Dotted(platform::GetU32(f + 16), platform::GetU32(f + 20));
    FileOS = OsText(platform::GetU32(f + 32));
    uint32_t type = platform::GetU32(f + 36);
    FileType = TypeText(type);
    FileSubType = SubTypeText(type, platform::GetU32(f + 40));
  }
  char table[16];
  std::snprintf(table, sizeof table, "%04X%04X", unsigned(LanguageId(language)),
                unsigned(charset));
  std::string base = std::string("\\StringFileInfo\\") + table + "\\";
  struct Key {
    const char* name;
    std::string TVersionInfo::*field;
  };
  static const Key kKeys[] = {
      {"Comments", &TVersionInfo::Comment},
      {"CompanyName", &TVersionInfo::CompanyName},
      {"FileDescription", &TVersionInfo::FileDescription},
      {"InternalName", &TVersionInfo::InternalName},
      {"LegalCopyright", &TVersionInfo::LegalCopyright},
      {"LegalTradeMarks", &TVersionInfo::LegalTradeMarks},
      {"OriginalFileName", &TVersionInfo::OriginalFileName},
      {"PrivateBuild", &TVersionInfo::PrivateBuild},
      {"ProductName", &TVersionInfo::ProductName},
      {"ProductVersion", &TVersionInfo::ProductVersion},
      {"SpecialBuild", &TVersionInfo::SpecialBuild},
  };
  for (const Key& k : kKeys)
    if (const setup::VersionNode* n = setup::QueryVersionValue(root, base + k.name))
      this->*k.field = std::string(n->value.begin(), n->value.end());
}

TVersionResource::TVersionResource() : fileName_(setup::RunningProgramPath()) { Read(); }

void TVersionResource::SetFileName(const std::string& fileName) {
  fileName_ = fileName;
  Read();
}

void TVersionResource::SetLanguage(verinfo::TLanguage language) {
  LanguageId(language);
  language_ = language;
  Read();
}

void TVersionResource::SetCharacterSet(TCharacterSet charset) {
  switch (charset) {
    case csASCII: case csJapan: case csKorea: case csTaiwan: case csUnicode: case csLatin2:
    case csCyrillic: case csMultilingual: case csGreek: case csTurkish: case csHebrew:
    case csArabic:
      break;
    default:
      throw Exception("");
  }
  charset_ = charset;
  Read();
}

void TVersionResource::Read() {
  info_.Clear();
  std::vector<uint8_t> block;
  if (setup::ReadFileVersionBlock(fileName_, block)) info_.Assign(block, language_, charset_);
}

int TVersionResource::CompareVersions(const std::string& a, const std::string& b) {
  for (int k = 1;; ++k) {
    std::string pa = Part(a, k), pb = Part(b, k);
    if (pa.empty() || pb.empty()) {
      if (pa.empty() && pb.empty()) return 0;
      return pa.empty() ? 2 : 1;
    }
    int32_t na, nb;
    if (IsNumber(pa, na) && IsNumber(pb, nb)) {
      if (na != nb) return na < nb ? 2 : 1;
      continue;
    }
    int c = pa.compare(pb);
    if (c != 0) return c < 0 ? 2 : 1;
  }
}

TVersionResource& GlobalVersionResource() {
  static std::unique_ptr<TVersionResource> resource;
  if (!resource) resource = std::make_unique<TVersionResource>();
  return *resource;
}

namespace {

std::string FileVersionOf(const std::string& path) {
  TVersionResource& r = GlobalVersionResource();
  r.SetFileName(path);
  return r.VersionInfo().FileVersion;
}

int VersionDecision(const std::string& newVersion, const std::string& existingVersion) {
  switch (TVersionResource::CompareVersions(newVersion, existingVersion)) {
    case 0: return 1;
    case 1: return 2;
    default: return 3;
  }
}

int DateDecision(double newDate, double existingDate) {
  if (newDate > existingDate) return 2;
  return newDate == existingDate ? 1 : 3;
}

bool ExistingFileStays(const std::string& existingFile) {
  return !Trim(existingFile).empty() && platform::IsFile(existingFile);
}

}  // namespace

int TVersionResource::IsFileNewerByName(const std::string& newFile,
                                        const std::string& existingFile,
                                        TOverwriteType mode) {
  switch (mode) {
    case owAlways:
      return 2;
    case owNever:
      return ExistingFileStays(existingFile) ? 3 : 2;
    case owVersion:
    case owVersionDate: {
      int d = VersionDecision(FileVersionOf(newFile), FileVersionOf(existingFile));
      if (mode == owVersion || d != 1) return d;
      [[fallthrough]];
    }
    case owDate: {
      double n, e;
      if (!setup::GetFileDateTime(newFile, n) || !setup::GetFileDateTime(existingFile, e))
        return 0;
      return DateDecision(n, e);
    }
  }
  return 0;
}

int OverwriteDecision(const std::string& newVersion, const std::string& existingFile,
                      TOverwriteType mode, double newDate) {
  switch (mode) {
    case owAlways:
      return 2;
    case owNever:
      return ExistingFileStays(existingFile) ? 3 : 2;
    case owVersion:
    case owVersionDate: {
      int d = VersionDecision(newVersion, FileVersionOf(existingFile));
      if (mode == owVersion || d != 1) return d;
      [[fallthrough]];
    }
    case owDate: {
      double e;
      if (!setup::IsFileDateTime(newDate) || !setup::GetFileDateTime(existingFile, e)) return 0;
      return DateDecision(newDate, e);
    }
  }
  return 0;
}
