#pragma once
// The patch builder's settings, kept in the registry.
//
// The program makes one TSettings at start-up, before any window, and calls Load(): it
// reads the system commands (desktop folder, browser and mail commands, the address-book
// library), imports the sender identities of other mail programs (read only), adds the
// custom identities 1 to 9 and reads the main settings and the packer settings. The main
// window applies them when it is created, and fills them back and calls Save() when it
// closes. Window placements are read and stored on their own, per form.
//
// Every read is guarded: a missing key, a missing value, a value of another type or an
// index out of its range gives the default, and a string setting whose default is not empty
// also takes it for an empty stored string. Nothing is reported. Writes throw
// ERegistryException when the registry refuses them.
//
// All of it is portable over TRegistry, so the native tests run it against TMemRegistry.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/core/registry.h"
#include "patch_engine/engine.h"

inline constexpr char kSettingsKey[] = "\\Software\\Norvale\\Quiltor\\1.9";

// The packers the builder offers, in the order of its options page and its settings
// ("packer\<name>", kPackerNames); its packer list shows them after "No packer used" (entry
// i + 1) and ends with "Use JAR to compress" (kJarListEntry), which runs no packer.
inline constexpr std::array<engine::PackerType, 6> kOfferedPackers = {
    engine::PackerType::Zip, engine::PackerType::PkZip, engine::PackerType::Gzip,
    engine::PackerType::Rar, engine::PackerType::Lha,   engine::PackerType::Arj};
inline constexpr int kJarListEntry = int(kOfferedPackers.size()) + 1;
// The patch type list: the applier kind of each entry.
inline constexpr std::array<engine::ApplierKind, 3> kPatchTypes = {
    engine::ApplierKind::Plain, engine::ApplierKind::Mendrin, engine::ApplierKind::Mendr32};

// Sizes of the lists that stored indexes point into.
inline constexpr int kMainPageCount = 5;         // RCS, Expert, Wizard, Options, About
inline constexpr int kStartupModeCount = 4;      // the three pages, or the last one open
inline constexpr int kFilelistStyleCount = 4;    // small icons, large icons, details, list
inline constexpr int kPackerListCount = kJarListEntry + 1;  // "No packer used" .. "Use JAR to compress"
inline constexpr int kPatchTypeCount = int(kPatchTypes.size());
inline constexpr int kBrowserCount = 4;          // system, Internet Explorer, Netscape, custom
inline constexpr int kPlacementModeCount = 3;    // default, centred, restored
inline constexpr int kSavedSelectionCount = 20;  // target, first source, 18 extra sources
inline constexpr int kCustomIdentityCount = 9;

// One sender identity. Imported ones come from other programs and are never written back.
struct TEmailSettings {
  std::string Label;  // shown in the identity combo boxes
  std::string EmailAddress;
  std::string FullName;
  std::string SmtpHost;
  std::string Organization;
  std::string ReplyTo;
  uint8_t Imported = 0;
  bool operator==(const TEmailSettings&) const = default;
};

// The stored defaults of the Expert or the Wizard page.
struct TPatchPageDefaults {
  std::string Patchfile;
  int Packer = 0;     // index into the packer list
  int PatchType = 0;  // index into the patch type list
  bool PgpSigned = false;
  bool PatchIdenticalFiles = false;
  std::string BackupPath = "Backup";
  bool operator==(const TPatchPageDefaults&) const = default;
};

struct TMainSettings {
  bool HideSplash = false;
  int StartupPage = 2;
  int StartupPageMode = 3;
  int DefaultFilelistStyle = 3;
  TPatchPageDefaults Expert{"YourPatch.utp", 0, 0};
  TPatchPageDefaults Wizard{"YourPatch.exe", 0, 2};
  std::string EmailSubject = "Your patch for ...";
  int DefaultBrowser = 0;
  std::string MailProfile;  // label of the default sender identity
  std::string CustomBrowserPath;
  std::string CustomBrowserArgs = "%1";
  bool RestoreDirectories = false;
  // The saved file-list selections (EncodeSelection), read and written only while
  // RestoreDirectories is set: 0 the Expert target, 1 its first source, i + 2 its extra
  // source i. The registry keeps the highest index as "Restore Directory number".
  std::vector<std::string> DirectoryContents;
  bool ExpertRestoreSplitter = true;
  int ExpertSplitterPosition = 336;
  bool operator==(const TMainSettings&) const = default;
};

// The external archivers of the options page and the settings: the offered packers by
// their names, then "Custom", which has arguments and no "use system path" check box, the
// others the reverse.
inline constexpr size_t kCustomPacker = kOfferedPackers.size();
inline constexpr auto kPackerNames = [] {
  std::array<const char*, kCustomPacker + 1> names{};
  for (size_t i = 0; i < kCustomPacker; ++i) names[i] = engine::Packer(kOfferedPackers[i]).name;
  names[kCustomPacker] = "Custom";
  return names;
}();

struct TPackerSettings {
  bool UseSystemPath = true;
  std::string Path;
  std::string Args = "%s %s";
  bool operator==(const TPackerSettings&) const = default;
};

// Commands and folders of the system, read at start-up and never written.
struct TSystemCommands {
  std::string DesktopFolder;
  std::string MailCommand;     // for mailto links
  std::string BrowserCommand;  // for http links
  std::string NetscapeProgram;
  std::string InternetExplorerProgram;
  std::string AddressBookLibrary = "wab32.dll";
  std::string BdeSetupFolder;  // where the database engine's setup lies
  bool operator==(const TSystemCommands&) const = default;
};

struct TWindowPlacement {
  int Mode = 0;  // 0 default position, 1 centred on the screen, 2 the stored position
  int Left = 0;
  int Top = 0;
};

// A saved file-list selection: the folder and the selected file names, each followed by
// the byte 1.
struct TSavedSelection {
  std::string Folder;
  std::vector<std::string> Names;
  bool operator==(const TSavedSelection&) const = default;
};
std::string EncodeSelection(const TSavedSelection& selection);
TSavedSelection DecodeSelection(const std::string& text);

class TSettings {
 public:
  explicit TSettings(IRegistryBackend& backend);
  TSettings(const TSettings&) = delete;
  TSettings& operator=(const TSettings&) = delete;

  void Load();
  void Save();

  // Where a form goes at start: the stored mode with its position, the default position
  // for mode 0 or a form whose key cannot be opened (that gives mode 2).
  TWindowPlacement RestoreWindowPlacement(const std::string& formName, int defaultLeft, int defaultTop,
                                          int formWidth, int formHeight, int screenWidth,
                                          int screenHeight);
  void StoreWindowPlacement(const std::string& formName, int mode, int left, int top);

  TSystemCommands System;
  TMainSettings Main;
  std::array<TPackerSettings, kPackerNames.size()> Packers;
  // The program's sender identities: imported ones first, then "Custom settings #1" to
  // "#9". The options page edits the custom ones in place; the mail thread sends with one.
  std::vector<TEmailSettings> Identities;

 private:
  bool Open(TRootKey root, const std::string& key, bool create);
  void OpenForWriting(const std::string& key);
  std::string ReadText(const std::string& name, const std::string& def = {});
  int ReadInteger(const std::string& name, int def);
  int ReadIndex(const std::string& name, int def, int count);
  bool ReadBool(const std::string& name, bool def);

  void ReadSystemCommands();
  void AddImported(TEmailSettings id, bool first);
  // Calls read for each subkey of key, which must be the open key, with that subkey open.
  void ForEachSubkey(const std::string& key, const std::function<void(const std::string&)>& read);
  void ImportInternetMail();
  void ImportOutlookAccounts();
  void ImportNetscapeMail();
  void ImportNetscapeMessenger();
  void ReadCustomIdentity(int n);
  void WriteCustomIdentity(int n);
  void ReadPageDefaults(TPatchPageDefaults& page, const std::string& prefix);
  void WritePageDefaults(const TPatchPageDefaults& page, const std::string& prefix);
  void ReadMainSettings();
  void WriteMainSettings();
  void ReadPackers();
  void WritePackers();

  TRegistry reg_;
};
