#include "patch_engine/engine_errors.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "patch_engine/engine_state.h"
#include "patch_engine/helper_threads.h"

namespace engine {

bool GermanMessages = false;
ConsoleHook ConsoleOutput = nullptr;

namespace detail {

std::string FormatArgs(const char* format, int count, const long long* ints,
                       const char* const* texts, const bool* isText) {
  std::string out;
  int next = 0;
  for (const char* p = format; *p; ++p) {
    if (*p != '%') {
      out += *p;
      continue;
    }
    // Collect one conversion: flags, width, precision, length, type.
    const char* start = p++;
    if (*p == '%') {
      out += '%';
      continue;
    }
    std::string conversion(start, 1);
    while (*p && std::strchr("-+ #0123456789.", *p)) conversion += *p++;
    while (*p == 'l' || *p == 'h') ++p;
    char type = *p;
    if (!type) break;
    std::vector<char> buf(64);
    auto emit = [&](auto value, const std::string& f) {
      int n = std::snprintf(buf.data(), buf.size(), f.c_str(), value);
      if (n >= int(buf.size())) {
        buf.resize(size_t(n) + 1);
        std::snprintf(buf.data(), buf.size(), f.c_str(), value);
      }
      if (n > 0) out.append(buf.data(), size_t(n));
    };
    if (next >= count) {  // more conversions than arguments: keep the text as it is
      out.append(start, size_t(p - start + 1));
      continue;
    }
    int a = next++;
    if (type == 's') {
      emit(isText[a] ? texts[a] : "", conversion + "s");
    } else if (std::strchr("dixXuoc", type)) {
      long long v = isText[a] ? 0 : ints[a];
      if (type == 'c')
        emit(int(v), conversion + "c");
      else
        emit(v, conversion + "ll" + type);
    } else {
      out.append(start, size_t(p - start + 1));
    }
  }
  return out;
}

}  // namespace detail

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
