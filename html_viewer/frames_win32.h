#pragma once
// TFramesetViewer: a control that shows frame-set documents.
//
// How it works: a frame-set document is read into a TFrameSetSpec (doc_frames.h) and built
// as panels: a TSubFrameSet divides its area by rows or columns into TFrame panels, each
// showing a document in a TDocViewer of its own or a nested set (at most 4 deep; deeper
// frames stay empty). Sizes come from the set's dimensions (DistributeSizes) and follow the
// set's size; the borders between frames are the frames' bevels, where the mouse shows a
// split cursor and drags the border (never next to a NORESIZE frame). A link clicked in a
// frame is routed by its target (its own, the page's BASE target, the set's): the frame
// itself, a named frame, the whole set ("_top") or the enclosing set ("_parent"); the move
// runs from a posted message, after the clicked viewer's handler has returned, since it may
// free that viewer. A frame whose document cannot be loaded shows "Can't load " and its name.
#include <memory>
#include <string>
#include <vector>

#include "framework/controls/extctrls.h"
#include "html_viewer/doc_frames.h"
#include "html_viewer/doc_viewer_win32.h"

class TFramesetViewer;
class TFrameSet;
class TSubFrameSet;

using THotSpotTargetEvent = TEvent<void(TObject* Sender, const std::string& Target, const std::string& URL)>;
using THotSpotTargetClickEvent =
    TEvent<void(TObject* Sender, const std::string& Target, const std::string& URL, bool& Handled)>;
using TWindowRequestEvent = TEvent<void(TObject* Sender, const std::string& Target, const std::string& URL)>;

constexpr UINT WM_FRAMES_NAVIGATE = 1127;

class TFrameBase : public TCustomPanel {
  FW_CLASS(TFrameBase, TCustomPanel)

 public:
  TFrameBase(TComponent* owner, TFrameSet* top, TSubFrameSet* parentSet);
  explicit TFrameBase(TComponent* owner) : TFrameBase(owner, nullptr, nullptr) {}
  TFrameSet* TopSet() const { return top_; }
  TSubFrameSet* ParentSet() const { return parentSet_; }
  virtual void CollectFrames() {}
  virtual void LoadContent() {}
  // Whether this place (or one inside) refuses resizing.
  virtual bool TestFixedBorders() const { return false; }

 protected:
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

  TFrameSet* top_;
  TSubFrameSet* parentSet_;
};

class TFrame : public TFrameBase {
  FW_CLASS(TFrame, TFrameBase)

 public:
  TFrame(TComponent* owner, TFrameSet* top, TSubFrameSet* parentSet, const TFrameSpec& spec, const std::string& source);
  explicit TFrame(TComponent* owner) : TFrame(owner, nullptr, nullptr, {}, {}) {}
  void CollectFrames() override;
  void LoadContent() override;
  bool TestFixedBorders() const override { return NoResize; }
  // Shows another document here (a page, a picture, a text or a frame set).
  void Navigate(const std::string& source, const std::string& destination);

  std::string FrameName, Source, Destination;
  bool NoResize = false, ScrollingOff = false;
  TDocViewer* Viewer() const { return viewer_; }
  TSubFrameSet* Nested() const { return nested_; }

 private:
  void ClearContent();
  void ShowError(const std::string& name);
  TDocViewer* MakeViewer();
  TDocViewer* viewer_ = nullptr;
  TSubFrameSet* nested_ = nullptr;
};

class TSubFrameSet : public TFrameBase {
  FW_CLASS(TSubFrameSet, TFrameBase)

 public:
  TSubFrameSet(TComponent* owner, TFrameSet* top, TSubFrameSet* parentSet);
  explicit TSubFrameSet(TComponent* owner) : TSubFrameSet(owner, nullptr, nullptr) {}
  // Makes the places of a set description; frame sources are made absolute against dir.
  void Build(const TFrameSetSpec& spec, const std::string& dir);
  // Frees the places and forgets the dimensions.
  void ClearSet();
  void CollectFrames() override;
  void LoadContent() override;
  bool TestFixedBorders() const override;
  // Sizes from the dimensions at the set's extent, here and in every set inside.
  void Distribute();
  // Places the children by their sizes, scaled to the client area.
  void Arrange();
  // One frame showing the document (a link with target "_parent").
  void ReplaceWithOne(const std::string& source, const std::string& destination);

  // Mouse events of a child place, in this set's client coordinates.
  void BorderMouseDown(int x, int y);
  void BorderMouseMove(int x, int y);
  void BorderMouseUp(int x, int y);

  bool ByRows = false;
  std::vector<int> Dimensions, Sizes, Positions;
  std::vector<TFrameBase*> Children;
  std::string Base, BaseTarget;

 protected:
  void BoundsChanged(bool resized) override;

 private:
  int BorderUnder(int pos) const;
  int dragBorder_ = -1;
};

class TFrameSet : public TSubFrameSet {
  FW_CLASS(TFrameSet, TSubFrameSet)

 public:
  TFrameSet(TComponent* owner, TFramesetViewer* viewer);
  explicit TFrameSet(TComponent* owner) : TFrameSet(owner, nullptr) {}
  TFramesetViewer* FramesetViewer() const { return viewer_; }
  // Reads and shows a file: a frame-set document as its sets, anything else in one frame.
  void LoadFile(const std::string& name);
  TFrame* NamedFrame(const std::string& name) const;
  std::vector<std::string> FrameNames() const;
  std::vector<TFrame*> AllFrames;
  std::string Title, CurrentFile;
  int Depth = 0;  // sets being loaded, one inside the other

 private:
  TFramesetViewer* viewer_;
};

class TFramesetViewer : public TWinControl {
  FW_CLASS(TFramesetViewer, TWinControl)

 public:
  explicit TFramesetViewer(TComponent* owner);
  // A file name, optionally followed by "#" and an anchor.
  void LoadFromFile(const std::string& name);
  TFrameSet& FrameSet() const { return *set_; }
  const std::string& CurrentFile() const { return set_->CurrentFile; }
  const std::string& DocumentTitle() const { return set_->Title; }

  // Settings every frame viewer gets.
  bool ViewImages = true;
  int HistoryMaxCount = 0;
  TColor DefBackground = clBtnFace, DefFontColor = clBtnText, DefHotSpotColor = 0xFF0000;
  std::string DefFontName = "Times New Roman", DefPreFontName = "Courier New";
  int DefFontSize = 12;
  int FrameBorder = 2;

  THotSpotTargetEvent OnHotSpotTargetCovered;
  THotSpotTargetClickEvent OnHotSpotTargetClick;
  TWindowRequestEvent OnBlankWindowRequest;

  // A link clicked in a frame's viewer, routed once the click is over.
  void LinkClicked(TFrame& frame, const std::string& url, const std::string& target);
  void Configure(TDocViewer& viewer) const;

 protected:
  void WndProc(TMessage& m) override;

 private:
  void Route();
  TFrameSet* set_;
  TLink<TFrame> pendingFrame_{this};  // cleared when that frame goes first
  std::string pendingUrl_, pendingTarget_;
  bool pending_ = false;
};

void RegisterFramesetViewer();
