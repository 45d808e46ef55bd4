#pragma once
// TFramesetViewer: a control that shows frame-set documents.
//
// How it works: a frame-set document is read into a TFrameSetDesc (doc_frames.h) and built
// as panels: a TSubFrameSet divides its area by rows or columns into TFrame panels, each
// showing a document in a TDocViewer of its own or a nested set (at most 4 deep; deeper
// frames stay empty, as do frames without a source, and their mouse goes to the viewer's own
// mouse events). Sizes come from the set's dimensions (DistributeSizes) and follow the
// set's size; the borders between frames are the frames' bevels, where the mouse shows a
// split cursor and drags the border (never next to a NORESIZE frame). A link clicked in a
// frame is routed by its target (its own, the page's BASE target, the set's): the frame
// itself, a named frame, the whole set ("_top") or the enclosing set ("_parent"); the move
// runs from a posted message, after the clicked viewer's handler has returned, since it may
// free that viewer. A frame whose document cannot be loaded shows "Can't load " and its name.
//
// History has two levels: the viewer keeps the frame sets shown before (hidden, their frames
// unloaded, until no entry refers to them), and each frame keeps the documents a link showed
// in it. Documents may come from the host instead of files: the first request event assigned
// (strings, stream, buffer, file name) is asked, once per load, for every source that is not
// a picture or a text, and while one is assigned, names stay as given.
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
// The host's documents: a result that is not empty (for a buffer, a block and a size above 0)
// is the document of SRC. The host keeps what it hands over.
using TStringsRequestEvent = TEvent<void(TObject* Sender, const std::string& SRC, TStrings*& Strings)>;
using TStreamRequestEvent = TEvent<void(TObject* Sender, const std::string& SRC, TStream*& Stream)>;
using TBufferRequestEvent =
    TEvent<void(TObject* Sender, const std::string& SRC, const char*& Buffer, int& BuffSize)>;
using TFileRequestEvent = TEvent<void(TObject* Sender, const std::string& SRC, std::string& NewName)>;

// A history step: a scroll position and when it was made (a count over all frames).
struct PositionObj {
  PositionObj(int32_t position = 0);
  int32_t ScrollPos;
  int32_t Order;
};

// Where a document comes from: a file, or what a request event handed over.
struct TDocSource {
  TSourceKind Kind = TSourceKind::skFile;
  std::string FileName;
  const char* Buffer = nullptr;
  int Size = 0;
  TStream* Stream = nullptr;
  TStrings* Strings = nullptr;
  TSourceRef Ref() const;
  // Shows it in a viewer (at the destination, if any).
  void LoadInto(TDocViewer& viewer, const std::string& destination) const;
};

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
  // Keeps the positions and empties the viewers (the set goes into the history) ...
  virtual void UnloadContent() {}
  // ... and shows the documents again, at position (the kept one when negative).
  virtual void ReloadContent(int32_t /*position*/) {}
  // Whether this place (or one inside) refuses resizing.
  virtual bool TestFixedBorders() const { return false; }

 protected:
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void WndProc(TMessage& m) override;

  TFrameSet* top_;
  TSubFrameSet* parentSet_;
};

class TFrame : public TFrameBase {
  FW_CLASS(TFrame, TFrameBase)

 public:
  TFrame(TComponent* owner, TFrameSet* top, TSubFrameSet* parentSet, const TFrameDesc& desc, const std::string& source);
  explicit TFrame(TComponent* owner) : TFrame(owner, nullptr, nullptr, {}, {}) {}
  void CollectFrames() override;
  void LoadContent() override;
  // The same with the document already asked for (frameSet: whether it is a frame set).
  void LoadContentOf(const TDocSource& doc, bool frameSet);
  bool TestFixedBorders() const override { return NoResize; }
  // Shows another document here (a page, a picture, a text or a frame set); with record the
  // step goes into the frame's history.
  void Navigate(const std::string& source, const std::string& destination, bool record = false);
  void UnloadContent() override;
  void ReloadContent(int32_t position) override;
  // The frame's history: sources, entry 0 the newest, and the entry shown.
  const std::vector<std::string>& HistoryNames() const { return historyNames_; }
  const std::vector<PositionObj>& HistoryPositions() const { return historyPositions_; }
  int HistoryIndex() const { return historyIndex_; }
  void DropForwardHistory();
  // Only the document shown stays.
  void ForgetHistory();

  std::string FrameName, Source, Destination;
  bool NoResize = false, ScrollingOff = false;
  TDocViewer* Viewer() const { return viewer_; }
  TSubFrameSet* Nested() const { return nested_; }
  // Neither a document nor a set: no source, or one nested too deep.
  bool Empty() const { return !viewer_ && !nested_; }
  // The frames this one lies in: 0 for a frame of the top set.
  int NestingLevel() const;

 protected:
  // An empty frame's mouse is the frame-set viewer's: its OnMouseDown, OnMouseMove and
  // OnMouseUp get it, from the frame, in the frame's client coordinates.
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

 private:
  void Load(const TDocSource* given, bool givenFrameSet);
  // The viewer whose events get this frame's mouse, while the frame is empty.
  TFramesetViewer* MouseOwner() const;
  void ClearContent();
  void ShowError(const std::string& name);
  TDocViewer* MakeViewer();
  void LoadKind(const TDocSource& doc, bool frameSet);
  void RecordStep(const std::string& source, int32_t leftAt);
  TDocViewer* viewer_ = nullptr;
  TSubFrameSet* nested_ = nullptr;
  int32_t savedPosition_ = 0;
  std::vector<std::string> historyNames_;
  std::vector<PositionObj> historyPositions_;
  int historyIndex_ = 0;
};

class TSubFrameSet : public TFrameBase {
  FW_CLASS(TSubFrameSet, TFrameBase)

 public:
  TSubFrameSet(TComponent* owner, TFrameSet* top, TSubFrameSet* parentSet);
  explicit TSubFrameSet(TComponent* owner) : TSubFrameSet(owner, nullptr, nullptr) {}
  // Makes the places of a set description; frame sources are made absolute against dir.
  void Build(const TFrameSetDesc& desc, const std::string& dir);
  // Frees the places and forgets the dimensions.
  void ClearSet();
  void CollectFrames() override;
  void LoadContent() override;
  bool TestFixedBorders() const override;
  void UnloadContent() override;
  void ReloadContent(int32_t position) override;
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
  // Ends a drag without moving the border.
  void CancelDrag();

  bool ByRows = false;
  std::vector<int> Dimensions, Sizes, Positions;
  std::vector<TFrameBase*> Children;
  std::string Base, BaseTarget;

 protected:
  void BoundsChanged(bool resized) override;

 private:
  int BorderUnder(int pos) const;
  int Along(int x, int y) const { return ByRows ? y : x; }
  // The line showing where a dragged border goes; drawn twice it is gone.
  void InvertLine(int pos);
  int dragBorder_ = -1;
  int linePos_ = -1;
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
  // The viewer of the only frame, else none.
  TDocViewer* SingleViewer() const;
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
  // The viewer of the only frame, else the frame viewer that had the focus last.
  TDocViewer* FocusedViewer() const;

  // Settings, passed on to every frame viewer.
  bool ViewImages() const { return viewImages_; }
  void SetViewImages(bool on);
  int ImageCacheCount() const { return imageCacheCount_; }
  void SetImageCacheCount(int n);
  bool NoSelect() const { return noSelect_; }
  void SetNoSelect(bool on);
  int SelLength() const;
  void SetSelLength(int n);
  TColor DefBackground() const { return defBackground_; }
  void SetDefBackground(TColor c);
  const std::string& DefFontName() const { return fontName_; }
  void SetDefFontName(const std::string& name);
  const std::string& DefPreFontName() const { return preFontName_; }
  void SetDefPreFontName(const std::string& name);
  int DefFontSize() const { return fontSize_; }
  void SetDefFontSize(int size);
  TColor DefFontColor() const { return fontColor_; }
  void SetDefFontColor(TColor c);
  TColor DefHotSpotColor() const { return hotSpotColor_; }
  void SetDefHotSpotColor(TColor c);
  double PrintMarginLeft() const { return margins_[0]; }
  double PrintMarginRight() const { return margins_[1]; }
  double PrintMarginTop() const { return margins_[2]; }
  double PrintMarginBottom() const { return margins_[3]; }
  void SetPrintMargin(int side, double value);  // left, right, top, bottom
  int FrameBorder = 2;

  // The frame-set history: entry 0 the newest; HistoryPosition the entry shown.
  int HistoryMaxCount() const { return historyMax_; }
  void SetHistoryMaxCount(int n);
  const TStringList& History() const { return historyNames_; }
  const TStringList& TitleHistory() const { return historyTitles_; }
  int HistoryPosition() const { return historyPosition_; }
  // Shows the frame set of that entry.
  void SetHistoryPosition(int index);
  bool FwdButtonEnabled() const;
  bool BackButtonEnabled() const;
  bool Processing() const { return busy_; }

  THotSpotTargetEvent OnHotSpotTargetCovered;
  THotSpotTargetClickEvent OnHotSpotTargetClick;
  TWindowRequestEvent OnBlankWindowRequest;
  TNotifyEvent OnHistoryChange;
  TFormSubmitEvent OnFormSubmit;
  TGetBitmapEvent OnBitmapRequest;
  TGetImageEvent OnImageRequest;
  TProcessingEvent OnProcessing;
  TStreamRequestEvent OnStreamRequest;
  TStringsRequestEvent OnStringsRequest;
  TBufferRequestEvent OnBufferRequest;
  TFileRequestEvent OnFileRequest;
  TScriptEvent OnScript;
  TPagePrinted OnPrintHeader, OnPrintFooter;

  // Whether documents come from the host.
  bool UsesRequests() const;
  // The document of a source: what the first request event assigned gives, else the file.
  TDocSource Request(const std::string& source);
  // A link clicked in a frame's viewer, routed once the click is over.
  void LinkClicked(TFrame& frame, const std::string& url, const std::string& target);
  void Configure(TDocViewer& viewer);
  // A frame viewer's processing changed; one took the focus.
  void ViewerProcessing();
  void ViewerEntered(TDocViewer& viewer) { focused_ = &viewer; }
  // Calls fn for the viewer of every frame (also of the sets in the history).
  void EachViewer(const std::function<void(TDocViewer&)>& fn) const;
  // A frame's history changed.
  void HistoryChanged();
  // Scripts of frame-set documents go to OnScript, from sender (the frame set).
  TScriptHandler ScriptHandler(TObject* sender);

 protected:
  void WndProc(TMessage& m) override;

 private:
  struct TSetEntry {
    TFrameSet* Set;
    int32_t Position;
  };
  void Route();
  class TBusyScope;
  void SetBusy(bool on);
  void PushHistory(const std::string& file, TFrameSet* set, const std::string& title, int32_t position);
  void ClearHistory();
  void FreeUnused(TFrameSet* set);
  void Show(TFrameSet* set);
  TFrameSet* set_;
  TLink<TFrame> pendingFrame_{this};  // cleared when that frame goes first
  TLink<TDocViewer> focused_{this};
  std::string pendingUrl_, pendingTarget_;
  bool pending_ = false;
  bool busy_ = false, reported_ = false;

  bool viewImages_ = true, noSelect_ = false;
  int imageCacheCount_ = 5, fontSize_ = 12, historyMax_ = 0;
  TColor defBackground_ = clBtnFace, fontColor_ = clBtnText, hotSpotColor_ = 0xFF0000;
  std::string fontName_ = "Times New Roman", preFontName_ = "Courier New";
  double margins_[4] = {2.0, 2.0, 2.0, 2.0};
  TStringList historyNames_, historyTitles_;
  std::vector<TSetEntry> historySets_;
  int historyPosition_ = 0;
};

void RegisterFramesetViewer();
