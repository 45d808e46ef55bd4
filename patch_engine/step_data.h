#pragma once
// The file buffer of one step and the two match lists built from it.
//
// The buffer holds the source version first and the target right behind it; index,
// match search and optimizer address both through it. A match list is a sequence of
// int32 pairs: a copy is (length > 0, offset of its first byte in the buffer, which is
// the source offset), a run of new bytes is (-length, offset of its first byte in the
// target), a placeholder is (0, 0). Pairs are stored in blocks of 7500 int32.
#include <cstdint>

#include "patch_engine/dyn_array.h"
#include "patch_engine/engine_messages.h"

namespace engine {

// Which implementation computes a step: the engine's fast one, or the straightforward
// reference that follows the algorithms step by step. Both write the same bytes; tests and
// benchmarks switch to the reference to prove it and to measure the difference.
enum class StepImplementation { Fast, Reference };
extern StepImplementation Implementation;

// The largest file length a step accepts: the match lists hold lengths and offsets as
// int32.
constexpr int64_t kMaxFileLength = 0x7FFFFFFF;

struct StepData {
  uint8_t* data = nullptr;
  int64_t sourceLength = 0;
  int64_t targetLength = 0;

  const uint8_t* Source() const { return data; }
  const uint8_t* Target() const { return data + sourceLength; }
  // The largest magnitude a number of the step may need: the larger length, or the sum
  // of both when copies may address rebuilt target bytes.
  int64_t MaxNumber() const;
};
StepData& Step();
// Allocates the buffer for a source and a target of the given lengths (the contents are
// left to the caller) and frees any previous one.
void AllocateStepBuffer(int64_t sourceLength, int64_t targetLength);
void FreeStepBuffer();

constexpr int64_t kMatchBlockInts = 7500;
constexpr int64_t kMatchBlockPairs = kMatchBlockInts / 2;

class MatchList {
 public:
  // The first block is allocated with the first purpose text, every further block with
  // the second.
  MatchList(const EngineMessage& firstPurpose, const EngineMessage& laterPurpose)
      : first_(firstPurpose), later_(laterPurpose) {}
  ~MatchList() { Clear(); }
  MatchList(const MatchList&) = delete;
  MatchList& operator=(const MatchList&) = delete;

  void Append(int32_t value, int32_t offset);
  int64_t Count() const { return int64_t(blocks_.Count()) * kMatchBlockPairs + fill_; }
  int32_t Value(int64_t e) const { return Pair(e)[0]; }
  int32_t Offset(int64_t e) const { return Pair(e)[1]; }
  // The storage block holding pair e.
  static int64_t BlockOf(int64_t e) { return e / kMatchBlockPairs; }
  void Clear();

 private:
  const int32_t* Pair(int64_t e) const;

  const EngineMessage& first_;
  const EngineMessage& later_;
  DynArray blocks_;
  int32_t* current_ = nullptr;
  int64_t fill_ = 0;  // pairs in the current block
};

struct MatchBuffers {
  // What the match search found.
  MatchList found{msg::ForMatchBuffer, msg::ForMatchBuffer};
  // The structure pass's reshaped list.
  MatchList optimized{msg::ForOptimizer, msg::ForOptimizerMore};
  int64_t copies = 0;           // copies found
  int64_t copyBytes = 0;        // the sum of their lengths
  int64_t optimizedCopies = 0;  // copies left in the reshaped list (without placeholders)

  void Clear();
};
// The match lists of this thread.
MatchBuffers& Matches();
// On a helper thread: frees its match lists before it ends.
void ReleaseHelperMatches();

}  // namespace engine
