#pragma once
// Shortcuts and the folders that hold them: the main link group (the product's folder in
// the Start menu's programs), its sub groups, and links: ".LNK" shell links, ".URL"
// Internet shortcuts, or Program Manager items where the shell has no link object.
//
// How it works: groups and links are install objects (kinds 7000 and 8000). A group
// makes its folder and then processes its links; a link points at an install object
// (ObjectLink: its target is that file's destination, through the psObjectLink
// specifier) or at a location (ObjectLocation under ObjectLocationType, or an address).
// The shell link object is reached through IShellLinkWriter (IShellLinkA and
// IPersistFile in the Windows build; natively the class is not registered), Program
// Manager through program_manager.h. Each link that wrote a file records it for the
// uninstaller, as files do (setup::RecordUninstallFile). The setters keep names and
// types consistent outside loading: a name's extension follows its kind, an object link
// names the link after its object.
#include <cstdint>
#include <string>
#include <vector>

#include "setup_engine/install_object.h"
#include "setup_engine/install_folders.h"

class IEShellLinkGroup : public IException {
 public:
  using IException::IException;
};
class IEInstallShellLink : public IException {
 public:
  using IException::IException;
};

enum class TMethodType { mtAutoDetect, mtShellLinkInterface, mtProgramManager };
const TTypeInfo& MethodTypeTypeInfo();

namespace setup {

struct TShellLinkData {
  std::string Path;
  std::string Arguments;
  std::string WorkingDirectory;
  uint16_t HotKey = 0;
};

// The shell's link object. Results are COM result codes (0 success, 1 already done).
class IShellLinkWriter {
 public:
  virtual ~IShellLinkWriter() = default;
  virtual int32_t InitializeCom() = 0;
  // Creates a link object with data and saves it as file.
  virtual int32_t Save(const TShellLinkData& data, const std::string& file) = 0;
  // The system's text for a result code.
  virtual std::string ErrorText(int32_t code) = 0;
};

IShellLinkWriter& DefaultShellLinkWriter();
IShellLinkWriter& ShellLinkWriter();
// Installs a writer (null puts the build's own back); returns the one before.
IShellLinkWriter* SetShellLinkWriter(IShellLinkWriter* writer);

// The text of a failed COM call in a link's error message.
std::string ComErrorText(int32_t code);
// Sets key = value in section of an INI file, keeping the rest of the file; false when it
// cannot be written.
bool WriteIniValue(const std::string& file, const std::string& section, const std::string& key,
                   const std::string& value);

}  // namespace setup

class TCustomShellLinkGroup : public TInstallObject {
  FW_CLASS(TCustomShellLinkGroup, TInstallObject)

 public:
  explicit TCustomShellLinkGroup(TComponent* owner);
  int ComponentType() const override { return setup::kKindShellLinkGroup; }
  // icSelectFolder, the folder with all its levels, then the links.
  void DoProcess() override;
  // A group whose container goes frees itself.
  void ContainerRemoved(TInstallContainer* c) override;

 protected:
  ~TCustomShellLinkGroup() override = default;
};

class TMainLinkGroup : public TCustomShellLinkGroup {
  FW_CLASS(TMainLinkGroup, TCustomShellLinkGroup)

 public:
  // IEShellLinkGroup for a second one.
  explicit TMainLinkGroup(TComponent* owner);
  // Always the psProgramMenu specifier.
  void SetDestDirType(TCustomPathSpecifier* specifier) override;

 private:
  static TComponent* Checked(TComponent* owner);

 protected:
  ~TMainLinkGroup() override = default;
  void BeforeDestruction() override;
};

class TSubLinkGroup : public TCustomShellLinkGroup {
  FW_CLASS(TSubLinkGroup, TCustomShellLinkGroup)

 public:
  // IEShellLinkGroup without a main group.
  explicit TSubLinkGroup(TComponent* owner);
  // Only the main group.
  void SetContainer(TInstallContainer* container) override;
  // Always psContainerDestDir.
  void SetDestDirType(TCustomPathSpecifier* specifier) override;

 private:
  static TComponent* Checked(TComponent* owner);

 protected:
  ~TSubLinkGroup() override = default;
  void BeforeDestruction() override;
};

class TCustomInstallShellLink : public TInstallObject {
  FW_CLASS(TCustomInstallShellLink, TInstallObject)

 public:
  // On a form or data module it makes sure a psObjectLink specifier exists.
  explicit TCustomInstallShellLink(TComponent* owner);

  uint16_t HotKey() const { return hotKey_; }
  void SetHotKey(uint16_t k) { hotKey_ = k; }
  const std::string& LinkName() const { return linkName_; }
  TMethodType Method() const { return method_; }
  void SetMethod(TMethodType m) { method_ = m; }
  TInstallContainer* ObjectLink() const { return objectLink_.Get(); }
  const std::string& ObjectLocation() const { return objectLocation_; }
  TCustomPathSpecifier* ObjectLocationType() const { return objectLocationType_.Get(); }
  const std::string& Parameters() const { return parameters_; }
  void SetParameters(const std::string& p) { parameters_ = p; }
  bool ComStarted() const { return comStarted_; }
  // The file the link wrote this run ("" when none).
  const std::string& SavedFile() const { return savedFile_; }

  virtual void InitializeShellLink();
  virtual void InstallByProgramManager();
  virtual void InstallByShellLink();
  virtual void InstallInternetShortcut();
  // Outside loading a non-blank name's extension follows its kind: ".URL" drops the
  // object link, ".LNK" stays, any other becomes the previous name's (".LNK" when none).
  virtual void SetLinkName(const std::string& name);
  // Outside loading a link without a name is named after the location.
  virtual void SetObjectLocation(const std::string& location);
  virtual void SetObjectLocationType(TCustomPathSpecifier* specifier);
  // Outside loading the link points at the object through psObjectLink and takes its name.
  virtual void SetObjectLink(TInstallContainer* object);
  // The target: the location type's path for this link followed by ObjectLocation.
  virtual std::string GetObjectPath();

  int ComponentType() const override { return setup::kKindShellLink; }
  // The uninstaller's parameters, the link by its kind, then the children.
  void DoProcess() override;
  void WriteUninstallInfo(const std::string& key) override;
  // A link whose object or container goes frees itself.
  void ContainerRemoved(TInstallContainer* c) override;

  static TPropInfo HotKeyProp();
  static TPropInfo LinkNameProp();
  static TPropInfo MethodProp();
  static TPropInfo ObjectLinkProp();
  static TPropInfo ObjectLocationProp();
  static TPropInfo ObjectLocationTypeProp();
  static TPropInfo ParametersProp();

 protected:
  ~TCustomInstallShellLink() override = default;
  void BeforeDestruction() override;

 private:
  std::string BlankNameMessage() const;

  uint16_t hotKey_ = 0;
  std::string linkName_;
  TMethodType method_ = TMethodType::mtAutoDetect;
  TLink<TInstallContainer> objectLink_{this};
  std::string objectLocation_;
  TLink<TCustomPathSpecifier> objectLocationType_{this};
  std::string parameters_;
  bool comStarted_ = false;
  std::string savedFile_;
};

class TInstallShellLink : public TCustomInstallShellLink {
  FW_CLASS(TInstallShellLink, TCustomInstallShellLink)

 public:
  explicit TInstallShellLink(TComponent* owner) : TCustomInstallShellLink(owner) {}

 protected:
  ~TInstallShellLink() override = default;
};

// A link in the main group: its container is the main group, its folder the group's.
class TInstallMainLink : public TCustomInstallShellLink {
  FW_CLASS(TInstallMainLink, TCustomInstallShellLink)

 public:
  explicit TInstallMainLink(TComponent* owner);
  void SetContainer(TInstallContainer* container) override;
  void SetDestDirType(TCustomPathSpecifier* specifier) override;

 private:
  static TComponent* Checked(TComponent* owner);

 protected:
  ~TInstallMainLink() override = default;
  void BeforeDestruction() override;
};

// A link in a sub group.
class TInstallSubLink : public TCustomInstallShellLink {
  FW_CLASS(TInstallSubLink, TCustomInstallShellLink)

 public:
  explicit TInstallSubLink(TComponent* owner);
  void SetContainer(TInstallContainer* container) override;
  void SetDestDirType(TCustomPathSpecifier* specifier) override;

 private:
  static TComponent* Checked(TComponent* owner);

 protected:
  ~TInstallSubLink() override = default;
};

// The path of the object a link points at: an install file's full destination, another
// object's destination folder.
class TpsObjectLink : public TStandardPathSpecifier {
  FW_CLASS(TpsObjectLink, TStandardPathSpecifier)

 public:
  explicit TpsObjectLink(TComponent* owner) : TStandardPathSpecifier(owner) {}
  std::string GetDescription() const override;
  std::string GetPath(TInstallContainer* obj) override;
  void CheckObject(TInstallContainer* obj) override;
};

namespace setup {

// The one main group; null when none exists.
TMainLinkGroup* MainLinkGroup();
const std::vector<TCustomInstallShellLink*>& ShellLinks();
const std::vector<TInstallMainLink*>& MainGroupLinks();
const std::vector<TSubLinkGroup*>& SubLinkGroups();

}  // namespace setup
