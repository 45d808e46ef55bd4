#pragma once
// Common controls: the page control (a system tab control whose sheets are our child
// windows laid over its display area, only the active one visible) and the progress bar.
// Choosing a page in code (ActivePage, ActivePageIndex) fires nothing; a click on a tab
// asks OnChanging (which may refuse) and then fires OnChange.
#include <vector>

#include "framework/win/controls.h"

class TPageControl;

class TTabSheet : public TWinControl {
  FW_CLASS(TTabSheet, TWinControl)

 public:
  explicit TTabSheet(TComponent* owner);
  TPageControl* PageControl() const { return pageControl_; }
  void SetPageControl(TPageControl* pc);
  int PageIndex() const;
  void SetPageIndex(int index);
  bool TabVisible() const { return tabVisible_; }
  void SetTabVisible(bool v);
  // The tab's position among the visible tabs, -1 when it has none.
  int TabIndex() const;

 protected:
  void TextChanged() override;
  void BeforeDestruction() override;

 private:
  friend class TPageControl;
  TPageControl* pageControl_ = nullptr;
  bool tabVisible_ = true;
};

class TPageControl : public TWinControl {
  FW_CLASS(TPageControl, TWinControl)

 public:
  explicit TPageControl(TComponent* owner);
  int PageCount() const { return int(pages_.size()); }
  TTabSheet* Pages(int index) const { return pages_.at(size_t(index)); }
  TTabSheet* ActivePage() const { return active_; }
  void SetActivePage(TTabSheet* page);  // no event
  int ActivePageIndex() const;
  void SetActivePageIndex(int index);  // no event
  // The area the sheets cover, in client coordinates.
  TRect DisplayRect() const;

  void AdoptChild(TComponent& child) override;

  TNotifyEvent OnChange;
  TCloseQueryEvent OnChanging;  // (Sender, var AllowChange)

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWindowHandle() override;
  void CNNotify(TMessage& m) override;
  void AlignControls() override;
  void Loaded() override;
  virtual void Change();

 private:
  friend class TTabSheet;
  void InsertPage(TTabSheet* page);
  void RemovePage(TTabSheet* page);
  void MovePage(TTabSheet* page, int index);
  void UpdateTabs();
  void ShowActive();

  std::vector<TTabSheet*> pages_;
  TTabSheet* active_ = nullptr;
};

class TProgressBar : public TWinControl {
  FW_CLASS(TProgressBar, TWinControl)

 public:
  explicit TProgressBar(TComponent* owner);
  int Min() const { return min_; }
  void SetMin(int v);
  int Max() const { return max_; }
  void SetMax(int v);
  int Position() const { return position_; }
  void SetPosition(int v);

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWindowHandle() override;

 private:
  int min_ = 0, max_ = 100, position_ = 0;
};
