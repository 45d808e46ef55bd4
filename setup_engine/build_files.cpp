// The build side of file containers and files: their source files packed into the
// distribution's archives (the main one, net archives per container and per file, archives
// beside the program), the plain copy without an archive, and the source information.
#include <memory>

#include "framework/core/sysutils.h"
#include "platform/file.h"
#include "setup_engine/file_utils.h"
#include "setup_engine/install_driver.h"
#include "setup_engine/setup_routines.h"
#include "setup_engine/version_info.h"

namespace {

using namespace setup;

const char* const kBlankArchive =
    "Cannot either compress or decompress the following file because it's archive file property is blank. File "
    "is :%s";
const char* const kBlankDestination =
    "Cannot compress,copy, or install the following file because it's destination directory is blank. File is :%s";

// The archive's folder: the path up to its last part.
std::string ArchiveDir(const std::string& archive) { return ExtractFileDir(archive); }

void DeleteArchive(TFileContainer& c, const std::string& path) {
  std::string local = LocalPath(path);
  if (platform::KindOf(local) != platform::PathKind::None && !platform::RemoveFile(local))
    throw IEFileContainer("%s cannot delete the archive file %s", {c.Name(), path});
}

// Saves what Compress changes on a child and puts it back however the child ends.
struct TSavedArchive {
  TFileRelated& f;
  TlzhCommand command;
  std::string file;
  TCustomPathSpecifier* type;
  bool include;
  explicit TSavedArchive(TFileRelated& r)
      : f(r), command(r.AddToArchive()), file(r.ArchiveFile()), type(r.ArchiveFileType()), include(r.Include()) {}
  ~TSavedArchive() {
    f.SetAddToArchive(command);
    f.SetArchiveFileType(nullptr);
    f.SetArchiveFile(file);
    f.SetArchiveFileType(type);
    f.SetInclude(include);
  }
};

// Whether an install file downloads an archive of its own (Part of the install side).
bool OwnArchive(const TCustomInstallFile& f) {
  return f.NetLocation() || f.OverwriteMode() == owVersion || f.OverwriteMode() == owDate ||
         f.OverwriteMode() == owVersionDate;
}

}  // namespace

namespace setup {

std::string RemoteDirectory(const TNetInstallLocation& location) {
  const TLoginInformation& login = location.LoginInformation();
  std::string dir = Trim(login.Directory).empty()
                        ? std::string(login.Protocol == TInternetProtocol::ipFTP ? "FTP Root directory"
                                                                                  : "HTTP Root directory")
                        : SafeFileName(login.Directory);
  return SafeFileName(login.Hostname) + "\\" + dir;
}

}  // namespace setup

void TFileContainer::ReadSourceInfo() {
  std::vector<TInstallObject*> children = Children();
  for (TInstallObject* c : children) {
    if (auto* file = dynamic_cast<TCustomInstallFile*>(c))
      file->ReadInfoFromSource();
    else if (auto* container = dynamic_cast<TFileContainer*>(c))
      container->ReadSourceInfo();
  }
}

void TFileContainer::Compress(uint32_t options) {
  if ((options & coForceNetFilesLocal) && (options & coForceFilesNet))
    throw IEFileContainer("Cannot pass both coForceNetFilesLocal and coForceFilesNet to Compress");
  const bool all = options & coIncludeAll;
  state_ = TFileContainerState::fcsCompress;
  struct Idle {
    TFileContainerState& s;
    ~Idle() { s = TFileContainerState::fcsNone; }
  } idle{state_};
  OnBeforeProcess(this);
  if (!Include() && !all) {
    BroadcastInformation(this, icEndOfCopy, nullptr);
    return;
  }
  InformContainer(ccContainerStarts, this);
  ReadSourceInfo();
  total_ = SumSizesDeep(all);
  running_ = 0;
  std::string archive = GetArchivePath();
  std::string archiveDir = ArchiveDir(archive);
  TNetInstallLocation& global = GlobalNetLocation();
  TNetInstallLocation& location = NetLocation() ? *NetLocation() : global;
  netArchive_ = archiveDir + "\\" + RemoteDirectory(location) + "\\" + Name() + ".1";
  if (AddToArchive() == lzcOverwrite) {
    DeleteArchive(*this, ChangeFileExt(archive, ".1"));
    bool anyNet = false, anyFile = false;
    for (TInstallObject* c : Children())
      if (auto* f = dynamic_cast<TCustomInstallFile*>(c)) {
        anyFile = true;
        anyNet = anyNet || f->Net();
      }
    if (anyNet || ((options & coForceFilesNet) && anyFile)) DeleteArchive(*this, netArchive_);
  }
  TCustomInstall* driver = Driver();
  std::vector<TInstallObject*> children = Children();
  for (TInstallObject* c : children) {
    auto* related = dynamic_cast<TFileRelated*>(c);
    if (!related) continue;
    TSavedArchive saved(*related);
    if (all) related->SetInclude(true);
    auto* file = dynamic_cast<TCustomInstallFile*>(related);
    bool net = file && !(options & coForceNetFilesLocal) && (file->Net() || (options & coForceFilesNet));
    auto place = [&](TlzhCommand command, const std::string& path) {
      related->SetAddToArchive(command);
      related->SetArchiveFileType(nullptr);
      related->SetArchiveFile(path);
    };
    if (net) {
      TNetInstallLocation& own = file->NetLocation() ? *file->NetLocation() : location;
      std::string perFile = archiveDir + "\\" + RemoteDirectory(own) + "\\" + file->Name() + ".1";
      if (file->NetLocation())
        place(lzcOverwrite, perFile);
      else
        place(lzcOnlyAdd, OwnArchive(*file) ? perFile : netArchive_);
      file->SetPackedRemote(true);
    } else if (related->ArchiveFileType() && Is<TpsContainerArchiveFile>(related->ArchiveFileType())) {
      related->SetAddToArchive(lzcOnlyAdd);
    } else if (options & coPackBesideContainer) {
      place(lzcOverwrite, archiveDir + AfterColon(related->GetArchivePath()));
    } else if (related->ArchiveFileType() && Is<TpsInstallSource>(related->ArchiveFileType())) {
      std::string base = driver ? ArchiveDir(driver->GetArchivePath()) : archiveDir;
      place(lzcOverwrite, base + "\\" + saved.file);
    }
    if (auto* container = dynamic_cast<TFileContainer*>(related))
      container->Compress(options);
    else if (file)
      file->CompressFile();
  }
  OnAfterProcess(this);
  InformContainer(ccContainerEnds, this);
  BroadcastInformation(this, icEndOfCopy, nullptr);
}

void TFileContainer::Copy() {
  state_ = TFileContainerState::fcsCopy;
  struct Idle {
    TFileContainerState& s;
    ~Idle() { s = TFileContainerState::fcsNone; }
  } idle{state_};
  OnBeforeProcess(this);
  if (Include()) {
    InformContainer(ccContainerStarts, this);
    ReadSourceInfo();
    total_ = SumSizesDeep(false);
    running_ = 0;
    std::vector<TInstallObject*> children = Children();
    for (TInstallObject* c : children) {
      if (auto* file = dynamic_cast<TCustomInstallFile*>(c))
        file->CopyFile();
      else if (auto* container = dynamic_cast<TFileContainer*>(c))
        container->Copy();
    }
    OnAfterProcess(this);
    InformContainer(ccContainerEnds, this);
  }
  BroadcastInformation(this, icEndOfCopy, nullptr);
}

void TCustomInstallFile::ReadInfoFromSource() {
  std::string source = LocalPath(SourceName());
  platform::File f;
  double date = 0;
  if (!platform::IsFile(source) || !f.Open(source, platform::OpenMode::Read) || !GetFileDateTime(source, date))
    throw IECustomInstallFile(
        "Could not open or find the following file when trying to read the Size, Date, and Version :%s",
        {SourceName()});
  int64_t size = f.Size();
  f.Close();
  TVersionResource& version = GlobalVersionResource();
  version.SetFileName(source);
  size_ = int32_t(size);
  fileDate_ = date;
  version_ = version.VersionInfo().FileVersion.substr(0, 20);
}

bool TCustomInstallFile::HasSelfRegisterFlag() const {
  return !fileName_.empty() && setup::FileHasSelfRegisterValue(LocalPath(SourceName()));
}

void TCustomInstallFile::CompressFile() {
  state_ = TInstallFileState::ifsCompress;
  struct Idle {
    TInstallFileState& s;
    ~Idle() { s = TInstallFileState::ifsNone; }
  } idle{state_};
  try {
    OnBeforeCompress(this);
    InformContainer(ccCompressStarts, this);
    std::string archive = GetArchivePath();
    if (Trim(archive).empty()) throw IECustomInstallFile(kBlankArchive, {Name()});
    if (Include()) {
      ForceDirectories(LocalPath(ExtractFileDir(archive)));
      TKstnCompress k;
      k.SetCompressedFile(LocalPath(archive));
      std::vector<std::string> lines{LocalPath(SourceName())};
      k.SetFilesToProcess(lines);
      k.OnStatus = [this](TKstnCompress&, const TlzhFileStats& stats) { ArchiveStatus(stats); };
      k.Compress(AddToArchive() == lzcOnlyAdd);
      if (k.Abort) throw EAbort("");
      packed_ = true;
      packedArchive_ = archive;
    }
    OnAfterCompress(this);
    InformContainer(ccCompressEnds, this);
    BroadcastInformation(this, icEndOfCopy, nullptr);
  } catch (const EAbort&) {
    GlobalArchive().Abort = true;
  }
}

void TCustomInstallFile::CopyFile() {
  if (!Include()) return;
  state_ = TInstallFileState::ifsCopying;
  struct Idle {
    TInstallFileState& s;
    ~Idle() { s = TInstallFileState::ifsNone; }
  } idle{state_};
  OnBeforeCopy(this);
  InformContainer(ccCopyStarts, this);
  std::string dir = GetFullDestDir();
  if (Trim(dir).empty()) throw IECustomInstallFile(kBlankDestination, {Name()});
  ForceDirectories(LocalPath(dir));
  TKstnCompress k;
  k.Overwrite = OverwriteMode();
  k.OnStatus = [this](TKstnCompress&, const TlzhFileStats& stats) { ArchiveStatus(stats); };
  k.CopyWithVersionCheck(LocalPath(SourceName()), LocalPath(AddBackslash(dir) + destName_));
  OnAfterCopy(this);
  InformContainer(ccCopyEnds, this);
}
