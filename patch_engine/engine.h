#pragma once
// The patch engine, as a front end sees it: this header is all of it that code outside the
// engine includes.
//
// How it works: the front end fills the one options record (Options) and, with its
// FrontEndServices installed by a FrontEndScope, calls CreatePatch on a thread of its own.
// The run checks the options, tells the front end whether it patches files or directory
// trees (ShowDirectoryMode) and writes the patch: a 76-byte header, the patch stream (one
// record per target file, each made of the steps from every older version to the next)
// and an 8-byte trailer, into a temporary file that takes the output's place only when it
// is complete (docs/patch_format.md gives the bytes). On the way it reports its progress
// and asks its questions through the services. Pause, resume and cancel reach the run
// from any thread: it waits or stops at its next progress point. A run that fails or is
// cancelled leaves an earlier output as it was and no temporary file; CreatePatch then
// throws: EEngineError with the engine's message for a failure, ECancelled for a cancel,
// or whatever a service threw. The engine works on files through the platform layer only,
// so the same code builds natively and for Windows and writes the same bytes in both.
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "framework/core/exceptions.h"

namespace engine {

struct EngineMessage;  // the engine's texts (engine_messages.h)

// A failure of a run: the text shown (in the language in force, its arguments filled in)
// and the message it was made from.
class EEngineError : public Exception {
 public:
  EEngineError(const EngineMessage& id, std::string text) : Exception(std::move(text)), id_(&id) {}
  const EngineMessage& Id() const noexcept { return *id_; }

 private:
  const EngineMessage* id_;
};

constexpr int kMaxFileNames = 21;

// The external archivers, by the number the options keep in PackerType.
enum class PackerType : uint32_t { Zip = 0, Lha = 1, Rar = 2, Gzip = 3, PkZip = 4, Arj = 5, Jar = 6 };
constexpr int kPackerTypes = 7;

// How an archiver's command line names the archive: by the patch's base name (the archiver
// adds its extension), by the base name with the archive's extension, or not at all.
enum class ArchiveArgument { Base, BaseWithExtension, None };

// Everything the engine and its front ends know of one archiver.
struct PackerFacts {
  const char* name;              // as the patch builder's options page and settings call it
  const char* defaultProgram;    // looked for along the search path without a program of its own
  const char* commandFormat;     // takes the quoted program, the archive (unless None), the output
  ArchiveArgument archive;
  const char* archiveExtension;  // of the archive it writes
  const char* productWord;       // not empty: long output names are asked about first
  const char* patchSuffix;       // what the patch builder makes the patch name end with
};
inline constexpr std::array<PackerFacts, kPackerTypes> kPackers = {{
    {"InfoZIP", "zip.exe", "%s -9 -g -X -j %s %s", ArchiveArgument::Base, ".zip", "", ".zip"},
    {"LHA", "lha.exe", "%s a -n -m %s %s", ArchiveArgument::Base, ".lzh", "", ".lha"},
    {"RAR", "rar.exe", "%s a %s %s -std -tl -ep -m5 -mm", ArchiveArgument::Base, ".rar", "RAR", ".rar"},
    {"GZIP", "gzip.exe", "%s -N -9 -S\".gz \" %s", ArchiveArgument::None, ".gz", "GZip", ".gz"},
    {"PkZIP", "pkzip.exe", "%s -ex -a -o %s %s", ArchiveArgument::BaseWithExtension, ".zip", "PkZIP", ".zip"},
    {"ARJ", "arj.exe", "%s a -jm -e -i -y %s %s", ArchiveArgument::BaseWithExtension, ".arj", "ARJ", ".arj"},
    {"JAR", "jar32.exe", "%s a -m4 -y %s %s", ArchiveArgument::BaseWithExtension, ".j", "", ".j"},
}};
constexpr const PackerFacts& Packer(PackerType type) { return kPackers[size_t(type)]; }

// The kinds of patch, by the number the options keep in ApplierKind: the plain patch, and
// the executable patches, each the stub of its applier followed by the plain patch.
enum class ApplierKind : uint32_t {
  Plain = 0,
  Mendrin = 1,
  MendrinT = 2,
  Mendr32 = 3,
  Mendr32I = 4,
  Mendr16 = 5,
  Mendr16I = 6,
};
struct ApplierFacts {
  const char* stubName;  // looked for in the program's directory; none for the plain patch
  bool closingPair;      // the patch stream ends with the pair this applier looks for
};
inline constexpr std::array<ApplierFacts, 7> kAppliers = {{
    {"", false},
    {"mendrin.exe", false},
    {"mendrint.exe", true},
    {"mendr32.exe", false},
    {"mendr32i.exe", false},
    {"mendr16.exe", false},
    {"mendr16i.exe", false},
}};
constexpr const ApplierFacts& Applier(ApplierKind kind) { return kAppliers[size_t(kind)]; }
// Every applier kind but the plain patch makes an executable patch, named ".exe"; a plain
// patch is named ".utp".
constexpr bool IsExecutable(uint32_t applierKind) { return applierKind != uint32_t(ApplierKind::Plain); }
constexpr const char* PatchExtension(bool executable) { return executable ? ".exe" : ".utp"; }

// The engine's whole input: one process-wide record, filled by the front end before each
// run and read by the engine.
struct EngineOptions {
  std::array<std::string, kMaxFileNames> FileNames;  // versions, target, then the output
  int32_t FileCount = 0;
  uint8_t PackerOn = 0;
  uint32_t PackerType = 0;  // a PackerType
  std::array<uint8_t, kPackerTypes> PackerUseCustom{};
  std::array<std::string, kPackerTypes> PackerProgram;
  uint8_t Compress = 0;
  uint32_t ApplierKind = 0;  // an ApplierKind
  std::string BackupName = "Backup";
  uint16_t GroupSize = 0;
  uint16_t ChunkSize = 0;
  uint32_t EntropyMargin = 0;
  uint16_t IndexStep = 5;
  uint8_t SelfReferences = 0;
  uint8_t SelfExtracting = 0;
  uint8_t NoLiteralDelta = 0;
  uint8_t StampNow = 0;
  uint8_t StampNewest = 0;
  uint8_t KeepIdentical = 0;
  uint8_t IncludeHidden = 0;
  // Pattern and protection lists: never filled in this system, so always empty.
  std::vector<std::string> IgnorePatterns;
  std::vector<std::string> NamePatterns;
  std::vector<std::string> MarkPatterns;
  std::vector<std::string> ProtectionInfo;
};

extern EngineOptions Options;

// Every field back to its default.
void ResetEngineOptions();
// ChunkSize outside 10..255 becomes 20, GroupSize outside 10..10000 becomes 190.
void ClampEngineOptions();
// The front end's slot copy for one packer: an unchecked "use system path" box selects
// the custom program and takes the edit's text. JAR keeps its defaults.
void CopyOptionText(PackerType type, bool useSystemPathChecked, const std::string& editText);

// The directory applier stubs are looked up in: everything of the program's path up to
// and including its last "/", ":" or "\".
void SetProgramDirectory(const std::string& programPath);

// What a run shows and asks while it runs, called on the run's thread; the stage progress
// also on the helper threads that compute steps, but only for the step the run waits for.
// Its implementations: the progress window's worker (builder/patch_thread.cpp), the
// recording fakes of the engine's tests (tests/patch_engine) and the console of the engine
// driver (engine_run.cpp). Every service has a quiet default, in force while no front end
// is installed: it shows nothing, agrees to every question, reports every program as not
// started and raises the missing-stub error itself. A front end overrides what it shows.
class FrontEndServices {
 public:
  virtual ~FrontEndServices() = default;
  // The three stage meters, in whole percents 0..100: the match search, the structure
  // pass and the encoding pass of a step.
  virtual void Stage1Progress(int percent);
  virtual void Stage2Progress(int percent);
  virtual void Stage3Progress(int percent);
  // Directory mode, before each target file is patched or embedded and last with the
  // name "Done.": the bytes of the target files handled so far and of the whole target
  // tree (never below 1), and the file's relative name.
  virtual void FileProgress(int64_t bytesDone, int64_t bytesTotal, const std::string& name);
  // Once the options are checked, just before PumpMessages: whether every version is a
  // directory tree.
  virtual void ShowDirectoryMode(bool directoryMode);
  // Returns after the user interface has processed its pending messages.
  virtual void PumpMessages();
  // The three stage displays show 0.
  virtual void ResetQuellMeters();
  // Before step `step` of a record is computed: the paths of the record's versions, oldest
  // first, the target last.
  virtual void ShowSourceVersions(int step, const std::vector<std::string>& versionNames);
  virtual void ShowPatchSize(int64_t bytes);
  // Ends the run with an error that reaches the front end's thread; never returns normally.
  virtual void RaiseMissingStub(const std::string& stubName);
  // True to go on with an archiver that may not support long file names.
  virtual bool AskLongFileNameSupport(const std::string& productWord, const std::string& outputName);
  virtual void ShowPackerNotFound(const std::string& program, bool searchedPath);
  // Starts the command line as a new process and returns when it has ended, with its exit
  // code; false when the process could not be started.
  virtual bool RunAndWait(const std::string& commandLine, bool show, uint32_t& exitCode);
};

// Installs a front end for its lifetime (for one run, or a test); the one installed before
// is back when it goes.
class FrontEndScope {
 public:
  explicit FrontEndScope(FrontEndServices& services);
  ~FrontEndScope();
  FrontEndScope(const FrontEndScope&) = delete;
  FrontEndScope& operator=(const FrontEndScope&) = delete;

 private:
  FrontEndServices* previous_;
};

// One run over the options, with the installed front end; see above for how it ends.
void CreatePatch();

// From any thread: the run waits at its next progress point until resumed, or ends there
// once a cancel is requested. A run clears the request (and a pause) when it ends.
void PauseRun();
void ResumeRun();
void RequestCancel();
void ClearCancelRequest();

}  // namespace engine
