#include "framework/core/streams.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/file.h"
#include "tests/support/scratch_dir.h"

namespace {

std::string Contents(TMemoryStream& m) {
  return std::string(reinterpret_cast<const char*>(m.Memory()), size_t(m.Size()));
}

TEST(MemoryStream, WritesReadsAndSeeksPastTheEnd) {
  TMemoryStream m;
  m.WriteBuffer("abcdef", 6);
  EXPECT_EQ(m.Position(), 6);
  EXPECT_EQ(m.Seek(-2, soEnd), 4);
  char two[3] = {};
  m.ReadBuffer(two, 2);
  EXPECT_STREQ(two, "ef");
  EXPECT_EQ(m.Read(two, 2), 0);  // at the end

  m.SetPosition(8);  // two bytes past the end: the gap is filled with zeros
  m.WriteBuffer("X", 1);
  EXPECT_EQ(m.Size(), 9);
  EXPECT_EQ(Contents(m), std::string("abcdef\0\0X", 9));

  m.SetSize(3);  // the position follows a shrink
  EXPECT_EQ(m.Position(), 3);
  EXPECT_EQ(Contents(m), "abc");
  EXPECT_THROW(m.Seek(-4, soCurrent), EStreamError);
  EXPECT_EQ(m.Position(), 3);
  m.Clear();
  EXPECT_EQ(m.Size(), 0);
  EXPECT_EQ(m.Position(), 0);
}

TEST(MemoryStream, ShortReadThrowsAndCopyFromTakesAllOrPart) {
  TMemoryStream src;
  src.WriteBuffer("0123456789", 10);
  src.SetPosition(8);
  char buf[4];
  try {
    src.ReadBuffer(buf, 4);
    FAIL() << "short read not reported";
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), "Stream read error");
  }

  TMemoryStream all;
  EXPECT_EQ(all.CopyFrom(src, 0), 10);  // 0: everything, from the start
  EXPECT_EQ(Contents(all), "0123456789");

  TMemoryStream part;
  src.SetPosition(3);
  EXPECT_EQ(part.CopyFrom(src, 4), 4);
  EXPECT_EQ(Contents(part), "3456");
  EXPECT_EQ(src.Position(), 7);
  EXPECT_THROW(part.CopyFrom(src, 4), EReadError);  // only 3 left

  TMemoryStream big;  // more than one copy chunk
  std::string text(200000, 'q');
  text[150000] = 'Z';
  big.WriteBuffer(text.data(), int32_t(text.size()));
  TMemoryStream copy;
  copy.CopyFrom(big, 0);
  EXPECT_EQ(Contents(copy), text);
}

class FileStreamTest : public ::testing::Test {
 protected:
  testsupport::ScratchDir scratch_;
  const std::string path_ = scratch_.Path("stream.bin");
};

TEST_F(FileStreamTest, CreateReadsBackAndOpenWriteKeepsContents) {
  {
    TFileStream f(path_, fmCreate);
    f.WriteBuffer("hello world", 11);
    f.SetPosition(0);  // fmCreate may read what it wrote
    char buf[6] = {};
    f.ReadBuffer(buf, 5);
    EXPECT_STREQ(buf, "hello");
    EXPECT_EQ(f.Size(), 11);
    EXPECT_EQ(f.FileName(), path_);
  }
  {
    TFileStream f(path_, fmOpenWrite | fmShareExclusive);  // no truncation
    f.Seek(6, soBeginning);
    f.WriteBuffer("WORLD", 5);
  }
  TMemoryStream m;
  m.LoadFromFile(path_);
  EXPECT_EQ(Contents(m), "hello WORLD");
  EXPECT_EQ(m.Position(), 0);
}

TEST_F(FileStreamTest, SetSizeTruncatesAndExtends) {
  TMemoryStream m;
  m.WriteBuffer("0123456789", 10);
  m.SaveToFile(path_);
  {
    TFileStream f(path_, fmOpenReadWrite);
    f.SetPosition(8);
    f.SetSize(4);
    EXPECT_EQ(f.Size(), 4);
    EXPECT_EQ(f.Position(), 4);
    f.SetSize(6);
    EXPECT_EQ(f.Size(), 6);
    EXPECT_EQ(f.Seek(0, soEnd), 6);
  }
  m.LoadFromFile(path_);
  EXPECT_EQ(Contents(m), std::string("0123\0\0", 6));
  TFileStream ro(path_, fmOpenRead);
  EXPECT_EQ(ro.Write("x", 1), 0);
  EXPECT_THROW(ro.WriteBuffer("x", 1), EWriteError);
}

TEST(FileStream, OpenAndCreateErrorsNameTheFile) {
  testsupport::ScratchDir scratch;
  std::string dir = scratch.Path("no-such-dir");
  std::string missing = platform::JoinPath(dir, "x.bin");
  try {
    TFileStream f(missing, fmOpenRead);
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), "Cannot open file \"" + missing + "\"");
  }
  try {
    TFileStream f(missing, fmCreate);
    FAIL();
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message(), "Cannot create file \"" + missing + "\"");
  }
  EXPECT_THROW(TFileStream(missing, fmOpenReadWrite), EStreamError);
}

}  // namespace
