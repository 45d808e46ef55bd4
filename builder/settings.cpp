#include "builder/settings.h"

#include <algorithm>
#include <functional>

#include "framework/core/exceptions.h"
#include "framework/core/strings.h"
#include "framework/core/sysutils.h"

namespace {

const std::string kBase = kSettingsKey;
const std::string kAccountManager = "\\Software\\Microsoft\\Internet Account Manager";
const std::string kNetscape = "\\Software\\Netscape\\Netscape Navigator";
const std::string kAppPaths = "\\Software\\Microsoft\\Windows\\CurrentVersion\\App paths\\";

// What a new custom identity holds until the user fills it in.
const char kPlaceholderAddress[] = "fill.in.your@email.address";
const char kPlaceholderHost[] = "fill.in.your.smtp.server";

std::string CustomLabel(int n) { return "Custom settings #" + IntToStr(n); }
std::string CustomKey(int n) { return kBase + "\\email settings\\custom" + IntToStr(n); }
std::string DirectoryValue(int i) { return "Directory contents " + IntToStr(i); }

// The string literal that follows prefix on line, or false when line is no such entry or
// the literal does not end on it.
bool PrefValue(const std::string& line, const std::string& prefix, std::string& value) {
  if (line.compare(0, prefix.size(), prefix) != 0) return false;
  std::string v;
  for (size_t i = prefix.size(); i < line.size(); ++i) {
    char c = line[i];
    if (c == '"') {
      value = std::move(v);
      return true;
    }
    if (c == '\\' && i + 1 < line.size()) c = line[++i];
    v += c;
  }
  return false;
}

// Takes the SMTP host, organization and reply-to address from a Netscape user's prefs.js.
void ReadNetscapePrefs(const std::string& dirRoot, TEmailSettings& id) {
  if (dirRoot.empty()) return;
  TStringList lines;
  try {
    lines.LoadFromFile(IncludeTrailingBackslash(dirRoot) + "prefs.js");
  } catch (const Exception&) {
    return;  // an unreadable file adds nothing
  }
  for (int i = 0; i < lines.Count(); ++i) {
    const std::string line = lines[i];
    PrefValue(line, "user_pref(\"network.hosts.smtp_server\", \"", id.SmtpHost) ||
        PrefValue(line, "user_pref(\"mail.identity.organization\", \"", id.Organization) ||
        PrefValue(line, "user_pref(\"mail.identity.reply_to\", \"", id.ReplyTo);
  }
}

}  // namespace

std::string EncodeSelection(const TSavedSelection& selection) {
  std::string text = selection.Folder + '\x01';
  for (const std::string& name : selection.Names) text += name + '\x01';
  return text;
}

TSavedSelection DecodeSelection(const std::string& text) {
  TSavedSelection selection;
  size_t start = 0;
  for (bool first = true; start < text.size(); first = false) {
    size_t end = text.find('\x01', start);
    if (end == std::string::npos) end = text.size();
    std::string piece = text.substr(start, end - start);
    if (first)
      selection.Folder = std::move(piece);
    else if (!piece.empty())
      selection.Names.push_back(std::move(piece));
    start = end + 1;
  }
  return selection;
}

TSettings::TSettings(IRegistryBackend& backend) : reg_(backend) {}

// --- guarded reads -----------------------------------------------------------------------

bool TSettings::Open(TRootKey root, const std::string& key, bool create) {
  reg_.SetRootKey(root);
  return create ? reg_.OpenKey(key, true) : reg_.OpenKeyReadOnly(key);
}

void TSettings::OpenForWriting(const std::string& key) {
  if (!Open(TRootKey::hkCurrentUser, key, true))
    throw ERegistryException("Failed to create key '" + key.substr(1) + "'");
}

std::string TSettings::ReadText(const std::string& name, const std::string& def) {
  std::optional<std::string> v = reg_.TryReadString(name);
  return v && !v->empty() ? *v : def;
}

int TSettings::ReadInteger(const std::string& name, int def) { return reg_.TryReadInteger(name).value_or(def); }

int TSettings::ReadIndex(const std::string& name, int def, int count) {
  int v = ReadInteger(name, def);
  return v >= 0 && v < count ? v : def;
}

bool TSettings::ReadBool(const std::string& name, bool def) { return reg_.TryReadBool(name).value_or(def); }

// --- start-up ----------------------------------------------------------------------------

void TSettings::Load() {
  System = TSystemCommands{};
  Main = TMainSettings{};
  Packers = {};
  Identities.clear();
  ReadSystemCommands();
  ImportInternetMail();
  ImportOutlookAccounts();
  ImportNetscapeMail();
  ImportNetscapeMessenger();
  for (int n = 1; n <= kCustomIdentityCount; ++n) ReadCustomIdentity(n);
  ReadMainSettings();
  ReadPackers();
  reg_.CloseKey();
}

void TSettings::Save() {
  WritePackers();
  WriteMainSettings();
  for (int n = 1; n <= kCustomIdentityCount; ++n) WriteCustomIdentity(n);
  reg_.CloseKey();
}

void TSettings::ReadSystemCommands() {
  if (Open(TRootKey::hkCurrentUser, "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
           false))
    System.DesktopFolder = ReadText("Desktop");
  if (Open(TRootKey::hkClassesRoot, "\\mailto\\shell\\open\\command", false)) System.MailCommand = ReadText("");
  if (Open(TRootKey::hkClassesRoot, "\\http\\shell\\open\\command", false)) System.BrowserCommand = ReadText("");
  if (Open(TRootKey::hkLocalMachine, kAppPaths + "netscape.exe", false)) System.NetscapeProgram = ReadText("");
  if (Open(TRootKey::hkLocalMachine, kAppPaths + "iexplore.exe", false))
    System.InternetExplorerProgram = ReadText("");
  if (Open(TRootKey::hkLocalMachine, "\\Software\\Microsoft\\WAB\\DLLPath", false))
    System.AddressBookLibrary = ReadText("", System.AddressBookLibrary);
  if (Open(TRootKey::hkLocalMachine, "\\SOFTWARE\\Norvale\\Quiltor Professional\\1.00\\Installed", false))
    System.BdeSetupFolder = ReadText("BDE");
}

// --- identities --------------------------------------------------------------------------

void TSettings::AddImported(TEmailSettings id, bool first) {
  id.Imported = 1;
  Identities.insert(first ? Identities.begin() : Identities.end(), std::move(id));
}

void TSettings::ForEachSubkey(const std::string& key, const std::function<void(const std::string&)>& read) {
  TStringList names;
  reg_.GetKeyNames(names);
  for (int i = 0; i < names.Count(); ++i)
    if (reg_.OpenKeyReadOnly(key + "\\" + names[i])) read(names[i]);
}

void TSettings::ImportInternetMail() {
  if (!Open(TRootKey::hkCurrentUser, "\\Software\\Microsoft\\Internet Mail and News\\Mail", false)) return;
  TEmailSettings id;
  id.Label = "Internet Mail (imported)";
  id.SmtpHost = ReadText("Default SMTP Server");
  id.FullName = ReadText("Sender Name");
  id.EmailAddress = ReadText("Sender EMail");
  id.Organization = ReadText("Sender Organization");
  AddImported(std::move(id), false);
}

void TSettings::ImportOutlookAccounts() {
  std::string defaultAccount;
  if (Open(TRootKey::hkCurrentUser, kAccountManager, false)) defaultAccount = ReadText("Default Mail Account");
  const std::string accounts = kAccountManager + "\\Accounts";
  if (!reg_.OpenKeyReadOnly(accounts)) return;
  ForEachSubkey(accounts, [&](const std::string& name) {
    TEmailSettings id;
    id.SmtpHost = ReadText("SMTP Server");
    if (id.SmtpHost.empty()) return;
    id.Label = "Outlook account " + ReadText("Account Name", name) + " (imported)";
    id.FullName = ReadText("SMTP Display Name");
    id.EmailAddress = ReadText("SMTP Email Address");
    id.Organization = ReadText("SMTP Organization Name");
    AddImported(std::move(id), AnsiSameText(name, defaultAccount));
  });
}

void TSettings::ImportNetscapeMail() {
  if (!Open(TRootKey::hkCurrentUser, kNetscape + "\\Services", false)) return;
  TEmailSettings id;
  id.Label = "Netscape Mail (imported)";
  id.SmtpHost = ReadText("SMTP_Server");
  if (reg_.OpenKeyReadOnly(kNetscape + "\\User")) {
    id.EmailAddress = ReadText("User_Addr");
    id.FullName = ReadText("User_Name");
    id.Organization = ReadText("User_Organization");
    id.ReplyTo = ReadText("Reply_To");
  }
  AddImported(std::move(id), false);
}

void TSettings::ImportNetscapeMessenger() {
  const std::string users = kNetscape + "\\Users";
  if (!Open(TRootKey::hkLocalMachine, users, false)) return;
  const std::string current = ReadText("CurrentUser");
  ForEachSubkey(users, [&](const std::string& name) {
    TEmailSettings id;
    id.EmailAddress = ReadText("EmailAddr");
    id.FullName = ReadText("UserName");
    ReadNetscapePrefs(ReadText("DirRoot"), id);
    bool isCurrent = AnsiSameText(name, current);
    id.Label = isCurrent ? "Netscape Messenger current user (imported)"
                         : "Netscape Messenger user " + name + " (imported)";
    AddImported(std::move(id), isCurrent);
  });
}

void TSettings::ReadCustomIdentity(int n) {
  TEmailSettings id;
  id.Label = CustomLabel(n);
  id.FullName = "Your name";
  id.EmailAddress = kPlaceholderAddress;
  id.SmtpHost = kPlaceholderHost;
  if (Open(TRootKey::hkCurrentUser, CustomKey(n), false)) {
    id.FullName = ReadText("Realname", id.FullName);
    id.EmailAddress = ReadText("Email", id.EmailAddress);
    id.SmtpHost = ReadText("SMTP", id.SmtpHost);
    id.Organization = ReadText("Organization");
    id.ReplyTo = ReadText("ReplyTo");
  }
  Identities.push_back(std::move(id));
}

void TSettings::WriteCustomIdentity(int n) {
  const std::string label = CustomLabel(n);
  for (const TEmailSettings& id : Identities) {
    if (id.Imported || id.Label != label) continue;
    OpenForWriting(CustomKey(n));
    reg_.WriteString("Realname", id.FullName);
    reg_.WriteString("Email", id.EmailAddress);
    reg_.WriteString("SMTP", id.SmtpHost);
    reg_.WriteString("Organization", id.Organization);
    reg_.WriteString("ReplyTo", id.ReplyTo);
  }
}

// --- main settings -----------------------------------------------------------------------

// Each read starts from the value Load() reset, which is the default.
void TSettings::ReadPageDefaults(TPatchPageDefaults& page, const std::string& prefix) {
  page.Patchfile = ReadText(prefix + " default patchfile", page.Patchfile);
  page.Packer = ReadIndex(prefix + " default packer", page.Packer, kPackerListCount);
  page.PatchType = ReadIndex(prefix + " default patch type", page.PatchType, kPatchTypeCount);
  page.PgpSigned = ReadBool(prefix + " default PGP signed", page.PgpSigned);
  page.PatchIdenticalFiles = ReadBool(prefix + " patch identical files", page.PatchIdenticalFiles);
  page.BackupPath = ReadText(prefix + " default backup path", page.BackupPath);
}

void TSettings::WritePageDefaults(const TPatchPageDefaults& page, const std::string& prefix) {
  reg_.WriteString(prefix + " default patchfile", page.Patchfile);
  reg_.WriteInteger(prefix + " default packer", page.Packer);
  reg_.WriteInteger(prefix + " default patch type", page.PatchType);
  reg_.WriteBool(prefix + " default PGP signed", page.PgpSigned);
  reg_.WriteBool(prefix + " patch identical files", page.PatchIdenticalFiles);
  reg_.WriteString(prefix + " default backup path", page.BackupPath);
}

void TSettings::ReadMainSettings() {
  if (!Open(TRootKey::hkCurrentUser, kBase, false)) return;
  TMainSettings& m = Main;
  m.HideSplash = ReadBool("Hide Splash", m.HideSplash);
  m.StartupPage = ReadIndex("Startup page", m.StartupPage, kMainPageCount);
  m.StartupPageMode = ReadIndex("Startup page mode", m.StartupPageMode, kStartupModeCount);
  m.DefaultFilelistStyle = ReadIndex("Default filelist style", m.DefaultFilelistStyle, kFilelistStyleCount);
  ReadPageDefaults(m.Expert, "Expert");
  ReadPageDefaults(m.Wizard, "Wizard");
  m.EmailSubject = ReadText("default patch email subject", m.EmailSubject);
  m.DefaultBrowser = ReadIndex("Default browser", m.DefaultBrowser, kBrowserCount);
  m.MailProfile = ReadText("mail profile");
  m.CustomBrowserPath = ReadText("custom browser path");
  m.CustomBrowserArgs = ReadText("custom browser args", m.CustomBrowserArgs);
  m.RestoreDirectories = ReadBool("Restore Directories", m.RestoreDirectories);
  // A negative number means that no selection was saved; one past the request's limit of
  // sources reads as the limit, so a corrupt value cannot ask for thousands of columns.
  const int last = std::min(ReadInteger("Restore Directory number", 0), kSavedSelectionCount - 1);
  if (m.RestoreDirectories)
    for (int i = 0; i <= last; ++i) m.DirectoryContents.push_back(ReadText(DirectoryValue(i)));
  m.ExpertRestoreSplitter = ReadBool("Expert restore splitter", m.ExpertRestoreSplitter);
  m.ExpertSplitterPosition = ReadInteger("Expert restore splitter position", m.ExpertSplitterPosition);
}

void TSettings::WriteMainSettings() {
  OpenForWriting(kBase);
  const TMainSettings& m = Main;
  reg_.WriteBool("Hide Splash", m.HideSplash);
  reg_.WriteInteger("Startup page", m.StartupPage);
  reg_.WriteInteger("Startup page mode", m.StartupPageMode);
  reg_.WriteInteger("Default filelist style", m.DefaultFilelistStyle);
  WritePageDefaults(m.Expert, "Expert");
  WritePageDefaults(m.Wizard, "Wizard");
  reg_.WriteString("default patch email subject", m.EmailSubject);
  reg_.WriteInteger("Default browser", m.DefaultBrowser);
  reg_.WriteString("mail profile", m.MailProfile);
  reg_.WriteString("custom browser path", m.CustomBrowserPath);
  reg_.WriteString("custom browser args", m.CustomBrowserArgs);
  reg_.WriteBool("Restore Directories", m.RestoreDirectories);
  if (m.RestoreDirectories) {
    size_t count = std::min(m.DirectoryContents.size(), size_t(kSavedSelectionCount));
    reg_.WriteInteger("Restore Directory number", int(count) - 1);
    for (size_t i = 0; i < count; ++i) reg_.WriteString(DirectoryValue(int(i)), m.DirectoryContents[i]);
  }
  reg_.WriteBool("Expert restore splitter", m.ExpertRestoreSplitter);
  reg_.WriteInteger("Expert restore splitter position", m.ExpertSplitterPosition);
}

// --- packers and windows -----------------------------------------------------------------

void TSettings::ReadPackers() {
  for (size_t i = 0; i < kPackerNames.size(); ++i) {
    if (!Open(TRootKey::hkCurrentUser, kBase + "\\packer\\" + kPackerNames[i], false)) continue;
    TPackerSettings& p = Packers[i];
    p.UseSystemPath = ReadBool("use system path", p.UseSystemPath);
    p.Path = ReadText("path");
    p.Args = ReadText("args", p.Args);
  }
}

void TSettings::WritePackers() {
  for (size_t i = 0; i < kPackerNames.size(); ++i) {
    OpenForWriting(kBase + "\\packer\\" + kPackerNames[i]);
    const TPackerSettings& p = Packers[i];
    if (i != kCustomPacker) reg_.WriteBool("use system path", p.UseSystemPath);
    reg_.WriteString("path", p.Path);
    if (i == kCustomPacker) reg_.WriteString("args", p.Args);
  }
}

TWindowPlacement TSettings::RestoreWindowPlacement(const std::string& formName, int defaultLeft, int defaultTop,
                                                   int formWidth, int formHeight, int screenWidth,
                                                   int screenHeight) {
  TWindowPlacement p{2, defaultLeft, defaultTop};
  if (!Open(TRootKey::hkCurrentUser, kBase + "\\windows\\" + formName, true)) return p;
  p.Mode = ReadIndex("store mode", 0, kPlacementModeCount);
  if (p.Mode == 1) {
    p.Left = (screenWidth - formWidth) / 2;
    p.Top = (screenHeight - formHeight) / 2;
  } else if (p.Mode == 2) {
    p.Left = ReadInteger("left", defaultLeft);
    p.Top = ReadInteger("top", defaultTop);
  }
  reg_.CloseKey();
  return p;
}

void TSettings::StoreWindowPlacement(const std::string& formName, int mode, int left, int top) {
  OpenForWriting(kBase + "\\windows\\" + formName);
  reg_.WriteInteger("store mode", mode);
  reg_.WriteInteger("left", left);
  reg_.WriteInteger("top", top);
  reg_.CloseKey();
}
