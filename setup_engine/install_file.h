#pragma once
// File containers, file groups and install files: what the installation copies out of its
// archives.
//
// How it works: a file container (a TInstallFileGroup, or the driver as the root) owns one
// archive and processes its files and nested containers in order. A file decides whether
// an existing destination is kept (the overwrite mode of version_info.h; a missing one is
// always installed), makes sure the destination can be replaced (a read-only one is made
// writable; one in use gets its file extracted beside it, under the first free ".n" name,
// and moved in place when Windows restarts), extracts itself through the archive component
// (which writes a checked temporary file that takes the destination's place), and then
// registers help, its shared-DLL count and its OLE server. It reports upward by control
// codes: each container relays its files' progress as a running total of its own and
// passes every code on to its parent, so the driver sees the whole installation's progress
// and the dialogs below it hear about it. Net distributions download a container's or a
// file's archive first (net_location.h); the copy on this machine is recorded under the
// run's registry key. What the system does (probing and replacing files, moves at a
// restart, registering servers) goes through install_services.h.
//
// Paths are built with "\" as the Parts of an installation write them; natively each
// "\" of a path that reaches the file system is the system's separator (LocalPath).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/core/strings.h"
#include "setup_engine/install_object.h"
#include "setup_engine/kstn_compress.h"
#include "setup_engine/net_location.h"
#include "setup_engine/version_info.h"

enum class TFileContainerState { fcsNone, fcsCompress, fcsInstall, fcsCopy };
enum class TInstallFileType {
  iftNormal, iftJustADLL, iftApplicationSpecificDLL, iftVendorSharedDLL, iftSystemWideDLL
};
enum class TInstallFileState { ifsNone, ifsCompress, ifsInstall, ifsCopying };
const TTypeInfo& FileContainerStateTypeInfo();
const TTypeInfo& ArchiveCommandTypeInfo();

// (the file, its percent, the overall percent)
using TInstallFileStatusEvent = TEvent<void(TObject* Sender, int Percent, int Total)>;
using TInstallFileNewDiskEvent = TEvent<void(TObject* Sender, int DiskNumber, std::string& Path)>;
using TInstallFileNotifyEvent = TEvent<void(TObject* Sender)>;
using TAfterProcessFilesEvent = TEvent<void(TObject* Sender, bool Aborted)>;

class TCustomInstallFile;

namespace setup {
// The options of a build's compression (TFileContainer::Compress), bits of one set.
constexpr uint32_t coPackBesideContainer = 1u << 1;  // other archives under the container archive's folder
constexpr uint32_t coBuild = 1u << 2;                // a whole build (nothing examines it)
constexpr uint32_t coForceNetFilesLocal = 1u << 3;   // net files into the local archives
constexpr uint32_t coForceFilesNet = 1u << 4;        // every file a net file
constexpr uint32_t coIncludeAll = 1u << 5;           // excluded objects too, all sizes counted
}  // namespace setup

// What has an archive: containers and files.
class TFileRelated : public TInstallObject {
  FW_CLASS(TFileRelated, TInstallObject)

 public:
  explicit TFileRelated(TComponent* owner);

  TlzhCommand AddToArchive() const { return addToArchive_; }
  void SetAddToArchive(TlzhCommand c) { addToArchive_ = c; }
  const std::string& ArchiveFile() const { return archiveFile_; }
  // Kept empty, outside loading, while the archive is the container's or the main one.
  virtual void SetArchiveFile(const std::string& file);
  TCustomPathSpecifier* ArchiveFileType() const { return archiveFileType_.Get(); }
  // Outside loading the specifier checks the object first.
  virtual void SetArchiveFileType(TCustomPathSpecifier* specifier);
  bool Net() const { return net_; }
  virtual void SetNet(bool v) { net_ = v; }
  TNetInstallLocation* NetLocation() const { return netLocation_.Get(); }
  virtual void SetNetLocation(TNetInstallLocation* location) { netLocation_ = location; }
  // Outside loading, a file-related parent makes the archive the container's.
  void SetContainer(TInstallContainer* container) override;

  // The type's path for this object followed by ArchiveFile, without a trailing
  // backslash; ArchiveFile alone without a type.
  virtual std::string GetArchivePath();
  // Where the archive lies on this machine (downloaded or recorded); "" when nowhere.
  const std::string& LocalArchive() const { return localArchive_; }
  // Whether a local copy exists: the one at hand, else the one recorded for this object
  // under the run's key (value "LocalFile"), which is then at hand.
  virtual bool HasLocalArchive();
  // Records path as this object's local copy (errors ignored).
  virtual void RecordLocalFile(const std::string& path);
  // Downloads this object's archive ("<Name>.1") into a temporary ".1" file, unless a
  // local copy exists; EAIUserAbort when the copy dialog cancelled it.
  virtual void Download();

  static TPropInfo ArchiveFileProp();
  static TPropInfo ArchiveFileTypeProp();
  static TPropInfo AddToArchiveProp();
  static TPropInfo NetProp();
  static TPropInfo NetLocationProp();

 protected:
  ~TFileRelated() override = default;
  // The net location's data-received notification while this object downloads.
  virtual void DownloadStatus(const std::string& fileName, int bytes, int totalBytes, int fileSize);

 private:
  TlzhCommand addToArchive_ = lzcOverwrite;
  std::string archiveFile_;
  TLink<TCustomPathSpecifier> archiveFileType_{this};
  bool net_ = false;
  TLink<TNetInstallLocation> netLocation_{this};
  std::string localArchive_;
};

class TFileContainer : public TFileRelated {
  FW_CLASS(TFileContainer, TFileRelated)

 public:
  explicit TFileContainer(TComponent* owner);

  bool AllowChangeDir() const { return allowChangeDir_; }
  void SetAllowChangeDir(bool v) { allowChangeDir_ = v; }
  bool AllowChoice() const { return allowChoice_; }
  void SetAllowChoice(bool v) { allowChoice_ = v; }
  TStringList& Description() { return description_; }
  const std::string& GroupName() const { return groupName_; }
  void SetGroupName(const std::string& name) { groupName_ = name; }
  TFileContainerState State() const { return state_; }
  // Runs the operation the state names (Compress with no options, Process, Copy) and
  // returns to fcsNone (not while loading).
  void SetState(TFileContainerState state);
  bool Busy() const { return state_ != TFileContainerState::fcsNone; }

  TInstallFileStatusEvent OnStatus;
  TInstallFileNewDiskEvent OnNewDisk;
  TInstallFileNotifyEvent OnReplacing;
  TNotifyEvent OnShowCopyFileDlg;
  TAfterProcessFilesEvent OnCloseCopyFileDlg;
  TDataReceivedEvent OnDataReceived;

  // The bytes of the running operation and those done so far.
  int64_t TotalBytes() const { return total_; }
  int64_t RunningTotal() const { return running_; }

  int ComponentType() const override { return setup::kKindFileContainer; }
  // Handles the codes of its files while busy, and passes every code on to its parent.
  void DoInformationEventControl(TObject* sender, int code, TObject* parameter) override;
  // Installs: reads the archive's entries, processes the children and reports the start
  // and the end (icSelectFileGroups, ccContainerStarts ... ccContainerEnds, icEndOfCopy).
  void DoProcess() override;

  // list is the code's [file, disk], broadcast as it came.
  virtual void NewDisk(TCustomInstallFile* file, TDiskParameter* disk, TObject* list);
  virtual void Replacing(TCustomInstallFile* file);
  virtual void Status(TCustomInstallFile* file, TFileStatusParameter* status);
  // Every file reads its entry in the archive; nested containers likewise.
  virtual void ReadArchiveInfo();
  // The build: packs the source files of the files and nested containers into their
  // archives (options: the co... bits); IEFileContainer for both coForceNetFilesLocal and
  // coForceFilesNet.
  virtual void Compress(uint32_t options);
  // Copies the source files to their destinations without an archive.
  virtual void Copy();
  // Every file reads size, date and version from its source file; nested containers
  // likewise.
  virtual void ReadSourceInfo();
  // The container's net archive of the last Compress.
  const std::string& NetArchivePath() const { return netArchive_; }
  // The size of the files that take part (all of them with all), here or also in the
  // nested containers that take part; the compressed sizes, always deep.
  int64_t SumSizesFlat(bool all) const;
  int64_t SumSizesDeep(bool all) const;
  int64_t SumCompressedSizes(bool all) const;

 protected:
  ~TFileContainer() override = default;
  // The relay of one status report: the running total and overall percent go into the
  // report, and a finished file's size joins the running total.
  void RelayStatus(TCustomInstallFile* file, TFileStatusParameter* status);

 private:
  bool allowChangeDir_ = true;
  bool allowChoice_ = true;
  TStringList description_;
  std::string groupName_;
  TFileContainerState state_ = TFileContainerState::fcsNone;
  int64_t total_ = 0;
  int64_t running_ = 0;
  std::string netArchive_;
};

class TInstallFileGroup : public TFileContainer {
  FW_CLASS(TInstallFileGroup, TFileContainer)

 public:
  explicit TInstallFileGroup(TComponent* owner);

 protected:
  ~TInstallFileGroup() override = default;
};

class TCustomInstallFile : public TFileRelated {
  FW_CLASS(TCustomInstallFile, TFileRelated)

 public:
  explicit TCustomInstallFile(TComponent* owner);

  // The setters of ActiveX, DestName, FileName, IncludeFromDir, FileType, DestDir,
  // DestDirType and Container run the design rule outside loading (install_design_rules.cpp):
  // a change it refuses leaves every value as it was.
  bool ActiveX() const { return activeX_; }
  void SetActiveX(bool v);
  const std::string& DestName() const { return destName_; }
  // A name that is no plain file name (a separator, a drive, "." or "..") is refused.
  void SetDestName(const std::string& name);
  const std::string& FileName() const { return fileName_; }
  void SetFileName(const std::string& name);
  const std::string& IncludeFromDir() const { return includeFromDir_; }
  void SetIncludeFromDir(const std::string& dir);
  TInstallFileType FileType() const { return fileType_; }
  void SetFileType(TInstallFileType t);
  TOverwriteType OverwriteMode() const { return overwriteMode_; }
  void SetOverwriteMode(TOverwriteType m) { overwriteMode_ = m; }
  bool RegisterAsHelp() const { return registerAsHelp_; }
  void SetRegisterAsHelp(bool v) { registerAsHelp_ = v; }
  void SetDestDir(const std::string& dir) override;
  void SetDestDirType(TCustomPathSpecifier* specifier) override;
  void SetContainer(TInstallContainer* container) override;
  TInstallFileState State() const { return state_; }
  bool UpdateDLLCounter() const { return updateDLLCounter_; }
  void SetUpdateDLLCounter(bool v) { updateDLLCounter_ = v; }

  TNotifyEvent OnBeforeInstall;
  TNotifyEvent OnAfterInstall;
  TInstallFileNotifyEvent OnBeforeCompress;
  TInstallFileNotifyEvent OnAfterCompress;
  TInstallFileNotifyEvent OnBeforeCopy;
  TInstallFileNotifyEvent OnAfterCopy;
  TInstallFileNotifyEvent OnReplacing;
  TInstallFileStatusEvent OnStatus;
  TInstallFileNewDiskEvent OnNewDisk;

  // What the archive (or the remote file list) says of the file.
  int32_t CompressedSize() const { return compressedSize_; }
  double FileDate() const { return fileDate_; }
  int32_t Size() const { return size_; }
  const std::string& Version() const { return version_; }
  void SetArchiveEntry(int32_t compressedSize, double date, int32_t size, const std::string& version);
  // Whether the destination existed, was to be replaced, was in use (this run).
  bool DestinationExisted() const { return destExists_; }
  bool InstallDecision() const { return installDecision_; }
  bool Deferred() const { return deferred_; }
  // The name the file is extracted under: DestName, or its ".n" form beside a file in use.
  const std::string& ExtractName() const { return extractName_; }

  // IncludeFromDir + "\" + FileName: the file's name in the archive.
  std::string SourceName() const;
  // The full destination directory + "\" + DestName.
  std::string Destination();

  int ComponentType() const override { return setup::kKindInstallFile; }
  // Installs the file (see the header's note).
  void DoProcess() override;
  // After the restart: registers the OLE server of an ActiveX file.
  void FinishUnfinished() override;
  // Only what this run wrote or left for the restart: under key\ActiveX or key\Files.
  void WriteUninstallInfo(const std::string& key) override;
  void Loaded() override;

  virtual void ReadInfoFromArchive();
  // Size, date and version from the source file; IECustomInstallFile when it is missing.
  virtual void ReadInfoFromSource();
  // Whether the source file's version information says it registers its OLE server itself.
  virtual bool HasSelfRegisterFlag() const;
  // Adds the source file to the archive with the file's AddToArchive command.
  virtual void CompressFile();
  // Copies the source file to the destination.
  virtual void CopyFile();
  // The build's marks: packed in this build, into a remote (net) archive, and where.
  bool Packed() const { return packed_; }
  bool PackedRemote() const { return packedRemote_; }
  const std::string& PackedArchive() const { return packedArchive_; }
  void SetPackedRemote(bool v) { packedRemote_ = v; }
  void ClearPackedFlags() {
    packed_ = packedRemote_ = false;
    packedArchive_.clear();
  }
  // Tells the dialogs, then makes sure the destination can be replaced (see above).
  virtual void PrepareDestination();
  // The server registration by the file's kind: "/REGSERVER" for an ".EXE", else
  // DllRegisterServer.
  virtual void RegisterServer();
  virtual void RegisterDllServer();
  virtual void RegisterExeServer();
  virtual void IncrementSharedCount();

 protected:
  ~TCustomInstallFile() override;
  void BeforeDestruction() override;

 private:
  void CheckDestName(const std::string& name) const;
  std::string DestinationDir();
  void ReadEntry(const std::string& archivePath);
  void Extract(const std::string& archivePath, bool temporaryArchive);
  void ScheduleReplacement();
  void AfterInstall();
  void ArchiveStatus(const TlzhFileStats& stats);
  void ArchiveNewDisk(int disk, std::string& path);

  bool activeX_ = false;
  std::string destName_, fileName_, includeFromDir_;
  TInstallFileType fileType_ = TInstallFileType::iftNormal;
  TOverwriteType overwriteMode_ = owAlways;
  bool registerAsHelp_ = false;
  TInstallFileState state_ = TInstallFileState::ifsNone;
  bool updateDLLCounter_ = false;

  int32_t compressedSize_ = 0;
  double fileDate_ = 0;
  int32_t size_ = 0;
  std::string version_;
  bool destExists_ = false;
  bool installDecision_ = false;
  bool deferred_ = false;
  bool written_ = false;  // this run wrote it, or left it for the restart
  bool packed_ = false, packedRemote_ = false;
  std::string packedArchive_;
  bool inRule_ = false;
  // Runs change, then the design rule; either failing puts every value back.
  void WithDesignRule(bool fileNameChanged, const std::function<void()>& change);
  void DesignRule(bool fileNameChanged, TInstallFileType typeBefore, bool activeXBefore);
  std::string extractName_;
};

class TInstallFile : public TCustomInstallFile {
  FW_CLASS(TInstallFile, TCustomInstallFile)

 public:
  explicit TInstallFile(TComponent* owner) : TCustomInstallFile(owner) {}

 protected:
  ~TInstallFile() override = default;
};

namespace setup {

// Every install file alive, in the order they were made.
const std::vector<TCustomInstallFile*>& AllInstallFiles();
// The files whose server registration waits for the end of the tree.
std::vector<TCustomInstallFile*>& PendingFiles();
// The user cancelled the copy.
bool UserAborted();
void SetUserAborted(bool v);
// The copy dialog's Cancel, once the user has confirmed it: the archive that extracts, the
// main archive and the running download stop at their next block, and the user-abort
// flag is set.
void RequestCopyCancel();
// A path as the file system takes it: natively every "\" becomes "/".
std::string LocalPath(const std::string& path);
// Whether archivePath is the driver's archive (which the global archive component reads).
bool IsMainArchive(const std::string& archivePath);
// A new temporary file name with extension ext in the system's temporary folder.
std::string NewTempFileName(const std::string& ext);
// The folder that mirrors a net location's server at build time: its host, a backslash,
// its folder or the root's name ("FTP Root directory", "HTTP Root directory").
std::string RemoteDirectory(const TNetInstallLocation& location);
// Adds value to the uninstall list under key: "File<n>" with n one more than "Entries".
void RecordEntry(const std::string& key, const std::string& value);
// Records a file this run wrote under key\Files, or key\Files1 ... key\Files9 after a
// failure; EIRCannotWriteValue when the last one fails too.
void RecordUninstallFile(const std::string& key, const std::string& path);

}  // namespace setup
