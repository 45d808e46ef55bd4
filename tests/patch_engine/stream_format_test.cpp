// Header, trailer and the patch stream writer, raw and deflated; the raise path; the
// message table and the options record.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "patch_decoder.h"
#include "patch_engine/engine.h"
#include "patch_engine/engine_errors.h"
#include "patch_engine/engine_messages.h"
#include "patch_engine/engine_state.h"
#include "patch_engine/patch_format.h"
#include "patch_engine/patch_stream.h"
#include "platform/byte_order.h"
#include "tests/support/file_bytes.h"
#include "tests/support/scratch_dir.h"

using namespace engine;

namespace {

class PatchStreamTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetEngineOptions();
    path_ = scratch_.Path("out.utp");
  }
  void TearDown() override {
    FreeEngineBuffers();
    ResetEngineOptions();
  }
  // Writes header, the given stream bytes in pieces and the trailer, as a run does.
  void WritePatch(const std::vector<uint8_t>& stream) {
    ASSERT_TRUE(OpenPatchFile(path_));
    PatchHeader h;
    h.flags = Options.Compress ? 1 : 0;
    WritePatchHeader(h);
    BeginPatchStream();
    size_t at = 0;
    for (size_t n = 1; at < stream.size(); n = n * 3 + 1) {
      size_t k = std::min(n, stream.size() - at);
      WritePatchStream(stream.data() + at, k);
      at += k;
    }
    WritePatchStream(nullptr, 0);
    EndPatchStream();
    WritePatchTrailer();
    ASSERT_TRUE(ClosePatchFile());
  }
  testsupport::ScratchDir scratch_;
  std::string path_;
};

std::string RaiseMessage(void (*fn)()) {
  try {
    fn();
  } catch (const Exception& e) {
    return e.Message();
  }
  return "(nothing raised)";
}

}  // namespace

TEST(PatchFormat, HeaderAndTrailerBytes) {
  PatchHeader h;
  h.mode = uint8_t(PatchMode::DirectoryTrees);
  h.flags = 1;
  for (int i = 0; i < 64; ++i) h.identification[i] = uint8_t(i + 1);
  h.secondIdentificationLength = 0x1234;
  auto b = EncodeHeader(h);
  const uint8_t start[10] = {0x43, 0x84, 0x7F, 0x3E, 0xBE, 0, 0, 0, 2, 1};
  EXPECT_EQ(std::memcmp(b.data(), start, 10), 0);
  EXPECT_EQ(b[10], 1);
  EXPECT_EQ(b[73], 64);
  EXPECT_EQ(b[74], 0x34);
  EXPECT_EQ(b[75], 0x12);
  auto t = EncodeTrailer(0x00010203);
  const uint8_t trailer[8] = {0x03, 0x02, 0x01, 0x00, 0x43, 0x84, 0x7F, 0x3E};
  EXPECT_EQ(std::memcmp(t.data(), trailer, 8), 0);
}

TEST_F(PatchStreamTest, StoredStreamLiesBetweenHeaderAndTrailer) {
  std::vector<uint8_t> stream = {0x06, 'B', 'a', 'c', 'k', 'u', 'p', 0xFF, 0x00};
  WritePatch(stream);
  auto file = testsupport::ReadFileBytes(path_);
  ASSERT_EQ(file.size(), kHeaderSize + stream.size() + kTrailerSize);
  EXPECT_EQ(file[9], 0);  // flags: stored
  EXPECT_TRUE(std::equal(stream.begin(), stream.end(), file.begin() + kHeaderSize));
  EXPECT_EQ(platform::GetU32(&file[file.size() - 8]), file.size());
  EXPECT_EQ(platform::GetU32(&file[file.size() - 4]), kPatchMagic);
}

TEST_F(PatchStreamTest, DeflatedStreamInflatesBackToTheBytesWritten) {
  Options.Compress = 1;
  std::mt19937 rng(42);
  // Compressible text followed by noise: many 4096-byte outputs and a long finish.
  std::vector<uint8_t> stream;
  for (int i = 0; i < 50000; ++i) stream.push_back(uint8_t("patch data "[i % 11]));
  for (int i = 0; i < 200000; ++i) stream.push_back(uint8_t(rng()));
  WritePatch(stream);
  auto file = testsupport::ReadFileBytes(path_);
  ASSERT_GT(file.size(), kHeaderSize + kTrailerSize);
  EXPECT_EQ(file[9], 1);
  auto back = patchdec::Inflate(file.data() + kHeaderSize, file.size() - kHeaderSize - kTrailerSize);
  EXPECT_EQ(back, stream);
  EXPECT_EQ(platform::GetU32(&file[file.size() - 8]), file.size());
}

TEST_F(PatchStreamTest, EmptyDeflatedStreamIsStillValid) {
  Options.Compress = 1;
  WritePatch({});
  auto file = testsupport::ReadFileBytes(path_);
  auto back = patchdec::Inflate(file.data() + kHeaderSize, file.size() - kHeaderSize - kTrailerSize);
  EXPECT_TRUE(back.empty());
}

TEST_F(PatchStreamTest, NameStringsUpTo255BytesAreWritten) {
  ASSERT_TRUE(OpenPatchFile(path_));
  BeginPatchStream();
  WriteNameString("");
  WriteNameString(std::string(255, 'n'));
  WritePatchU16(0xBEEF);
  WritePatchU32(0x01020304);
  EndPatchStream();
  ASSERT_TRUE(ClosePatchFile());
  auto file = testsupport::ReadFileBytes(path_);
  ASSERT_EQ(file.size(), 1u + 1 + 255 + 2 + 4);
  EXPECT_EQ(file[0], 0);
  EXPECT_EQ(file[1], 255);
  EXPECT_EQ(platform::GetU16(&file[257]), 0xBEEF);
  EXPECT_EQ(platform::GetU32(&file[259]), 0x01020304u);
}

TEST_F(PatchStreamTest, RaiseAfterTheHeaderLeavesNoOutputFile) {
  try {
    RunRelease release;
    ASSERT_TRUE(OpenPatchFile(path_));
    WritePatchHeader(PatchHeader{});
    Options.Compress = 1;
    BeginPatchStream();
    WritePatchStream("abc", 3);
    WriteNameString(std::string(256, 'n'));
    FAIL() << "a 256-byte name was written";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Error, Filenames longer than 255 characters not supported!");
  }
  EXPECT_FALSE(platform::IsFile(path_));
  EXPECT_FALSE(Files().patch.IsOpen());
  EXPECT_EQ(BuffersSettled.load(), 1);
  FreeEngineBuffers();  // a second free is harmless
  EXPECT_FALSE(platform::IsFile(path_));
}

#ifndef _WIN32
TEST_F(PatchStreamTest, FailedWritesRaiseTheDiskSpaceMessage) {
  // The patch file is reached through a link to a device that is always full; the run's
  // release removes the link, never the device.
  std::string link = scratch_.Path("full.utp");
  ASSERT_EQ(symlink("/dev/full", link.c_str()), 0);
  ASSERT_TRUE(OpenPatchFile(link));
  BeginPatchStream();
  std::vector<uint8_t> big(200000, 7);
  try {
    RunRelease release;
    WritePatchStream(big.data(), big.size());
    EndPatchStream();
    FAIL() << "writing to a full device succeeded";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(),
              "Error, cannot write data to temporary patchfile. Make sure you have sufficient "
              "disk space.");
  }
  EXPECT_TRUE(platform::IsFile("/dev/full") || access("/dev/full", F_OK) == 0);
}
#endif

TEST(EngineErrors, FormattedMessagesAndAllocation) {
  EXPECT_EQ(RaiseMessage([] { RaiseEngineErrorFmt(msg::FileNotFound, "C:\\a b.bin"); }),
            "Error, can't find file \"C:\\a b.bin\"!\n");
  EXPECT_EQ(RaiseMessage([] { RaiseEngineErrorFmt(msg::CreatedPlainPatch, std::string("p.utp"), 4000000000LL); }),
            "\nCreated plain patchfile \"p.utp\" with 4000000000 Bytes.\n");
  // Names longer than any fixed buffer reach the message whole.
  static const std::string longName(3000, 'q');
  EXPECT_EQ(RaiseMessage([] { RaiseEngineErrorFmt(msg::CannotOpenPatchFile, longName); }),
            "Error, can't open patchfile \"" + longName + "\" for writing!");
  EXPECT_EQ(RaiseMessage([] { RaiseEngineError(msg::JoinFailed); }), "Internal filehandling failure?!");

  void* one = CheckedAlloc(0, msg::ForCounters);
  ASSERT_NE(one, nullptr);
  static_cast<char*>(one)[0] = 1;
  free(one);
  const size_t huge = size_t(-1) / 2;
  EXPECT_EQ(RaiseMessage([] { CheckedAlloc(size_t(-1) / 2, msg::ForFileData); }),
            "Error, can't allocate " + std::to_string(huge) + " Bytes (to hold the files in memory)!\n");
}

TEST(EngineErrors, EveryMessageHasAGermanTwinWithTheSameArguments) {
  auto conversions = [](const char* s) {
    std::string out;
    for (const char* p = s; *p; ++p)
      if (*p == '%' && p[1]) out += *++p == 'l' ? *++p : *p;
    return out;
  };
  for (const EngineMessage* m : msg::kAllMessages) {
    ASSERT_NE(m->english, nullptr);
    ASSERT_NE(m->german, nullptr);
    EXPECT_GT(std::strlen(m->german), 0u) << m->english;
    EXPECT_EQ(conversions(m->english), conversions(m->german)) << m->english;
  }
}

TEST(EngineErrors, ConsoleLinesReachTheHookOnly) {
  static std::vector<std::string> lines;
  lines.clear();
  ConsoleLine(msg::Examining, "a.bin");  // no hook: nothing happens
  ConsoleOutput = [](const std::string& line) { lines.push_back(line); };
  ConsoleLine(msg::FileIdentical, "b.bin");
  ConsoleInfo(msg::Examining);
  ConsoleOutput = nullptr;
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "File \"b.bin\" identical, skiped.");
}

TEST(EngineOptions, ResetClampAndSlotCopy) {
  Options.GroupSize = 7;
  Options.BackupName = "Other";
  Options.FileCount = 4;
  ResetEngineOptions();
  EXPECT_EQ(Options.BackupName, "Backup");
  EXPECT_EQ(Options.IndexStep, 5);
  EXPECT_EQ(Options.FileCount, 0);
  ClampEngineOptions();
  EXPECT_EQ(Options.GroupSize, 190);
  EXPECT_EQ(Options.ChunkSize, 20);
  struct Case {
    uint16_t group, chunk, groupOut, chunkOut;
  } cases[] = {{10, 10, 10, 10}, {10000, 255, 10000, 255}, {9, 9, 190, 20}, {10001, 256, 190, 20}};
  for (const auto& c : cases) {
    Options.GroupSize = c.group;
    Options.ChunkSize = c.chunk;
    ClampEngineOptions();
    EXPECT_EQ(Options.GroupSize, c.groupOut);
    EXPECT_EQ(Options.ChunkSize, c.chunkOut);
  }
  CopyOptionText(PackerType::Gzip, false, "C:\\tools\\gzip.exe");
  EXPECT_EQ(Options.PackerUseCustom[3], 1);
  EXPECT_EQ(Options.PackerProgram[3], "C:\\tools\\gzip.exe");
  CopyOptionText(PackerType::Gzip, true, "ignored");
  EXPECT_EQ(Options.PackerUseCustom[3], 0);
  EXPECT_EQ(Options.PackerProgram[3], "C:\\tools\\gzip.exe");
  ResetEngineOptions();
}
