#include "patch_engine/engine_errors.h"

#include <cstdlib>

#include "patch_engine/engine_state.h"
#include "patch_engine/helper_threads.h"

namespace engine {

bool GermanMessages = false;
ConsoleHook ConsoleOutput = nullptr;

void RaiseEngineError(const char* english, const char*) {
  // On a helper thread the error ends only its step; the run raises it when it collects
  // that step (step_jobs.h).
  if (OnStepHelper()) throw Exception(english);
  DiscardPatchFile();
  FreeEngineBuffers();
  throw Exception(english);
}

void* CheckedAlloc(size_t size, const EngineMessage& purpose) {
  if (size == 0) size = 1;
  void* p = std::malloc(size);
  if (!p) {
    RaiseEngineErrorFmt(msg::AllocationFailed, size,
                        GermanMessages ? purpose.german : purpose.english);
  }
  return p;
}

void ConsoleInfo(const EngineMessage& m) {
  if (ConsoleOutput) ConsoleOutput(GermanMessages ? m.german : m.english);
}

}  // namespace engine
