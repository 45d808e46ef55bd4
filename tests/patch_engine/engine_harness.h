#pragma once
// Drives the engine's file-record writer the way a file-mode run does (header, backup
// name, one record, trailer) over versions given as bytes, in a scratch directory that is
// removed afterwards.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file.h"
#include "tests/support/scoped_env.h"
#include "tests/support/scratch_dir.h"

namespace harness {

// Engine tests start and end with default, clamped options, no stage hooks and every
// engine buffer freed.
class EngineTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

using Bytes = std::vector<uint8_t>;

// The modification time every version gets unless told otherwise.
inline const platform::LocalTime kVersionTime{2001, 2, 3, 4, 5, 6};

void WriteBytes(const std::string& path, const Bytes& bytes,
                const platform::LocalTime& time = kVersionTime);
Bytes ReadBytes(const std::string& path);

// Writes a plain file-version patch of the files at paths (the last is the target) to out
// with the current engine options, as a file-mode run does. Engine errors propagate.
void WriteFilePatch(const std::string& out, const std::vector<std::string>& paths);

// Writes versions[0] .. versions[n] (the last is the target, stamped targetTime) as files
// in the scratch folder and returns the bytes of their patch.
Bytes MakeFilePatch(const testsupport::ScratchDir& scratch, const std::vector<Bytes>& versions,
                    const platform::LocalTime& targetTime = kVersionTime);

}  // namespace harness
