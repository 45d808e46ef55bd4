// What has an archive (TFileRelated), file containers and file groups: archive paths, the
// local copies of downloaded archives, the relay of the files' control codes and the
// install of a container's files.
#include <algorithm>
#include <cmath>

#include "framework/core/sysutils.h"
#include "platform/file.h"
#include "setup_engine/install_driver.h"
#include "setup_engine/install_file.h"
#include "setup_engine/install_services.h"
#include "setup_engine/setup_registry.h"
#include "setup_engine/setup_routines.h"

namespace {

const TTypeInfo kContainerStates{{"fcsNone", "fcsCompress", "fcsInstall", "fcsCopy"}, {}};
const TTypeInfo kArchiveCommands{{"lzcOverwrite", "lzcOnlyAdd"}, {}};

int32_t Clamp32(int64_t v) { return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : int32_t(v); }

// A rounded percentage of whole, within 0 ... 100; 0 when whole is 0.
int32_t PercentOf(int64_t part, int64_t whole) {
  if (whole <= 0) return 0;
  return int32_t(std::clamp<long long>(std::llround(double(part) * 100.0 / double(whole)), 0, 100));
}

// The hourglass while any container installs.
class TWaitCursor {
 public:
  TWaitCursor() {
    if (depth_++ == 0) setup::InstallServices().Application->SetWaitCursor(true);
  }
  ~TWaitCursor() {
    if (--depth_ == 0) setup::InstallServices().Application->SetWaitCursor(false);
  }
  TWaitCursor(const TWaitCursor&) = delete;
  TWaitCursor& operator=(const TWaitCursor&) = delete;

 private:
  static int depth_;
};
int TWaitCursor::depth_ = 0;

}  // namespace

// ---- TFileRelated

const TClassInfo& TFileRelated::StaticClass() {
  static const TClassInfo info{"TFileRelated", &TInstallObject::StaticClass(), nullptr, {}};
  return info;
}

TFileRelated::TFileRelated(TComponent* owner) : TInstallObject(owner) { SetAutoProcess(true); }

namespace {
bool IsSharedArchiveType(const TCustomPathSpecifier* s) {
  return s && (Is<TpsContainerArchiveFile>(s) || Is<TpsMainArchiveFile>(s));
}
}  // namespace

void TFileRelated::SetArchiveFile(const std::string& file) {
  archiveFile_ = !IsLoading() && IsSharedArchiveType(ArchiveFileType()) ? std::string() : file;
}

void TFileRelated::SetArchiveFileType(TCustomPathSpecifier* specifier) {
  if (specifier && !IsLoading()) specifier->CheckObject(this);
  archiveFileType_ = specifier;
  if (!IsLoading() && IsSharedArchiveType(specifier)) archiveFile_.clear();
}

void TFileRelated::SetContainer(TInstallContainer* container) {
  TInstallObject::SetContainer(container);
  if (IsLoading() || !dynamic_cast<TFileRelated*>(container)) return;
  if (TCustomPathSpecifier* s = setup::FindStandard(TpsContainerArchiveFile::StaticClass())) SetArchiveFileType(s);
}

std::string TFileRelated::GetArchivePath() {
  if (TCustomPathSpecifier* s = ArchiveFileType()) return setup::RemoveBackslash(s->GetPath(this) + archiveFile_);
  return setup::RemoveBackslash(archiveFile_);
}

bool TFileRelated::HasLocalArchive() {
  if (!localArchive_.empty() && platform::IsFile(setup::LocalPath(localArchive_))) return true;
  const std::string& key = setup::InstallKey();
  if (key.empty()) return false;
  std::string recorded = setup::ReadRegString(setup::TRootKeys::hkLocalMachine, key + "\\" + Name(), "LocalFile", "");
  if (Trim(recorded).empty() || !platform::IsFile(setup::LocalPath(recorded))) return false;
  localArchive_ = recorded;
  return true;
}

void TFileRelated::RecordLocalFile(const std::string& path) {
  localArchive_ = path;
  const std::string& key = setup::InstallKey();
  if (key.empty()) return;
  try {
    setup::WriteRegString(setup::TRootKeys::hkLocalMachine, key + "\\" + Name(), "LocalFile", path);
  } catch (const Exception&) {
  }
}

void TFileRelated::Download() {
  if (HasLocalArchive()) return;
  TNetInstallLocation* location = NetLocation();
  bool own = location != nullptr;
  if (!location && dynamic_cast<TCustomInstallFile*>(this))
    if (auto* parent = dynamic_cast<TFileRelated*>(Container())) location = parent->NetLocation();
  if (!location) location = &setup::GlobalNetLocation();
  if (!TNetInstallLocation::IsLoginDefined(location->LoginInformation())) {
    if (own)
      throw IEFileRelated(
          "%s could not install itself because the TNetLocation component's properties, in the NetLocation "
          "property, have not been filled in",
          {Name()});
    throw IEFileRelated(
        "%s could not install itself because the LoginInformation property of the TInstall component has not "
        "been properly filled in",
        {Name()});
  }
  std::string local = setup::NewTempFileName(".1");
  location->InternalDataReceived =
      TDataReceivedEvent([this](TObject*, const std::string& file, int bytes, int total, int size, const char*) {
        DownloadStatus(file, bytes, total, size);
      });
  struct Detach {
    TNetInstallLocation* l;
    ~Detach() { l->InternalDataReceived = TDataReceivedEvent(); }
  } detach{location};
  bool aborted = location->Download(Name() + ".1", local);
  if (aborted || setup::UserAborted()) {
    platform::RemoveFile(local);
    throw EAIUserAbort();
  }
  RecordLocalFile(local);
}

void TFileRelated::DownloadStatus(const std::string& fileName, int bytes, int totalBytes, int fileSize) {
  TDownloadStatusParameter status(bytes, fileName, fileSize, totalBytes);
  if (auto* c = dynamic_cast<TFileContainer*>(this)) c->OnDataReceived(this, fileName, bytes, totalBytes, fileSize, nullptr);
  BroadcastInformation(this, setup::icDownloadStatus, &status);
  InformContainer(setup::ccDownloadStatus, &status);
}

TPropInfo TFileRelated::ArchiveFileProp() {
  return TProps<TFileRelated>::Str("ArchiveFile", [](const TFileRelated& f) { return f.ArchiveFile(); },
                                   [](TFileRelated& f, std::string v) { f.SetArchiveFile(v); })
      .WithDefault(std::string());
}

TPropInfo TFileRelated::ArchiveFileTypeProp() {
  return TProps<TFileRelated>::Component<TCustomPathSpecifier>(
      "ArchiveFileType", &TFileRelated::ArchiveFileType,
      [](TFileRelated& f, TCustomPathSpecifier* s) { f.SetArchiveFileType(s); });
}

TPropInfo TFileRelated::AddToArchiveProp() {
  return TProps<TFileRelated>::Enum<TlzhCommand>("AddToArchive", &kArchiveCommands, &TFileRelated::AddToArchive,
                                                 &TFileRelated::SetAddToArchive)
      .WithDefault(int64_t(lzcOverwrite));
}

TPropInfo TFileRelated::NetProp() {
  return TProps<TFileRelated>::Bool("Net", &TFileRelated::Net, [](TFileRelated& f, bool v) { f.SetNet(v); })
      .WithDefault(false);
}

TPropInfo TFileRelated::NetLocationProp() {
  return TProps<TFileRelated>::Component<TNetInstallLocation>(
      "NetLocation", &TFileRelated::NetLocation,
      [](TFileRelated& f, TNetInstallLocation* l) { f.SetNetLocation(l); });
}

// ---- TFileContainer

const TClassInfo& TFileContainer::StaticClass() {
  static const TClassInfo info{"TFileContainer", &TFileRelated::StaticClass(), nullptr, {}};
  return info;
}

TFileContainer::TFileContainer(TComponent* owner) : TFileRelated(owner) {}

void TFileContainer::SetState(TFileContainerState state) {
  if (IsLoading() || state == TFileContainerState::fcsNone) return;
  try {
    if (state == TFileContainerState::fcsCompress)
      Compress(0);
    else if (state == TFileContainerState::fcsCopy)
      Copy();
    else
      Process();
  } catch (...) {
    state_ = TFileContainerState::fcsNone;
    throw;
  }
  state_ = TFileContainerState::fcsNone;
}

void TFileContainer::Replacing(TCustomInstallFile* file) {
  OnReplacing(file);
  BroadcastInformation(this, setup::icReplacingFile, file);
}

void TFileContainer::Status(TCustomInstallFile* file, TFileStatusParameter* status) {
  OnStatus(file, status->Percent, status->TotalPercent);
  BroadcastInformation(this, setup::icFileStatus, status);
}

void TFileContainer::NewDisk(TCustomInstallFile* file, TDiskParameter* disk, TObject* list) {
  if (OnNewDisk) {
    OnNewDisk(file, disk->DiskNumber, disk->Path);
    file->SetTag(1);
  }
  BroadcastInformation(this, setup::icNextDisk, list);
}

void TFileContainer::RelayStatus(TCustomInstallFile* file, TFileStatusParameter* status) {
  int64_t running = running_ + status->BytesDone;
  status->TotalBytes = Clamp32(running);
  status->TotalPercent = PercentOf(running, total_);
  Status(file, status);
  if (status->Stats.finished && Busy()) running_ += status->Stats.uncompressedSize;
}

void TFileContainer::DoInformationEventControl(TObject*, int code, TObject* parameter) {
  using namespace setup;
  auto nilCheck = [&] {
    if (!parameter) throw IEFileContainer("%s got a nil PO parameter", {Name()});
  };
  if (Busy()) {
    switch (code) {
      case ccFileReplacing: {
        nilCheck();
        auto* file = dynamic_cast<TCustomInstallFile*>(parameter);
        if (!file) throw IEFileContainer("DoInformationEventControl parameter is not TInstallFile");
        Replacing(file);
        break;
      }
      case ccInstallStatus:
      case ccCompressStatus:
      case ccCopyStatus: {
        nilCheck();
        auto* list = dynamic_cast<TList*>(parameter);
        if (!list) throw IEFileContainer("DoInformationEventControl--PO is not a TList object");
        if (list->Count() < 2) throw IEFileContainer("DoInformationEventControl--Not engouh parameters for status event");
        auto* file = dynamic_cast<TCustomInstallFile*>((*list)[0]);
        if (!file) throw IEFileContainer("DoInformationEventControl says bad first parameter");
        auto* status = dynamic_cast<TFileStatusParameter*>((*list)[1]);
        if (!status) throw IEFileContainer("DoInformationEventControl says bad second parameter");
        RelayStatus(file, status);
        break;
      }
      case ccNextDisk: {
        nilCheck();
        auto* list = dynamic_cast<TList*>(parameter);
        auto* file = list && list->Count() > 0 ? dynamic_cast<TCustomInstallFile*>((*list)[0]) : nullptr;
        if (!file) throw IEFileContainer("DoInformationEventControl says bad %d parameter", {int64_t(1)});
        auto* disk = list->Count() > 1 ? dynamic_cast<TDiskParameter*>((*list)[1]) : nullptr;
        if (!disk) throw IEFileContainer("DoInformationEventControl says bad %d parameter", {int64_t(2)});
        NewDisk(file, disk, list);
        break;
      }
      case ccDownloadStatus: {
        nilCheck();
        auto* status = dynamic_cast<TDownloadStatusParameter*>(parameter);
        if (!status)
          throw IEFileContainer("The PO object passed to %s is not a TDownloadStatusParameter object", {Name()});
        OnDataReceived(this, status->Text, status->Value, status->Received, status->Total, nullptr);
        BroadcastInformation(this, icDownloadStatus, status);
        break;
      }
      case ccInstallCancelled:
      case ccFileKept: {
        nilCheck();
        auto* file = dynamic_cast<TCustomInstallFile*>(parameter);
        if (!file) throw IEFileContainer("DoInformationEventControl parameter is not TInstallFile");
        TlzhFileStats stats;
        stats.name = file->SourceName();
        stats.uncompressedSize = file->Size();
        stats.bytesDone = file->Size();
        stats.percentDone = 100;
        stats.finished = true;
        TFileStatusParameter status(stats);
        status.FileName = file->FileName();
        int64_t running = running_ + file->Size();
        status.TotalBytes = Clamp32(running);
        status.TotalPercent = PercentOf(running, total_);
        Status(file, &status);
        running_ = running;
        break;
      }
      default:
        break;
    }
  }
  InformContainer(code, parameter);
}

void TFileContainer::ReadArchiveInfo() {
  std::vector<TInstallObject*> children = Children();
  for (TInstallObject* c : children) {
    if (auto* file = dynamic_cast<TCustomInstallFile*>(c))
      file->ReadInfoFromArchive();
    else if (auto* container = dynamic_cast<TFileContainer*>(c))
      container->ReadArchiveInfo();
  }
}

int64_t TFileContainer::SumSizesFlat(bool all) const {
  int64_t sum = 0;
  for (TInstallObject* c : Children())
    if (auto* file = dynamic_cast<TCustomInstallFile*>(c))
      if (all || file->IsIncluded()) sum += file->Size();
  return sum;
}

int64_t TFileContainer::SumSizesDeep(bool all) const {
  int64_t sum = SumSizesFlat(all);
  for (TInstallObject* c : Children())
    if (auto* container = dynamic_cast<TFileContainer*>(c))
      if (all || container->IsIncluded()) sum += container->SumSizesDeep(all);
  return sum;
}

int64_t TFileContainer::SumCompressedSizes(bool all) const {
  int64_t sum = 0;
  for (TInstallObject* c : Children()) {
    if (auto* file = dynamic_cast<TCustomInstallFile*>(c)) {
      if (all || file->IsIncluded()) sum += file->CompressedSize();
    } else if (auto* container = dynamic_cast<TFileContainer*>(c)) {
      if (all || container->IsIncluded()) sum += container->SumCompressedSizes(all);
    }
  }
  return sum;
}

void TFileContainer::DoProcess() {
  using namespace setup;
  state_ = TFileContainerState::fcsInstall;
  try {
    TWaitCursor wait;
    HasLocalArchive();
    ReadArchiveInfo();
    BroadcastInformation(this, icSelectFileGroups, nullptr);
    InformContainer(ccContainerStarts, this);
    total_ = SumSizesDeep(false);
    running_ = 0;
    OnShowCopyFileDlg(this);
    TInstallContainer::DoProcess();
    InformContainer(ccContainerEnds, this);
  } catch (...) {
    state_ = TFileContainerState::fcsNone;
    throw;
  }
  bool aborted = GlobalArchive().Abort;
  try {
    BroadcastInformation(this, icEndOfCopy, nullptr);
  } catch (...) {
    state_ = TFileContainerState::fcsNone;
    throw;
  }
  state_ = TFileContainerState::fcsNone;
  OnCloseCopyFileDlg(this, aborted);
}

// ---- TInstallFileGroup

const TClassInfo& TInstallFileGroup::StaticClass() {
  using P = TProps<TFileContainer>;
  static const TClassInfo info{
      "TInstallFileGroup", &TFileContainer::StaticClass(), Factory<TInstallFileGroup>(),
      {TInstallObject::ContainerProp(), TInstallContainer::IncludeProp(), TInstallContainer::InstallTypesProp(),
       TInstallContainer::OrderProp(),
       TInstallContainer::DestDirProp(), TInstallContainer::DestDirTypeProp(),
       TFileRelated::AddToArchiveProp(), TFileRelated::ArchiveFileProp(), TFileRelated::ArchiveFileTypeProp(),
       TFileRelated::NetProp(), TFileRelated::NetLocationProp(),
       P::Bool("AllowChangeDir", &TFileContainer::AllowChangeDir, &TFileContainer::SetAllowChangeDir).WithDefault(true),
       P::Bool("AllowChoice", &TFileContainer::AllowChoice, &TFileContainer::SetAllowChoice).WithDefault(true),
       P::Strings("Description", [](TFileContainer& c) -> TPersistent& { return c.Description(); }),
       P::Str("GroupName", [](const TFileContainer& c) { return c.GroupName(); },
              [](TFileContainer& c, std::string v) { c.SetGroupName(v); })
           .WithDefault(std::string("Unnamed File Group")),
       P::Enum<TFileContainerState>("State", &kContainerStates, &TFileContainer::State, &TFileContainer::SetState)
           .WithDefault(int64_t(0)),
       P::Event("OnAfterProcess", &TInstallContainer::OnAfterProcess),
       P::Event("OnBeforeProcess", &TInstallContainer::OnBeforeProcess),
       P::Event("OnStatus", &TFileContainer::OnStatus), P::Event("OnNewDisk", &TFileContainer::OnNewDisk),
       P::Event("OnReplacing", &TFileContainer::OnReplacing),
       P::Event("OnShowCopyFileDlg", &TFileContainer::OnShowCopyFileDlg),
       P::Event("OnCloseCopyFileDlg", &TFileContainer::OnCloseCopyFileDlg),
       P::Event("OnDataReceived", &TFileContainer::OnDataReceived)}};
  return info;
}

TInstallFileGroup::TInstallFileGroup(TComponent* owner) : TFileContainer(owner) {
  SetGroupName("Unnamed File Group");
}

const TTypeInfo& FileContainerStateTypeInfo() { return kContainerStates; }
const TTypeInfo& ArchiveCommandTypeInfo() { return kArchiveCommands; }
