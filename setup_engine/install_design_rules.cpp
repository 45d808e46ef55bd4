// The design rule of install files: every change of a file's key properties, outside
// loading, keeps its names, type, overwrite mode and destination consistent, or is
// refused with all values as they were.
#include "framework/core/sysutils.h"
#include "setup_engine/install_file.h"

namespace {

bool OneOf(const std::string& ext, std::initializer_list<const char*> list) {
  for (const char* e : list)
    if (SameText(ext, e)) return true;
  return false;
}

}  // namespace

void TCustomInstallFile::SetActiveX(bool v) {
  WithDesignRule(false, [&] { activeX_ = v; });
}

void TCustomInstallFile::SetFileName(const std::string& name) {
  WithDesignRule(true, [&] { fileName_ = name; });
}

void TCustomInstallFile::SetIncludeFromDir(const std::string& dir) {
  WithDesignRule(false, [&] { includeFromDir_ = dir; });
}

void TCustomInstallFile::SetFileType(TInstallFileType t) {
  WithDesignRule(false, [&] { fileType_ = t; });
}

void TCustomInstallFile::SetDestDir(const std::string& dir) {
  WithDesignRule(false, [&] { TFileRelated::SetDestDir(dir); });
}

void TCustomInstallFile::SetDestDirType(TCustomPathSpecifier* specifier) {
  WithDesignRule(false, [&] { TFileRelated::SetDestDirType(specifier); });
}

void TCustomInstallFile::SetContainer(TInstallContainer* container) {
  WithDesignRule(false, [&] { TFileRelated::SetContainer(container); });
}

void TCustomInstallFile::WithDesignRule(bool fileNameChanged, const std::function<void()>& change) {
  if (IsLoading() || inRule_) {
    change();
    return;
  }
  struct TSaved {
    bool activeX, registerAsHelp, updateDLLCounter;
    std::string destName, fileName, includeFromDir, destDir;
    TCustomPathSpecifier* destDirType;
    TInstallContainer* container;
    TInstallFileType fileType;
    TOverwriteType overwriteMode;
  } saved{activeX_,         registerAsHelp_, updateDLLCounter_, destName_, fileName_, includeFromDir_,
          DestDir(),        DestDirType(),   Container(),       fileType_, overwriteMode_};
  inRule_ = true;
  struct Leave {
    bool& flag;
    ~Leave() { flag = false; }
  } leave{inRule_};
  try {
    change();
    DesignRule(fileNameChanged, saved.fileType, saved.activeX);
  } catch (...) {
    if (Container() != saved.container) TFileRelated::SetContainer(saved.container);
    activeX_ = saved.activeX;
    registerAsHelp_ = saved.registerAsHelp;
    updateDLLCounter_ = saved.updateDLLCounter;
    destName_ = saved.destName;
    fileName_ = saved.fileName;
    includeFromDir_ = saved.includeFromDir;
    TFileRelated::SetDestDirType(nullptr);
    TFileRelated::SetDestDir(saved.destDir);
    TFileRelated::SetDestDirType(saved.destDirType);
    fileType_ = saved.fileType;
    overwriteMode_ = saved.overwriteMode;
    throw;
  }
}

void TCustomInstallFile::DesignRule(bool fileNameChanged, TInstallFileType typeBefore, bool activeXBefore) {
  auto* parent = dynamic_cast<TFileContainer*>(Container());
  if (!parent)
    throw IECustomInstallFile(
        "The following TInstallFile component %s requires the Container property to be a component descended from "
        "the TFileContainer component",
        {Name()});
  // A file without a name has no source yet to share.
  if (!fileName_.empty())
    for (TInstallObject* c : parent->Children())
      if (auto* other = dynamic_cast<TCustomInstallFile*>(c))
        if (other != this && SameText(other->SourceName(), SourceName()))
          throw IEfcDuplicateFile("There is already a file with the name :%s", {SourceName()});
  if (fileNameChanged) {
    if (!fileName_.empty()) CheckDestName(fileName_);
    destName_ = fileName_;
  }
  std::string ext = ExtractFileExt(destName_);
  if (OneOf(ext, {".HLP", ".CNT"})) registerAsHelp_ = true;
  if (SameText(ext, ".OCX") || HasSelfRegisterFlag()) activeX_ = true;
  if (activeX_ && !activeXBefore) fileType_ = TInstallFileType::iftSystemWideDLL;
  if (OneOf(ext, {".DLL", ".OCX", ".BLL", ".EXE"}) && DestDirType()) {
    if (Is<TpsWindow>(DestDirType()) || Is<TpsBDEDLL>(DestDirType())) overwriteMode_ = owVersionDate;
    if (Is<TpsSystem>(DestDirType())) fileType_ = TInstallFileType::iftSystemWideDLL;
  }
  if (fileType_ != typeBefore) {
    int t = int(fileType_);
    if (t >= 1) overwriteMode_ = owVersionDate;
    if (t >= 3) updateDLLCounter_ = true;
    auto place = [this](const TClassInfo& cls, const std::string& dir) {
      TFileRelated::SetDestDirType(setup::FindStandard(cls));
      TFileRelated::SetDestDir(dir);
    };
    if (fileType_ == TInstallFileType::iftApplicationSpecificDLL) place(TpsMainInstall::StaticClass(), "\\System");
    if (fileType_ == TInstallFileType::iftVendorSharedDLL) place(TpsCommonFiles::StaticClass(), "\\System");
    if (fileType_ == TInstallFileType::iftSystemWideDLL) place(TpsSystem::StaticClass(), "");
  }
  if (fileType_ != TInstallFileType::iftNormal && destName_.size() > 12)
    throw IECustomInstallFile(
        "The following file :%s: is specified to be a Shared DLL file. To be installed on the user's system, shared "
        "DLLs must be loaded into the WININIT.INI. However, the WININIT.INI supports only old 8.3 character filenames",
        {destName_});
}
