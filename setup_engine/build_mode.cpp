// Build mode and floppy transfer of the install driver: the distribution made from the
// install tree (the loader, the setup part "setup.1", the main archive "files.1", for net
// distributions the remote file list), joined into one self-extracting setup.exe; and the
// transfer of that program onto floppies.
#include <cstring>

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

using namespace setup;

constexpr int32_t kBlock = 8192;
constexpr size_t kListName = 40, kListVersion = 20;
const char* const kLibraryKey = "\\Software\\Halden\\K32V31";

// Copies count bytes of from, starting at start, into a new file to; false when fewer
// were written. Messages are processed after each block.
bool CopyPart(const std::string& from, int64_t start, int64_t count, const std::string& to) {
  try {
    TFileStream in(from, fmOpenRead | fmShareDenyNone);
    TFileStream out(to, fmCreate);
    in.SetPosition(start);
    std::vector<uint8_t> buffer(kBlock);
    for (int64_t left = count; left > 0;) {
      int32_t n = int32_t(std::min<int64_t>(left, kBlock));
      in.ReadBuffer(buffer.data(), n);
      if (out.Write(buffer.data(), n) != n) return false;
      left -= n;
      InstallServices().Application->ProcessMessages();
    }
    out.Flush();
    return out.Size() == count;
  } catch (const EStreamError&) {
    return false;
  }
}

bool CopyWhole(const std::string& from, const std::string& to) {
  int64_t size = 0;
  {
    platform::File f;
    if (!f.Open(from, platform::OpenMode::Read)) return false;
    size = f.Size();
  }
  return CopyPart(from, 0, size, to);
}

void PutText(uint8_t* at, size_t field, const std::string& text) {
  std::memcpy(at, text.data(), std::min(text.size(), field - 1));
}

// Runs a mode; false when it failed, its message shown.
bool RunMode(const std::function<void()>& body) {
  try {
    body();
    return true;
  } catch (const std::exception& e) {
    InstallServices().Prompts->ShowError(e.what());
    return false;
  }
}

}  // namespace

void TCustomInstall::RunBuildMode() {
  bool ok = RunMode([this] {
    std::string program = InstallServices().Application->ProgramPath();
    std::string inf = AddBackslash(ExtractFileDir(program)) + "BUILD.INF";
    if (!platform::IsFile(LocalPath(inf)))
      throw IEInstall("Need to have a BUILD.INF file in this directory with the first line specifying the build directory");
    TStringList lines;
    lines.LoadFromFile(LocalPath(inf));
    if (lines.Count() < 1 || Trim(lines[0]).empty())
      throw IEInstall("Must be 1 line in BUILD.INF. This line should specify the build directory");
    Build(program, Trim(lines[0]), true);
  });
  EndRun(ok ? TOutcome::Good : TOutcome::Bad);
  TerminateApp();
}

void TCustomInstall::RunFloppyMode() {
  bool ok = RunMode([this] {
    std::string drive = SwitchValue('f');
    TransferToFloppies(drive.empty() ? std::string("a:\\") : AddBackslash(drive));
  });
  // Started by the loader (-c), the transfer leaves no unpacked setup behind either.
  DeleteTempDir();
  EndRun(ok ? TOutcome::Good : TOutcome::Bad);
  TerminateApp();
}

void TCustomInstall::Build(const std::string& exe, const std::string& dir, bool standAlone) {
  if (standAlone && !useLoadingProgram_)
    throw IEInstall("Cannot build a stand alone executable if the UseLoadingProgram property of the TInstall is set to False");
  GlobalNetLocation().SetLoginInformation(login_);
  const std::string setupExe = dir + "\\setup.exe", setupPart = dir + "\\setup.1", files = dir + "\\files.1";
  PrepareLoader(dir, exe);
  std::string archiveFile = ArchiveFile();
  TCustomPathSpecifier* archiveType = ArchiveFileType();
  SetArchiveFileType(nullptr);
  SetArchiveFile(files);
  struct Restore {
    TCustomInstall& d;
    std::string file;
    TCustomPathSpecifier* type;
    ~Restore() {
      d.SetArchiveFileType(nullptr);
      d.SetArchiveFile(file);
      d.SetArchiveFileType(type);
    }
  } restore{*this, archiveFile, archiveType};
  for (TCustomInstallFile* f : AllInstallFiles()) f->ClearPackedFlags();
  uint32_t base = coPackBesideContainer | coBuild | coIncludeAll;
  switch (distributeType_) {
    case TDistributeType::dtTraditional: Compress(base | coForceNetFilesLocal); break;
    case TDistributeType::dtWeb: Compress(base | coForceFilesNet); WriteFileList(); break;
    case TDistributeType::dtTraditionalNet: Compress(base); WriteFileList(); break;
  }
  if (standAlone) CreateSelfExtractor(LocalPath(setupExe), LocalPath(setupPart), LocalPath(files));
}

void TCustomInstall::PrepareLoader(const std::string& dir, const std::string& exe) {
  if (!useLoadingProgram_) {
    ForceDirectories(LocalPath(dir));
    std::string target = dir + "\\" + ExtractFileName(exe);
    if (!CopyWhole(LocalPath(exe), LocalPath(target)))
      throw IEInstall("Cannot copy the installation application from %s to %s", {exe, target});
    return;
  }
  try {
    CreateSetupFile(dir, exe);
  } catch (const EArchiveDiskFull&) {
    throw IEInstall(
        "The disk that you have specified has been determined to be either too full or is corrupt while trying to "
        "copy the SETUP.1 archive file. You should probably clear all files off of the drive. Minimally, you should "
        "leave enough space on the drive for the SETUP.1 archive file.");
  }
  std::string paths = ReadRegString(TRootKeys::hkLocalMachine, kLibraryKey, "", "");
  std::string library;
  for (int i = 1; i <= FieldCount(paths, ';') && library.empty(); ++i) {
    std::string d = RemoveBackslash(Trim(GetField(paths, i, ';')));
    if (!d.empty() && platform::IsFile(LocalPath(d + "\\K32V31.TXT"))) library = d;
  }
  if (library.empty())
    throw IEInstall(
        "The HKEY_LOCAL_MACHINE | %s key in the registry is either missing or points to an invalid Kestrin directory",
        {std::string(kLibraryKey)});
  std::string loader = library + "\\KestrinLoadProgram.exe";
  if (!platform::IsFile(LocalPath(loader))) throw IEInstall("The loader program %s was not found", {loader});
  std::string target = dir + "\\setup.exe";
  if (!CopyWhole(LocalPath(loader), LocalPath(target)))
    throw IEInstall("Cannot copy the loading program from %s to %s", {loader, target});
}

void TCustomInstall::CreateSetupFile(const std::string& dir, const std::string& exe) {
  if (Trim(exe).empty()) throw IEInstall("Cannot create setup file. Executable is blank");
  if (!platform::IsFile(LocalPath(exe))) throw IEInstall("TInstall: Cannot find the executable file %s", {exe});
  // The program is stored by its name alone when it lies in the current folder, so the
  // stored name does not depend on the machine that builds.
  std::string stored = exe;
  if (SameText(RemoveBackslash(ExtractFileDir(exe)), RemoveBackslash(InstallServices().Folders->CurrentDir())))
    stored = ExtractFileName(exe);
  ForceDirectories(LocalPath(dir));
  auto add = [&](const std::string& file, bool append) {
    TKstnCompress k;
    k.SetCompressedFile(LocalPath(dir + "\\setup.1"));
    std::vector<std::string> lines{LocalPath(file)};
    k.SetFilesToProcess(lines);
    try {
      k.Compress(append);
    } catch (const EArchiveDiskFull&) {
      throw;
    } catch (const std::exception& e) {
      throw IEInstall("%s", {std::string(e.what())});
    }
  };
  add(stored, false);
  for (int i = 0; i < presetupFiles_.Count(); ++i) add(presetupFiles_[i], true);
}

void TCustomInstall::WriteFileList() {
  std::string remote = ExtractFileDir(GetArchivePath()) + "\\" + RemoteDirectory(GlobalNetLocation());
  ForceDirectories(LocalPath(remote));
  std::vector<TCustomInstallFile*> packed;
  for (TCustomInstallFile* f : AllInstallFiles())
    if (f->Packed()) packed.push_back(f);
  std::vector<uint8_t> bytes(4 + 72 * packed.size(), 0);
  platform::PutU32(bytes.data(), uint32_t(packed.size()));
  for (size_t i = 0; i < packed.size(); ++i) {
    uint8_t* e = bytes.data() + 4 + 72 * i;
    platform::PutU32(e, uint32_t(packed[i]->Size()));
    double date = packed[i]->FileDate();
    std::memcpy(e + 4, &date, 8);
    PutText(e + 12, kListName, packed[i]->Name());
    PutText(e + 12 + kListName, kListVersion, packed[i]->Version());
  }
  std::string list = remote + "\\filelist.lst";
  try {
    TFileStream out(LocalPath(list), fmCreate);
    out.WriteBuffer(bytes.data(), int32_t(bytes.size()));
  } catch (const EStreamError&) {
    throw IEInstall("Cannot create the file %s", {list});
  }
}

void TCustomInstall::TransferToFloppies(const std::string& drive) {
  IInstallApplication& app = *InstallServices().Application;
  app.SetWaitCursor(true);
  struct Cursor {
    IInstallApplication& a;
    ~Cursor() { a.SetWaitCursor(false); }
  } cursor{app};
  if (!HasSwitch('e'))
    throw IEInstall(
        "Sorry... You can only transfer this installation to floppies through the self-extracting file. Usage "
        "example: setup.exe *TODISK");
  std::string self = LocalPath(GetArchivePath());
  TSelfExtractorTail tail;
  ReadExtractionInfo(self, tail);
  ShowStatusMessage(TranslateText("Transferring this installation to floppies. Please wait..."));
  if (!CopyPart(self, 0, tail.setupStart, LocalPath(drive + "setup.exe")))
    throw IEInstall("Cannot create setup.exe on the A drive. Probably not enough room");
  if (!CopyPart(self, tail.setupStart, int64_t(tail.setupLast) - tail.setupStart + 1, LocalPath(drive + "setup.1")))
    throw IEInstall("Cannot create setup.1 on the A drive. Probably not enough room");
  CloseStatusMessage();
  if (tail.archiveStart == 0) return;
  TKstnCompress& archive = GlobalArchive();
  struct Detach {
    TKstnCompress& k;
    ~Detach() {
      k.OnNewDisk = nullptr;
      k.OnStatus = nullptr;
      k.Offset = 0;
    }
  } detach{archive};
  archive.Offset = tail.archiveStart;
  archive.OnNewDisk = [&app](TKstnCompress&, int disk, std::string&) {
    app.SetWaitCursor(false);
    TPromptAnswer answer = InstallServices().Prompts->Ask(
        FormatTolerant(TranslateText("Please insert disk %d"), {int64_t(disk)}), TPromptButtons::OkCancel);
    app.SetWaitCursor(true);
    if (answer == TPromptAnswer::Cancel) throw IEInstall("Aborted by user");
  };
  archive.OnStatus = [&app](TKstnCompress&, const TlzhFileStats&) { app.ProcessMessages(); };
  archive.SetCompressedFile(self);
  archive.SpanToDisks(LocalPath(RemoveBackslash(drive)), "files.1");
}
