#include "setup_ui/main_form_win32.h"

#include "framework/controls/register.h"
#include "setup_engine/install_registry.h"
#include "setup_engine/register.h"
#include "setup_ui/association.h"
#include "setup_ui/dialogs_win32.h"

const TClassInfo& TForm1::StaticClass() {
  static const TClassInfo info{"TForm1", &TForm::StaticClass(), Factory<TForm1>(), {}, "TFORM1"};
  return info;
}

const TMethodTable* TForm1::Methods() const {
  using F = TForm1;
  using E = TInstallContainerNotifyEvent;
  static const TMethodTable t = TMethodTable::Of<F>()
                                    .Field("Registry1", &F::Registry1)
                                    .Field("Registry2", &F::Registry2)
                                    .Field("Registry5", &F::Registry5)
                                    .Field("Registry7", &F::Registry7)
                                    .Field("Registry8", &F::Registry8)
                                    .Field("Registry9", &F::Registry9)
                                    .Handler<E>("Registry1BeforeProcess", &F::Registry1BeforeProcess)
                                    .Handler<E>("Registry2BeforeProcess", &F::Registry2BeforeProcess)
                                    .Handler<E>("Registry5BeforeProcess", &F::Registry5BeforeProcess)
                                    .Handler<E>("Registry7BeforeProcess", &F::Registry7BeforeProcess)
                                    .Handler<E>("Registry8BeforeProcess", &F::Registry8BeforeProcess)
                                    .Handler<E>("Registry9BeforeProcess", &F::Registry9BeforeProcess);
  return &t;
}

void TForm1::Registry1BeforeProcess(TObject*) { setup_ui::KeepNewerAssociation(*Registry1); }
void TForm1::Registry2BeforeProcess(TObject*) { setup_ui::KeepNewerAssociation(*Registry2); }
void TForm1::Registry5BeforeProcess(TObject*) { setup_ui::KeepNewerAssociation(*Registry5); }
void TForm1::Registry7BeforeProcess(TObject*) { setup_ui::KeepNewerAssociation(*Registry7); }
void TForm1::Registry8BeforeProcess(TObject*) { setup_ui::KeepNewerAssociation(*Registry8); }
void TForm1::Registry9BeforeProcess(TObject*) { setup_ui::KeepNewerAssociation(*Registry9); }

void RegisterSetupProgramClasses() {
  RegisterFrameworkClasses();
  setup::RegisterShortcutAndRegistryClasses();
  setup_ui::RegisterSetupDialogClasses();
  RegisterClass(TForm1::StaticClass());
}
