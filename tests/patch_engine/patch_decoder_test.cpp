// The test decoder against patches spelled out byte by byte, so that it can be trusted to
// judge the engine: number widths, groups, extensions, chunked literals, placeholders,
// framing, and the faults it must refuse.
#include "patch_decoder.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <tuple>

#include "golden_patch.h"

using namespace patchdec;

namespace {

Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }

Step MakeStep(const Bytes& source, uint16_t group, uint8_t flags, uint8_t chunk,
              std::array<Bytes, 5> streams) {
  Step s;
  s.sourceCrc = Crc(source);
  s.sourceLength = uint32_t(source.size());
  s.groupSize = group;
  s.flags = flags;
  s.chunkSize = chunk;
  s.streams = std::move(streams);
  return s;
}

// Source and a step of two copies in one group of two with a plain extension of 2, and a
// literal run between them; every number fits one byte (the largest magnitude is below 256).
const Bytes kAlphabet = B("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
Step SmallStep() {
  return MakeStep(kAlphabet, 2, kPlainExtension, 20,
                  {Bytes{0x05, 0x02, 0x02, 0x03, 0x04, 0x0D},  // 5, 2, k 2, -3, 4, 13
                   Bytes{0x01},                                 // the chunk is plain
                   Bytes{0x04},                                 // signs 0 0 1 0 0
                   B("123"), B("xypq")});
}

std::string DecodeFailure(const Step& step, const Bytes& source, uint32_t targetLength) {
  try {
    ApplyStep(step, source, targetLength);
  } catch (const DecodeError& e) {
    return e.what();
  }
  return "(decoded)";
}

}  // namespace

TEST(PatchDecoder, SmallStepWithGroupsExtensionAndLiteral) {
  StepTrace trace;
  Bytes t = ApplyStep(SmallStep(), kAlphabet, 16, &trace);
  EXPECT_EQ(std::string(t.begin(), t.end()), "CDEFGxy123UVWXpq");
  ASSERT_EQ(trace.ops.size(), 3u);
  EXPECT_TRUE(trace.ops[0].groupStart);
  EXPECT_EQ(trace.ops[0].offset, 2);
  EXPECT_EQ(trace.ops[1].kind, Op::Literal);
  EXPECT_FALSE(trace.ops[2].groupStart);
  EXPECT_EQ(trace.ops[2].offset, 20);
  EXPECT_EQ(trace.groupValues, Bytes{2});
}

TEST(PatchDecoder, PlaceholderCountsInTheGroupAndGroupValuesFollowTheOffset) {
  // Group size 2: copy (new group, k 1), placeholder, copy (new group, k 0).
  Step s = MakeStep(kAlphabet, 2, kPlainExtension, 20,
                    {Bytes{0x03, 0x00, 0x01, 0x00, 0x02, 0x05, 0x00},
                     Bytes{}, Bytes{0x00}, Bytes{}, B("!")});
  StepTrace trace;
  Bytes t = ApplyStep(s, kAlphabet, 6, &trace);
  EXPECT_EQ(std::string(t.begin(), t.end()), "ABC!IJ");  // second offset: 0 + 3 + 5
  EXPECT_EQ(trace.groupValues, (Bytes{1, 0}));
  EXPECT_EQ(trace.ops[1].kind, Op::Placeholder);
  EXPECT_TRUE(trace.ops[2].groupStart);
}

TEST(PatchDecoder, DifferenceExtensionAndLiteralChunksOf20And25) {
  Bytes source(200);
  for (int i = 0; i < 200; ++i) source[i] = uint8_t(i * 7 + 1);
  // Target: 12 source bytes, 3 extension bytes, 45 literal bytes.
  Bytes target(60);
  for (int i = 0; i < 60; ++i) target[i] = i < 12 ? source[i] : uint8_t(i * 13 + 5);
  Bytes ext, lit;
  for (int j = 0; j < 3; ++j) ext.push_back(uint8_t(target[12 + j] - source[12 + j]));
  const int base = 0 + 12 + 3;  // previous copy's offset + length + k
  for (int s = 0; s < 45; ++s)
    lit.push_back(s < 20 ? target[15 + s] : uint8_t(target[15 + s] - source[base + s]));
  Step step = MakeStep(source, 190, 0, 20,
                       {Bytes{0x0C, 0x00, 0x03, 0x2D}, Bytes{0x01}, Bytes{0x04}, lit, ext});
  StepTrace trace;
  EXPECT_EQ(ApplyStep(step, source, 60, &trace), target);
  EXPECT_EQ(trace.ops[1].plainChunks, (std::vector<bool>{true, false}));
}

TEST(PatchDecoder, NumberWidthsFollowTheLargestMagnitude) {
  struct Case {
    const char* name;
    uint32_t sourceLength;  // the target is the source, as consecutive copies
    Bytes numbers, wide, sign;
  } cases[] = {
      // 300 bytes: a second byte, but no width bit for a third.
      {"two bytes", 300, {0x01, 0x2C, 0x00, 0x00}, {}, {0x02}},
      // 140000 bytes: the third-byte width bit is written, as 0 for 300 and 1 for 69700
      // and 70000, but no fourth-byte bit.
      {"three bytes", 140000,
       {0x01, 0x2C, 0x00, 0x00, 0x01, 0x10, 0x44, 0x00, 0x01, 0x11, 0x70, 0x00}, {0x06},
       {0x22, 0x02}},
      // 16 MiB + 1: both width bits.
      {"four bytes", 0x1000001, {0x01, 0x00, 0x00, 0x01, 0x00, 0x00}, {0x03},
       {0x02}},
  };
  for (const auto& c : cases) {
    Bytes source(c.sourceLength);
    for (size_t i = 0; i < source.size(); ++i) source[i] = uint8_t(i ^ (i >> 9));
    // The group value 0 follows the first copy's offset.
    Step step = MakeStep(source, 190, 0, 20, {c.numbers, c.wide, c.sign, Bytes{}, Bytes{}});
    EXPECT_EQ(ApplyStep(step, source, c.sourceLength), source) << c.name;
  }
}

TEST(PatchDecoder, RefusesStepsThatDoNotAddUp) {
  struct Case {
    const char* name;
    int stream;
    Bytes bytes;
    uint32_t targetLength;
    const char* error;
  } cases[] = {
      {"an unused number byte", kNumbers, {0x05, 0x02, 0x02, 0x03, 0x04, 0x0D, 0x00}, 16,
       "number stream has 1 unused bytes"},
      {"a stray high sign bit", kSignBits, {0x84}, 16, "last byte has unused bits set"},
      {"an extra sign byte", kSignBits, {0x04, 0x00}, 16, "sign-bit stream has 1 unused bytes"},
      {"an unused extension byte", kExtension, B("xypqr"), 16, "extension stream has 1 unused"},
      {"a short extension", kExtension, B("xyp"), 16, "extension stream used beyond its end"},
      {"a target shorter than the data", kNumbers, {0x05, 0x02, 0x02, 0x03, 0x04, 0x0D}, 15,
       "beyond the target's length"},
      {"a copy past the source's end", kNumbers, {0x05, 0x02, 0x02, 0x03, 0x04, 0x12}, 16,
       "reference beyond the source"},
  };
  for (const auto& c : cases) {
    Step s = SmallStep();
    s.streams[c.stream] = c.bytes;
    const std::string failure = DecodeFailure(s, kAlphabet, c.targetLength);
    EXPECT_NE(failure.find(c.error), std::string::npos) << c.name << ": " << failure;
  }
  // The second offset difference made negative (-13) points before byte 0.
  Step before = SmallStep();
  before.streams[kSignBits] = Bytes{0x14};
  EXPECT_NE(DecodeFailure(before, kAlphabet, 16).find("before the start"), std::string::npos);
  // A one-byte value written in two bytes.
  Bytes big(300, 'a');
  Step wide = MakeStep(big, 190, 0, 20, {Bytes{0x00, 0x05, 0x00, 0x00}, {}, {0x02}, {}, {}});
  EXPECT_NE(DecodeFailure(wide, big, 5).find("wider than needed"), std::string::npos);
}

TEST(PatchDecoder, GoldenPatchParsesAndRebuilds) {
  const Bytes file = golden::PlainPatch144();
  Patch p = ParsePatch(file);
  EXPECT_EQ(p.stubSize, 0u);
  EXPECT_EQ(p.mode, 1);
  EXPECT_EQ(p.flags, 0);
  EXPECT_EQ(p.backupName, "Backup");
  EXPECT_TRUE(p.secondIdentification.empty());
  EXPECT_FALSE(p.applierPair);
  ASSERT_EQ(p.entries.size(), 1u);
  const FileRecord& r = p.entries[0].record;
  EXPECT_EQ(r.stamp, golden::kStamp);
  ASSERT_EQ(r.steps.size(), 1u);
  EXPECT_EQ(r.steps[0].groupSize, 190);
  EXPECT_EQ(r.steps[0].chunkSize, 20);
  const Bytes v = golden::Content1000();
  EXPECT_EQ(RebuildTarget(r, v), v);
  EXPECT_EQ(RebuildTarget(r, 1, v), v);  // the target itself is the last version
  Bytes other = v;
  other[500] ^= 1;
  EXPECT_THROW(RebuildTarget(r, other), DecodeError);
}

TEST(PatchDecoder, GoldenDirectoryPatchAppliesToItsSourceTree) {
  const Patch p = ParsePatch(golden::DirectoryPatch194());
  EXPECT_EQ(p.mode, 2);
  ASSERT_EQ(p.entries.size(), 2u);
  const FileRecord& r = p.entries[0].record;
  EXPECT_EQ(r.name, "sub\\b.txt");
  EXPECT_EQ(r.stamp, golden::kMovedStamp);
  EXPECT_EQ(r.steps.at(0).sourceName, "a.txt");
  ASSERT_EQ(p.entries[1].tag, Tag::Embedded);
  EXPECT_EQ(p.entries[1].embedded.name, "new.bin");
  EXPECT_EQ(p.entries[1].embedded.stamp, golden::kEmbeddedStamp);
  Tree tree{{"a.txt", B(golden::kMoved)}, {"gone.txt", B(golden::kGone)},
            {"same.dat", B(golden::kSame)}};
  ApplyToTree(p, tree);
  EXPECT_EQ(tree["sub\\b.txt"], B(golden::kMoved));
  EXPECT_EQ(tree["new.bin"], B(golden::kEmbedded));
  EXPECT_EQ(tree["same.dat"], B(golden::kSame));
}

TEST(PatchDecoder, GoldenChangeStoredAndDeflatedDecodesAsCommented) {
  // The deflated part is the stored stream deflated at level 9.
  const Bytes deflated = golden::DeflatedChangePatch150();
  const Bytes stream = golden::ChangeStream98();
  uLongf size = compressBound(uLong(stream.size()));
  Bytes packed(size);
  ASSERT_EQ(compress2(packed.data(), &size, stream.data(), uLong(stream.size()), 9), Z_OK);
  packed.resize(size);
  EXPECT_EQ(packed, Bytes(deflated.begin() + 76, deflated.end() - 8));
  for (const Bytes& file : {golden::ChangePatch182(), deflated}) {
    const Patch p = ParsePatch(file);
    EXPECT_EQ(p.trailerLength, file.size());
    const FileRecord& r = p.entries.at(0).record;
    EXPECT_EQ(r.stamp, golden::kChangeStamp);
    StepTrace trace;
    EXPECT_EQ(ApplyStep(r.steps.at(0), golden::ChangeSource700(), r.length, &trace),
              golden::ChangeTarget403());
    EXPECT_EQ(RebuildTarget(r, golden::ChangeSource700()), golden::ChangeTarget403());
    ASSERT_EQ(trace.ops.size(), 3u);
    const Op& first = trace.ops[0];
    EXPECT_EQ(std::make_tuple(first.kind, first.length, first.offset, first.k, first.groupStart),
              std::make_tuple(Op::Copy, int64_t(100), int64_t(0), 3, true));
    EXPECT_EQ(trace.ops[1].kind, Op::Literal);
    EXPECT_EQ(trace.ops[1].length, 27);
    EXPECT_EQ(trace.ops[1].plainChunks, std::vector<bool>{false});
    const Op& second = trace.ops[2];
    EXPECT_EQ(std::make_tuple(second.kind, second.length, second.offset, second.k, second.groupStart),
              std::make_tuple(Op::Copy, int64_t(270), int64_t(130), 3, false));
    EXPECT_EQ(trace.groupValues, Bytes{3});
  }
}

TEST(PatchDecoder, FramingVariants) {
  const Bytes plain = golden::PlainPatch144();
  // An executable patch: a stub in front, the trailer length unchanged.
  Bytes exe = B("MZ stub bytes");
  exe.insert(exe.end(), plain.begin(), plain.end());
  EXPECT_EQ(ParsePatch(exe).stubSize, 13u);

  // The closing pair of applier kind 2 in front of the trailer.
  Bytes paired(plain.begin(), plain.end() - 8);
  const uint8_t pair[8] = {0, 0, 0, 0, 0xBF, 0x6A, 0x45, 0x25};
  paired.insert(paired.end(), pair, pair + 8);
  const uint32_t len = uint32_t(paired.size() + 8);
  const uint8_t trailer[8] = {uint8_t(len), uint8_t(len >> 8), 0, 0, 0x43, 0x84, 0x7F, 0x3E};
  paired.insert(paired.end(), trailer, trailer + 8);
  EXPECT_TRUE(ParsePatch(paired).applierPair);

  // The same stream deflated.
  Bytes stream(plain.begin() + 76, plain.end() - 8);
  uLongf size = compressBound(uLong(stream.size()));
  Bytes packed(size);
  ASSERT_EQ(compress2(packed.data(), &size, stream.data(), uLong(stream.size()), 9), Z_OK);
  packed.resize(size);
  Bytes deflated(plain.begin(), plain.begin() + 76);
  deflated[9] = 1;
  deflated.insert(deflated.end(), packed.begin(), packed.end());
  const uint32_t dlen = uint32_t(deflated.size() + 8);
  const uint8_t dtrailer[8] = {uint8_t(dlen), uint8_t(dlen >> 8), 0, 0, 0x43, 0x84, 0x7F, 0x3E};
  deflated.insert(deflated.end(), dtrailer, dtrailer + 8);
  Patch d = ParsePatch(deflated);
  EXPECT_EQ(d.entries[0].record.steps[0].streams[kNumbers], (Bytes{0x03, 0xE8, 0x00, 0x00}));

  struct Bad {
    const char* name;
    size_t at;
    uint8_t value;
  } bad[] = {{"header magic", 0, 0x44}, {"version", 4, 0xBF},  {"mode", 8, 3},
             {"header flags", 9, 2},    {"trailer", 136, 0x91}, {"magic", 143, 0}};
  for (const auto& b : bad) {
    Bytes f = plain;
    f[b.at] = b.value;
    EXPECT_THROW(ParsePatch(f), DecodeError) << b.name;
  }
  Bytes extra(plain.begin(), plain.end() - 8);
  extra.push_back(0);
  const uint8_t etrailer[8] = {145, 0, 0, 0, 0x43, 0x84, 0x7F, 0x3E};
  extra.insert(extra.end(), etrailer, etrailer + 8);
  EXPECT_THROW(ParsePatch(extra), DecodeError);
}

TEST(PatchDecoder, DirectoryPatchAppliesToATree) {
  // Hand-made directory patch: one record renaming "old.txt" to "new.txt" by a whole
  // copy, one embedded file, the end tag.
  const Bytes content = B("twelve bytes and more, enough for one copy");
  Bytes s;
  auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) s.push_back(uint8_t(v >> (8 * i)));
  };
  auto name = [&](const std::string& n) {
    s.push_back(uint8_t(n.size()));
    s.insert(s.end(), n.begin(), n.end());
  };
  name("Backup");
  s.push_back(1);
  u32(Crc(content));
  u32(uint32_t(content.size()));
  u32(0x00210000);
  s.insert(s.end(), {1, 0, 0, 0});
  name("sub\\new.txt");
  name("old.txt");
  u32(Crc(content));
  u32(uint32_t(content.size()));
  for (uint32_t size : {3u, 0u, 1u, 0u, 0u}) u32(size);
  s.insert(s.end(), {190, 0, 2, 20});
  // Numbers: the whole content as one copy, offset 0, k 0; then the sign-bit byte.
  s.insert(s.end(), {uint8_t(content.size()), 0x00, 0x00, 0x00});
  s.push_back(2);
  name("added.bin");
  u32(3);
  u32(0x00210000);
  s.insert(s.end(), {7, 8, 9});
  s.push_back(0);
  Bytes file = {0x43, 0x84, 0x7F, 0x3E, 0xBE, 0, 0, 0, 2, 0};
  file.resize(76);
  file.insert(file.end(), s.begin(), s.end());
  const uint32_t len = uint32_t(file.size() + 8);
  const uint8_t trailer[8] = {uint8_t(len), uint8_t(len >> 8), 0, 0, 0x43, 0x84, 0x7F, 0x3E};
  file.insert(file.end(), trailer, trailer + 8);

  Patch p = ParsePatch(file);
  ASSERT_EQ(p.entries.size(), 2u);
  Tree tree{{"old.txt", content}, {"keep.txt", B("k")}};
  ApplyToTree(p, tree);
  EXPECT_EQ(tree["sub\\new.txt"], content);
  EXPECT_EQ(tree["added.bin"], (Bytes{7, 8, 9}));
  EXPECT_EQ(tree["keep.txt"], B("k"));
  Tree without{{"other.txt", content}};
  EXPECT_THROW(ApplyToTree(p, without), DecodeError);
}
