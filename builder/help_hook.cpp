#include "builder/help_hook.h"

#include <windows.h>

#include "builder/help_routing.h"
#include "builder/main_window.h"
#include "builder/program.h"
#include "framework/core/seam.h"
#include "framework/win/application.h"
#include "platform/file.h"

namespace {

unsigned StartWithWinExec(const std::string& commandLine, int show) {
  return WinExec(commandLine.c_str(), UINT(show));
}

TSeam<TProgramStarter>& Starter() {
  static TSeam<TProgramStarter> seam{StartWithWinExec};
  return seam;
}

// Puts text on the clipboard as CF_TEXT; false when the clipboard refuses it.
bool CopyToClipboard(const std::string& text) {
  if (!OpenClipboard(Application ? Application->Handle() : nullptr)) return false;
  bool ok = false;
  if (EmptyClipboard()) {
    if (HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1)) {
      memcpy(GlobalLock(mem), text.c_str(), text.size() + 1);
      GlobalUnlock(mem);
      ok = SetClipboardData(CF_TEXT, mem) != nullptr;
      if (!ok) GlobalFree(mem);
    }
  }
  CloseClipboard();
  return ok;
}

void Launch(const std::string& tmpl, const std::string& address, int show, const char* question) {
  if (!tmpl.empty() && Starter().Get()(ExpandCommandTemplate(tmpl, address), show) >= 32) return;
  if (Application->MessageBox(question, "Question", MB_YESNO | MB_ICONQUESTION) == IDYES) CopyToClipboard(address);
}

std::string CurrentDirectory() {
  char dir[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, dir);
  return dir;
}

}  // namespace

TProgramStarter SetProgramStarter(TProgramStarter starter) { return Starter().Set(std::move(starter)); }

void OpenWebLink(const std::string& url) {
  const TSettings& s = ProgramSettings();
  Launch(BrowserCommandTemplate(s.Main, s.System, [](const std::string& f) { return platform::IsFile(f); }), url,
         SW_SHOW,
         "Seems that Quiltor can't launch your internet browser automatically. Would you like to have the URL "
         "copied to the clipboard?");
}

void OpenMailLink(const std::string& address) {
  Launch(ProgramSettings().System.MailCommand, address, SW_HIDE,
         "Seems that Quiltor can't launch your mailing program automatically. Would you like to have the "
         "address copied to the clipboard?");
}

HelpDummyClass::HelpDummyClass() {
  Application->OnHelp = THelpEvent([this](uint16_t c, int d, bool& call) { return HelpHook(c, d, call); });
}

HelpDummyClass::~HelpDummyClass() {
  if (Application) Application->OnHelp = THelpEvent();
}

bool HelpDummyClass::HelpHook(uint16_t Command, int, bool& CallHelp) {
  CallHelp = false;
  if (Command == 1) {
    TCustomForm* form = Screen ? Screen->ActiveForm() : nullptr;
    if (form && dynamic_cast<TForm*>(form)) {
      std::string mainPage;
      if (form == Form1 && Form1->pagectrl_Main->ActivePage()) mainPage = Form1->pagectrl_Main->ActivePage()->Name();
      OpenWebLink(ContextHelpPage(CurrentDirectory(), form->Name(), mainPage));
    }
  } else if (Command == 3) {
    OpenWebLink(ContentsPage(CurrentDirectory()));
  }
  return true;
}
