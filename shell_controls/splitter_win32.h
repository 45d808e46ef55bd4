#pragma once
// The group frame, the splitter and its panes as controls.
//
// TQsCustomGroup draws one of eleven frame styles in its non-client area, so children are
// laid out inside the frame (frame_rules.h has the insets and lines), and shows its
// caption in a group frame's top edge or centred in its client area. Disabling a group
// disables its children.
//
// TQsSplitter owns two TQsPane groups separated by a bar that the mouse drags, as an
// inverted outline or live (splitter_model.h holds the arithmetic). Panes come from a form
// resource as the splitter's children named "<splitter>_pane1" and "_pane2"; after
// loading they move into the splitter's ownership and the splitter streams them as its
// children. A drag ends at the button's release, a second press, cancel mode or the loss
// of the capture.
#include "framework/controls/stdctrls.h"
#include "framework/win/controls.h"
#include "shell_controls/frame_rules.h"
#include "shell_controls/splitter_model.h"

class TQsCustomGroup : public TCustomControl {
  FW_CLASS(TQsCustomGroup, TCustomControl)

 public:
  explicit TQsCustomGroup(TComponent* owner);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment a);
  int FrameSpace() const { return frameSpace_; }
  void SetFrameSpace(int v);
  TQsFrameStyle FrameStyle() const { return frameStyle_; }
  void SetFrameStyle(TQsFrameStyle s);
  // The height of "0" in the control's font, measured on the screen.
  int CaptionHeight();

 protected:
  virtual void DrawFrame(TCanvas& canvas, const TRect& r);
  void CreateParams(TCreateParams& params) override;
  void NCCalcSize(TRect& client, bool& redraw) override;
  void NCPaint(TCanvas& canvas, const TRect& window) override;
  void Paint() override;
  void EnabledChanged() override;
  void TextChanged() override;
  void ColorChanged() override;
  void FontChanged() override;

 private:
  TAlignment alignment_ = TAlignment::taCenter;
  int frameSpace_ = 2;
  bool frameChanged_ = false;
  TQsFrameStyle frameStyle_ = TQsFrameStyle::qsfsGroup;
};

class TQsGroup : public TQsCustomGroup {
  FW_CLASS(TQsGroup, TQsCustomGroup)

 public:
  explicit TQsGroup(TComponent* owner) : TQsCustomGroup(owner) {}
};

class TQsPane : public TQsGroup {
  FW_CLASS(TQsPane, TQsGroup)

 public:
  explicit TQsPane(TComponent* owner);
  int MinSize() const { return minSize_; }
  void SetMinSize(int v) { minSize_ = v; }
  int Index() const { return index_; }
  void SetIndex(int v) { index_ = v; }

 private:
  int minSize_ = 20;
  int index_ = 0;
};

using TQsSplitterDragEvent = TEvent<void(TObject* Sender, int Position)>;

class TQsSplitter : public TCustomControl {
  FW_CLASS(TQsSplitter, TCustomControl)

 public:
  explicit TQsSplitter(TComponent* owner);

  TQsPane* GetPane(int index) const { return index == 0 || index == 1 ? panes_[index] : nullptr; }
  int Position() const { return model_.Position(); }
  void SetPosition(int v) { UpdatePosition(v, true); }
  TQsSplitterStyle Style() const { return model_.Style; }
  void SetStyle(TQsSplitterStyle s);
  int SplitterWidth() const { return model_.SplitterWidth; }
  void SetSplitterWidth(int w);
  TQsFullDragMode FullDragMode() const { return fullDrag_; }
  void SetFullDragMode(TQsFullDragMode m) { fullDrag_ = m; }
  bool Proportional() const { return model_.Proportional; }
  void SetProportional(bool p) { model_.Proportional = p; }
  double Ratio() const { return model_.Ratio(); }
  bool Dragging() const { return model_.Dragging(); }
  int LinePosition() const { return model_.LinePosition(); }
  // The pane properties of the splitter (each pane stores its own).
  TColor PaneColor(int index) const;
  void SetPaneColor(int index, TColor c);
  TQsFrameStyle PaneFrameStyle(int index) const;
  void SetPaneFrameStyle(int index, TQsFrameStyle s);
  int PaneMinSize(int index) const;
  void SetPaneMinSize(int index, int v);
  // Takes the child panes into Panes by their Index and into its own ownership (loading
  // does this; a splitter built in code calls it once its panes are its children).
  void AdoptPanes();
  // Ends a drag (line erased, capture released).
  void EndDrag();

  void GetChildren(const std::function<void(TComponent&)>& fn) const override;
  void Loaded() override;
  void SetName(const std::string& name) override;
  void WndProc(TMessage& m) override;

  TQsSplitterDragEvent OnSplitterDrag;
  TQsSplitterDragEvent OnSplitterDrop;
  TNotifyEvent OnResize;
  TNotifyEvent OnChange;

 protected:
  virtual void DrawLine();
  virtual void Changed();
  virtual void Resized();
  virtual void SplitterDrag(int linePosition);
  virtual void SplitterDrop(int position);
  void UpdatePosition(int value, bool recomputeRatio);
  void RealignPanes();
  void CreateParams(TCreateParams& params) override;
  void CreateWindowHandle() override;
  void BoundsChanged(bool resized) override;
  void ColorChanged() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void Paint() override;

 private:
  bool LiveDrag() const;
  void MoveLine(int p);
  int Along(int x, int y) const { return model_.Style == TQsSplitterStyle::qsstHorizontal ? y : x; }
  void SyncModel();
  TQsPane* panes_[2] = {nullptr, nullptr};
  shell::TSplitterModel model_;
  TQsFullDragMode fullDrag_ = TQsFullDragMode::qsfdUser;
  TMouseButton dragButton_ = TMouseButton::mbLeft;
  bool lineDrawn_ = false;
};

void RegisterSplitterClasses();
