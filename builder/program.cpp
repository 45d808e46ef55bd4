#include "builder/program.h"

#include "builder/address_book.h"
#include "builder/help_routing.h"
#include "builder/help_window.h"
#include "builder/main_window.h"
#include "builder/moxhint.h"
#include "builder/progress_window.h"
#include "builder/small_windows.h"
#include "builder/w95meter.h"
#include "framework/controls/register.h"
#include "framework/core/exceptions.h"
#include "framework/win/application.h"
#include "patch_engine/engine.h"
#include "shell_controls/shell_combo_win32.h"

namespace {
TSettings* settings = nullptr;
std::string programPath;
}  // namespace

const std::string& ProgramPath() { return programPath; }

TSettings& ProgramSettings() {
  if (!settings) throw EInvalidOperation("The settings have not been read");
  return *settings;
}

void SetProgramSettings(TSettings* s) { settings = s; }

void RegisterBuilderClasses() {
  RegisterFrameworkClasses();
  RegisterW95Meter();
  RegisterMoxHint();
  RegisterDocViewer();
  RegisterShellControlClasses();
  for (const TClassInfo* c : {&TForm1::StaticClass(), &TForm2::StaticClass(), &TForm3::StaticClass(),
                              &TForm4::StaticClass(), &Tform_Help::StaticClass(), &Tform_Splash::StaticClass()})
    RegisterClass(*c);
}

void RewriteHints() {
  ForEachComponent(*Application, [](TComponent& c) {
    auto* w = dynamic_cast<TWinControl*>(&c);
    if (!w) return;
    for (TControl* child : w->ControlList()) {
      std::string hint = child->Hint();
      std::string out;
      for (char ch : hint) out += ch == '#' ? std::string("\r\n") : std::string(1, ch);
      if (out != hint) child->SetHint(out);
    }
  });
}

std::unique_ptr<HelpDummyClass> StartPatchBuilder(const std::string& path) {
  programPath = path;
  Application->Initialize();
  Application->SetTitle(ApplicationTitle());

  TOwned<Tform_Splash> splash;
  if (!ProgramSettings().Main.HideSplash) {
    splash.reset(static_cast<Tform_Splash*>(Tform_Splash::StaticClass().Create(nullptr)));
    splash->Show();
    splash->Update();
    Application->ProcessMessages();
  }

  engine::ResetEngineOptions();
  engine::SetProgramDirectory(programPath);

  Application->CreateForm(Form1);
  Application->CreateForm(Form2);
  Application->CreateForm(Form4);
  Application->CreateForm(form_Help);

  RewriteHints();
  Form1->RestorePlacement(*Form1, *Form1->rdgrp_OptionMainWindowPos, 70, 40);
  Form1->RestorePlacement(*Form2, *Form1->rdgrp_OptionPatchWindowPos, 50, 50);
  Form1->RestorePlacement(*Form4, *Form1->rdgrp_OptionEmailSendWindowPos, 300, 300);

  Application->SetHintHidePause(100000);
  Application->SetHelpFile("dummy");
  splash.reset();
  return std::make_unique<HelpDummyClass>();
}
