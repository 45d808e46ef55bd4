// The driver's runs: the install run, the run after the restart, the file information and
// the remote file list, the endings, the exception handler, the restart of Windows and the
// cleanup of the temporary folder.
#include <cstring>
#include <ctime>

#include "framework/core/streams.h"
#include "framework/core/sysutils.h"
#include "platform/byte_order.h"
#include "platform/file.h"
#include "setup_engine/file_utils.h"
#include "setup_engine/install_driver.h"
#include "setup_engine/install_services.h"
#include "setup_engine/setup_registry.h"
#include "setup_engine/setup_routines.h"

namespace {

constexpr int64_t kFileListEntry = 72;
constexpr size_t kFileListName = 40, kFileListVersion = 20;

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

double Now() {
  std::time_t t = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &t);
#else
  localtime_r(&t, &local);
#endif
  platform::LocalTime lt{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                         local.tm_hour,        local.tm_min,     local.tm_sec};
  return setup::EncodeDateTime(lt);
}

// A NUL-terminated text of a fixed field; false when the field holds no NUL.
bool FieldText(const uint8_t* p, size_t size, std::string& out) {
  const void* nul = std::memchr(p, 0, size);
  if (!nul) return false;
  out.assign(reinterpret_cast<const char*>(p), size_t(static_cast<const uint8_t*>(nul) - p));
  return true;
}

}  // namespace

bool TCustomInstall::InTempFolder(const std::string& path) {
  std::string temp = setup::InstallServices().Folders->TempDir();
  std::string local = setup::LocalPath(path);
  return platform::PathWithin(local, temp) && !platform::PathWithin(temp, local);
}

void TCustomInstall::ShowGoodInstall() {
  OnShowGoodInstall(this);
  BroadcastInformation(this, setup::icGoodInstall, nullptr);
  BroadcastInformation(this, setup::icAfterGoodInstall, nullptr);
}

void TCustomInstall::ShowBadInstall() {
  OnShowBadInstall(this);
  BroadcastInformation(this, setup::icBadInstall, nullptr);
  BroadcastInformation(this, setup::icAfterBadInstall, nullptr);
}

void TCustomInstall::ReadSelfExtractorOffset() {
  setup::TSelfExtractorTail tail;
  ReadExtractionInfo(setup::LocalPath(GetArchivePath()), tail);
  GlobalArchive().Offset = tail.archiveStart;
}

void TCustomInstall::ReadRemoteFileList() {
  if (distributeType_ == TDistributeType::dtTraditional) return;
  std::string temp = setup::NewTempFileName(".lst");
  struct Remove {
    std::string path;
    ~Remove() { platform::RemoveFile(path); }
  } remove{temp};
  if (setup::GlobalNetLocation().Download("filelist.lst", temp) || setup::UserAborted()) throw EAIUserAbort();
  std::vector<uint8_t> bytes;
  try {
    TFileStream in(temp, fmOpenRead | fmShareDenyWrite);
    bytes.resize(size_t(in.Size()));
    if (!bytes.empty()) in.ReadBuffer(bytes.data(), int32_t(bytes.size()));
  } catch (const EStreamError&) {
    throw IEInstall("Cannot read the remote list of files: %s", {temp});
  }
  auto fail = [&] { throw IEInstall("Cannot read the remote list of files: %s", {temp}); };
  if (bytes.size() < 4) fail();
  int64_t count = int32_t(platform::GetU32(bytes.data()));
  if (count < 0 || 4 + kFileListEntry * count > int64_t(bytes.size())) fail();
  for (int64_t i = 0; i < count; ++i) {
    const uint8_t* e = bytes.data() + 4 + kFileListEntry * i;
    int32_t size = int32_t(platform::GetU32(e));
    uint64_t bits = uint64_t(platform::GetU32(e + 4)) | (uint64_t(platform::GetU32(e + 8)) << 32);
    double date;
    std::memcpy(&date, &bits, sizeof date);
    std::string name, version;
    if (!FieldText(e + 12, kFileListName, name) || !FieldText(e + 12 + kFileListName, kFileListVersion, version))
      fail();
    for (TCustomInstallFile* f : setup::AllInstallFiles())
      if (SameText(f->Name(), name)) {
        f->SetArchiveEntry(f->CompressedSize(), date, size, version);
        break;
      }
  }
}

void TCustomInstall::ReadFileInformation() {
  using namespace setup;
  if (fileInfoRead_) return;
  OnBeforeReadArchiveInfo(this);
  BroadcastInformation(this, icBeforeReadFileInfo, nullptr);
  IInstallApplication& app = *InstallServices().Application;
  app.SetWaitCursor(true);
  ShowStatusMessage(TranslateText("Reading file information..."));
  try {
    ReadArchiveInfo();
    ReadRemoteFileList();
  } catch (...) {
    app.SetWaitCursor(false);
    CloseStatusMessage();
    throw;
  }
  app.SetWaitCursor(false);
  CloseStatusMessage();
  fileInfoRead_ = true;
  OnAfterReadArchiveInfo(this);
  BroadcastInformation(this, icAfterReadFileInfo, nullptr);
}

void TCustomInstall::EndRun(TOutcome outcome) {
  outcome_ = outcome;
  installing_ = false;
}

void TCustomInstall::Process() {
  using namespace setup;
  fileInfoRead_ = false;
  SetRunStartTime(Now());
  PendingFiles().clear();
  unfinishedCount_ = 0;
  pendingCleanup_ = false;
  outcome_ = TOutcome::None;
  installing_ = true;
  GlobalNetLocation().SetLoginInformation(login_);
  SetInstallKey(ReadInstallKey(true));
  ClearUnfinished();
  if (HasSwitch('e')) ReadSelfExtractorOffset();
  ReadFileInformation();
  OnStartInstall(this);
  for (int code : {icStartOfRun1, icStartOfRun2, icStartOfRun3, icShowWelcome, icStartOfRun5, icStartOfRun6,
                   icBeforeInstall})
    BroadcastInformation(this, code, nullptr);
  TFileContainer::Process();
  std::vector<TCustomInstallFile*> waiting = PendingFiles();
  for (TCustomInstallFile* f : waiting) f->RegisterServer();
  if (unfinishedCount_ > 0 || RebootNeeded()) RegisterRunOnce();
  if (RebootNeeded()) {
    BroadcastInformation(this, icRebootNeeded, nullptr);
    bool reboot = RebootNeeded();
    OnRebootWindows(this, reboot);
    SetRebootNeeded(reboot);
    EndRun(TOutcome::Restart);
    if (reboot) {
      SaveLanguage();
      RebootWindows();
    }
    // What was in use is replaced only by the restart: the run ends without its good end.
    InstallServices().Application->Terminate(ExitCodeOf(outcome_));
    return;
  }
  ShowGoodInstall();
  DeleteTempDir();
  CleanInstallKeys();
  EndRun(TOutcome::Good);
  if (runAutomatic_) TerminateApp();
}

void TCustomInstall::FinishUnfinished() {
  using namespace setup;
  installing_ = true;
  outcome_ = TOutcome::None;
  GlobalNetLocation().SetLoginInformation(login_);
  SetInstallKey(ReadInstallKey(false));
  if (TTranslator* t = GlobalTranslator()) t->SetTranslateIntoLanguage(ReadLanguage());
  TStringList lines;
  ReadUnfinished(lines);
  std::string key = UnfinishedKey();
  for (int i = 0; i < lines.Count(); ++i) {
    const std::string& line = lines[i];
    // The name may hold ";" itself: the kind follows the last one.
    size_t semicolon = line.rfind(';');
    std::string name = line.substr(0, semicolon);
    int kind = semicolon == std::string::npos ? -1 : StrToIntDef(line.substr(semicolon + 1), -1);
    if (kind < 0) throw IEInstall("There is an invalid entry for the unfinished install list %s", {line});
    if (kind == 1) {
      // Only what this installer made: files in the temporary folder.
      if (InTempFolder(name)) platform::RemoveFile(LocalPath(name));
    } else if (kind == 0) {
      std::vector<TInstallContainer*> containers = InstallContainers();
      for (TInstallContainer* c : containers)
        if (c != this && SameText(c->Name(), name)) c->FinishUnfinished();
    }
    TRegistry reg(SetupRegistry(), TRootKey::hkLocalMachine);
    if (reg.OpenKey(key, false)) reg.DeleteValue(name);
  }
  ShowGoodInstall();
  DeleteTempDir();
  CleanInstallKeys();
  EndRun(TOutcome::Good);
  if (runAutomatic_) TerminateApp();
}

void TCustomInstall::RebootWindows() {
  setup::TInstallServices& services = setup::InstallServices();
  if (!services.Reboot->Reboot())
    services.Prompts->Ask(setup::TranslateText("Could not reboot windows. Please manually reboot windows."),
                          setup::TPromptButtons::Ok);
}

void TCustomInstall::HandleInstallException(TObject*, std::exception_ptr e) {
  setup::TInstallServices& services = setup::InstallServices();
  std::string message;
  bool userAbort = false;
  try {
    std::rethrow_exception(e);
  } catch (const EAIUserAbort& x) {
    userAbort = true;
    message = x.Message();
  } catch (const EAbort&) {
    userAbort = true;
  } catch (const std::exception& x) {
    message = x.what();
  } catch (...) {
    message = "Unknown exception";
  }
  if (!installing_) {
    if (!message.empty()) services.Prompts->ShowError(message);
    return;
  }
  EndRun(TOutcome::Bad);
  // A failed run ends as a cancelled one does, with its message; moves arranged for the
  // restart stay.
  try {
    ShowBadInstall();
    if (!userAbort) services.Prompts->ShowError(message);
    DeleteTempDir();
    CleanInstallKeys();
    if (!userAbort || runAutomatic_) TerminateApp();
  } catch (const std::exception& x) {
    services.Prompts->ShowError(x.what());
    if (runAutomatic_) services.Application->Terminate(ExitCodeOf(outcome_));
  } catch (...) {
    if (runAutomatic_) services.Application->Terminate(ExitCodeOf(outcome_));
  }
}

void TCustomInstall::DeleteTempDir() {
  using namespace setup;
  if (!useLoadingProgram_ || !HasSwitch('c') || HasSwitch('d')) return;
  std::string program = InstallServices().Application->ProgramPath();
  std::string dir = ExtractFileDir(program);
  // Only a program that runs from a folder of its own in the temporary folder.
  if (!InTempFolder(dir)) return;
  bool doCleanup = true;
  OnCleanup(this, doCleanup);
  if (!doCleanup) return;
  for (int i = 0; i < presetupFiles_.Count(); ++i)
    platform::RemoveFile(LocalPath(sourceDir_ + "\\" + ExtractFileName(presetupFiles_[i])));
  cleanupNt_ = GetWindowsPlatform() != 1;
  std::string batch = NewTempFileName(".bat");
  // The batch waits for the program's end, removes its folder and last itself.
  std::vector<std::string> lines{":wait", "ERASE " + Quoted(program), "IF EXIST " + Quoted(program) + " GOTO wait",
                                 (cleanupNt_ ? "RMDIR /S /Q " : "DELTREE /Y ") + Quoted(dir)};
  // Some command interpreters empty a quoted folder without removing it: the empty folder
  // goes by its short name, which has no blanks.
  if (cleanupNt_)
    lines.push_back("IF EXIST " + Quoted(dir) + " RMDIR " + InstallServices().Folders->ShortPath(dir));
  lines.push_back("ERASE " + Quoted(ChangeFileExt(batch, ".PIF")));
  lines.push_back("ERASE " + Quoted(batch));
  setup::WriteLines(batch, lines);
  cleanupBatch_ = batch;
  pendingCleanup_ = true;
}
