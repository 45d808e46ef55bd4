#pragma once
// Install objects for tests of the tree: each publishes its Kind (its ComponentType; the
// default 0 keeps the base class's error), a Caption and Raise ("abort": an EAbort in
// DoProcess, any other text: an IException of it), with Container, Include, InstallTypes
// and Order. Kind 9000 objects are dialogs: reached by broadcasts, never auto-processed.
// What they do goes to Trace: "process NAME" as DoProcess begins, "NAME got CODE" for
// each broadcast code.
#include <functional>
#include <string>

#include "setup_engine/install_object.h"

class TTreeProbe : public TInstallObject {
  FW_CLASS(TTreeProbe, TInstallObject)

 public:
  explicit TTreeProbe(TComponent* owner);
  int Kind() const { return kind_; }
  void SetKind(int kind);
  std::string Caption;
  std::string Raise;
  std::function<void(const std::string&)> Trace;

  int ComponentType() const override;
  void DoProcess() override;
  void DoInformationEvent(TObject* sender, int code, TObject* parameter) override;

 private:
  int kind_ = 0;
};
