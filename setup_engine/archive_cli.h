#pragma once
// The commands of the archive_run test driver over the archive component:
//   build ARCHIVE FILE...            append ARCHIVE FILE...
//   list ARCHIVE [OFFSET]            extract ARCHIVE NAME OUTFILE [OFFSET]
//   span ARCHIVE DESTDIR DISKSIZE    tail SETUP.EXE
// extract writes the file under OUTFILE's name; an OUTFILE that ends in a separator names a
// folder, and the file keeps the last part of its stored name.
// Returns the exit code: 0 on success, 1 with the component's message written to err.
#include <ostream>
#include <string>
#include <vector>

namespace setup {

int RunArchiveCommand(const std::vector<std::string>& args, std::ostream& out,
                      std::ostream& err);

}  // namespace setup
