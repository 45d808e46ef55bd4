#pragma once
// TDocViewer: the HTML viewer control.
//
// How it works: the viewer owns a document (TSectionList) and shows it on a child paint
// panel inset by its one-pixel border, with a vertical and a horizontal scroll bar that
// appear when the document needs them (doc_viewer_model decides where they stand). A load
// parses a file (HTML, plain text or a picture) into the document, lays it out at the
// panel's width and scrolls to the top or to the anchor asked for; a load that changed the
// page leaves the page before in the history. The panel paints through an off-screen
// bitmap (background colour or tiled background picture, then the document at x = 10 minus
// the horizontal position); the border is drawn on the viewer's own window afterwards. The
// mouse over the panel shows links (hand cursor, OnHotSpotCovered), selects text and
// follows links on release: HTML pages load, pictures show as their own document, other
// files do nothing. Form submissions are handed to OnFormSubmit from a posted message, so
// they never run inside a control's handler; dragging a selection past the panel's edge
// scrolls from another posted message until the button is up.
#include <memory>
#include <string>

#include "framework/controls/extctrls.h"
#include "framework/controls/scrollbar.h"
#include "framework/controls/stdctrls.h"
#include "framework/core/strings.h"
#include "framework/win/controls.h"
#include "html_viewer/doc_reader.h"
#include "html_viewer/doc_viewer_model.h"

// The document model stays out of this header: programs that include it also include the
// framework's image lists, whose class name the model's image list shares.
class TSectionList;
class TWinPaintSurface;
class TWinDocTimer;
class TMessageBoxErrorSink;
class TScreenMeasurer;
class TDocViewer;

enum class THTMLBorderStyle { htFocused, htNone, htSingle };

using THotSpotEvent = TEvent<void(TObject* Sender, const std::string& SRC)>;
using THotSpotClickEvent = TEvent<void(TObject* Sender, const std::string& SRC, bool& Handled)>;
using TProcessingEvent = TEvent<void(TObject* Sender, bool ProcessingOn)>;
using TFormSubmitEvent = TEvent<void(TObject* Sender, const std::string& Action, const std::string& Method,
                                     const TStringList& Results)>;
using TScriptEvent = TEvent<void(TObject* Sender, const std::string& Language, const std::string& Script)>;

// The private messages the viewer posts to itself.
constexpr UINT WM_DOC_SUBMIT = 1124, WM_DOC_BORDER = 1125, WM_DOC_AUTOSCROLL = 1126;

// The panel the document is painted on.
class TPaintPanel : public TCustomPanel {
  FW_CLASS(TPaintPanel, TCustomPanel)

 public:
  TPaintPanel(TComponent* owner, TDocViewer* viewer);
  explicit TPaintPanel(TComponent* owner) : TPaintPanel(owner, nullptr) {}

 protected:
  void CreateParams(TCreateParams& params) override;
  void Paint() override;
  void WMEraseBkgnd(TMessage& m) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void WndProc(TMessage& m) override;

 private:
  TDocViewer* viewer_;
};

class TDocViewer : public TWinControl {
  FW_CLASS(TDocViewer, TWinControl)

 public:
  explicit TDocViewer(TComponent* owner);
  ~TDocViewer() override;

  // Loading (nothing happens while a load is in progress).
  void LoadFromFile(const std::string& name);
  void LoadTextFile(const std::string& name);
  void LoadImageFile(const std::string& name);
  void LoadFromBuffer(const char* start, const char* end);
  void LoadStrings(const TStrings& strings, bool text);
  void LoadFromStream(TStream& stream);
  void ClearView();
  bool JumpToAnchor(const std::string& anchor);
  virtual std::string ExpandLinkName(const std::string& name);

  // What is shown.
  const std::string& CurrentFile() const { return currentFile_; }
  TDocFileType CurrentFileType() const { return fileType_; }
  const std::string& DocumentTitle() const { return title_; }
  const std::string& Base() const { return base_; }
  const std::string& BaseTarget() const { return baseTarget_; }
  const std::string& HotSpotUrl() const { return hotUrl_; }
  const std::string& HotSpotTarget() const { return hotTarget_; }
  TSectionList& Document() { return *list_; }
  TPaintPanel& PaintPanel() { return *panel_; }
  TScrollBar& VScrollBar() { return *vbar_; }
  TScrollBar& HScrollBar() { return *hbar_; }
  int Position() const { return top_; }
  void SetPosition(int y) { ScrollTo(y); }
  int HorzPosition() const { return left_; }
  int DocumentHeight() const { return docHeight_; }
  bool Processing() const { return processing_; }
  // The packed view position: block index × 65536 + offset.
  int32_t ViewPosition() const;
  void SetViewPosition(int32_t position);
  int SelectedCount();
  void SetSelectedCount(int count);

  // History: entry 0 the page shown, entry 1 the one before.
  const TStringList& History() const { return historyNames_; }
  const TStringList& TitleHistory() const { return historyTitles_; }
  int HistoryMaxCount() const { return history_.MaxCount(); }
  void SetHistoryMaxCount(int count);

  // Published properties.
  bool ViewImages() const { return viewImages_; }
  void SetViewImages(bool on);
  TColor DefBackground() const { return defBackground_; }
  void SetDefBackground(TColor c);
  THTMLBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(THTMLBorderStyle s);
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
  int ImageCacheCount() const { return imageCacheCount_; }
  void SetImageCacheCount(int n);
  bool NoSelect() const { return noSelect_; }
  void SetNoSelect(bool on);
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle s);
  double PrintMarginLeft = 2.0, PrintMarginRight = 2.0, PrintMarginTop = 2.0, PrintMarginBottom = 2.0;

  THotSpotEvent OnHotSpotCovered;
  THotSpotClickEvent OnHotSpotClick;
  TNotifyEvent OnHistoryChange;
  TProcessingEvent OnProcessing;
  TFormSubmitEvent OnFormSubmit;
  TScriptEvent OnScript;

 protected:
  friend class TPaintPanel;
  virtual void PaintDocument(TCanvas& canvas, const TRect& clip);
  virtual void PanelMouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void PanelMouseMove(TShiftState shift, int x, int y);
  virtual void PanelMouseUp(TMouseButton button, TShiftState shift, int x, int y);
  void PanelDblClick(int x, int y);
  virtual void HotSpotClick();
  virtual bool AskLinkHandled();

  void CreateParams(TCreateParams& params) override;
  void WndProc(TMessage& m) override;
  void WMGetDlgCode(TMessage& m) override { m.Result = DLGC_WANTARROWS; }
  void KeyDown(uint16_t& key, TShiftState shift) override;
  void DoEnter() override;
  void DoExit() override;
  void BoundsChanged(bool resized) override;
  void CreateWindowHandle() override;

 private:
  class TBusy;
  void SetProcessing(bool on);
  void LoadFile(const std::string& name, TDocFileType type);
  void LoadFromMemory(const std::function<void(TParseResult&)>& parse);
  void ResetDocument();
  void PushHistory(const THistoryEntry& left);
  void SyncHistoryLists();
  THistoryEntry CurrentEntry() const;
  void DoLayout(bool keepPosition);
  void ArrangeBars();
  void ScrollTo(int y);
  void ScrollHorzTo(int x);
  void DrawBorder();
  void ApplyDefaults();
  void Relayout();
  void FormSubmitted(const std::string& action, const std::string& method, const std::vector<std::string>& results);
  void AutoScroll();
  void ExtendSelection(int x, int y);
  int CursorAt(int x, int y);
  TScrollInput ScrollInputNow() const;

  std::unique_ptr<TScreenMeasurer> measurer_;
  std::unique_ptr<TWinDocTimer> timer_;
  std::unique_ptr<TMessageBoxErrorSink> errors_;
  TPaintPanel* panel_;
  TScrollBar* vbar_;
  TScrollBar* hbar_;
  std::unique_ptr<TWinPaintSurface> surface_;
  std::unique_ptr<TSectionList> list_;
  TAnchorList names_;

  std::string currentFile_, title_, base_, baseTarget_;
  TDocFileType fileType_ = ftHtml;
  std::string hotUrl_, hotTarget_;
  TDocHistory history_;
  TStringList historyNames_, historyTitles_;
  bool processing_ = false, layingOut_ = false;
  int docHeight_ = 0, maxWidth_ = 0, lastWidth_ = -1;
  int top_ = 0, left_ = 0;
  TScrollLayout bars_;
  int selAnchor_ = -1, caret_ = 0;
  bool leftDown_ = false, autoScrolling_ = false, hotSpotClicked_ = false;
  bool erasedOnce_ = false;
  TPoint lastDown_;
  struct TPendingSubmit {
    std::string Action, Method;
    std::vector<std::string> Results;
  };
  std::unique_ptr<TPendingSubmit> pendingSubmit_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

  bool viewImages_ = false;
  TColor defBackground_ = clBtnFace, fontColor_ = clBtnText, hotSpotColor_ = 0xFF0000;
  THTMLBorderStyle borderStyle_ = THTMLBorderStyle::htFocused;
  std::string fontName_ = "Times New Roman", preFontName_ = "Courier New";
  int fontSize_ = 12, imageCacheCount_ = 5;
  bool noSelect_ = false;
  TScrollStyle scrollBars_ = TScrollStyle::ssBoth;
};

// Makes TDocViewer known to form texts.
void RegisterDocViewer();
