#pragma once
// TTimer: OnTimer every Interval milliseconds while Enabled, from a hidden utility window
// (message-only) whose WM_TIMER goes through the exception firewall. Nothing fires while
// the timer's form is loading or being destroyed.
#include "framework/core/events.h"
#include "framework/core/object.h"
#include "framework/win/winapi.h"

class TTimer : public TComponent {
  FW_CLASS(TTimer, TComponent)

 public:
  explicit TTimer(TComponent* owner);
  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned ms);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);

  TNotifyEvent OnTimer;

 protected:
  ~TTimer() override;
  void Loaded() override;
  void BeforeDestruction() override;
  virtual void Timer();

 private:
  friend LRESULT CALLBACK TimerWndProc(HWND, UINT, WPARAM, LPARAM) noexcept;
  void Update();
  void Stop();

  unsigned interval_ = 1000;
  bool enabled_ = true;
  UINT_PTR id_ = 0;
};
