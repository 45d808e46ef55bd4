#include "framework/core/clock.h"

#include <chrono>
#include <utility>

#include "framework/core/seam.h"

namespace {

uint32_t SteadyTicks() {
  using namespace std::chrono;
  return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

TSeam<TTickSource>& Source() {
  static TSeam<TTickSource> source{SteadyTicks};
  return source;
}

}  // namespace

TTickSource SetTickSource(TTickSource source) { return Source().Set(std::move(source)); }

uint32_t TickCount() { return Source().Get()(); }
