#include "setup_engine/install_folders.h"

#include <algorithm>
#include <cctype>

#include "framework/core/sysutils.h"
#include "setup_engine/install_driver.h"
#include "setup_engine/install_file.h"
#include "setup_engine/install_services.h"
#include "setup_engine/setup_exceptions.h"
#include "setup_engine/setup_registry.h"
#include "setup_engine/setup_routines.h"

namespace {

std::vector<TCustomPathSpecifier*>& List() {
  static std::vector<TCustomPathSpecifier*> list;
  return list;
}
std::vector<TCustomPathSpecifier*>& StandardList() {
  static std::vector<TCustomPathSpecifier*> list;
  return list;
}

void Leave(std::vector<TCustomPathSpecifier*>& list, TCustomPathSpecifier* s) {
  list.erase(std::remove(list.begin(), list.end(), s), list.end());
}

const char* const kShellFolders = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char* const kCurrentVersion = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

// A registry entry when it is there and not blank, else the default, without a trailing
// backslash.
std::string Folder(setup::TRootKeys root, const char* key, const char* name, const std::function<std::string()>& def) {
  std::string v = setup::ReadRegString(root, key, name, "");
  return setup::RemoveBackslash(Trim(v).empty() ? def() : v);
}

std::string WindowsDir() { return setup::InstallServices().Folders->WindowsDir(); }

// "C:" of the current folder; "" when it has no drive.
std::string CurrentDrive() {
  std::string dir = setup::InstallServices().Folders->CurrentDir();
  return dir.size() >= 2 && dir[1] == ':' ? dir.substr(0, 2) : std::string();
}

TCustomInstall* RequireDriver(TInstallContainer* obj) {
  TCustomInstall* d = setup::Driver();
  if (!d)
    throw IEPathSpecifier("There is no TInstall component so the path specifier could not be expanded for %s",
                          {obj ? obj->Name() : std::string()});
  return d;
}

TInstallObject* RequireInstallObject(TInstallContainer* obj, const TCustomPathSpecifier& s) {
  auto* o = dynamic_cast<TInstallObject*>(obj);
  if (!o)
    throw IEPathSpecifier("%s must be a %s to use the %s path specifier",
                          {obj ? obj->Name() : std::string(), std::string("TInstallObject"), s.Name()});
  return o;
}

}  // namespace

// ---- TCustomPathSpecifier

const TClassInfo& TCustomPathSpecifier::StaticClass() {
  static const TClassInfo info{"TCustomPathSpecifier", &TComponent::StaticClass(), nullptr, {}};
  return info;
}

TCustomPathSpecifier::TCustomPathSpecifier(TComponent* owner) : TComponent(owner) { List().push_back(this); }

void TCustomPathSpecifier::BeforeDestruction() {
  Leave(List(), this);
  Leave(StandardList(), this);
  TComponent::BeforeDestruction();
}

std::string TCustomPathSpecifier::GetDescription() const { return "Unspecified"; }

std::string TCustomPathSpecifier::GetPath(TInstallContainer* obj) {
  std::string path;
  OnGetPath(obj, path);
  return path;
}

const TClassInfo& TPathSpecifier::StaticClass() {
  using P = TProps<TPathSpecifier>;
  static const TClassInfo info{
      "TPathSpecifier", &TCustomPathSpecifier::StaticClass(), Factory<TPathSpecifier>(),
      {P::Str("Description", [](const TPathSpecifier& s) { return s.Description; },
              [](TPathSpecifier& s, std::string v) { s.Description = std::move(v); })
           .WithDefault(std::string("My cool new path specifier")),
       P::Event("OnGetPath", &TCustomPathSpecifier::OnGetPath)}};
  return info;
}

const TClassInfo& TStandardPathSpecifier::StaticClass() {
  static const TClassInfo info{"TStandardPathSpecifier", &TCustomPathSpecifier::StaticClass(), nullptr, {}};
  return info;
}

TStandardPathSpecifier::TStandardPathSpecifier(TComponent* owner) : TCustomPathSpecifier(owner) {
  StandardList().push_back(this);
}

std::string TStandardPathSpecifier::DisplayName() const { return ClassName().substr(1); }

// ---- the standard classes

#define SETUP_STANDARD_CLASS(Name, Description)                                                              \
  const TClassInfo& Name::StaticClass() {                                                                  \
    static const TClassInfo info{#Name, &TStandardPathSpecifier::StaticClass(), Factory<Name>(), {}};      \
    return info;                                                                                           \
  }                                                                                                        \
  std::string Name::GetDescription() const { return Description; }

SETUP_STANDARD_CLASS(TpsBDEDLL, "Borland Database Engine DLL Path")
SETUP_STANDARD_CLASS(TpsCommonFiles, "Path of the common files directory under the program files directory")
SETUP_STANDARD_CLASS(TpsContainerArchiveFile, "Path to the archive file of the container")
SETUP_STANDARD_CLASS(TpsContainerDestDir, "Path of the destination directory of the container")
SETUP_STANDARD_CLASS(TpsDesktopMenu, "Path of the Desktop")
SETUP_STANDARD_CLASS(TpsInstallSource, "Path from which the user ran the install")
SETUP_STANDARD_CLASS(TpsMainInstall, "Path of the destination directory of the TInstall")
SETUP_STANDARD_CLASS(TpsProgramFiles, "Path of the program files directory")
SETUP_STANDARD_CLASS(TpsProgramMenu, "Path of the Programs folder under the Start Menu")
SETUP_STANDARD_CLASS(TpsStartMenu, "Path of Start Menu")
SETUP_STANDARD_CLASS(TpsStartupMenu, "Path of the Startup folder in the Programs folder under the Start Menu")
SETUP_STANDARD_CLASS(TpsSystem, "Path of system directory")
SETUP_STANDARD_CLASS(TpsMainArchiveFile, "Archive containing most or all non-internet installation files")
SETUP_STANDARD_CLASS(TpsWindow, "Path of the Windows directory")

#undef SETUP_STANDARD_CLASS

void TpsBDEDLL::CheckObject(TInstallContainer*) {}
std::string TpsBDEDLL::GetPath(TInstallContainer*) {
  std::string dllPath =
      setup::ReadRegString(setup::TRootKeys::hkLocalMachine, "\\Software\\Borland\\Database Engine", "DLLPath", "");
  std::string first = Trim(setup::GetField(dllPath, 1, ';'));
  return setup::RemoveBackslash(first.empty() ? setup::ProgramFilesFolder() + "\\Borland\\Common Files\\BDE" : first);
}

void TpsCommonFiles::CheckObject(TInstallContainer*) {}
std::string TpsCommonFiles::GetPath(TInstallContainer*) { return setup::CommonFilesFolder(); }

void TpsContainerArchiveFile::CheckObject(TInstallContainer* obj) {
  TInstallObject* o = RequireInstallObject(obj, *this);
  if (!o->Container())
    throw IEPathSpecifier("Cannot use ddContainerArchiveFile for %s unless you assign a Container", {o->Name()});
  if (!dynamic_cast<TFileRelated*>(o->Container()))
    throw IEPathSpecifier(
        "Cannot use the ddContainerArchiveFile path specifier for %s because the Container is not a TFileRelated "
        "descendant",
        {o->Name()});
}
std::string TpsContainerArchiveFile::GetPath(TInstallContainer* obj) {
  CheckObject(obj);
  return static_cast<TFileRelated*>(static_cast<TInstallObject*>(obj)->Container())->GetArchivePath();
}

void TpsContainerDestDir::CheckObject(TInstallContainer* obj) {
  TInstallObject* o = RequireInstallObject(obj, *this);
  if (!o->Container())
    throw IEPathSpecifier("Cannot use ddContainerDestDir for %s unless you assign a Container", {o->Name()});
}
std::string TpsContainerDestDir::GetPath(TInstallContainer* obj) {
  CheckObject(obj);
  return static_cast<TInstallObject*>(obj)->Container()->GetFullDestDir();
}

void TpsDesktopMenu::CheckObject(TInstallContainer*) {}
std::string TpsDesktopMenu::GetPath(TInstallContainer*) { return setup::DesktopFolder(); }

void TpsInstallSource::CheckObject(TInstallContainer* obj) { RequireDriver(obj); }
std::string TpsInstallSource::GetPath(TInstallContainer* obj) { return RequireDriver(obj)->SourceDir(); }

void TpsMainInstall::CheckObject(TInstallContainer* obj) {
  TCustomInstall* d = RequireDriver(obj);
  if (obj == d) throw IEPathSpecifier("Cannot use the ddMainInstallDir path specifier for a TInstall component");
}
std::string TpsMainInstall::GetPath(TInstallContainer* obj) {
  CheckObject(obj);
  return setup::Driver()->GetFullDestDir();
}

void TpsProgramFiles::CheckObject(TInstallContainer*) {}
std::string TpsProgramFiles::GetPath(TInstallContainer*) { return setup::ProgramFilesFolder(); }

void TpsProgramMenu::CheckObject(TInstallContainer*) {}
std::string TpsProgramMenu::GetPath(TInstallContainer*) { return setup::ProgramsFolder(); }

void TpsStartMenu::CheckObject(TInstallContainer*) {}
std::string TpsStartMenu::GetPath(TInstallContainer*) { return setup::StartMenuFolder(); }

void TpsStartupMenu::CheckObject(TInstallContainer*) {}
std::string TpsStartupMenu::GetPath(TInstallContainer*) { return setup::StartupFolder(); }

void TpsSystem::CheckObject(TInstallContainer*) {}
std::string TpsSystem::GetPath(TInstallContainer*) { return setup::InstallServices().Folders->SystemDir(); }

void TpsMainArchiveFile::CheckObject(TInstallContainer* obj) { RequireDriver(obj); }
std::string TpsMainArchiveFile::GetPath(TInstallContainer* obj) {
  TCustomInstall* d = RequireDriver(obj);
  std::string name = "files.1";
  if (d->HasSwitch('e')) {
    name = d->SwitchValue('e');
    if (Trim(name).empty())
      throw IEInstall(
          "You forgot to pass in the name of the self-extracting executable. Usage example: \"-eSetup.exe\"");
  }
  return d->SourceDir() + "\\" + name;
}

void TpsWindow::CheckObject(TInstallContainer*) {}
std::string TpsWindow::GetPath(TInstallContainer*) { return WindowsDir(); }

namespace setup {

const std::vector<const TClassInfo*>& StandardSpecifierClasses() {
  static const std::vector<const TClassInfo*> classes{
      &TpsBDEDLL::StaticClass(),          &TpsCommonFiles::StaticClass(),   &TpsContainerArchiveFile::StaticClass(),
      &TpsContainerDestDir::StaticClass(), &TpsDesktopMenu::StaticClass(),  &TpsInstallSource::StaticClass(),
      &TpsMainInstall::StaticClass(),     &TpsProgramFiles::StaticClass(),  &TpsProgramMenu::StaticClass(),
      &TpsStartMenu::StaticClass(),       &TpsStartupMenu::StaticClass(),   &TpsSystem::StaticClass(),
      &TpsMainArchiveFile::StaticClass(), &TpsWindow::StaticClass()};
  return classes;
}

TCustomPathSpecifier* FindStandard(const TClassInfo& cls) {
  for (TCustomPathSpecifier* s : StandardList())
    if (&s->ClassType() == &cls) return s;
  return nullptr;
}

void RegisterStandardSpecifiers(TComponent* owner, bool onlyMissing) {
  for (const TClassInfo* cls : StandardSpecifierClasses()) {
    if (onlyMissing && FindStandard(*cls)) continue;
    TOwned<TComponent> made(cls->Create(owner));
    made->SetName(std::string(cls->Name().substr(1)));
    made.release();
  }
}

bool IsFormOrDataModule(const TComponent* c) {
  if (!c) return false;
  for (const TClassInfo* cls = &c->ClassType(); cls; cls = cls->Parent())
    if (cls->Name() == "TDataModule" || cls->Name() == "TCustomForm") return true;
  return false;
}

std::string StartMenuFolder() {
  return Folder(TRootKeys::hkCurrentUser, kShellFolders, "Start Menu", [] { return WindowsDir() + "\\Start Menu"; });
}

std::string ProgramsFolder() {
  return Folder(TRootKeys::hkCurrentUser, kShellFolders, "Programs", [] { return StartMenuFolder() + "\\Programs"; });
}

std::string DesktopFolder() {
  return Folder(TRootKeys::hkCurrentUser, kShellFolders, "Desktop", [] { return WindowsDir() + "\\Desktop"; });
}

std::string StartupFolder() {
  return Folder(TRootKeys::hkCurrentUser, kShellFolders, "Startup", [] { return WindowsDir() + "\\Startup"; });
}

std::string ProgramFilesFolder() {
  return Folder(TRootKeys::hkLocalMachine, kCurrentVersion, "ProgramFilesDir",
                [] { return CurrentDrive() + "\\Program Files"; });
}

std::string CommonFilesFolder() {
  return Folder(TRootKeys::hkLocalMachine, kCurrentVersion, "CommonFilesDir",
                [] { return CurrentDrive() + "\\Program Files\\Common Files"; });
}

std::string ExpandMetaVariables(const std::string& text, TInstallContainer* obj) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (++i >= text.size()) break;
    switch (std::tolower(static_cast<unsigned char>(text[i]))) {
      case '%': out += '%'; break;
      case 'a':
        if (!obj)
          throw EAICannotExpandContainerDirMV(
              TranslateText("Cannot expand the %a meta variable because the component is Nil"));
        out += obj->GetFullDestDir();
        break;
      case 'b': out += ProgramsFolder(); break;
      case 'c': {
        if (!obj)
          throw EAICannotExpandContainerDirMV(
              TranslateText("Cannot expand the %c meta variable because the component is Nil"));
        auto* o = dynamic_cast<TInstallObject*>(obj);
        if (!o || !o->Container())
          throw EAICannotExpandContainerDirMV(
              TranslateText("Cannot expand the %c meta variable because the Container property is Nil"));
        out += o->Container()->GetFullDestDir();
        break;
      }
      case 'd': out += DesktopFolder(); break;
      case 'f': out += CommonFilesFolder(); break;
      case 'i':
        if (!Driver())
          throw EAICannotExpandInstallDirMV(
              TranslateText("Cannot expand the %i meta variable because there is no TInstall component"));
        out += Driver()->GetFullDestDir();
        break;
      case 'm': out += StartMenuFolder(); break;
      case 'p': out += ProgramFilesFolder(); break;
      case 's': out += InstallServices().Folders->SystemDir(); break;
      case 'w': out += WindowsDir(); break;
      default: break;
    }
  }
  return out;
}

std::string ExpandPathVariable(const std::string& text, const std::string& path) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size()) {
      char next = text[i + 1];
      if (next == 'P' || next == 'p') {
        out += path;
        ++i;
        continue;
      }
      if (next == '%') {
        out += '%';
        ++i;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

}  // namespace setup
