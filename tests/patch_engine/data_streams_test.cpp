// The step's byte and bit streams, the number code and the literal chunk split.
#include <gtest/gtest.h>

#include <cmath>

#include "engine_harness.h"
#include "patch_engine/data_streams.h"
#include "patch_engine/engine.h"
#include "patch_engine/engine_messages.h"
#include "patch_engine/optimizer.h"
#include "patch_engine/step_data.h"

using namespace engine;
using harness::Bytes;

namespace {

template <class S>
Bytes Written(const S& stream) {
  testsupport::ScratchDir scratch;
  const std::string path = scratch.Path("stream");
  platform::File f;
  EXPECT_TRUE(f.Open(path, platform::OpenMode::Write));
  EXPECT_TRUE(stream.WriteTo(f));
  EXPECT_TRUE(f.Close());
  return testsupport::ReadExistingFile(path);
}

Bytes Pack(const std::vector<int>& bits) {
  Bytes out((bits.size() + 7) / 8);
  for (size_t i = 0; i < bits.size(); ++i)
    if (bits[i]) out[i / 8] = uint8_t(out[i / 8] | 1 << (i % 8));
  return out;
}

class StepFixture : public harness::EngineTest {};

}  // namespace

TEST(DataStreams, BytesCrossBlockBoundariesAndWriteBackWhole) {
  ByteStream s;
  EXPECT_EQ(s.Size(), 0);
  EXPECT_TRUE(Written(s).empty());  // never used: writes nothing
  Bytes expect;
  for (int i = 0; i < 29999; ++i) expect.push_back(uint8_t(i * 7));
  s.Append(expect.data(), expect.size());
  s.PutByte(0xAB);  // fills the first block exactly
  expect.push_back(0xAB);
  EXPECT_EQ(s.FullBlocks(), 1u);
  EXPECT_EQ(s.Size(), 30000);
  Bytes more(65000);
  for (size_t i = 0; i < more.size(); ++i) more[i] = uint8_t(i ^ (i >> 8));
  s.Append(more.data(), more.size());
  expect.insert(expect.end(), more.begin(), more.end());
  EXPECT_EQ(s.Size(), 95000);
  EXPECT_EQ(s.FullBlocks(), 3u);
  for (int64_t x : {int64_t(0), int64_t(29999), int64_t(30000), int64_t(59999), int64_t(90000),
                    int64_t(94999)})
    EXPECT_EQ(s.ByteAt(x), expect[size_t(x)]) << x;
  EXPECT_EQ(Written(s), expect);
  s.Clear();
  EXPECT_EQ(s.Size(), 0);
  s.PutByte(1);
  EXPECT_EQ(Written(s), Bytes{1});
}

TEST(DataStreams, SubtractThenAddRestoresAcrossABlockBoundary) {
  ByteStream s;
  Bytes content(60010);
  for (size_t i = 0; i < content.size(); ++i) content[i] = uint8_t(i * 13 + 1);
  s.Append(content.data(), content.size());
  const uint8_t other[40] = {1, 2, 3, 250, 255, 0, 9};
  s.SubtractAt(29980, other, 40);  // 20 bytes in the first block, 20 in the second
  for (int j = 0; j < 40; ++j)
    EXPECT_EQ(s.ByteAt(29980 + j), uint8_t(content[29980 + size_t(j)] - other[j])) << j;
  EXPECT_EQ(s.ByteAt(29979), content[29979]);
  EXPECT_EQ(s.ByteAt(30020), content[30020]);
  s.AddAt(29980, other, 40);
  EXPECT_EQ(Written(s), content);
}

TEST(DataStreams, EntropyIsTheNegativeShannonEntropy) {
  ByteStream s;
  for (int i = 0; i < 100; ++i) s.PutByte(7);
  EXPECT_EQ(s.Entropy(0, 100), 0.0);
  EXPECT_EQ(s.Entropy(50, 50), 0.0);
  ByteStream all;
  for (int v = 0; v < 256; ++v) all.PutByte(uint8_t(v));
  EXPECT_NEAR(all.Entropy(0, 256), -8.0, 1e-12);
  // Two values half and half: -1 bit per byte; counted across a block boundary.
  ByteStream two;
  for (int i = 0; i < 30010; ++i) two.PutByte(uint8_t(i & 1));
  EXPECT_NEAR(two.Entropy(29990, 30010), -1.0, 1e-12);
  EXPECT_NEAR(two.Entropy(0, 3), std::log2(2.0 / 3) * 2 / 3 + std::log2(1.0 / 3) / 3, 1e-12);
}

TEST(DataStreams, PortableLogMatchesTheLibrary) {
  for (double x : {1e-9, 0.001, 1.0 / 3, 0.5, 0.70710678, 0.9999, 1.0, 1.5, 2.0, 30000.0}) {
    EXPECT_NEAR(PortableLog(x), std::log(x), 4e-16 * (1 + std::fabs(std::log(x)))) << x;
  }
}

TEST(DataStreams, BitsPackLeastSignificantFirst) {
  BitStream b;
  EXPECT_TRUE(Written(b).empty());
  for (int bit : {1, 0, 0, 0, 0, 0, 0, 0, 1, 1}) b.PutBit(bit);
  EXPECT_EQ(b.Size(), 2);
  EXPECT_EQ(Written(b), (Bytes{0x01, 0x03}));
  // Writing keeps the partial byte pending: more bits go into the same byte.
  b.PutBit(1);
  EXPECT_EQ(Written(b), (Bytes{0x01, 0x07}));

  BitStream full;
  for (int i = 0; i < 8 * 30000; ++i) full.PutBit(i % 3 == 0);
  EXPECT_EQ(full.Size(), 30000);
  EXPECT_EQ(full.FullBlocks(), 1u);
  full.PutBit(1);
  EXPECT_EQ(full.Size(), 30001);
  const Bytes w = Written(full);
  ASSERT_EQ(w.size(), 30001u);
  EXPECT_EQ(w[0], 0x49);  // bits 0, 3, 6
  EXPECT_EQ(w[30000], 0x01);
  full.Clear();
  EXPECT_EQ(full.Size(), 0);
}

TEST_F(StepFixture, NumberCodeWidthsFollowTheLargestMagnitude) {
  struct Case {
    int64_t max, v;
    Bytes number;
    std::vector<int> sign, wide;
  } cases[] = {
      {255, 5, {0x05}, {0}, {}},  // below 256: one sign bit, never a width bit
      {255, -255, {0xFF}, {1}, {}},
      {256, 0, {0x00}, {0, 0}, {}},
      {256, 255, {0xFF}, {0, 0}, {}},
      {256, 256, {0x01, 0x00}, {0, 1}, {}},
      {256, -256, {0x01, 0x00}, {1, 1}, {}},
      {0xFFFF, 0xFFFF, {0xFF, 0xFF}, {0, 1}, {}},
      {0x10000, 300, {0x01, 0x2C}, {0, 1}, {0}},
      {0x10000, 5, {0x05}, {0, 0}, {}},
      {0x10000, 0x10000, {0x01, 0x00, 0x00}, {0, 1}, {1}},
      {0xFFFFFF, -0xFFFFFF, {0xFF, 0xFF, 0xFF}, {1, 1}, {1}},
      {0x1000000, 0xFFFFFF, {0xFF, 0xFF, 0xFF}, {0, 1}, {1, 0}},
      {0x1000000, 0x1000000, {0x01, 0x00, 0x00, 0x00}, {0, 1}, {1, 1}},
      {0x1000000, -0x10000, {0x01, 0x00, 0x00}, {1, 1}, {1, 0}},
      {0x1000000, 0x100, {0x01, 0x00}, {0, 1}, {0}},
      {0x7FFFFFFF, -0x7FFFFFFF, {0x7F, 0xFF, 0xFF, 0xFF}, {1, 1}, {1, 1}},
  };
  for (const auto& c : cases) {
    Step().sourceLength = c.max;
    Step().targetLength = c.max / 2;
    DataStreams& st = Streams();
    st.Clear();
    WriteNumber(c.v);
    // A closing 1 bit shows how many bits the number wrote.
    st.signBits.PutBit(1);
    st.wideBits.PutBit(1);
    std::vector<int> sign = c.sign, wide = c.wide;
    sign.push_back(1);
    wide.push_back(1);
    EXPECT_EQ(Written(st.number), c.number) << c.max << " " << c.v;
    EXPECT_EQ(Written(st.signBits), Pack(sign)) << c.max << " " << c.v;
    EXPECT_EQ(Written(st.wideBits), Pack(wide)) << c.max << " " << c.v;
  }
  Step() = engine::StepData{};
}

TEST(LiteralChunks, SplitKeepsTheLastChunkBelowTwiceTheSize) {
  struct Case {
    int64_t length, chunk;
    std::vector<int64_t> split;
  } cases[] = {
      {45, 20, {20, 25}}, {40, 20, {20, 20}}, {39, 20, {39}},          {19, 20, {19}},
      {1, 20, {1}},       {60, 20, {20, 20, 20}}, {59, 20, {20, 39}}, {300, 255, {300}},
      {510, 255, {255, 255}},
  };
  for (const auto& c : cases) {
    std::vector<int64_t> split;
    for (int64_t rest = c.length; rest > 0;) {
      split.push_back(NextChunkLength(rest, c.chunk));
      rest -= split.back();
    }
    EXPECT_EQ(split, c.split) << c.length;
  }
}
