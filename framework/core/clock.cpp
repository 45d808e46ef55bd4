#include "framework/core/clock.h"

#include <chrono>
#include <utility>

namespace {

uint32_t SteadyTicks() {
  using namespace std::chrono;
  return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

TTickSource& Source() {
  static TTickSource source = SteadyTicks;
  return source;
}

}  // namespace

TTickSource SetTickSource(TTickSource source) {
  TTickSource old = std::move(Source());
  Source() = source ? std::move(source) : TTickSource(SteadyTicks);
  return old;
}

uint32_t TickCount() { return Source()(); }
