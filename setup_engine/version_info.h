#pragma once
// Version information of files and the overwrite decisions built on it.
//
// How it works: the version block of a file (the bytes of its version resource) is read
// through the system in the Windows build, and from the file's resource section natively;
// ParseVersionBlock turns those bytes into a tree of keyed nodes, and QueryVersionValue
// walks it by a "\StringFileInfo\040904E4\CompanyName"-style path as the system's query
// does. TVersionResource publishes the fifteen texts of one file in one language and code
// page. CompareVersions orders dotted version texts part by part, numerically where both
// parts are numbers; IsFileNewerByName and OverwriteDecision give the decision codes 0
// (failed), 1 (equal, keep), 2 (install) and 3 (existing newer, keep).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace setup {

// One node of a version block: a key with a value (text or bytes) and children.
struct VersionNode {
  std::string key;
  bool isText = false;
  std::vector<uint8_t> value;  // the raw value bytes; texts as single-byte characters
  std::vector<VersionNode> children;
};

// Parses a 32-bit version block; false when the bytes are not one.
bool ParseVersionBlock(const std::vector<uint8_t>& block, VersionNode& root);
// Path "\" is the root; keys match ignoring case. Null when absent.
const VersionNode* QueryVersionValue(const VersionNode& root, const std::string& path);

// The version block of a file; false when it has none (or cannot be read).
bool ReadFileVersionBlock(const std::string& path, std::vector<uint8_t>& block);
// The path of the running program.
std::string RunningProgramPath();
// Whether the file's version block has an "OLESelfRegister" text in one of its string
// tables: the file registers its OLE server itself. False without a block.
bool HasSelfRegisterValue(const VersionNode& root);
bool FileHasSelfRegisterValue(const std::string& path);

}  // namespace setup

enum TOverwriteType { owAlways, owNever, owVersion, owDate, owVersionDate };

// The languages of a version block: the type in a namespace of its own beside the
// translator's TLanguage class, the enumerators at global scope.
namespace verinfo {
enum TLanguage {
  lnArabic, lnBulgarian, lnCatalan, lnTraditionalChinese, lnCzech, lnDanish, lnGerman,
  lnGreek, lnUSEnglish, lnCastilianSpanish, lnFinnish, lnFrench, lnHebrew, lnHungarian,
  lnIcelandic, lnItalian, lnJapanese, lnKorean, lnDutch, lnNorwegianBokmal, lnPolish,
  lnBrazilianPortuguese, lnRhaetoRomanic, lnRomanian, lnRussian, lnCroatoSerbian, lnSlovak,
  lnAlbanian, lnSwedish, lnThai, lnTurkish, lnUrdu, lnBahasa, lnSimplifiedChinese,
  lnSwissGerman, lnUKEnglish, lnMexicanSpanish, lnBelgianFrench, lnSwissItalian,
  lnBelgianDutch, lnNorwegianNynorsk, lnPortuguese, lnSerboCroatian, lnCanadianFrench,
  lnSwissFrench
};
}  // namespace verinfo
using enum verinfo::TLanguage;

enum TCharacterSet {
  csASCII = 0, csJapan = 932, csKorea = 949, csTaiwan = 950, csUnicode = 1200,
  csLatin2 = 1250, csCyrillic = 1251, csMultilingual = 1252, csGreek = 1253,
  csTurkish = 1254, csHebrew = 1255, csArabic = 1256
};

// The Windows language identifier of a TLanguage; throws for a value outside it.
uint16_t LanguageId(verinfo::TLanguage language);

class TVersionInfo {
 public:
  std::string Comment, CompanyName, FileDescription, FileVersion, InternalName,
      LegalCopyright, LegalTradeMarks, OriginalFileName, PrivateBuild, ProductName,
      ProductVersion, SpecialBuild, FileOS, FileType, FileSubType;

  void Clear() { *this = TVersionInfo(); }
  // Fills the texts from a version block in the given language and code page.
  void Assign(const std::vector<uint8_t>& block, verinfo::TLanguage language, TCharacterSet charset);
};

class TVersionResource {
 public:
  TVersionResource();  // describes the running program, US English, code page 1252
  TVersionResource(const TVersionResource&) = delete;
  TVersionResource& operator=(const TVersionResource&) = delete;

  const std::string& FileName() const { return fileName_; }
  void SetFileName(const std::string& fileName);
  verinfo::TLanguage Language() const { return language_; }
  void SetLanguage(verinfo::TLanguage language);
  TCharacterSet CharacterSet() const { return charset_; }
  void SetCharacterSet(TCharacterSet charset);
  const TVersionInfo& VersionInfo() const { return info_; }

  // 0 equal, 1 a newer, 2 b newer.
  static int CompareVersions(const std::string& a, const std::string& b);
  static int IsFileNewerByName(const std::string& newFile, const std::string& existingFile,
                               TOverwriteType mode);

 private:
  void Read();

  std::string fileName_;
  verinfo::TLanguage language_ = lnUSEnglish;
  TCharacterSet charset_ = csMultilingual;
  TVersionInfo info_;
};

// The process-wide version resource, created on first use.
TVersionResource& GlobalVersionResource();

// Decision between an archived file (its version text and date) and a file on disk.
int OverwriteDecision(const std::string& newVersion, const std::string& existingFile,
                      TOverwriteType mode, double newDate);
