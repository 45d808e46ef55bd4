#pragma once
// Drives the engine's file-record writer the way a file-mode run does (header, backup
// name, one record, trailer) over versions given as bytes, in a scratch directory that is
// removed afterwards.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "patch_engine/engine.h"
#include "platform/file.h"
#include "tests/support/file_bytes.h"
#include "tests/support/scoped_env.h"
#include "tests/support/scratch_dir.h"

namespace harness {

// A front end for engine tests, installed while it lives: the progress it is shown goes to
// the callbacks that are set; every other service keeps the engine's quiet default.
class ProgressFrontEnd : public engine::FrontEndServices {
 public:
  ProgressFrontEnd() : installed_(*this) {}
  std::function<void(int)> stage1, stage2, stage3;
  std::function<void(int64_t, int64_t, const std::string&)> file;

  void Stage1Progress(int percent) override;
  void Stage2Progress(int percent) override;
  void Stage3Progress(int percent) override;
  void FileProgress(int64_t bytesDone, int64_t bytesTotal, const std::string& name) override;

 private:
  engine::FrontEndScope installed_;
};

// Engine tests start and end with default, clamped options and every engine buffer freed;
// meanwhile progress_ is their front end.
class EngineTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  ProgressFrontEnd progress_;
};

using Bytes = std::vector<uint8_t>;

// The modification time every version gets unless told otherwise.
inline const platform::LocalTime kVersionTime{2001, 2, 3, 4, 5, 6};

// Writes a plain file-version patch of the files at paths (the last is the target) to out
// with the current engine options, as a file-mode run does, and releases what it held as a
// run does. Engine errors propagate.
void WriteFilePatch(const std::string& out, const std::vector<std::string>& paths);

// Writes versions[0] .. versions[n] (the last is the target, stamped targetTime) as files
// in the scratch folder and returns the bytes of their patch.
Bytes MakeFilePatch(const testsupport::ScratchDir& scratch, const std::vector<Bytes>& versions,
                    const platform::LocalTime& targetTime = kVersionTime);

}  // namespace harness
