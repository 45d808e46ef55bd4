#pragma once
// The install object tree: every piece of an installation (the driver, file groups and
// files, shortcuts, registry writers, dialogs and dialog managers) is a TInstallContainer
// component on the setup's form, linked into one tree through the Container property of
// its TInstallObject descendants.
//
// How it works: a container keeps its children grouped by kind (ComponentType: file
// containers 1000, files 2000, shortcut groups 7000, shortcuts 8000, registry writers
// 8500, dialogs 9000) and ordered by Order within a kind; outside loading, every change
// renumbers each kind's Orders 0, 1, 2 ... Process runs the object's steps and, in
// DoProcess, its auto-processed children; an object takes part when Include is set and
// the chosen install type is among its InstallTypes. Two kinds of notification travel
// the tree: negative information codes that an object broadcasts to its direct dialog
// children (kind 9000), and positive control codes that a child sends up to its
// Container. Every container joins one process-wide list while it lives, so a container
// that goes is dropped from every tree at once. Walks over children (processing,
// broadcasts, destruction) go over a copy and skip what was removed meanwhile: a dialog
// run from a broadcast may change the tree.
#include <cstdint>
#include <string>
#include <vector>

#include "framework/core/events.h"
#include "framework/core/lists.h"
#include "framework/core/object.h"
#include "setup_engine/kstn_compress.h"
#include "setup_engine/install_folders.h"
#include "setup_engine/setup_exceptions.h"

enum class TInstallType { itFull, itDefault, itCompact, itAlways, itCustom };
// A set of install types: bit i is TInstallType(i).
using TInstallTypeSet = uint32_t;
constexpr TInstallTypeSet InstallTypeBit(TInstallType t) { return 1u << unsigned(t); }
const TTypeInfo& InstallTypeTypeInfo();

enum class TDistributeType { dtTraditional, dtWeb, dtTraditionalNet };
const TTypeInfo& DistributeTypeTypeInfo();

namespace setup {

// Kinds of install objects (ComponentType).
constexpr int kKindFileContainer = 1000;
constexpr int kKindInstallFile = 2000;
constexpr int kKindShellLinkGroup = 7000;
constexpr int kKindShellLink = 8000;
constexpr int kKindInstallRegistry = 8500;
constexpr int kKindDialog = 9000;

// Information codes, broadcast down to the dialog objects.
constexpr int icProcessIncluded = -999;      // Process, an included object
constexpr int icFileStatus = -998;           // TFileStatusParameter
constexpr int icReplacingFile = -997;        // the file
constexpr int icEndOfCopy = -996;            // a compress, copy or install ended
constexpr int icGoodInstall = -995;
constexpr int icBadInstall = -994;
constexpr int icNextDisk = -993;             // TParameterList [file, TDiskParameter]
constexpr int icSelectFileGroups = -992;
constexpr int icSelectFolder = -991;
constexpr int icBeforeProcess = -990;        // Process, first step
constexpr int icAfterProcess = -989;         // Process, last step
constexpr int icDownloadStatus = -988;       // TDownloadStatusParameter
constexpr int icRebootNeeded = -987;
constexpr int icStartOfRun1 = -986;          // the start of a run: -986, -976, -975, -982,
constexpr int icStartOfRun2 = -976;          // -981, -977, -980 in this order
constexpr int icStartOfRun3 = -975;
constexpr int icShowWelcome = -982;
constexpr int icStartOfRun5 = -981;
constexpr int icStartOfRun6 = -977;
constexpr int icBeforeInstall = -980;
constexpr int icBeforeReadFileInfo = -984;
constexpr int icAfterReadFileInfo = -983;
constexpr int icAfterGoodInstall = -979;
constexpr int icAfterBadInstall = -978;
constexpr int icStatusMessage = -974;        // TMessageParameter
constexpr int icStatusClear = -973;

// Control codes, sent up to the container.
constexpr int ccFileInstalled = 1001;        // the file
constexpr int ccFileInstalling = 1002;       // the file
constexpr int ccFileReplacing = 1003;        // the file
constexpr int ccCompressStarts = 1004;       // the file
constexpr int ccCompressEnds = 1005;         // the file
constexpr int ccCopyStarts = 1006;           // the file
constexpr int ccCopyEnds = 1007;             // the file
constexpr int ccInstallStatus = 1008;        // TParameterList [file, TFileStatusParameter]
constexpr int ccCompressStatus = 1009;       // TParameterList [file, TFileStatusParameter]
constexpr int ccCopyStatus = 1010;           // TParameterList [file, TFileStatusParameter]
constexpr int ccNextDisk = 1011;             // TParameterList [file, TDiskParameter]
constexpr int ccContainerStarts = 1012;      // the container
constexpr int ccContainerEnds = 1013;        // the container
constexpr int ccDownloadStatus = 1014;       // TDownloadStatusParameter
constexpr int ccInstallCancelled = 1015;     // the file
constexpr int ccFileKept = 1016;             // the file

// The uninstall records' key; the driver's product name follows it.
extern const char* const kUninstallKey;

}  // namespace setup

// Parameter objects: made by the sender and freed by it after the broadcast returns.
class TMessageParameter : public TObject {
  FW_CLASS(TMessageParameter, TObject)

 public:
  explicit TMessageParameter(std::string text) : Text(std::move(text)) {}
  std::string Text;
};

class TDiskParameter : public TObject {
  FW_CLASS(TDiskParameter, TObject)

 public:
  TDiskParameter(int32_t diskNumber, std::string path) : DiskNumber(diskNumber), Path(std::move(path)) {}
  int32_t DiskNumber;
  std::string Path;  // where the next disk's file is expected; a receiver may change it
};

class TDownloadStatusParameter : public TObject {
  FW_CLASS(TDownloadStatusParameter, TObject)

 public:
  // Percent is received * 100 / total rounded to nearest, within 0 ... 100; 0 when total
  // is 0.
  TDownloadStatusParameter(int32_t value, std::string text, int32_t total, int32_t received);
  int32_t Value;
  std::string Text;
  int32_t Total;
  int32_t Received;
  int32_t Percent;
};

class TFileStatusParameter : public TObject {
  FW_CLASS(TFileStatusParameter, TObject)

 public:
  // This file's figures and the overall ones from the archive's record.
  explicit TFileStatusParameter(const TlzhFileStats& stats);
  int32_t BytesDone;
  int32_t Percent;
  std::string FileName;
  TlzhFileStats Stats;
  int32_t TotalBytes;     // the owning container puts its own running total here
  int32_t TotalPercent;   // and its own percent
};

// The two things a control code carries: [the file, the parameter object].
class TParameterList : public TList {
  FW_CLASS(TParameterList, TList)

 public:
  TParameterList(TObject* first, TObject* second) {
    Add(first);
    Add(second);
  }
};

class TInstallObject;
using TInstallContainerNotifyEvent = TEvent<void(TObject* Sender)>;

class TInstallContainer : public TComponent {
  FW_CLASS(TInstallContainer, TComponent)

 public:
  // Made on a form or data module, it first gives its owner the standard path specifiers
  // the process lacks (install_folders.h).
  explicit TInstallContainer(TComponent* owner);

  // Whether the parent's DoProcess processes this object.
  bool AutoProcess() const { return autoProcess_; }
  const std::vector<TInstallObject*>& Children() const { return children_; }
  int ChildCount() const { return int(children_.size()); }
  // IEInstallContainer when index is out of range.
  TInstallObject* Child(int index) const;

  bool Include() const { return include_; }
  void SetInclude(bool v) { include_ = v; }
  bool Processed() const { return processed_; }
  TInstallTypeSet InstallTypes() const { return installTypes_; }
  // An empty set becomes [itAlways]; so does a set that adds itAlways to a set without
  // it; otherwise itAlways goes when other members remain.
  void SetInstallTypes(TInstallTypeSet types);
  TInstallType CurrentInstallType() const { return currentType_; }
  // For this object and the whole tree below it.
  void SetCurrentInstallType(TInstallType t);
  // Include, and the current type is itAlways or itCustom or one of InstallTypes (which
  // may hold itAlways).
  bool IsIncluded() const;

  const std::string& DestDir() const { return destDir_; }
  virtual void SetDestDir(const std::string& dir);
  TCustomPathSpecifier* DestDirType() const { return destDirType_.Get(); }
  // Outside loading the specifier checks the object first.
  virtual void SetDestDirType(TCustomPathSpecifier* specifier);
  int Order() const { return order_; }
  virtual void SetOrder(int order);

  TInstallContainerNotifyEvent OnAfterProcess;
  TInstallContainerNotifyEvent OnBeforeProcess;
  TInstallContainerNotifyEvent OnProcessIncluded;  // only when Include is set

  // The children that are file containers, counted among themselves.
  virtual int FileContainerCount() const;
  virtual TInstallObject* FileContainers(int index) const;
  // Another container is going: it leaves the children.
  virtual void ContainerRemoved(TInstallContainer* c);
  // Broadcasts icStatusMessage with the text; CloseStatusMessage icStatusClear.
  virtual void ShowStatusMessage(const std::string& text);
  void CloseStatusMessage();
  // A control code from a child; nothing here.
  virtual void DoInformationEventControl(TObject*, int, TObject*) {}
  // A broadcast code; nothing here (dialogs answer theirs).
  virtual void DoInformationEvent(TObject*, int, TObject*) {}
  // The specifier's path for this object followed by DestDir, without a trailing
  // backslash; DestDir alone without a specifier.
  virtual std::string GetFullDestDir();
  // The kind; IEInstallContainer "Class must declare a registered type" here.
  virtual int ComponentType() const;
  // Inserts child among the children by kind and Order ("TINSTALLBDE" first) and, outside
  // loading, renumbers. A child already there moves to its new place.
  virtual void AddObject(TInstallObject* child);
  virtual void RemoveObject(TInstallObject* child);
  // OnBeforeProcess, icBeforeProcess; with Include: OnProcessIncluded,
  // icProcessIncluded; when included: DoProcess, the uninstall record (with a driver),
  // OnAfterProcess, icAfterProcess. An EAbort ends it silently.
  virtual void Process();
  // Processes the auto-processed children in order.
  virtual void DoProcess();
  // Records what the object installed under key; nothing here.
  virtual void WriteUninstallInfo(const std::string&) {}
  // After the restart that an installation asked for: finishes what waited for it.
  // Nothing here.
  virtual void FinishUnfinished() {}
  // The product name the driver gives the uninstall key; "" for any other container.
  virtual std::string UninstallProductName() const { return {}; }

  // Calls DoInformationEvent on every direct child of kind 9000.
  void BroadcastInformation(TObject* sender, int code, TObject* parameter);
  // The children of one kind: count, the index-th (IEInstallContainer when there is
  // none) and freeing them all.
  int CountOfKind(int kind) const;
  TInstallObject* ChildOfKind(int index, int kind) const;
  void FreeChildrenOfKind(int kind);

  // Published entries for the descendants that publish them.
  static TPropInfo IncludeProp();
  static TPropInfo InstallTypesProp();
  static TPropInfo OrderProp();
  static TPropInfo DestDirProp();
  static TPropInfo DestDirTypeProp();

 protected:
  ~TInstallContainer() override;
  void SetAutoProcess(bool v) { autoProcess_ = v; }
  void BeforeDestruction() override;
  // Sets Order without moving the object (renumbering).
  void StoreOrder(int order) { order_ = order; }

 private:
  bool IsChild(const TInstallObject* child) const;
  void Renumber();

  bool autoProcess_ = false;
  std::vector<TInstallObject*> children_;
  bool include_ = true;
  bool processed_ = false;
  TInstallTypeSet installTypes_ = InstallTypeBit(TInstallType::itAlways);
  TInstallType currentType_ = TInstallType::itAlways;
  std::string destDir_;
  TLink<TCustomPathSpecifier> destDirType_{this};
  int order_ = -1;
};

class TInstallObject : public TInstallContainer {
  FW_CLASS(TInstallObject, TInstallContainer)

 public:
  explicit TInstallObject(TComponent* owner) : TInstallContainer(owner) {}

  TInstallContainer* Container() const { return container_; }
  // Joins the new parent's children and leaves the old one's. Outside loading, a new
  // parent gives the object the container's destination (and no DestDir of its own);
  // without one a container destination goes.
  virtual void SetContainer(TInstallContainer* container);
  // Outside loading the object takes its new place among its parent's children.
  void SetOrder(int order) override;
  void ContainerRemoved(TInstallContainer* c) override;
  // Sends a control code up to the container.
  void InformContainer(int code, TObject* parameter);

  static TPropInfo ContainerProp();

 protected:
  ~TInstallObject() override = default;

 private:
  TInstallContainer* container_ = nullptr;
};

namespace setup {

// Every install container alive, in the order they were made.
const std::vector<TInstallContainer*>& InstallContainers();
// The one install driver; null when none exists.
TInstallContainer* InstallDriver();
void SetInstallDriver(TInstallContainer* driver);
// Whether Windows must restart to finish the installation.
bool RebootNeeded();
void SetRebootNeeded(bool v);

}  // namespace setup
