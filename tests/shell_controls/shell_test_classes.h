#pragma once
// A component with a published locator, as the shell list and tree publish theirs.
#include "shell_controls/shell_combo_win32.h"

class TLocatorHolder : public TComponent {
  FW_CLASS(TLocatorHolder, TComponent)

 public:
  explicit TLocatorHolder(TComponent* owner) : TComponent(owner) {}
  TQsShellLocator& Folder() { return folder_; }

 private:
  TQsShellLocator folder_;
};

void RegisterShellTestClasses();
