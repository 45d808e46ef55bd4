#include "patch_engine/step_data.h"

#include <cstdlib>

#include "patch_engine/engine.h"
#include "patch_engine/engine_errors.h"
#include "patch_engine/helper_threads.h"

namespace engine {

StepImplementation Implementation = StepImplementation::Fast;

int64_t StepData::MaxNumber() const {
  if (Options.SelfReferences) return sourceLength + targetLength;
  return sourceLength > targetLength ? sourceLength : targetLength;
}

StepData& Step() {
  thread_local StepData step;
  return step;
}

void AllocateStepBuffer(int64_t sourceLength, int64_t targetLength) {
  FreeStepBuffer();
  const int64_t total = sourceLength + targetLength;
  if (uint64_t(total) > uint64_t(SIZE_MAX))
    RaiseEngineErrorFmt(msg::AllocationFailed, total, msg::ForFileData.english);
  StepData& s = Step();
  s.data = static_cast<uint8_t*>(CheckedAlloc(size_t(total), msg::ForFileData));
  s.sourceLength = sourceLength;
  s.targetLength = targetLength;
}

void FreeStepBuffer() {
  StepData& s = Step();
  std::free(s.data);
  s = StepData{};
}

void MatchList::Append(int32_t value, int32_t offset) {
  if (!current_) {
    fill_ = 0;
    current_ = static_cast<int32_t*>(CheckedAlloc(size_t(kMatchBlockInts) * sizeof(int32_t),
                                                  blocks_.Count() == 0 ? first_ : later_));
  }
  current_[2 * fill_] = value;
  current_[2 * fill_ + 1] = offset;
  if (++fill_ == kMatchBlockPairs) {
    blocks_ << current_;
    current_ = nullptr;
    fill_ = 0;
  }
}

const int32_t* MatchList::Pair(int64_t e) const {
  int64_t full = int64_t(blocks_.Count()) * kMatchBlockPairs;
  if (e < full)
    return static_cast<const int32_t*>(blocks_.Get(uint32_t(e / kMatchBlockPairs))) +
           2 * (e % kMatchBlockPairs);
  return current_ + 2 * (e - full);
}

void MatchList::Clear() {
  for (uint32_t i = 0; i < blocks_.Count(); ++i) std::free(blocks_.Get(i));
  blocks_.Clear();
  std::free(current_);
  current_ = nullptr;
  fill_ = 0;
}

void MatchBuffers::Clear() {
  found.Clear();
  optimized.Clear();
  copies = 0;
  copyBytes = 0;
  optimizedCopies = 0;
}

namespace {
thread_local MatchBuffers* threadMatches = nullptr;
}  // namespace

MatchBuffers& Matches() {
  static MatchBuffers run;
  return ThreadObject(threadMatches, run);
}

void ReleaseHelperMatches() { ReleaseHelperObject(threadMatches); }

}  // namespace engine
