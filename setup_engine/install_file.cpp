// Install files: the archive entry, the overwrite decision, the destination made ready,
// the extraction, replacement at the restart, the steps after an install (help, shared
// DLL count, server registration) and the uninstall records.
#include "setup_engine/install_file.h"

#include <algorithm>
#include <memory>

#include "framework/core/registry.h"
#include "framework/core/streams.h"
#include "framework/core/sysutils.h"
#include "platform/file.h"
#include "setup_engine/archive_names.h"
#include "setup_engine/file_utils.h"
#include "setup_engine/install_driver.h"
#include "setup_engine/install_services.h"
#include "setup_engine/setup_registry.h"
#include "setup_engine/setup_routines.h"

namespace {

const TTypeInfo kFileTypes{
    {"iftNormal", "iftJustADLL", "iftApplicationSpecificDLL", "iftVendorSharedDLL", "iftSystemWideDLL"}, {}};
const TTypeInfo kOverwriteTypes{{"owAlways", "owNever", "owVersion", "owDate", "owVersionDate"}, {}};

const char* const kHelpKey = "\\SOFTWARE\\Microsoft\\Windows\\Help";
const char* const kSharedDllsKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char* const kBlankDestination =
    "Cannot compress,copy, or install the following file because it's destination directory is blank. File is :%s";
const char* const kBlankArchive =
    "Cannot either compress or decompress the following file because it's archive file property is blank. File "
    "is :%s";
const char* const kCannotScheduleMove =
    "%s cannot register a routine in the register to move the files after the computer is reboot";
constexpr uint32_t kRegServerTimeoutMs = 60000;
constexpr int kFileRecordAttempts = 10;

std::vector<TCustomInstallFile*>& Files() {
  static std::vector<TCustomInstallFile*> list;
  return list;
}
std::vector<TCustomInstallFile*> pending;
bool userAborted = false;
TKstnCompress* extracting = nullptr;  // the archive that extracts now, if any

bool OwnArchive(const TCustomInstallFile& f) {
  TOverwriteType m = f.OverwriteMode();
  return f.NetLocation() || m == owVersion || m == owDate || m == owVersionDate;
}

TDistributeType DistributeType() {
  TCustomInstall* d = setup::Driver();
  return d ? d->DistributeType() : TDistributeType::dtTraditionalNet;
}

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

}  // namespace

namespace setup {

const std::vector<TCustomInstallFile*>& AllInstallFiles() { return Files(); }
std::vector<TCustomInstallFile*>& PendingFiles() { return pending; }
bool UserAborted() { return userAborted; }
void SetUserAborted(bool v) { userAborted = v; }

void RequestCopyCancel() {
  userAborted = true;
  SetDownloadAborted(true);
  GlobalArchive().Abort = true;
  if (extracting) extracting->Abort = true;
}

std::string LocalPath(const std::string& path) {
  if (platform::PathSeparator() == '\\') return path;
  std::string out = path;
  std::replace(out.begin(), out.end(), '\\', platform::PathSeparator());
  return out;
}

bool IsMainArchive(const std::string& archivePath) {
  TCustomInstall* d = Driver();
  return d && SameText(d->GetArchivePath(), archivePath);
}

std::string NewTempFileName(const std::string& ext) {
  std::string unique;
  if (!platform::CreateUniqueFile(InstallServices().Folders->TempDir(), "bat", unique))
    throw EAPIRoutines("Cannot create a temporary file");
  platform::RemoveFile(unique);
  return ChangeFileExt(unique, ext);
}

}  // namespace setup

// ---- TCustomInstallFile

const TClassInfo& TCustomInstallFile::StaticClass() {
  static const TClassInfo info{"TCustomInstallFile", &TFileRelated::StaticClass(), nullptr, {}};
  return info;
}

TCustomInstallFile::TCustomInstallFile(TComponent* owner) : TFileRelated(owner) { Files().push_back(this); }

TCustomInstallFile::~TCustomInstallFile() = default;

void TCustomInstallFile::BeforeDestruction() {
  Files().erase(std::remove(Files().begin(), Files().end(), this), Files().end());
  pending.erase(std::remove(pending.begin(), pending.end(), this), pending.end());
  TFileRelated::BeforeDestruction();
}

void TCustomInstallFile::CheckDestName(const std::string& name) const {
  // Only a name that stands for one file in the destination folder.
  if (name.empty() || setup::SafeExtractName(name) != name || name.find_first_of("\\/:") != std::string::npos)
    throw IECustomInstallFile("The destination name <%s> of %s is not a plain file name", {name, Name()});
}

void TCustomInstallFile::SetDestName(const std::string& name) {
  if (!name.empty()) CheckDestName(name);
  WithDesignRule(false, [&] { destName_ = name; });
}

void TCustomInstallFile::Loaded() {
  TFileRelated::Loaded();
  CheckDestName(destName_);
}

void TCustomInstallFile::SetArchiveEntry(int32_t compressedSize, double date, int32_t size,
                                         const std::string& version) {
  compressedSize_ = compressedSize;
  fileDate_ = date;
  size_ = size;
  version_ = version.substr(0, 20);
}

std::string TCustomInstallFile::SourceName() const {
  return includeFromDir_.empty() ? fileName_ : includeFromDir_ + "\\" + fileName_;
}

std::string TCustomInstallFile::DestinationDir() { return GetFullDestDir(); }

std::string TCustomInstallFile::Destination() { return DestinationDir() + "\\" + destName_; }

void TCustomInstallFile::ReadEntry(const std::string& archivePath) {
  if (Trim(archivePath).empty()) throw IECustomInstallFile(kBlankArchive, {Name()});
  std::string local = setup::LocalPath(archivePath);
  // A missing archive is an error here, before anything is installed, not a file that
  // is quietly left out.
  if (!platform::IsFile(local)) throw EKstnCompress(FormatTolerant("Cannot open the compressed file %s", {local}));
  TKstnCompress temporary;
  TKstnCompress& archive = setup::IsMainArchive(archivePath) ? GlobalArchive() : temporary;
  archive.SetCompressedFile(local);
  int index = archive.IndexOfFile(SourceName());
  if (index < 0) return;
  TlzhFileStats stats;
  archive.GetFileStats(index, stats);
  SetArchiveEntry(stats.compressedSize, stats.header.date, stats.uncompressedSize, stats.header.version);
}

void TCustomInstallFile::ReadInfoFromArchive() {
  TDistributeType dt = DistributeType();
  if (dt == TDistributeType::dtTraditional || (dt == TDistributeType::dtTraditionalNet && !Net())) {
    ReadEntry(GetArchivePath());
    return;
  }
  if (OwnArchive(*this) && HasLocalArchive()) {
    ReadEntry(LocalArchive());
    return;
  }
  auto* parent = dynamic_cast<TFileContainer*>(Container());
  if (!parent)
    throw IECustomInstallFile(
        "%s cannot perform ReadInfoFromArchive because either no container is assigned or the container is not "
        "TFileContainer",
        {Name()});
  if (parent->HasLocalArchive()) ReadEntry(parent->LocalArchive());
}

void TCustomInstallFile::PrepareDestination() {
  using namespace setup;
  OnReplacing(this);
  BroadcastInformation(this, icReplacingFile, this);
  InformContainer(ccFileReplacing, this);
  installDecision_ = true;
  IFileReplacement& files = *InstallServices().Files;
  std::string dest = LocalPath(Destination());
  TReplaceState state = files.Probe(dest);
  if (state == TReplaceState::ReadOnly) {
    files.MakeWritable(dest);
    state = files.Probe(dest);
  }
  if (state != TReplaceState::Locked) return;
  // In use: the file goes beside it, under the first free ".n" name, until the restart.
  deferred_ = true;
  for (int n = 1;; ++n) {
    std::string candidate = ChangeFileExt(destName_, "." + IntToStr(n));
    if (platform::KindOf(LocalPath(DestinationDir() + "\\" + candidate)) == platform::PathKind::None) {
      extractName_ = candidate;
      break;
    }
  }
  SetRebootNeeded(true);
}

void TCustomInstallFile::ScheduleReplacement() {
  using namespace setup;
  ISystemFolders& folders = *InstallServices().Folders;
  IDelayedMoves& moves = *InstallServices().Moves;
  std::string locked = LocalPath(Destination());
  std::string fresh = LocalPath(DestinationDir() + "\\" + extractName_);
  std::string lockedShort = folders.ShortPath(locked);
  if (GetWindowsPlatform() == 1) {
    if (!moves.WininitRename(lockedShort, folders.ShortPath(fresh))) throw IECustomInstallFile(kCannotScheduleMove, {Name()});
    return;
  }
  if (moves.MoveAtRestart(fresh, locked)) return;
  TCustomInstall* driver = Driver();
  if (!driver) throw IECustomInstallFile(kCannotScheduleMove, {Name()});
  // A batch that RunOnce starts after the restart does the move instead.
  std::string batch = NewTempFileName(".bat");
  try {
    setup::WriteLines(batch, {"erase " + Quoted(lockedShort), "move " + Quoted(fresh) + " " + Quoted(lockedShort)});
  } catch (const EStreamError&) {
    platform::RemoveFile(batch);
    throw IECustomInstallFile(kCannotScheduleMove, {Name()});
  }
  driver->WriteUnfinished(batch, 1);
  if (!SetRunOnceValue("KestrinBatFile", Quoted(batch), true)) throw IECustomInstallFile(kCannotScheduleMove, {Name()});
}

void TCustomInstallFile::IncrementSharedCount() {
  TRegistry reg(setup::SetupRegistry(), TRootKey::hkLocalMachine);
  if (!reg.OpenKey(kSharedDllsKey, true))
    throw IECustomInstallFile(
        "Could not open the key SharedDLLs key in the registry. File component %s. GetLastError return: %d",
        {Name(), int64_t(0)});
  std::string dest = setup::LocalPath(Destination());
  std::string shortName = setup::InstallServices().Folders->ShortPath(dest);
  if (std::optional<int> count = reg.TryReadInteger(shortName)) {
    reg.WriteInteger(shortName, *count + 1);
    return;
  }
  reg.WriteInteger(dest, reg.TryReadInteger(dest).value_or(0) + 1);
}

void TCustomInstallFile::RegisterServer() {
  std::string dest = setup::LocalPath(Destination());
  if (Trim(DestinationDir()).empty() || !platform::IsFile(dest)) throw IECustomInstallFile(kBlankDestination, {Name()});
  if (SameText(ExtractFileExt(destName_), ".EXE"))
    RegisterExeServer();
  else
    RegisterDllServer();
}

void TCustomInstallFile::RegisterDllServer() {
  std::string dest = setup::LocalPath(Destination());
  setup::TDllRegistration r =
      setup::InstallServices().Processes->RegisterDll(dest, setup::LocalPath(DestinationDir()));
  switch (r.Result) {
    case setup::TDllRegistration::Registered:
      return;
    case setup::TDllRegistration::NoLibrary:
      throw IECustomInstallFile(
          "Could not register the ActiveX component, %s, because the LoadLibrary(%s) procedure returned a value of "
          "0. The file component is %s. The following value is the value of the GetLastError function: %d",
          {dest, dest, Name(), int64_t(r.Error)});
    case setup::TDllRegistration::NoEntryPoint:
      throw IECustomInstallFile(
          "Could not register the ActiveX component, %s, because the DllRegisterServer function could not be "
          "found. The file component is %s. The following value is the value of the GetLastError function: %d",
          {dest, Name(), int64_t(r.Error)});
    case setup::TDllRegistration::Failed:
      break;
  }
  throw IECustomInstallFile(
      "Could not register the ActiveX component, %s, because the DllRegisterServer function returned a value of "
      "%d. The file component is %s",
      {dest, int64_t(r.Code), Name()});
}

void TCustomInstallFile::RegisterExeServer() {
  std::string dest = setup::LocalPath(Destination());
  setup::TRunResult r = setup::InstallServices().Processes->Run(Quoted(dest) + " /REGSERVER",
                                                                setup::LocalPath(DestinationDir()), kRegServerTimeoutMs);
  if (!r.Started)
    throw IECustomInstallFile(
        "Could not register the ActiveX component, %s, because it could not be started. The file component is %s. "
        "The following value is the value of the GetLastError function: %d",
        {dest, Name(), int64_t(r.Error)});
  if (!r.Ended)
    throw IECustomInstallFile(
        "Could not register the ActiveX component, %s, because it did not end within %d seconds. The file "
        "component is %s",
        {dest, int64_t(kRegServerTimeoutMs / 1000), Name()});
  if (r.ExitCode != 0)
    throw IECustomInstallFile(
        "Could not register the ActiveX component, %s, because its /REGSERVER run returned a value of %d. The "
        "file component is %s",
        {dest, int64_t(r.ExitCode), Name()});
}

void TCustomInstallFile::AfterInstall() {
  if (registerAsHelp_)
    setup::WriteRegString(setup::TRootKeys::hkLocalMachine, kHelpKey, AnsiUpperCase(destName_), DestinationDir());
  if (updateDLLCounter_) {
    try {
      IncrementSharedCount();
    } catch (const IECustomInstallFile&) {
      throw;
    } catch (const Exception&) {
      throw IECustomInstallFile("Cannot update the DLL count for the following file :%s:", {Destination()});
    }
  }
  TCustomInstall* driver = setup::Driver();
  if (deferred_ && driver) {
    driver->WriteUnfinished(Name(), 0);
  } else if (activeX_) {
    try {
      RegisterServer();
    } catch (const EAbort&) {
      throw;
    } catch (const Exception&) {
      // During a run the registration is tried again after the whole tree.
      if (!driver || !driver->Installing()) throw;
      if (std::find(pending.begin(), pending.end(), this) == pending.end()) pending.push_back(this);
    }
  }
}

void TCustomInstallFile::ArchiveStatus(const TlzhFileStats& stats) {
  using namespace setup;
  TFileStatusParameter status(stats);
  status.FileName = fileName_;
  OnStatus(this, status.Percent, status.TotalPercent);
  BroadcastInformation(this, icFileStatus, &status);
  TParameterList list(this, &status);
  int code = state_ == TInstallFileState::ifsCompress ? ccCompressStatus
             : state_ == TInstallFileState::ifsCopying ? ccCopyStatus
                                                       : ccInstallStatus;
  InformContainer(code, &list);
}

void TCustomInstallFile::ArchiveNewDisk(int disk, std::string& path) {
  using namespace setup;
  SetTag(0);
  TDiskParameter parameter(disk, path);
  OnNewDisk(this, disk, parameter.Path);
  TParameterList list(this, &parameter);
  BroadcastInformation(this, icNextDisk, &list);
  InformContainer(ccNextDisk, &list);
  if (!OnNewDisk && Tag() == 0) {
    std::string text = FormatTolerant(TranslateText("Please insert disk #%d"), {int64_t(disk)});
    if (InstallServices().Prompts->Ask(text, TPromptButtons::OkCancel) == TPromptAnswer::Cancel)
      throw EArchiveAborted();
  }
  path = LocalPath(RemoveBackslash(parameter.Path));
}

void TCustomInstallFile::Extract(const std::string& archivePath, bool temporaryArchive) {
  using namespace setup;
  state_ = TInstallFileState::ifsInstall;
  struct Idle {
    TInstallFileState& s;
    ~Idle() { s = TInstallFileState::ifsNone; }
  } idle{state_};
  std::string dir = DestinationDir();
  ForceDirectories(LocalPath(dir));
  if (Trim(archivePath).empty()) throw IECustomInstallFile(kBlankArchive, {Name()});
  if (!platform::IsFile(LocalPath(archivePath)))
    throw EKstnCompress(FormatTolerant("Cannot open the compressed file %s", {LocalPath(archivePath)}));
  std::unique_ptr<TKstnCompress> own;
  if (temporaryArchive) own = std::make_unique<TKstnCompress>();
  TKstnCompress& archive = own ? *own : GlobalArchive();
  archive.SetCompressedFile(LocalPath(archivePath));
  archive.ExtractDirectory = LocalPath(dir);
  archive.ExtractName = extractName_;
  // The file has decided already: the archive does not ask again.
  archive.Overwrite = owAlways;
  archive.OnAborted = [](TKstnCompress&) { throw EAIUserAbort(); };
  archive.OnNewDisk = [this](TKstnCompress&, int disk, std::string& path) { ArchiveNewDisk(disk, path); };
  archive.OnStatus = [this](TKstnCompress&, const TlzhFileStats& stats) { ArchiveStatus(stats); };
  struct Detach {
    TKstnCompress& a;
    ~Detach() {
      a.OnAborted = nullptr;
      a.OnNewDisk = nullptr;
      a.OnStatus = nullptr;
      extracting = nullptr;
    }
  } detach{archive};
  extracting = &archive;
  std::vector<std::string> files{SourceName()};
  archive.SetFilesToProcess(files);
  archive.ExtractFile();
  written_ = true;
  if (deferred_) ScheduleReplacement();
  AfterInstall();
  OnAfterInstall(this);
  InformContainer(ccFileInstalled, this);
  TInstallContainer::DoProcess();
  if (own && own->Abort) GlobalArchive().Abort = true;
  try {
    BroadcastInformation(this, icEndOfCopy, nullptr);
  } catch (...) {
    GlobalArchive().Abort = true;
    throw;
  }
}

void TCustomInstallFile::DoProcess() {
  using namespace setup;
  deferred_ = false;
  written_ = false;
  installDecision_ = false;
  extractName_ = destName_;
  try {
    InformContainer(ccFileInstalling, this);
    OnBeforeInstall(this);
  } catch (const EAbort&) {
    InformContainer(ccInstallCancelled, this);
    return;
  }
  std::string dir = DestinationDir();
  if (Trim(dir).empty()) throw IECustomInstallFile(kBlankDestination, {Name()});
  CheckDestName(destName_);
  std::string dest = LocalPath(Destination());
  destExists_ = platform::KindOf(dest) != platform::PathKind::None;
  // A missing destination is always installed: the mode decides over an existing one.
  bool install = true;
  if (destExists_) {
    int decision = OverwriteDecision(version_, dest, overwriteMode_, fileDate_);
    install = decision == 0 || decision == 2;
  }
  if (install) {
    try {
      PrepareDestination();
    } catch (const EAbort&) {
      install = false;
    }
  }
  if (!install) {
    InformContainer(ccFileKept, this);
    AfterInstall();
    OnAfterInstall(this);
    InformContainer(ccFileInstalled, this);
    return;
  }
  // A cancel that came after the last block of an earlier file stops here.
  if (UserAborted()) throw EAIUserAbort();
  TDistributeType dt = ::DistributeType();
  if (HasLocalArchive()) {
    Extract(LocalArchive(), true);
  } else if (dt != TDistributeType::dtTraditional && (Net() || dt == TDistributeType::dtWeb)) {
    if (OwnArchive(*this)) {
      Download();
      Extract(LocalArchive(), true);
      return;
    }
    auto* parent = dynamic_cast<TFileRelated*>(Container());
    if (!parent)
      throw IECustomInstallFile(
          "%s cannot perform ReadInfoFromArchive because either no container is assigned or the container is not "
          "TFileContainer",
          {Name()});
    if (!parent->HasLocalArchive()) parent->Download();
    Extract(parent->LocalArchive(), true);
  } else {
    std::string archive = GetArchivePath();
    Extract(archive, !IsMainArchive(archive));
  }
}

void TCustomInstallFile::FinishUnfinished() {
  if (activeX_) RegisterServer();
}

void TCustomInstallFile::WriteUninstallInfo(const std::string& key) {
  using namespace setup;
  if (!written_) return;
  if (activeX_) {
    RecordEntry(key + "\\ActiveX", DestinationDir() + "\\" + destName_ + ";" +
                                       (SameText(ExtractFileExt(destName_), ".EXE") ? "1" : "0"));
    return;
  }
  RecordUninstallFile(key, Destination());
}

namespace setup {

void RecordEntry(const std::string& key, const std::string& value) {
  int n = StrToIntDef(ReadRegString(TRootKeys::hkLocalMachine, key, "Entries", "0"), 0) + 1;
  WriteRegString(TRootKeys::hkLocalMachine, key, "File" + IntToStr(n), value);
  WriteRegString(TRootKeys::hkLocalMachine, key, "Entries", IntToStr(n));
}

void RecordUninstallFile(const std::string& key, const std::string& path) {
  for (int attempt = 0;; ++attempt) {
    try {
      RecordEntry(key + "\\Files" + (attempt ? IntToStr(attempt) : std::string()), path);
      return;
    } catch (const EIRCannotWriteValue&) {
      if (attempt + 1 >= kFileRecordAttempts) throw;
    }
  }
}

}  // namespace setup

const TClassInfo& TInstallFile::StaticClass() {
  using P = TProps<TCustomInstallFile>;
  static const TClassInfo info{
      "TInstallFile", &TCustomInstallFile::StaticClass(), Factory<TInstallFile>(),
      {TInstallObject::ContainerProp(), TInstallContainer::IncludeProp(), TInstallContainer::InstallTypesProp(),
       TInstallContainer::OrderProp(), TInstallContainer::DestDirProp(), TInstallContainer::DestDirTypeProp(),
       TFileRelated::AddToArchiveProp(), TFileRelated::ArchiveFileProp(), TFileRelated::ArchiveFileTypeProp(),
       TFileRelated::NetProp(), TFileRelated::NetLocationProp(),
       P::Bool("ActiveX", &TCustomInstallFile::ActiveX, &TCustomInstallFile::SetActiveX).WithDefault(false),
       P::Str("DestName", [](const TCustomInstallFile& f) { return f.DestName(); },
              [](TCustomInstallFile& f, std::string v) { f.SetDestName(v); })
           .WithDefault(std::string()),
       P::Str("FileName", [](const TCustomInstallFile& f) { return f.FileName(); },
              [](TCustomInstallFile& f, std::string v) { f.SetFileName(v); })
           .WithDefault(std::string()),
       P::Str("IncludeFromDir", [](const TCustomInstallFile& f) { return f.IncludeFromDir(); },
              [](TCustomInstallFile& f, std::string v) { f.SetIncludeFromDir(v); })
           .WithDefault(std::string()),
       P::Enum<TInstallFileType>("FileType", &kFileTypes, &TCustomInstallFile::FileType,
                                 &TCustomInstallFile::SetFileType)
           .WithDefault(int64_t(0)),
       P::Enum<TOverwriteType>("OverwriteMode", &kOverwriteTypes, &TCustomInstallFile::OverwriteMode,
                               &TCustomInstallFile::SetOverwriteMode)
           .WithDefault(int64_t(owAlways)),
       P::Bool("RegisterAsHelp", &TCustomInstallFile::RegisterAsHelp, &TCustomInstallFile::SetRegisterAsHelp)
           .WithDefault(false),
       P::Bool("UpdateDLLCounter", &TCustomInstallFile::UpdateDLLCounter, &TCustomInstallFile::SetUpdateDLLCounter)
           .WithDefault(false),
       P::Event("OnAfterProcess", &TInstallContainer::OnAfterProcess),
       P::Event("OnBeforeProcess", &TInstallContainer::OnBeforeProcess),
       P::Event("OnBeforeInstall", &TCustomInstallFile::OnBeforeInstall),
       P::Event("OnAfterInstall", &TCustomInstallFile::OnAfterInstall),
       P::Event("OnBeforeCompress", &TCustomInstallFile::OnBeforeCompress),
       P::Event("OnAfterCompress", &TCustomInstallFile::OnAfterCompress),
       P::Event("OnBeforeCopy", &TCustomInstallFile::OnBeforeCopy),
       P::Event("OnAfterCopy", &TCustomInstallFile::OnAfterCopy),
       P::Event("OnReplacing", &TCustomInstallFile::OnReplacing),
       P::Event("OnStatus", &TCustomInstallFile::OnStatus), P::Event("OnNewDisk", &TCustomInstallFile::OnNewDisk)}};
  return info;
}
