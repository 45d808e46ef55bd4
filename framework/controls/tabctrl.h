#pragma once
// The tab control without sheets (SysTabControl32): a row of tabs from Tabs and the index
// of the chosen one. Choosing a tab in code (TabIndex) fires nothing; a click asks
// OnChanging (which may refuse) and then fires OnChange. A height of 0 leaves only the
// index: the wizard keeps its page number there.
#include "framework/core/strings.h"
#include "framework/win/controls.h"

class TTabControl : public TWinControl {
  FW_CLASS(TTabControl, TWinControl)

 public:
  explicit TTabControl(TComponent* owner);
  TStrings& Tabs() { return tabs_; }
  // -1 when there is no tab; the first tab added becomes the current one.
  int TabIndex() const { return tabIndex_; }
  void SetTabIndex(int index);  // no event; out of range: ignored

  TNotifyEvent OnChange;
  TCloseQueryEvent OnChanging;  // (Sender, var AllowChange)

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWindowHandle() override;
  void CNNotify(TMessage& m) override;
  virtual void Change();

 private:
  void TabsChanged();
  TStringList tabs_;
  int tabIndex_ = -1;
};
