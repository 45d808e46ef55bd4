// The driver's registry records: the run record of this program, the unfinished list of a
// run that waits for a restart, the RunOnce entry that resumes it, the saved language, and
// the cleanup of them all.
#include <cmath>

#include "framework/core/registry.h"
#include "framework/core/sysutils.h"
#include "platform/file.h"
#include "setup_engine/file_utils.h"
#include "setup_engine/install_driver.h"
#include "setup_engine/install_services.h"
#include "setup_engine/setup_registry.h"
#include "setup_engine/setup_routines.h"

namespace {

std::string installKey;
double startTime = 0;

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// The record values of one run record; false when one of them is missing.
bool ReadRecord(TRegistry& reg, std::string& path, double& date, int& size) {
  std::optional<std::string> p = reg.TryReadString("Path");
  std::optional<int> s = reg.TryReadInteger("Size");
  if (!p || !s) return false;
  try {
    date = reg.ReadFloat("CreationDate");
  } catch (const ERegistryException&) {
    return false;
  }
  path = *p;
  size = *s;
  return true;
}

bool HasSubkeys(const std::string& key) {
  TRegistry reg(setup::SetupRegistry(), TRootKey::hkLocalMachine);
  if (!reg.OpenKeyReadOnly(key)) return false;
  TStringList names;
  reg.GetKeyNames(names);
  return names.Count() > 0;
}

}  // namespace

namespace setup {

const char* const kInstallRecordsKey = "\\SOFTWARE\\Kestrin\\Install";

const std::string& InstallKey() { return installKey; }
void SetInstallKey(const std::string& key) { installKey = key; }
double RunStartTime() { return startTime; }
void SetRunStartTime(double t) { startTime = t; }

}  // namespace setup

std::string TCustomInstall::ReadInstallKey(bool create) {
  using namespace setup;
  std::string program = InstallServices().Application->ProgramPath();
  platform::File file;
  int64_t size = file.Open(LocalPath(program), platform::OpenMode::Read) ? file.Size() : -1;
  file.Close();
  double date = 0;
  GetFileDateTime(LocalPath(program), date);
  TRegistry reg(SetupRegistry(), TRootKey::hkLocalMachine);
  if (!reg.OpenKey(kInstallRecordsKey, true)) return {};
  TStringList names;
  reg.GetKeyNames(names);
  auto write = [&](const std::string& key, const std::function<void(TRegistry&)>& values) {
    TRegistry record(SetupRegistry(), TRootKey::hkLocalMachine);
    try {
      if (!record.OpenKey(key, true)) throw ERegistryException("cannot open " + key);
      values(record);
    } catch (const ERegistryException&) {
      throw EIRCannotWriteValue(key, "Path", program);
    }
  };
  for (int i = 0; i < names.Count(); ++i) {
    std::string key = std::string(kInstallRecordsKey) + "\\" + names[i];
    TRegistry record(SetupRegistry(), TRootKey::hkLocalMachine);
    std::string path;
    double created = 0;
    int recordedSize = 0;
    if (!record.OpenKeyReadOnly(key) || !ReadRecord(record, path, created, recordedSize)) continue;
    if (std::fabs(created - date) < 1e-7 && recordedSize == size) {
      write(key, [&](TRegistry& r) {
        r.WriteFloat("LastRunDate", RunStartTime());
        r.WriteString("Path", program);
      });
      return key;
    }
  }
  if (!create) return {};
  for (int n = 0;; ++n) {
    std::string name = "Install" + IntToStr(n);
    if (names.IndexOf(name) >= 0) continue;
    std::string key = std::string(kInstallRecordsKey) + "\\" + name;
    write(key, [&](TRegistry& r) {
      r.WriteString("Path", program);
      r.WriteFloat("LastRunDate", RunStartTime());
      r.WriteFloat("CreationDate", date);
      r.WriteInteger("Size", int(size));
      if (HasSwitch('e')) r.WriteString("SelfExtract", AddBackslash(SwitchValue('s')) + SwitchValue('e'));
    });
    return key;
  }
}

void TCustomInstall::CleanInstallKeys() {
  using namespace setup;
  std::string key = InstallKey();
  if (key.empty()) return;
  TStringList names;
  {
    TRegistry reg(SetupRegistry(), TRootKey::hkLocalMachine);
    if (reg.OpenKeyReadOnly(key)) reg.GetKeyNames(names);
  }
  for (int i = 0; i < names.Count(); ++i) {
    std::string sub = key + "\\" + names[i];
    std::string local = ReadRegString(TRootKeys::hkLocalMachine, sub, "LocalFile", "");
    // Only what this installer downloaded: files in the temporary folder.
    if (!Trim(local).empty() && InTempFolder(local)) platform::RemoveFile(LocalPath(local));
    DeleteRegTree(TRootKeys::hkLocalMachine, sub);
  }
  DeleteRegTree(TRootKeys::hkLocalMachine, key);
  if (!HasSubkeys(kInstallRecordsKey)) {
    DeleteRegTree(TRootKeys::hkLocalMachine, kInstallRecordsKey);
    if (!HasSubkeys("\\Software\\Kestrin")) DeleteRegTree(TRootKeys::hkLocalMachine, "\\Software\\Kestrin");
  }
  SetInstallKey("");
}

std::string TCustomInstall::UnfinishedKey() const {
  if (setup::InstallKey().empty())
    throw IEInstall("The TInstall could not either write or read unfinished business from the registry");
  return setup::InstallKey() + "\\Unfinished";
}

void TCustomInstall::WriteUnfinished(const std::string& name, int kind) {
  setup::WriteRegString(setup::TRootKeys::hkLocalMachine, UnfinishedKey(), name, IntToStr(kind));
  ++unfinishedCount_;
}

void TCustomInstall::ReadUnfinished(TStrings& list) {
  std::string key = UnfinishedKey();
  list.Clear();
  TRegistry reg(setup::SetupRegistry(), TRootKey::hkLocalMachine);
  if (!reg.OpenKeyReadOnly(key)) return;
  TStringList names;
  reg.GetValueNames(names);
  for (int i = 0; i < names.Count(); ++i) list.Add(names[i] + ";" + reg.TryReadString(names[i]).value_or(""));
}

void TCustomInstall::ClearUnfinished() { setup::DeleteRegTree(setup::TRootKeys::hkLocalMachine, UnfinishedKey()); }

void TCustomInstall::RegisterRunOnce() {
  using namespace setup;
  std::string program = InstallServices().Application->ProgramPath();
  std::string command = Quoted(program) + " -r ";
  if (HasSwitch('e'))
    command += Quoted("-e" + SwitchValue('e')) + " " + Quoted("-s" + sourceDir_);
  else
    command += Quoted("-s" + sourceDir_);
  if (HasSwitch('c')) command += " -c";
  TRegistry reg(SetupRegistry(), TRootKey::hkLocalMachine);
  if (!reg.OpenKey(kRunOnceKey, true))
    throw IEInstall("Cannot register the install to be run on reboot in the RunOnce key in the registry");
  // A value that resumes this same command already is used again.
  std::string name = "KestrinUnfinished";
  for (int n = 1; reg.ValueExists(name) && reg.TryReadString(name) != command; ++n)
    name = "KestrinUnfinished" + IntToStr(n);
  try {
    reg.WriteString(name, command);
  } catch (const ERegistryException&) {
    throw IEInstall("Cannot register the install to be run on reboot in the RunOnce key in the registry");
  }
}

void TCustomInstall::SaveLanguage() {
  if (TTranslator* t = GlobalTranslator())
    setup::WriteRegInteger(setup::TRootKeys::hkLocalMachine, setup::InstallKey(), "Language",
                           int(t->TranslateIntoLanguage()));
}

TKstnLanguage TCustomInstall::ReadLanguage() {
  TTranslator* t = GlobalTranslator();
  TKstnLanguage current = t ? t->TranslateIntoLanguage() : TKstnLanguage::klUser;
  int v = setup::ReadRegInteger(setup::TRootKeys::hkLocalMachine, setup::InstallKey(), "Language", int(current));
  return v >= 0 && v <= int(TKstnLanguage::klVietnamese) ? TKstnLanguage(v) : current;
}
