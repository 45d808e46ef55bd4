#pragma once
// The in-process GUI test harness (Windows tests only; never linked into a program).
//
// RunGuiTests makes the one Application of the test process, registers the classes and
// runs GoogleTest. TGuiTest scripts message boxes (an unscripted box fails the test and is
// answered Cancel), records what HandleException sees (anything a test did not expect
// fails it) and runs a watchdog that, when a test hangs, fails it and closes its windows,
// which ends modal loops. The drivers (Click, SetText, SelectItem, PressKey) go through
// the real notifications, so handlers run as they do for a user. Captures sample pixels:
// compare points inside areas, never whole images, since fonts differ between machines.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "framework/win/application.h"

// Makes the Application, calls registerClasses and runs every test.
int RunGuiTests(int argc, char** argv, void (*registerClasses)());

struct TShownBox {
  std::string Text, Caption;
  UINT Flags = 0;
};

// Answers message boxes whose text contains the next expected fragment.
class TMessageBoxScript {
 public:
  void Expect(std::string fragment, int answer);
  const std::vector<TShownBox>& Shown() const { return shown_; }
  int Answer(const std::string& text, const std::string& caption, UINT flags);
  // Boxes that came unscripted or did not match; and fragments never shown.
  std::vector<std::string> Problems() const;

 private:
  struct Step {
    std::string Fragment;
    int Answer;
  };
  std::deque<Step> script_;
  std::vector<TShownBox> shown_;
  std::vector<std::string> unexpected_;
};

// What Application->HandleException saw, as "message" texts.
class TExceptionTrap {
 public:
  void Record(std::exception_ptr e);
  // Takes the recorded messages; the fixture fails on any left at the end.
  std::vector<std::string> Take();

 private:
  std::vector<std::string> seen_;
};

class TWatchdog {
 public:
  explicit TWatchdog(int seconds);
  ~TWatchdog();
  bool Fired() const { return fired_; }

 private:
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable stop_;
  bool stopping_ = false;
  std::atomic<bool> fired_{false};
};

class TGuiTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A form of class T made from its resource, owned by the Application, freed after the test.
  template <class T>
  T* MakeForm() {
    auto* f = static_cast<T*>(T::StaticClass().Create(Application));
    Track(f);
    return f;
  }
  // Frees c after the test unless it is gone by then.
  void Track(TComponent* c);
  // Handles messages until pred holds (true) or timeoutMs passes or the watchdog fires.
  bool PumpUntil(const std::function<bool()>& pred, int timeoutMs = 5000);
  // Handles what is waiting now.
  void Pump();

  TMessageBoxScript Boxes;
  TExceptionTrap Exceptions;

 private:
  std::unique_ptr<TWatchdog> watchdog_;
  TMessageBoxFunction previousBox_;
  TOwned<TComponent> tracker_{new TComponent(nullptr)};
  std::vector<std::unique_ptr<TLink<TComponent>>> tracked_;
};

// Drivers: the real notifications of a user's action.
void Click(TWinControl& control);          // BM_CLICK, or a left click at the centre
void SetText(TWinControl& edit, const std::string& text);  // WM_SETTEXT and EN_CHANGE
void SelectItem(TWinControl& list, int index);              // selection (a tab too) and its notification
// Posts key down and up (and the character) to the focused window and handles them, as
// typing would: through the application's pre-translation.
void PressKey(UINT vk, TShiftState shift = 0);

// A captured image: 0x00RRGGBB pixels, row by row.
struct TCapture {
  int Width = 0, Height = 0;
  std::vector<uint32_t> Pixels;
  uint32_t PixelAt(int x, int y) const;
  void SaveBmp(const std::string& fileName) const;
};

// The window as shown on the screen (window DC after UpdateWindow).
TCapture CaptureWindow(TWinControl& control);
// A rectangle of the screen (what a screenshot shows).
TCapture CaptureScreen(const TRect& screenRect);
// The control's own painting into a memory bitmap, no screen involved.
TCapture PaintToBitmap(TGraphicControl& control);
TCapture PaintToBitmap(TCustomControl& control);

::testing::AssertionResult PixelNear(const TCapture& image, int x, int y, uint32_t rgb, int tolerance = 12);
// The RGB a colour (system colours included) has on this display.
uint32_t RGBOf(TColor color);
