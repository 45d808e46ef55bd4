#pragma once
// One engine run: CreatePatch (engine.h) and its parts.
//
// How it works: the run checks the options and the names (an output name with a character
// no file name may hold is refused), decides between file mode (every version is a file)
// and directory mode (every version is a directory tree, scanned before anything is
// written), writes header, patch stream and trailer into a temporary file (in the output's
// folder for a plain patch, in the system's temporary folder for an executable one), joins
// the applier stub in front of it for an executable patch, and only then puts the result
// in place of the output. Afterwards it can run an external archiver over the output; an
// earlier output and an earlier archive are moved aside until the archiver has succeeded.
// Every failure ends the run through the raise path; whatever the run created is removed
// again and whatever it moved aside is put back, so a failed or cancelled run leaves an
// earlier file of the output's name (and the archive's) as it was. An interrupted process
// does the same for its run (platform/interrupt.h).
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace engine {

// The directory applier stubs are looked up in (SetProgramDirectory, engine.h).
const std::string& ProgramDirectory();

// The two identification blocks the run copies into the patch: header bytes 10..73, and
// the block that opens the patch stream (at most 65535 bytes). Both are empty by default.
struct PatchIdentification {
  std::array<uint8_t, 64> first{};
  std::vector<uint8_t> second;
};
PatchIdentification& Identification();

// The output name with the extension the applier kind expects (PatchExtension, engine.h),
// and the base name archives are named after.
struct OutputNames {
  std::string output;
  std::string base;
};
OutputNames MakeOutputNames(const std::string& name, uint32_t applierKind);

// Copies the whole stub and after it the whole patch into the output.
void JoinStubAndPatch(const std::string& stubPath, const std::string& patchPath,
                      const std::string& outputPath);

// True when the name, after an optional drive prefix, has no run of more than 8
// characters between the separators "." and "\".
bool IsShortName(const std::string& name);

// The archiver's command line (kPackers, engine.h), every path quoted so that it stays
// one argument (platform::QuoteArgument).
std::string ArchiverCommandLine(uint32_t packerType, const std::string& program,
                                const std::string& base, const std::string& output);

}  // namespace engine
