#pragma once
// The setup program's main form: the whole installation as the components of its form
// resource (the driver, path specifiers, translator, file groups and files, shortcuts,
// registry writers, the uninstaller entry, the dialog managers and dialogs) on a backdrop
// with the product's rotated label. The driver starts the installation when the form is
// first shown; the form's own code is the writers' before-process handlers, which keep a
// newer installed file association (setup_ui/association.h).
#include "framework/win/forms.h"

class TInstallRegistry;

class TForm1 : public TForm {
  FW_CLASS(TForm1, TForm)

 public:
  explicit TForm1(TComponent* owner) : TForm(owner) {}
  const TMethodTable* Methods() const override;

  TInstallRegistry* Registry1 = nullptr;
  TInstallRegistry* Registry2 = nullptr;
  TInstallRegistry* Registry5 = nullptr;
  TInstallRegistry* Registry7 = nullptr;
  TInstallRegistry* Registry8 = nullptr;
  TInstallRegistry* Registry9 = nullptr;

  void Registry1BeforeProcess(TObject* sender);
  void Registry2BeforeProcess(TObject* sender);
  void Registry5BeforeProcess(TObject* sender);
  void Registry7BeforeProcess(TObject* sender);
  void Registry8BeforeProcess(TObject* sender);
  void Registry9BeforeProcess(TObject* sender);
};

// Registers the main form's class with those of the engine, the dialogs and the decorations.
void RegisterSetupProgramClasses();
