#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "platform/file.h"
#include "setup_engine/compression_streams.h"
#include "tests/support/scratch_dir.h"

namespace {

std::vector<uint8_t> Inflate(const uint8_t* data, size_t size, bool& ended) {
  z_stream zs{};
  inflateInit(&zs);
  std::vector<uint8_t> out(1 << 21);
  zs.next_in = const_cast<uint8_t*>(data);
  zs.avail_in = uInt(size);
  zs.next_out = out.data();
  zs.avail_out = uInt(out.size());
  ended = inflate(&zs, Z_FINISH) == Z_STREAM_END;
  out.resize(zs.total_out);
  inflateEnd(&zs);
  return out;
}

TEST(CompressionStream, EmptyInputGivesACompleteStream) {
  TMemoryStream target;
  { TCompressionStream s(colMax, target); }
  bool ended = false;
  EXPECT_TRUE(Inflate(target.Memory(), size_t(target.Size()), ended).empty());
  EXPECT_TRUE(ended);
}

TEST(CompressionStream, BuffersOutputAndReportsEveryFullBuffer) {
  // Incompressible input: about 3 full output buffers.
  std::vector<uint8_t> input(200000);
  uint32_t x = 1;
  for (auto& b : input) b = uint8_t((x = x * 1103515245 + 12345) >> 24);
  for (TCompressionLevel level : {colNone, colFastest, colDefault, colMax}) {
    TMemoryStream target;
    uint8_t lead[3] = {1, 2, 3};
    target.WriteBuffer(lead, 3);
    int progress = 0;
    {
      TCompressionStream s(level, target);
      s.OnProgress = [&] { ++progress; };
      s.WriteBuffer(input.data(), 1000);
      EXPECT_EQ(target.Size(), 3);  // nothing written before a buffer fills
      EXPECT_EQ(s.Seek(0, soCurrent), 1000);
      // The stream writes where it left the target, even when the target was moved.
      target.SetPosition(0);
      s.WriteBuffer(input.data() + 1000, int32_t(input.size() - 1000));
      EXPECT_EQ(progress, int((target.Size() - 3) / 65536));
      s.Finish();
    }
    EXPECT_GE(progress, level == colNone || level == colMax ? 3 : 1);
    bool ended = false;
    EXPECT_EQ(Inflate(target.Memory() + 3, size_t(target.Size() - 3), ended), input);
    EXPECT_TRUE(ended);
    EXPECT_EQ(target.Memory()[0], 1);
  }
}

TEST(CompressionStream, SmallOutputFiresNoProgressAndRefusesReads) {
  TMemoryStream target;
  int progress = 0;
  {
    TCompressionStream s(colDefault, target);
    s.OnProgress = [&] { ++progress; };
    std::string text(5000, 'a');
    s.WriteBuffer(text.data(), int32_t(text.size()));
    uint8_t b;
    EXPECT_THROW(s.Read(&b, 1), ECompressionError);
    EXPECT_THROW(s.Seek(1, soCurrent), ECompressionError);
    EXPECT_THROW(s.Seek(0, soBeginning), ECompressionError);
  }
  EXPECT_EQ(progress, 0);
  EXPECT_GT(target.Size(), 0);
}

TEST(HandleStream, ReadsWritesSeeksAndSetsTheSize) {
  testsupport::ScratchDir scratch;
  std::string path = scratch.Path("handle.bin");
#ifdef _WIN32
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  intptr_t handle = reinterpret_cast<intptr_t>(h);
#else
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  intptr_t handle = fd;
#endif
  {
    TKstnNormalHandleStream s(handle);
    EXPECT_EQ(s.Write("abcdefgh", 8), 8);
    EXPECT_EQ(s.GetSize(), 8);
    EXPECT_EQ(s.Position(), 8);
    s.SetPosition(2);
    char buf[4] = {};
    EXPECT_EQ(s.Read(buf, 3), 3);
    EXPECT_EQ(std::string(buf, 3), "cde");
    s.SetSize(4);
    EXPECT_EQ(s.Size(), 4);
    s.SetPosition(0);
    EXPECT_EQ(s.Read(buf, 4), 4);
    EXPECT_EQ(s.Read(buf, 4), 0);
    EXPECT_THROW(s.SetSize(-1), EStreamError);
  }
#ifdef _WIN32
  CloseHandle(h);
  // A handle that cannot be written reports 0 bytes, not failure codes.
  TKstnNormalHandleStream bad(reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE));
#else
  ::close(fd);
  TKstnNormalHandleStream bad(-1);
#endif
  EXPECT_EQ(bad.Write("x", 1), 0);
  char c;
  EXPECT_EQ(bad.Read(&c, 1), 0);
  platform::RemoveFile(path);
}

TEST(HandleStream, FileHandleStreamCreatesAndCloses) {
  testsupport::ScratchDir scratch;
  std::string path = scratch.Path("owned.bin");
  {
    TKstnFileHandleStream s(path);
    EXPECT_EQ(s.Write("abc", 3), 3);
  }
  {
    TKstnFileHandleStream again(path);  // truncates
    EXPECT_EQ(again.GetSize(), 0);
  }
  // Closed: the file can go.
  EXPECT_TRUE(platform::RemoveFile(path));
  std::string nowhere = platform::JoinPath(scratch.Path("no_dir"), "x.bin");
  EXPECT_THROW(TKstnFileHandleStream{nowhere}, EFCreateError);
}

}  // namespace
