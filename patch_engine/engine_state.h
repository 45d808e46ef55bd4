#pragma once
// Process-wide state of one engine run: the open files and the name of the patch file
// being written. One run at a time, on one thread.
#include <atomic>
#include <cstdint>
#include <string>

#include "platform/file.h"

namespace engine {

struct EngineFiles {
  platform::File patch;     // the patch file being written
  platform::File source;    // the source version of the current step
  platform::File target;    // the target version of the current step
  platform::File embedded;  // a file being embedded (directory mode)
  // The file actually written: the output of a plain patch, or the temporary file of an
  // executable patch. Empty while no patch file is open.
  std::string patchFileName;
};
EngineFiles& Files();

// What the run decides for the file records it writes: directory mode (header mode 2),
// and in directory mode the time stamp of the next record, set by the directory walk.
struct RunState {
  uint8_t directoryMode = 0;
  uint32_t recordStamp = 0;
};
RunState& Run();

// Opens name for binary writing as the run's patch file; false when it cannot be created.
bool OpenPatchFile(const std::string& name);
// Closes the patch file, keeping it; false when the last write or the close failed.
bool ClosePatchFile();
// If the patch file is open, closes it, clears its slot and deletes the file being written.
void DiscardPatchFile();

// Closes every file the engine holds and frees every buffer of the run: the step's file
// buffer, the index tables, the match lists, the data streams and the root lists of
// directory mode; the temporary files of unfinished steps are closed and deleted. Harmless twice. While it runs, BuffersSettled
// is 0.
void FreeEngineBuffers();
extern std::atomic<int> BuffersSettled;

// The end of a run's work, however it comes (done, failed or cancelled): on its way out of
// scope it discards an unfinished patch file and frees every file and buffer of the run. A
// run holds one from its start (create_patch.cpp), and so does a test that drives parts of
// a run.
class RunRelease {
 public:
  RunRelease() = default;
  ~RunRelease();
  RunRelease(const RunRelease&) = delete;
  RunRelease& operator=(const RunRelease&) = delete;
};

}  // namespace engine
