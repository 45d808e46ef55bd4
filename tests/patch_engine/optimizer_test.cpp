// The structure pass and the encoding pass, seen through the decoder: extensions and their
// groups, placeholders, the self-test cases, and which form literal chunks and extension
// streams take.
#include <gtest/gtest.h>

#include <cstring>

#include "engine_harness.h"
#include "patch_decoder.h"
#include "patch_engine/engine.h"
#include "patch_engine/match_search.h"
#include "patch_engine/optimizer.h"
#include "patch_engine/step_data.h"
#include "test_data.h"

using namespace engine;
using harness::Bytes;
using testdata::Change;
using testdata::InPlace;
using testdata::Repeat;
using testdata::Join;

namespace {

class Optimizer : public harness::EngineTest {
 protected:
  // Patches source into target and decodes the one step, which must rebuild the target.
  patchdec::Step Patch(const Bytes& source, const Bytes& target, patchdec::StepTrace& trace) {
    testsupport::ScratchDir scratch;
    const patchdec::Patch p = patchdec::ParsePatch(harness::MakeFilePatch(scratch, {source, target}));
    const patchdec::Step step = p.entries.at(0).record.steps.at(0);
    EXPECT_EQ(patchdec::ApplyStep(step, source, uint32_t(target.size()), &trace), target);
    return step;
  }
};

}  // namespace

TEST_F(Optimizer, ExtensionsThatWouldRunPastTheTargetAreCapped) {
  // Without the cap the first two lists owe extension bytes at the end of the structure
  // pass, which used to raise the self-test message.
  struct Case {
    const char* name;
    std::vector<std::pair<size_t, size_t>> pieces;
    Bytes groupValues;
  } cases[] = {
      {"nine copies, the last followed by 3 new bytes", Join({Repeat(8, 40, 10), Repeat(1, 40, 3)}),
       {3}},
      {"190 copies, the target ending in a copy", Join({Repeat(189, 40, 10), Repeat(1, 40, 0)}), {0}},
      {"nine copies, the last followed by 13 new bytes", Join({Repeat(8, 40, 10), Repeat(1, 40, 13)}),
       {10}},
  };
  const Bytes source = testdata::SourceWithoutA(20000, 1);
  for (const auto& c : cases) {
    patchdec::StepTrace trace;
    Patch(source, InPlace(source, c.pieces), trace);
    EXPECT_EQ(trace.groupValues, c.groupValues) << c.name;
  }
}

TEST_F(Optimizer, ACopyInsideAnExtensionBecomesAPlaceholderOfTheNextGroup) {
  // Runs of 14 make k = 14; after copy 5 the extension covers 1 new byte, the whole
  // 12-byte copy 6 and 1 byte of the next run. 201 copies: the second group starts at the
  // 190th copy still written, after the placeholder, and ends the list with a copy (k 0).
  const Bytes source = testdata::SourceWithoutA(20000, 2);
  const auto pieces = Join({Repeat(5, 30, 14), Repeat(1, 30, 1), Repeat(1, 12, 14),
                            Repeat(193, 30, 14), Repeat(1, 30, 0)});
  patchdec::StepTrace trace;
  Patch(source, InPlace(source, pieces), trace);
  EXPECT_EQ(trace.groupValues, (Bytes{14, 0}));
  int copies = 0, placeholders = 0;
  for (size_t i = 0; i < trace.ops.size(); ++i) {
    const patchdec::Op& op = trace.ops[i];
    if (op.kind == patchdec::Op::Placeholder) {
      ++placeholders;
      ASSERT_LT(i + 1, trace.ops.size());
      EXPECT_TRUE(trace.ops[i + 1].groupStart);
      EXPECT_EQ(copies, 189);  // the group: 189 copies and the swallowed one
    }
    copies += op.kind == patchdec::Op::Copy;
  }
  EXPECT_EQ(placeholders, 1);
  EXPECT_EQ(copies, 200);
}

TEST_F(Optimizer, LiteralChunksKeepDifferencesOnlyWhenTheyAreLessVaried) {
  // 45 changed bytes between two copies are decided in chunks of 20 and 25; the list ends
  // with a copy, so k is 0 and the differences are taken against the changed bytes' own
  // source positions.
  const Bytes source = testdata::SourceWithoutA(1000, 3);
  struct Case {
    const char* name;
    Bytes target;
    std::vector<bool> plainChunks;
  } cases[] = {
      {"bytes one above the source", InPlace(source, {{100, 45}, {100, 0}}, Change::PlusOne),
       {false, false}},
      {"one repeated letter", InPlace(source, {{100, 45}, {100, 0}}, Change::LetterA),
       {true, true}},
      {"both", [&] {
         Bytes t = InPlace(source, {{100, 45}, {100, 0}}, Change::PlusOne);
         std::memset(t.data() + 120, 'A', 25);
         return t;
       }(),
       {false, true}},
  };
  for (const auto& c : cases) {
    patchdec::StepTrace trace;
    Patch(source, c.target, trace);
    ASSERT_EQ(trace.ops.size(), 3u) << c.name;
    EXPECT_EQ(trace.ops[1].plainChunks, c.plainChunks) << c.name;
  }
}

TEST_F(Optimizer, ExtensionStreamIsPlainWhenItIsLessVariedOrEqual) {
  // 21 copies, each followed by 2 changed bytes: k = 2 and the extensions hold every
  // changed byte.
  Bytes source = testdata::SourceWithoutA(2000, 4);
  const auto pieces = Repeat(21, 30, 2);
  struct Case {
    const char* name;
    Change how;
    bool sourceB;  // the changed positions hold 'B' in the source
    bool plain;
  } cases[] = {{"differences all 1", Change::PlusOne, false, false},
               {"plain bytes all 'A'", Change::LetterA, false, true},
               {"both uniform", Change::LetterA, true, true}};
  for (const auto& c : cases) {
    Bytes s = source;
    if (c.sourceB)
      for (size_t i = 30; i < 21 * 32; i += 32) s[i] = s[i + 1] = 'B';
    patchdec::StepTrace trace;
    const patchdec::Step step = Patch(s, InPlace(s, pieces, c.how), trace);
    EXPECT_EQ(trace.groupValues, Bytes{2}) << c.name;
    EXPECT_EQ(step.streams[patchdec::kExtension].size(), 42u) << c.name;
    EXPECT_EQ((step.flags & patchdec::kPlainExtension) != 0, c.plain) << c.name;
  }
}

TEST_F(Optimizer, WithoutCopiesThereIsNoGroupAndStagesReportOnly100) {
  static std::vector<int> stage2, stage3;
  stage2.clear();
  stage3.clear();
  progress_.stage2 = [](int p) { stage2.push_back(p); };
  progress_.stage3 = [](int p) { stage3.push_back(p); };
  patchdec::StepTrace trace;
  const patchdec::Step step =
      Patch(testdata::SourceWithoutA(500, 5), testdata::SourceWithoutA(300, 6), trace);
  EXPECT_TRUE(trace.groupValues.empty());
  EXPECT_TRUE(step.streams[patchdec::kExtension].empty());
  EXPECT_TRUE(step.flags & patchdec::kPlainExtension);  // empty streams choose plain
  EXPECT_EQ(stage2, std::vector<int>{100});
  EXPECT_EQ(stage3, std::vector<int>{100});

  // With copies: rising whole percents, 100 last.
  stage2.clear();
  stage3.clear();
  const Bytes source = testdata::SourceWithoutA(20000, 7);
  Patch(source, InPlace(source, Repeat(300, 40, 10)), trace);
  for (const auto* seen : {&stage2, &stage3}) {
    ASSERT_GT(seen->size(), 50u);
    EXPECT_EQ(seen->back(), 100);
    for (size_t i = 1; i < seen->size(); ++i) EXPECT_LT((*seen)[i - 1], (*seen)[i]);
  }
}

TEST_F(Optimizer, ChooseExtensionTable) {
  // Match lists set up directly: copies (length, source offset), runs (-length, target
  // offset; the offsets of runs do not matter here).
  struct Case {
    const char* name;
    int64_t sourceLength;
    std::vector<std::pair<int32_t, int32_t>> list;
    int64_t window;  // the copy the group starts at
    int k;
  } cases[] = {
      {"the list ends with a copy inside the window", 100000, {{30, 0}, {-10, 0}, {30, 100}}, 0,
       0},
      {"runs of 10", 100000, {{30, 0}, {-10, 0}, {30, 100}, {-10, 0}}, 0, 10},
      {"every run above 249", 100000, {{30, 0}, {-300, 0}, {30, 1000}, {-300, 0}}, 0, 249},
      {"limited by the room behind a copy", 1386, {{30, 0}, {-300, 0}, {30, 1000}, {-300, 0}},
       0, 100},
      {"equal costs keep the larger k", 100000,
       [] {
         std::vector<std::pair<int32_t, int32_t>> l;
         for (int i = 0; i < 9; ++i) l.insert(l.end(), {{40, 50 * i}, {i < 8 ? -10 : -3, 0}});
         return l;
       }(),
       0, 10},
  };
  for (const auto& c : cases) {
    int64_t targetLength = 0;
    MatchList& found = Matches().found;
    found.Clear();
    for (const auto& [v, o] : c.list) {
      found.Append(v, o);
      targetLength += v < 0 ? -v : v;
    }
    AllocateStepBuffer(c.sourceLength, targetLength);
    EXPECT_EQ(ChooseExtension(c.window), c.k) << c.name;
  }

  // The check looks at no entry of the next storage block: the same window lowered from 5
  // to 2 when its run starts the next block.
  for (int filler : {3748, 3749}) {
    MatchList& found = Matches().found;
    found.Clear();
    for (int i = 0; i < filler; ++i) found.Append(12, 0);
    found.Append(2, 500);
    found.Append(-5, 0);
    AllocateStepBuffer(1000, 12 * filler + 7);
    EXPECT_EQ(MatchList::BlockOf(filler + 1) == MatchList::BlockOf(filler), filler == 3748);
    EXPECT_EQ(ChooseExtension(filler), filler == 3748 ? 5 : 2) << filler;
  }
}

TEST_F(Optimizer, BelowMagnitude256EveryNumberHasOneSignBitAndNoWidthBit) {
  // Both files under 256 bytes: the sign-bit stream holds one bit per number, the wide-bit
  // stream one bit per literal chunk and nothing else.
  const Bytes source = testdata::SourceWithoutA(250, 8);
  patchdec::StepTrace trace;
  const patchdec::Step step =
      Patch(source, InPlace(source, Join({Repeat(3, 40, 25), Repeat(1, 40, 0)})), trace);
  size_t numbers = 0, chunks = 0;
  for (const patchdec::Op& op : trace.ops) {
    numbers += op.kind == patchdec::Op::Copy ? 2 : 1;
    chunks += op.plainChunks.size();
  }
  ASSERT_EQ(numbers, 11u);  // 4 copies, 3 runs
  EXPECT_EQ(step.streams[patchdec::kSignBits].size(), (numbers + 7) / 8);
  EXPECT_EQ(step.streams[patchdec::kWideBits].size(), (chunks + 7) / 8);
  EXPECT_EQ(chunks, 3u);
}
