#include "patch_engine/engine_errors.h"

#include <cstdlib>

namespace engine {

bool GermanMessages = false;
ConsoleHook ConsoleOutput = nullptr;

void RaiseEngineError(const EngineMessage& m) {
  throw EEngineError(m, GermanMessages ? m.german : m.english);
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
