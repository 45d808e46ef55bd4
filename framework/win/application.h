#pragma once
// The application: one per process. It owns the forms made by CreateForm, a hidden
// top-level window (class "TApplication", caption Title) that owns the forms and serves
// the framework's private messages, and the message loop. HandleMessage handles one
// message (key preview, dialog keys and hint tracking come before TranslateMessage and
// DispatchMessageA) or runs the idle step and sleeps in WaitMessage; so whoever sets a
// flag a loop polls must post a message (WakeMainThread). Synchronize requests are
// messages to the application window and are served by every loop, a message box's too.
//
// Exceptions caught at any Win32 entry end in HandleException: EAbort is silent;
// OnException gets the rest when it is set, else ShowException shows the message with a
// full stop, the title as caption and the stop icon. Message boxes all go through one
// replaceable function, so tests see and answer them.
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "framework/core/exceptions.h"
#include "framework/win/forms.h"

class THintWindow;

// The function behind every message box: (owner, text, caption, MB_ flags) -> button id.
using TMessageBoxFunction =
    std::function<int(HWND owner, const std::string& text, const std::string& caption, UINT flags)>;
// Installs fn (empty: MessageBoxA) and returns the function it replaces.
TMessageBoxFunction SetMessageBoxFunction(TMessageBoxFunction fn);

using TExceptionEvent = TEvent<void(TObject* Sender, const Exception& E)>;
// (command, data, var CallHelp) -> handled
using THelpEvent = TEvent<bool(uint16_t Command, int Data, bool& CallHelp)>;

class TApplication : public TComponent {
  FW_CLASS(TApplication, TComponent)

 public:
  explicit TApplication(TComponent* owner);

  // Common controls, the Windows locale and colours for the portable core.
  void Initialize();
  HWND Handle() const { return handle_; }
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& title);

  // Makes a form of class T owned by the application; the first one becomes MainForm.
  template <class T>
  void CreateForm(T*& ref) {
    ref = static_cast<T*>(T::StaticClass().Create(this));
    if (!mainForm_) mainForm_ = ref;
  }
  TCustomForm* MainForm() const { return mainForm_; }

  void Run();
  void Terminate();
  bool Terminated() const { return terminated_; }
  void HandleMessage();
  void ProcessMessages();
  // Posts a message that only wakes the GUI thread's loop; any thread may call it.
  void WakeMainThread();
  static bool IsMainThread();

  TExceptionEvent OnException;
  void HandleException(std::exception_ptr e, TObject* sender) noexcept;
  void ShowException(const Exception& e);
  // Sees every exception HandleException gets, before anything else (tests use it).
  std::function<void(std::exception_ptr)> ExceptionObserver;
  // A message box through the replaceable function, owned by the active form.
  int MessageBox(const std::string& text, const std::string& caption, UINT flags);

  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool v);
  int HintPause() const { return hintPause_; }
  void SetHintPause(int ms) { hintPause_ = ms; }
  int HintHidePause() const { return hintHidePause_; }
  void SetHintHidePause(int ms) { hintHidePause_ = ms; }
  // The class of the one hint window (a THintWindow descendant); changing it or
  // switching ShowHint off and on makes the window anew.
  const TClassInfo* HintWindowClass() const { return hintClass_; }
  void SetHintWindowClass(const TClassInfo* cls);
  THintWindow* HintWindow() const { return hintWindow_; }
  // The control under the mouse whose hint is shown or due, if any.
  TControl* HintControl() const { return hintControl_; }
  void CancelHint();

  const std::string& HelpFile() const { return helpFile_; }
  void SetHelpFile(std::string f) { helpFile_ = std::move(f); }
  THelpEvent OnHelp;
  bool HelpContext(int context) { return HelpCommand(1, context); }
  bool HelpCommand(uint16_t command, int data);

  // Hides the application's visible forms behind a minimised task-bar button;
  // Restore brings them back and fires OnRestore.
  void Minimize();
  void Restore();
  TNotifyEvent OnMinimize;
  TNotifyEvent OnRestore;

  // Frees the form from the message loop, after the handler that asked has returned.
  void ReleaseForm(TCustomForm* form);

 protected:
  ~TApplication() override;
  void BeforeDestruction() override;
  void Notification(TComponent* c, TOperation op) override;

 private:
  friend LRESULT CALLBACK AppWndProc(HWND, UINT, WPARAM, LPARAM) noexcept;
  bool ProcessMessage(MSG& msg);
  bool PreTranslate(MSG& msg);
  void Idle();
  void AppMessage(TMessage& m);
  void TrackHint(const MSG& msg);
  void ShowHintNow();
  void HideHint();
  void ShowExceptionText(const std::string& message) noexcept;

  HWND handle_ = nullptr;
  std::string title_;
  TCustomForm* mainForm_ = nullptr;
  bool terminated_ = false;
  int handlingException_ = 0;

  bool showHint_ = true;
  int hintPause_ = 500;
  int hintHidePause_ = 2500;
  const TClassInfo* hintClass_ = nullptr;
  THintWindow* hintWindow_ = nullptr;
  TControl* hintControl_ = nullptr;
  bool hintShown_ = false;

  std::string helpFile_;
  std::vector<HWND> minimizedForms_;
  std::vector<TCustomForm*> releasing_;
};

extern TApplication* Application;

// A box with the text, the application title as caption and an OK button.
void ShowMessage(const std::string& text);
