#include "patch_engine/create_patch.h"

#include <algorithm>

#include "framework/core/sysutils.h"
#include "patch_engine/cancel.h"
#include "patch_engine/directory_walk.h"
#include "patch_engine/engine.h"
#include "patch_engine/engine_errors.h"
#include "patch_engine/engine_state.h"
#include "patch_engine/file_names.h"
#include "patch_engine/file_record.h"
#include "patch_engine/front_end.h"
#include "patch_engine/match_search.h"
#include "patch_engine/patch_format.h"
#include "patch_engine/patch_stream.h"
#include "patch_engine/temp_patch_file.h"
#include "platform/file.h"
#include "platform/interrupt.h"
#include "platform/process.h"

namespace engine {

namespace {

constexpr size_t kJoinPiece = 1000;
const char kTempPrefix[] = "gp";

std::string programDirectory;

// The folder of path (with its last separator), or "." when it names none.
std::string FolderOf(const std::string& path) {
  for (size_t i = path.size(); i > 0; --i)
    if (platform::IsPathSeparator(path[i - 1])) return path.substr(0, i);
  return ".";
}

// What a run has created besides its output, and the earlier files it has moved aside
// while it may still fail. Whenever the run leaves before Done, the temporary files it
// created go and the earlier files are put back; an interruption of the process does the
// same (platform/interrupt.h). The run's files and buffers are released before (RunRelease).
class RunCleanup {
 public:
  RunCleanup() = default;
  RunCleanup(const RunCleanup&) = delete;
  RunCleanup& operator=(const RunCleanup&) = delete;
  ~RunCleanup() {
    temps_.clear();
    for (auto a = asides_.rbegin(); a != asides_.rend(); ++a) platform::RenameFile(a->aside, a->home);
    ClearCancelRequest();
  }
  // A new empty file in the folder of path, removed unless it is put in place; its name.
  std::string CreateTemp(const std::string& path, const EngineMessage& failure) {
    platform::TempFile temp;
    if (!temp.Create(FolderOf(path), kTempPrefix, true)) RaiseEngineErrorFmt(failure, path);
    return Keep(std::move(temp));
  }
  // A temporary file made elsewhere, from now on removed with the others; its name.
  std::string Keep(platform::TempFile temp) {
    temps_.push_back(std::move(temp));
    return temps_.back().Name();
  }
  // Removes the temporary file now.
  void Remove(const std::string& temp) {
    std::erase_if(temps_, [&](const platform::TempFile& t) { return t.Name() == temp; });
  }
  // Renames temp over path, where it stays.
  void PutInPlace(const std::string& temp, const std::string& path) {
    if (!Find(temp).RenameTo(path)) RaiseEngineErrorFmt(msg::CannotReplaceOutput, path);
  }
  // Moves an earlier file at path aside until the run is done.
  void SetAside(const std::string& path) {
    if (!platform::IsFile(path)) return;
    const std::string aside = CreateTemp(path, msg::CannotSetAside);
    if (!platform::MoveAside(path, aside)) RaiseEngineErrorFmt(msg::CannotSetAside, path);
    Find(aside).Release();
    asides_.push_back({aside, path});
  }
  // The run has put everything in place: what was set aside goes.
  void Done() {
    for (const Aside& a : asides_) platform::RemoveFile(a.aside);
    asides_.clear();
  }

 private:
  struct Aside {
    std::string aside, home;
  };
  platform::TempFile& Find(const std::string& temp) {
    return *std::find_if(temps_.begin(), temps_.end(),
                         [&](const platform::TempFile& t) { return t.Name() == temp; });
  }
  std::vector<platform::TempFile> temps_;
  std::vector<Aside> asides_;
};

int64_t FileLength(const std::string& path) {
  platform::File f;
  return f.Open(path, platform::OpenMode::Read) ? f.Size() : -1;
}

// Refused before anything is written: such a name can never be made under Windows, and
// it reaches the packer's command line.
void CheckOutputName(const std::string& output) {
  if (const size_t at = ForbiddenCharacter(output, false); at != std::string::npos)
    RaiseEngineErrorFmt(msg::BadOutputName, output, DescribeCharacter(output[at]));
}

bool SamePath(const std::string& a, const std::string& b) {
  return platform::PathWithin(a, b) && platform::PathWithin(b, a);
}

// The refusals that need the inputs' kinds and the output's names. The packer's archive
// counts as an output too: an earlier file of its name is set aside and removed once the
// archive is written, which must never be a version.
void CheckPaths(const OutputNames& names, int inputs, bool directoryMode) {
  const auto& fileNames = Options.FileNames;
  std::vector<std::string> outputs{names.output};
  if (Options.PackerOn)
    outputs.push_back(names.base + Packer(PackerType(Options.PackerType)).archiveExtension);
  for (const std::string& output : outputs)
    for (int i = 0; i < inputs; ++i) {
      if (!platform::PathWithin(output, fileNames[i])) continue;
      if (directoryMode) RaiseEngineErrorFmt(msg::OutputInsideTree, output, fileNames[i]);
      RaiseEngineErrorFmt(msg::OutputIsInput, output);
    }
  if (!directoryMode) return;
  for (int i = 0; i < inputs; ++i)
    for (int j = 0; j < inputs; ++j)
      if (i != j && platform::PathWithin(fileNames[i], fileNames[j]) &&
          !SamePath(fileNames[i], fileNames[j]))
        RaiseEngineErrorFmt(msg::RootInsideRoot, fileNames[i], fileNames[j]);
}

// The earlier archive is set aside, not removed: it stays, as does the earlier patch,
// until the archiver has succeeded.
void RunArchiver(const OutputNames& names, uint32_t type, const std::string& program,
                 RunCleanup& cleanup) {
  const PackerFacts& archiver = Packer(PackerType(type));
  if (archiver.productWord[0] && !IsShortName(names.output) &&
      !FrontEnd().AskLongFileNameSupport(archiver.productWord, names.output))
    return;
  cleanup.SetAside(names.base + archiver.archiveExtension);
  const std::string commandLine = ArchiverCommandLine(type, program, names.base, names.output);
  uint32_t exitCode = 0;
  if (!FrontEnd().RunAndWait(commandLine, false, exitCode))
    RaiseEngineErrorFmt(msg::PackerNotStarted, program);
  if (exitCode != 0) RaiseEngineErrorFmt(msg::PackerFailed, program, exitCode);
}

}  // namespace

void SetProgramDirectory(const std::string& programPath) {
  size_t end = programPath.find_last_of("/:\\");
  programDirectory = end == std::string::npos ? "" : programPath.substr(0, end + 1);
}

const std::string& ProgramDirectory() { return programDirectory; }

PatchIdentification& Identification() {
  static PatchIdentification id;
  return id;
}

OutputNames MakeOutputNames(const std::string& name, uint32_t applierKind) {
  const std::string extension = PatchExtension(IsExecutable(applierKind));
  if (name.size() >= 4 && SameText(name.substr(name.size() - 4), extension))
    return {name, name.substr(0, name.size() - 4)};
  return {name + extension, name};
}

bool IsShortName(const std::string& name) {
  size_t i = 0;
  if (name.size() >= 2 && name[1] == ':' &&
      ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z')))
    i = 2;
  for (size_t run = 0; i < name.size(); ++i) {
    if (name[i] == '.' || name[i] == '\\')
      run = 0;
    else if (++run > 8)
      return false;
  }
  return true;
}

std::string ArchiverCommandLine(uint32_t packerType, const std::string& program,
                                const std::string& base, const std::string& output) {
  const PackerFacts& p = Packer(PackerType(packerType));
  using platform::QuoteArgument;
  if (p.archive == ArchiveArgument::None)
    return FormatTolerant(p.commandFormat, {QuoteArgument(program), QuoteArgument(output)});
  const std::string archive = p.archive == ArchiveArgument::Base ? base : base + p.archiveExtension;
  return FormatTolerant(p.commandFormat,
                        {QuoteArgument(program), QuoteArgument(archive), QuoteArgument(output)});
}

void JoinStubAndPatch(const std::string& stubPath, const std::string& patchPath,
                      const std::string& outputPath) {
  platform::File stub, patch, output;
  if (!stub.Open(stubPath, platform::OpenMode::Read))
    RaiseEngineErrorFmt(msg::CannotAccessFile, stubPath);
  if (!patch.Open(patchPath, platform::OpenMode::Read))
    RaiseEngineErrorFmt(msg::CannotAccessFile, patchPath);
  if (!output.Open(outputPath, platform::OpenMode::Write))
    RaiseEngineErrorFmt(msg::CannotCreateFile, outputPath);
  auto copy = [&output](platform::File& from) {
    const int64_t size = from.Size();
    if (size < 0) return false;
    uint8_t piece[kJoinPiece];
    for (int64_t left = size; left > 0;) {
      size_t want = left < int64_t(kJoinPiece) ? size_t(left) : kJoinPiece;
      if (from.Read(piece, want) != want || output.Write(piece, want) != want) return false;
      left -= int64_t(want);
    }
    return true;
  };
  const bool joined = copy(stub) && copy(patch);
  if (!output.Close() || !joined) {
    platform::RemoveFile(outputPath);
    RaiseEngineError(msg::JoinFailed);
  }
}

void CreatePatch() {
  RunCleanup cleanup;
  RunRelease release;  // goes first
  FreeEngineBuffers();
  Run() = RunState{};
  const EngineOptions& o = Options;

  if (o.FileCount < 3 || o.FileCount > kMaxFileNames) RaiseEngineErrorFmt(msg::BadFileCount, o.FileCount);
  if (o.ApplierKind >= kAppliers.size()) RaiseEngineErrorFmt(msg::ApplierUnknown, o.ApplierKind);
  const ApplierKind applier = ApplierKind(o.ApplierKind);
  // The program actually used for the selected packer.
  if (o.PackerType >= kPackers.size()) RaiseEngineError(msg::PackerUnknown);
  std::string program = Packer(PackerType(o.PackerType)).defaultProgram;
  if (o.PackerOn) {
    if (o.PackerUseCustom[o.PackerType]) {
      program = o.PackerProgram[o.PackerType];
      if (!platform::IsFile(program)) {
        FrontEnd().ShowPackerNotFound(program, false);
        return;
      }
    } else if (!FindOnPath(program)) {
      FrontEnd().ShowPackerNotFound(program, true);
      return;
    }
  }

  AllocateIndexTables();
  PatchHeader header;
  header.flags = o.Compress ? 1 : 0;
  const int inputs = o.FileCount - 1;  // versions and target; the last name is the output
  std::vector<bool> isDirectory(size_t(inputs), false);
  bool directoryMode = false;
  for (int i = 0; i < inputs; ++i) {
    isDirectory[size_t(i)] = platform::IsDirectory(o.FileNames[i]);
    directoryMode = directoryMode || isDirectory[size_t(i)];
  }
  header.mode = uint8_t(directoryMode ? PatchMode::DirectoryTrees : PatchMode::FileVersions);
  Run().directoryMode = directoryMode ? 1 : 0;

  FrontEnd().ShowDirectoryMode(directoryMode);
  FrontEnd().PumpMessages();
  CheckCancel();

  for (int i = 0; i < inputs; ++i) {
    if (directoryMode && !isDirectory[size_t(i)])
      RaiseEngineErrorFmt(msg::NotADirectory, o.FileNames[i]);
    if (directoryMode) continue;
    const platform::PathKind kind = platform::KindOf(o.FileNames[i]);
    if (kind == platform::PathKind::Other) RaiseEngineErrorFmt(msg::NotARegularFile, o.FileNames[i]);
    if (kind != platform::PathKind::File) RaiseEngineErrorFmt(msg::FileNotFound, o.FileNames[i]);
  }
  const OutputNames names = MakeOutputNames(o.FileNames[inputs], o.ApplierKind);
  CheckOutputName(names.output);
  CheckPaths(names, inputs, directoryMode);

  // The trees are scanned before anything is written.
  if (directoryMode) {
    for (int i = 0; i < inputs; ++i) {
      RootLists().push_back(std::make_unique<RootList>());
      RootList& list = *RootLists().back();
      list.rootIndex = i;
      BuildRootList(list, o.FileNames[i]);
    }
  }

  // The patch goes into a temporary file: in the output's folder for a plain patch, in
  // the system's temporary folder for an executable one.
  std::string written;
  if (applier == ApplierKind::Plain) {
    written = cleanup.CreateTemp(names.output, msg::CannotOpenPatchFile);
    if (!OpenPatchFile(written)) RaiseEngineErrorFmt(msg::CannotOpenPatchFile, names.output);
  } else {
    platform::File opened;
    written = cleanup.Keep(CreateTempPatchFile(opened));
    opened.Close();
    if (!OpenPatchFile(written)) RaiseEngineError(msg::CannotOpenTempPatchFile);
  }

  const PatchIdentification& id = Identification();
  if (id.second.size() > 0xFFFF) RaiseEngineError(msg::CannotWriteHeader);
  header.identification = id.first;
  header.secondIdentificationLength = uint16_t(id.second.size());
  WritePatchHeader(header);

  BeginPatchStream();
  WritePatchStream(id.second.data(), id.second.size());
  WriteNameString(o.BackupName);
  if (directoryMode) {
    WalkDirectoryPair();
    WritePatchU8(0);
  } else {
    auto& slots = FileSlots();
    for (int i = 0; i < inputs; ++i) {
      slots[size_t(i)].path = o.FileNames[i];
      slots[size_t(i)].relativePath.clear();
    }
    ExamineAndWriteFile(o.FileNames[inputs - 1], inputs);
  }
  if (Applier(applier).closingPair) {
    WritePatchU32(0);
    WritePatchU32(kApplierKind2Marker);
  }
  EndPatchStream();
  WritePatchTrailer();
  if (!ClosePatchFile()) RaiseEngineError(msg::CannotWriteTrailer);
  FreeEngineBuffers();
  CheckCancel();

  // With a packer to follow, an earlier output stays until the packer has succeeded.
  if (applier == ApplierKind::Plain) {
    if (o.PackerOn) cleanup.SetAside(names.output);
    cleanup.PutInPlace(written, names.output);
    ConsoleLine(msg::CreatedPlainPatch, names.output, FileLength(names.output));
  } else {
    const std::string stubName = Applier(applier).stubName;
    const std::string stubPath = programDirectory + stubName;
    if (platform::File stub; !stub.Open(stubPath, platform::OpenMode::Read)) {
      FrontEnd().RaiseMissingStub(stubName);
      RaiseEngineErrorFmt(msg::MissingStub, stubName);  // the front end's call did not end the run
    }
    const std::string joined = cleanup.CreateTemp(names.output, msg::CannotOpenPatchFile);
    JoinStubAndPatch(stubPath, written, joined);
    if (o.PackerOn) cleanup.SetAside(names.output);
    cleanup.PutInPlace(joined, names.output);
    cleanup.Remove(written);
    const int64_t length = FileLength(names.output);
    ConsoleLine(msg::CreatedExecutablePatch, names.output, length);
    FrontEnd().ShowPatchSize(length);
  }

  if (o.PackerOn) RunArchiver(names, o.PackerType, program, cleanup);
  cleanup.Done();
}

}  // namespace engine
