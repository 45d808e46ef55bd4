// Link groups, links and the psObjectLink specifier: the containment rules, the setters'
// naming rules, the three ways a link is installed and its uninstall record.
#include "setup_engine/shell_links.h"

#include <algorithm>

#include "framework/core/sysutils.h"
#include "platform/file.h"
#include "setup_engine/file_utils.h"
#include "setup_engine/install_driver.h"
#include "setup_engine/install_registry.h"
#include "setup_engine/program_manager.h"
#include "setup_engine/setup_routines.h"

namespace {

const TTypeInfo kMethods{{"mtAutoDetect", "mtShellLinkInterface", "mtProgramManager"}, {}};

const char* const kNeedMainGroup =
    "To create a TInstallMainLink you must first have a TMainLinkGroup component in your project";
const char* const kMainGroupContainer =
    "The TMainLinkGroup component must be the Container for TInstallMainLink and TSubLinkGroup components";

TMainLinkGroup* mainGroup = nullptr;

std::vector<TCustomInstallShellLink*>& Links() {
  static std::vector<TCustomInstallShellLink*> list;
  return list;
}
std::vector<TInstallMainLink*>& MainLinks() {
  static std::vector<TInstallMainLink*> list;
  return list;
}
std::vector<TSubLinkGroup*>& SubGroups() {
  static std::vector<TSubLinkGroup*> list;
  return list;
}

template <class T>
void AddTo(std::vector<T*>& list, T* item, const char* blank) {
  if (!item) throw IEInstallShellLink(blank);
  list.push_back(item);
}
template <class T>
void RemoveFrom(std::vector<T*>& list, T* item) {
  list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

const char* const kBlankLink = "Cannot add a blank entry to the shell link list";
const char* const kBlankGroup = "Cannot add a blank entry to the shell link group list";

TCustomPathSpecifier* ContainerDestDir() { return setup::FindStandard(TpsContainerDestDir::StaticClass()); }

// Frees obj unless it goes already with everything else.
void FreeLater(TComponent* obj) {
  if (!obj->IsDestroying()) obj->ReleaseLater();
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// Whether path lies inside folder (names compared in either case).
bool LiesUnder(const std::string& path, const std::string& folder) {
  std::string f = setup::AddBackslash(folder);
  return !folder.empty() && path.size() > f.size() && SameText(path.substr(0, f.size()), f);
}

}  // namespace

const TTypeInfo& MethodTypeTypeInfo() { return kMethods; }

namespace setup {

TMainLinkGroup* MainLinkGroup() { return mainGroup; }
const std::vector<TCustomInstallShellLink*>& ShellLinks() { return Links(); }
const std::vector<TInstallMainLink*>& MainGroupLinks() { return MainLinks(); }
const std::vector<TSubLinkGroup*>& SubLinkGroups() { return SubGroups(); }

namespace {
IShellLinkWriter* installedWriter = nullptr;
}  // namespace

IShellLinkWriter& ShellLinkWriter() { return installedWriter ? *installedWriter : DefaultShellLinkWriter(); }

IShellLinkWriter* SetShellLinkWriter(IShellLinkWriter* writer) {
  IShellLinkWriter* old = installedWriter;
  installedWriter = writer;
  return old;
}

std::string ComErrorText(int32_t code) {
  switch (uint32_t(code)) {
    case 0: return {};
    case 0x8000FFFFu: return TranslateText("Indicates an unexpected error occurred");
    case 0x80040110u: return TranslateText("Indicates this class cannot be created as part of an aggregate");
    case 0x80040154u:
      return TranslateText("Indicates that a specified class is not registered in the registration database");
    case 0x8007000Eu: return TranslateText("Out of memory");
    case 0x80070057u: return TranslateText("Indicates one or more arguments are invalid");
    default: return ShellLinkWriter().ErrorText(code);
  }
}

bool WriteIniValue(const std::string& file, const std::string& section, const std::string& key,
                   const std::string& value) {
  TStringList lines;
  if (platform::KindOf(LocalPath(file)) == platform::PathKind::File) {
    try {
      lines.LoadFromFile(LocalPath(file));
    } catch (const std::exception&) {
      return false;
    }
  }
  int at = -1, end = lines.Count();
  for (int i = 0; i < lines.Count(); ++i) {
    std::string t = Trim(lines[i]);
    if (t.size() > 1 && t[0] == '[') {
      if (at >= 0) {
        end = i;
        break;
      }
      if (SameText(t, "[" + section + "]")) at = i;
    }
  }
  std::string line = key + "=" + value;
  if (at < 0) {
    lines.Add("[" + section + "]");
    lines.Add(line);
  } else {
    int found = -1;
    for (int i = at + 1; i < end && found < 0; ++i) {
      std::string t = lines[i];
      size_t eq = t.find('=');
      if (eq != std::string::npos && SameText(Trim(t.substr(0, eq)), key)) found = i;
    }
    if (found >= 0)
      lines.Put(found, line);
    else
      lines.Insert(end, line);
  }
  try {
    lines.SaveToFile(LocalPath(file));
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

}  // namespace setup

// ---- groups

const TClassInfo& TCustomShellLinkGroup::StaticClass() {
  static const TClassInfo info{"TCustomShellLinkGroup", &TInstallObject::StaticClass(), nullptr, {}};
  return info;
}

TCustomShellLinkGroup::TCustomShellLinkGroup(TComponent* owner) : TInstallObject(owner) { SetAutoProcess(true); }

void TCustomShellLinkGroup::DoProcess() {
  BroadcastInformation(this, setup::icSelectFolder, nullptr);
  setup::ForceDirectories(setup::LocalPath(GetFullDestDir()));
  TInstallObject::DoProcess();
}

void TCustomShellLinkGroup::ContainerRemoved(TInstallContainer* c) {
  bool mine = c && c == Container();
  TInstallObject::ContainerRemoved(c);
  if (mine) FreeLater(this);
}

namespace {
// Without a default, always stored: the main group's folder depends on the product, and
// an object made inside its container holds its place there from the start.
TPropInfo Undefaulted(TPropInfo p) {
  p.Default.reset();
  return p;
}
}  // namespace

const TClassInfo& TMainLinkGroup::StaticClass() {
  static const TClassInfo info{
      "TMainLinkGroup", &TCustomShellLinkGroup::StaticClass(), Factory<TMainLinkGroup>(),
      {TInstallObject::ContainerProp(), Undefaulted(TInstallContainer::DestDirProp()), TInstallContainer::IncludeProp(),
       TInstallContainer::OrderProp(), TProps<TInstallContainer>::Event("OnAfterProcess", &TInstallContainer::OnAfterProcess),
       TProps<TInstallContainer>::Event("OnBeforeProcess", &TInstallContainer::OnBeforeProcess)}};
  return info;
}

// The rules a new object must meet are checked before anything of it exists.
TComponent* TMainLinkGroup::Checked(TComponent* owner) {
  if (mainGroup) throw IEShellLinkGroup("You can only have one TMainLinkGroup component in your project");
  return owner;
}

TMainLinkGroup::TMainLinkGroup(TComponent* owner) : TCustomShellLinkGroup(Checked(owner)) {
  mainGroup = this;
  SetDestDirType(nullptr);
  TCustomInstall* d = setup::Driver();
  SetDestDir(d ? "\\" + d->Information().ProductName : std::string("\\MainFolderName"));
}

void TMainLinkGroup::BeforeDestruction() {
  if (mainGroup == this) mainGroup = nullptr;
  TCustomShellLinkGroup::BeforeDestruction();
}

void TMainLinkGroup::SetDestDirType(TCustomPathSpecifier*) {
  TCustomShellLinkGroup::SetDestDirType(setup::FindStandard(TpsProgramMenu::StaticClass()));
}

const TClassInfo& TSubLinkGroup::StaticClass() {
  static const TClassInfo info{
      "TSubLinkGroup", &TCustomShellLinkGroup::StaticClass(), Factory<TSubLinkGroup>(),
      {TInstallObject::ContainerProp(), TInstallContainer::DestDirProp().WithDefault(std::string("\\ASubGroup")),
       TInstallContainer::IncludeProp(), Undefaulted(TInstallContainer::OrderProp()),
       TProps<TInstallContainer>::Event("OnAfterProcess", &TInstallContainer::OnAfterProcess),
       TProps<TInstallContainer>::Event("OnBeforeProcess", &TInstallContainer::OnBeforeProcess)}};
  return info;
}

TComponent* TSubLinkGroup::Checked(TComponent* owner) {
  if (!mainGroup) throw IEShellLinkGroup(kNeedMainGroup);
  return owner;
}

TSubLinkGroup::TSubLinkGroup(TComponent* owner) : TCustomShellLinkGroup(Checked(owner)) {
  AddTo(SubGroups(), this, kBlankGroup);
  SetContainer(mainGroup);
  SetDestDirType(nullptr);
  SetDestDir("\\ASubGroup");
}

void TSubLinkGroup::BeforeDestruction() {
  RemoveFrom(SubGroups(), this);
  TCustomShellLinkGroup::BeforeDestruction();
}

void TSubLinkGroup::SetContainer(TInstallContainer* container) {
  if (container && container != mainGroup) throw IEShellLinkGroup(kMainGroupContainer);
  TCustomShellLinkGroup::SetContainer(container);
}

void TSubLinkGroup::SetDestDirType(TCustomPathSpecifier*) { TCustomShellLinkGroup::SetDestDirType(ContainerDestDir()); }

// ---- links

const TClassInfo& TCustomInstallShellLink::StaticClass() {
  static const TClassInfo info{"TCustomInstallShellLink", &TInstallObject::StaticClass(), nullptr, {}};
  return info;
}

TCustomInstallShellLink::TCustomInstallShellLink(TComponent* owner) : TInstallObject(owner) {
  SetAutoProcess(true);
  if (owner && setup::IsFormOrDataModule(owner) && !setup::FindStandard(TpsObjectLink::StaticClass())) {
    auto* s = new TpsObjectLink(owner);
    setup::SetUniqueName(*s, "psObjectLink");
  }
  AddTo(Links(), this, kBlankLink);
}

void TCustomInstallShellLink::BeforeDestruction() {
  RemoveFrom(Links(), this);
  TInstallObject::BeforeDestruction();
}

std::string TCustomInstallShellLink::BlankNameMessage() const {
  return IEInstallShellLink("The LinkName is blank for %s and therefore could not be installed", {Name()}).what();
}

void TCustomInstallShellLink::SetLinkName(const std::string& name) {
  if (IsLoading() || Trim(name).empty()) {
    linkName_ = name;
    return;
  }
  std::string ext = ExtractFileExt(name);
  if (SameText(ext, ".URL")) {
    objectLink_ = nullptr;
    linkName_ = name;
  } else if (SameText(ext, ".LNK")) {
    linkName_ = name;
  } else {
    std::string previous = ExtractFileExt(linkName_);
    linkName_ = ChangeFileExt(name, previous.empty() ? std::string(".LNK") : previous);
  }
}

void TCustomInstallShellLink::SetObjectLink(TInstallContainer* object) {
  if (IsLoading()) {
    objectLink_ = object;
    return;
  }
  if (!object) {
    objectLink_ = nullptr;
    objectLocationType_ = nullptr;
    return;
  }
  objectLink_ = object;
  SetObjectLocationType(setup::FindStandard(TpsObjectLink::StaticClass()));
  objectLocation_.clear();
  if (auto* file = dynamic_cast<TCustomInstallFile*>(object))
    SetLinkName(ChangeFileExt(file->DestName(), ".lnk"));
  else if (auto* group = dynamic_cast<TFileContainer*>(object))
    SetLinkName(group->GroupName() + ".lnk");
  else
    SetLinkName(object->Name() + ".lnk");
  if (!Container()) SetContainer(object);
}

void TCustomInstallShellLink::SetObjectLocation(const std::string& location) {
  objectLocation_ = ObjectLocationType() && Is<TpsObjectLink>(ObjectLocationType()) ? std::string() : location;
  if (IsLoading()) return;
  std::string name = Trim(linkName_);
  if (!name.empty() && !SameText(name, ".LNK")) return;
  std::string upper = AnsiUpperCase(location);
  for (const char* scheme : {"HTTP://", "FTP://"}) {
    size_t at = upper.find(scheme);
    if (at != std::string::npos) {
      linkName_ = location.substr(at + std::string(scheme).size()) + ".URL";
      return;
    }
  }
  SetLinkName(ChangeFileExt(ExtractFileName(location), ""));
}

void TCustomInstallShellLink::SetObjectLocationType(TCustomPathSpecifier* specifier) {
  if (!IsLoading() && specifier) {
    specifier->CheckObject(this);
    if (Is<TpsObjectLink>(specifier)) objectLocation_.clear();
  }
  objectLocationType_ = specifier;
}

std::string TCustomInstallShellLink::GetObjectPath() {
  if (TCustomPathSpecifier* s = ObjectLocationType()) return s->GetPath(this) + objectLocation_;
  return setup::RemoveBackslash(objectLocation_);
}

void TCustomInstallShellLink::InitializeShellLink() {
  if (comStarted_) return;
  int32_t result = setup::ShellLinkWriter().InitializeCom();
  if (result != 0 && result != 1)
    throw IEInstallShellLink("Could not initialize IShellLink with following error code returned: %d",
                             {int64_t(result)});
  comStarted_ = true;
}

void TCustomInstallShellLink::InstallByShellLink() {
  using namespace setup;
  InitializeShellLink();
  if (auto* group = dynamic_cast<TCustomShellLinkGroup*>(ObjectLink()))
    ForceDirectories(LocalPath(group->GetFullDestDir()));
  if (Trim(linkName_).empty()) throw IEInstallShellLink(BlankNameMessage());
  std::string dir = GetFullDestDir();
  ForceDirectories(LocalPath(dir));
  TShellLinkData data;
  data.Arguments = ExpandMetaVariables(parameters_, this);
  data.Path = GetObjectPath();
  data.WorkingDirectory = RemoveBackslash(ExtractFileDir(data.Path));
  data.HotKey = hotKey_;
  std::string file = dir + "\\" + linkName_;
  int32_t result = 0;
  try {
    result = ShellLinkWriter().Save(data, LocalPath(file));
  } catch (const std::exception& e) {
    throw IEInstallShellLink(
        "The TCustomInstallShellLink %s name could not be installed. The following error was reported %s",
        {Name(), std::string(e.what())});
  }
  if (result < 0)
    throw IEInstallShellLink(
        "The TCustomInstallShellLink %s name could not be installed. The following error was reported %s. Error "
        "code %d",
        {Name(), ComErrorText(result), int64_t(result)});
  savedFile_ = file;
}

void TCustomInstallShellLink::InstallByProgramManager() {
  using namespace setup;
  std::string dir = GetFullDestDir();
  if (!LiesUnder(dir, ProgramsFolder())) return;
  std::string group = Trim(ExtractFileName(dir));
  if (group.empty()) throw IEInstallShellLink(BlankNameMessage());
  TProgramManager& pm = ProgramManager();
  pm.CreateGroup(group);
  std::string item = ChangeFileExt(linkName_, "");
  if (pm.FindItem(item) >= 0) pm.ReplaceItem(item);
  std::string target = GetObjectPath();
  std::string arguments = ExpandMetaVariables(parameters_, this);
  pm.AddItem(Quoted(target) + " " + arguments, item, "", Quoted(RemoveBackslash(ExtractFileDir(target))), 0, "");
}

void TCustomInstallShellLink::InstallInternetShortcut() {
  using namespace setup;
  if (Trim(linkName_).empty()) throw IEInstallShellLink(BlankNameMessage());
  std::string dir = GetFullDestDir();
  ForceDirectories(LocalPath(dir));
  std::string file = dir + "\\" + linkName_;
  if (!WriteIniValue(file, "InternetShortcut", "URL", objectLocation_))
    throw IEInstallShellLink(
        "The TCustomInstallShellLink %s name could not be installed. The following error was reported %s",
        {Name(), "Cannot write " + file});
  savedFile_ = file;
}

void TCustomInstallShellLink::DoProcess() {
  using namespace setup;
  savedFile_.clear();
  if (dynamic_cast<TUninstallEXE*>(ObjectLink())) {
    TCustomInstall* d = Driver();
    if (!d) throw IEInstallShellLink("%s cannot perform operation because there is no TInstall component", {Name()});
    parameters_ = d->Information().ProductName;
  }
  if (SameText(ExtractFileExt(linkName_), ".URL")) {
    InstallInternetShortcut();
  } else {
    switch (method_) {
      case TMethodType::mtShellLinkInterface: InstallByShellLink(); break;
      case TMethodType::mtProgramManager: InstallByProgramManager(); break;
      case TMethodType::mtAutoDetect: {
        int platform = GetWindowsPlatform();
        if (platform == 1 || platform == 2)
          InstallByShellLink();
        else
          InstallByProgramManager();
        break;
      }
    }
  }
  TInstallObject::DoProcess();
}

void TCustomInstallShellLink::WriteUninstallInfo(const std::string& key) {
  if (!savedFile_.empty()) setup::RecordUninstallFile(key, savedFile_);
}

void TCustomInstallShellLink::ContainerRemoved(TInstallContainer* c) {
  bool mine = c && (c == Container() || c == ObjectLink());
  TInstallObject::ContainerRemoved(c);
  if (mine) {
    objectLink_ = nullptr;
    FreeLater(this);
  }
}

TPropInfo TCustomInstallShellLink::HotKeyProp() {
  return TProps<TCustomInstallShellLink>::Int(
             "HotKey", [](const TCustomInstallShellLink& l) { return int(l.HotKey()); },
             [](TCustomInstallShellLink& l, int v) { l.SetHotKey(uint16_t(v)); })
      .WithDefault(int64_t(0));
}
TPropInfo TCustomInstallShellLink::LinkNameProp() {
  return TProps<TCustomInstallShellLink>::Str(
             "LinkName", [](const TCustomInstallShellLink& l) { return l.LinkName(); },
             [](TCustomInstallShellLink& l, std::string v) { l.SetLinkName(v); })
      .WithDefault(std::string());
}
TPropInfo TCustomInstallShellLink::MethodProp() {
  return TProps<TCustomInstallShellLink>::Enum<TMethodType>("Method", &kMethods, &TCustomInstallShellLink::Method,
                                                            &TCustomInstallShellLink::SetMethod)
      .WithDefault(int64_t(0));
}
TPropInfo TCustomInstallShellLink::ObjectLinkProp() {
  return TProps<TCustomInstallShellLink>::Component<TInstallContainer>(
      "ObjectLink", &TCustomInstallShellLink::ObjectLink,
      [](TCustomInstallShellLink& l, TInstallContainer* c) { l.SetObjectLink(c); });
}
TPropInfo TCustomInstallShellLink::ObjectLocationProp() {
  return TProps<TCustomInstallShellLink>::Str(
             "ObjectLocation", [](const TCustomInstallShellLink& l) { return l.ObjectLocation(); },
             [](TCustomInstallShellLink& l, std::string v) { l.SetObjectLocation(v); })
      .WithDefault(std::string());
}
TPropInfo TCustomInstallShellLink::ObjectLocationTypeProp() {
  return TProps<TCustomInstallShellLink>::Component<TCustomPathSpecifier>(
      "ObjectLocationType", &TCustomInstallShellLink::ObjectLocationType,
      [](TCustomInstallShellLink& l, TCustomPathSpecifier* s) { l.SetObjectLocationType(s); });
}
TPropInfo TCustomInstallShellLink::ParametersProp() {
  return TProps<TCustomInstallShellLink>::Str(
             "Parameters", [](const TCustomInstallShellLink& l) { return l.Parameters(); },
             [](TCustomInstallShellLink& l, std::string v) { l.SetParameters(v); })
      .WithDefault(std::string());
}

namespace {

// The entries every link publishes, after those of its own kind.
std::vector<TPropInfo> LinkProps(std::vector<TPropInfo> own) {
  using L = TCustomInstallShellLink;
  for (TPropInfo& p : std::vector<TPropInfo>{
           TInstallContainer::DestDirProp(), TInstallContainer::IncludeProp(), Undefaulted(TInstallContainer::OrderProp()),
           L::HotKeyProp(), L::LinkNameProp(), L::MethodProp(), L::ObjectLinkProp(), L::ObjectLocationProp(),
           L::ObjectLocationTypeProp(), L::ParametersProp(),
           TProps<TInstallContainer>::Event("OnAfterProcess", &TInstallContainer::OnAfterProcess),
           TProps<TInstallContainer>::Event("OnBeforeProcess", &TInstallContainer::OnBeforeProcess)})
    own.push_back(std::move(p));
  return own;
}

}  // namespace

const TClassInfo& TInstallShellLink::StaticClass() {
  static const TClassInfo info{
      "TInstallShellLink", &TCustomInstallShellLink::StaticClass(), Factory<TInstallShellLink>(),
      LinkProps({TInstallObject::ContainerProp(), TInstallContainer::DestDirTypeProp()})};
  return info;
}

const TClassInfo& TInstallMainLink::StaticClass() {
  static const TClassInfo info{"TInstallMainLink", &TCustomInstallShellLink::StaticClass(),
                               Factory<TInstallMainLink>(), LinkProps({})};
  return info;
}

TComponent* TInstallMainLink::Checked(TComponent* owner) {
  if (!mainGroup) throw IEInstallShellLink(kNeedMainGroup);
  return owner;
}

TInstallMainLink::TInstallMainLink(TComponent* owner) : TCustomInstallShellLink(Checked(owner)) {
  AddTo(MainLinks(), this, kBlankLink);
  SetContainer(mainGroup);
  SetDestDirType(nullptr);
}

void TInstallMainLink::BeforeDestruction() {
  RemoveFrom(MainLinks(), this);
  TCustomInstallShellLink::BeforeDestruction();
}

void TInstallMainLink::SetContainer(TInstallContainer* container) {
  if (container && container != mainGroup) throw IEInstallShellLink(kMainGroupContainer);
  TCustomInstallShellLink::SetContainer(container);
}

void TInstallMainLink::SetDestDirType(TCustomPathSpecifier*) {
  TCustomInstallShellLink::SetDestDirType(ContainerDestDir());
}

const TClassInfo& TInstallSubLink::StaticClass() {
  static const TClassInfo info{"TInstallSubLink", &TCustomInstallShellLink::StaticClass(),
                               Factory<TInstallSubLink>(), LinkProps({TInstallObject::ContainerProp()})};
  return info;
}

TComponent* TInstallSubLink::Checked(TComponent* owner) {
  if (SubGroups().empty())
    throw IEInstallShellLink(
        "To create a TInstallSubLink you must first have at least one TSubLinkGroup component in your project");
  return owner;
}

TInstallSubLink::TInstallSubLink(TComponent* owner) : TCustomInstallShellLink(Checked(owner)) {
  SetContainer(SubGroups().front());
  SetDestDirType(nullptr);
}

void TInstallSubLink::SetContainer(TInstallContainer* container) {
  if (container && !dynamic_cast<TSubLinkGroup*>(container))
    throw IEInstallShellLink("A TSubLinkGroup component must be the Container for TInstallSubLink components");
  TCustomInstallShellLink::SetContainer(container);
}

void TInstallSubLink::SetDestDirType(TCustomPathSpecifier*) {
  TCustomInstallShellLink::SetDestDirType(ContainerDestDir());
}

// ---- psObjectLink

const TClassInfo& TpsObjectLink::StaticClass() {
  static const TClassInfo info{"TpsObjectLink", &TStandardPathSpecifier::StaticClass(), Factory<TpsObjectLink>(),
                               {}};
  return info;
}

std::string TpsObjectLink::GetDescription() const { return "Path of the file or file group in the ObjectLink property"; }

void TpsObjectLink::CheckObject(TInstallContainer* obj) {
  auto* link = dynamic_cast<TCustomInstallShellLink*>(obj);
  if (!link)
    throw IEPathSpecifier("%s must be a %s to use the %s path specifier",
                          {obj ? obj->Name() : std::string(), std::string("TCustomInstallShellLink"),
                           std::string("psObjectLink")});
  if (!link->ObjectLink())
    throw IEPathSpecifier("Cannot use ddObjectLink for %s unless you assign a value to ObjectLink", {link->Name()});
}

std::string TpsObjectLink::GetPath(TInstallContainer* obj) {
  CheckObject(obj);
  TInstallContainer* target = static_cast<TCustomInstallShellLink*>(obj)->ObjectLink();
  if (auto* file = dynamic_cast<TCustomInstallFile*>(target)) return setup::RemoveBackslash(file->Destination());
  return setup::RemoveBackslash(target->GetFullDestDir());
}
