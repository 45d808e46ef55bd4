#pragma once
// Second and third stage of a step.
//
// The structure pass reshapes Matches().found into Matches().optimized: after every copy
// the target goes on for k more bytes taken from the source right behind the copy (the
// extension, kept both plain and as differences to the source), with one k per group of
// GroupSize copies. A copy that an extension swallows whole becomes a placeholder (0, 0)
// at the start of the next group. The encoding pass turns the reshaped list into the
// number, wide-bit, sign-bit and literal streams (Streams()).
#include <cstdint>

namespace engine {

constexpr int kMaxExtension = 249;

// Structure pass (with its self-test) and encoding pass of the current step. When the
// structure pass ends with extension bytes still owed, it runs once more with each
// group's k capped so that every extension of the group ends inside the target; if bytes
// are still owed then, the self-test message is raised.
void OptimizePatchInfo();

// k (0 .. 249) for the group starting at copy e of the found list.
int ChooseExtension(int64_t e);
// The test ChooseExtension lowers k with: true when extension k of the group starting at
// copy e passes.
bool CheckExtension(int64_t e, int64_t k);

// One number in the number code, with its sign bit and width bits, for the current
// step's largest magnitude.
void WriteNumber(int64_t v);

// The chunk lengths a literal run of `remaining` bytes is decided in, with chunk size C:
// the next chunk is C bytes, except that a rest below 2C forms the last chunk.
inline int64_t NextChunkLength(int64_t remaining, int64_t chunkSize) {
  return remaining < 2 * chunkSize ? remaining : chunkSize;
}

}  // namespace engine
