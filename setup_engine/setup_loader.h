#pragma once
// The loader of a distribution (KestrinLoadProgram.exe, which becomes the front of the
// self-extracting setup.exe): it unpacks the setup part into a new folder and starts the
// setup program found there, with the command line that tells it where its archive is.
//
// How it works: the loader reads its own tail. With one, the setup part lies inside the
// loader's own file (from the tail's offset) and the setup program is told the
// self-extracting file's name (-e) and folder (-s); without a tail (a floppy set, where
// the loader is a plain file), the part is the "setup.1" beside it and only the folder is
// passed. A tail that carries the signature but does not fit the file is refused. The
// only argument the loader takes is "*TODISK", passed on as -f. Unpacking and the command
// line are portable; starting the program and waiting for it are the Windows program's.
#include <string>
#include <vector>

namespace setup {

struct TLoaderPlan {
  std::string Archive;   // the file that holds the setup part
  int32_t Offset = 0;    // where the part begins in it
  std::vector<std::string> Arguments;  // for the setup program, unquoted
};

// What the loader at loaderPath does with its arguments; IEInstall for a bad tail or
// an argument it does not take.
TLoaderPlan PlanLoader(const std::string& loaderPath, const std::vector<std::string>& arguments);
// Extracts every entry of the setup part into folder under the last part of its stored
// name; IEInstall (or the archive's error) when the part cannot be read.
void UnpackSetupPart(const TLoaderPlan& plan, const std::string& folder);
// The command line: the quoted program, then each argument quoted.
std::string LoaderCommandLine(const std::string& program, const std::vector<std::string>& arguments);

}  // namespace setup
