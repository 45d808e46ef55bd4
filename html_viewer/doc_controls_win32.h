#pragma once
// A document's Windows side: the paint panel as the surface of its form controls, the
// animation timer and the error box.
//
// How it works: every form control's window is a framework control made as a child of the
// paint panel at x = -400 and moved by painting: an edit (Enter and the page keys go to the
// document, which submits or passes them to the viewer), a button, a radio button in a
// borderless 13 x 14 panel of its own (so the radio buttons of different forms never group),
// a check box, a list box (multiple and extended selection when the SELECT says MULTIPLE), a
// drop-down list and a memo with both scroll bars. What the document sets in code raises no
// click of its own. Keys the document passes on are posted to the panel's parent, the viewer.
#include <functional>
#include <memory>
#include <string>

#include "framework/core/object.h"
#include "framework/win/controls.h"
#include "framework/win/timer.h"
#include "html_viewer/doc_cell.h"

class TWinPaintSurface : public IPaintSurface {
 public:
  // The panel outlives the surface and every window it made.
  explicit TWinPaintSurface(TWinControl& panel) : panel_(panel) {}
  TWinPaintSurface(const TWinPaintSurface&) = delete;
  TWinPaintSurface& operator=(const TWinPaintSurface&) = delete;

  std::unique_ptr<IControlWindow> CreateControl(const TControlDesc& desc, IControlEvents& events) override;
  TRect VisibleArea() const override { return panel_.ClientRect(); }
  void Invalidate(const TRect& r) override;
  void PostKey(uint16_t key) override;

 private:
  TWinControl& panel_;
};

// The document's animation timer: a TTimer of its own.
class TWinDocTimer : public IDocTimer {
 public:
  TWinDocTimer();
  TWinDocTimer(const TWinDocTimer&) = delete;
  TWinDocTimer& operator=(const TWinDocTimer&) = delete;
  void SetOnTimer(std::function<void()> tick) override;
  void SetEnabled(bool on) override { timer_->SetEnabled(on); }
  bool Enabled() const override { return timer_->Enabled(); }
  void SetInterval(unsigned ms) override { timer_->SetInterval(ms); }
  unsigned Interval() const override { return timer_->Interval(); }

 private:
  TOwned<TTimer> timer_;
};

// Errors in a message box with one OK button and the stop sign, under the application's title.
class TMessageBoxErrorSink : public IErrorSink {
 public:
  void ShowError(const std::string& text) override;
};
