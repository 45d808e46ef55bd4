#pragma once
// Starting the web browser and the mail program for help pages and links, and the
// application's help hook (HelpDummyClass) that routes help requests: context help
// (command 1) opens the page of the active form, the contents (command 3) "index.html".
// A program that cannot be started leads to the question whether to copy the address to
// the clipboard.
#include <cstdint>
#include <functional>
#include <string>

// Starts a command line with a show mode and returns WinExec's result (32 and above:
// started). Tests replace it; the call returns the starter it replaces.
using TProgramStarter = std::function<unsigned(const std::string& commandLine, int show)>;
TProgramStarter SetProgramStarter(TProgramStarter starter);

void OpenWebLink(const std::string& url);
void OpenMailLink(const std::string& address);

class HelpDummyClass {
 public:
  // Installs HelpHook as the application's help handler.
  HelpDummyClass();
  ~HelpDummyClass();
  HelpDummyClass(const HelpDummyClass&) = delete;
  HelpDummyClass& operator=(const HelpDummyClass&) = delete;
  bool HelpHook(uint16_t Command, int Data, bool& CallHelp);
};
