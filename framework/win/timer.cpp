#include "framework/win/timer.h"

#include <map>

#include "framework/core/exceptions.h"
#include "framework/win/firewall.h"

namespace {

std::map<UINT_PTR, TTimer*>& Timers() {
  static std::map<UINT_PTR, TTimer*> timers;
  return timers;
}

HWND UtilityWindow();

}  // namespace

LRESULT CALLBACK TimerWndProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) noexcept {
  if (msg == WM_TIMER) {
    auto it = Timers().find(wp);
    if (it != Timers().end()) {
      TTimer* t = it->second;
      Firewall(t, [&] { t->Timer(); });
    }
    return 0;
  }
  return DefWindowProcA(h, msg, wp, lp);
}

namespace {

HWND UtilityWindow() {
  static HWND h = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = TimerWndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "TPUtilWindow";
    RegisterClassA(&wc);
    return CreateWindowExA(0, "TPUtilWindow", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
  }();
  if (!h) throw EOutOfResources("Cannot create the timer window");
  return h;
}

}  // namespace

const TClassInfo& TTimer::StaticClass() {
  using P = TProps<TTimer>;
  static const TClassInfo info{
      "TTimer", &TComponent::StaticClass(), Factory<TTimer>(),
      {P::Bool("Enabled", &TTimer::Enabled, &TTimer::SetEnabled).WithDefault(true),
       P::Int("Interval", [](const TTimer& t) { return int(t.Interval()); },
              [](TTimer& t, int v) { t.SetInterval(unsigned(v)); })
           .WithDefault(int64_t(1000)),
       P::Event("OnTimer", &TTimer::OnTimer)}};
  return info;
}

TTimer::TTimer(TComponent* owner) : TComponent(owner) { Update(); }

TTimer::~TTimer() = default;

void TTimer::SetInterval(unsigned ms) {
  if (ms == interval_) return;
  interval_ = ms;
  Update();
}

void TTimer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Update();
}

void TTimer::Stop() {
  if (!id_) return;
  KillTimer(UtilityWindow(), id_);
  Timers().erase(id_);
  id_ = 0;
}

void TTimer::Update() {
  Stop();
  if (!enabled_ || interval_ == 0 || IsLoading() || IsDestroying()) return;
  static UINT_PTR next = 1;
  UINT_PTR id = next++;
  if (!SetTimer(UtilityWindow(), id, interval_, nullptr)) throw EOutOfResources("Not enough timers available");
  id_ = id;
  Timers()[id_] = this;
}

void TTimer::Loaded() {
  TComponent::Loaded();
  Update();
}

void TTimer::BeforeDestruction() {
  Stop();
  TComponent::BeforeDestruction();
}

void TTimer::Timer() {
  if (!(ComponentState() & (csLoading | csDestroying))) OnTimer(this);
}
