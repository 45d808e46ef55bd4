#include "html_viewer/doc_viewer_win32.h"

#include <algorithm>

#include "framework/core/exceptions.h"
#include "framework/core/streams.h"
#include "framework/core/sysutils.h"
#include "framework/win/application.h"
#include "framework/win/forms.h"
#include "html_viewer/doc_cell.h"
#include "html_viewer/doc_controls_win32.h"
#include "html_viewer/doc_graphics_win32.h"
#include "platform/file.h"

namespace {

const TTypeInfo kBorderStyles{{"htFocused", "htNone", "htSingle"}, {}};
const TTypeInfo kScrollStyles{{"ssNone", "ssHorizontal", "ssVertical", "ssBoth"}, {}};
constexpr int kLeftMargin = 10;

uint8_t Allowed(TScrollStyle s) {
  switch (s) {
    case TScrollStyle::ssNone: return sbNone;
    case TScrollStyle::ssHorizontal: return sbHorizontal;
    case TScrollStyle::ssVertical: return sbVertical;
    default: return sbBoth;
  }
}

std::string CurrentDirectory() {
  char dir[MAX_PATH] = {};
  DWORD n = GetCurrentDirectoryA(MAX_PATH, dir);
  return n && n < MAX_PATH ? std::string(dir, n) : std::string();
}

}  // namespace

// ---- The paint panel

const TClassInfo& TPaintPanel::StaticClass() {
  static const TClassInfo info{"TPaintPanel", &TCustomPanel::StaticClass(), Factory<TPaintPanel>(), {}};
  return info;
}

TPaintPanel::TPaintPanel(TComponent* owner, TDocViewer* viewer) : TCustomPanel(owner), viewer_(viewer) {
  SetBevelOuter(TBevelCut::bvNone);
}

void TPaintPanel::CreateParams(TCreateParams& p) {
  TCustomPanel::CreateParams(p);
  p.Style |= WS_CLIPCHILDREN;
}

void TPaintPanel::Paint() {
  if (viewer_) viewer_->PaintDocument(Canvas(), Canvas().ClipRect());
}

void TPaintPanel::WMEraseBkgnd(TMessage& m) {
  // Painting covers everything; only the first erase after a resize fills the background.
  if (viewer_ && !viewer_->erasedOnce_) {
    viewer_->erasedOnce_ = true;
    RECT r;
    GetClientRect(Handle(), &r);
    PaintBackground(HDC(m.WParam), r);
  }
  m.Result = 1;
}

void TPaintPanel::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomPanel::MouseDown(button, shift, x, y);
  if (viewer_) viewer_->PanelMouseDown(button, shift, x, y);
}

void TPaintPanel::MouseMove(TShiftState shift, int x, int y) {
  TCustomPanel::MouseMove(shift, x, y);
  if (viewer_) viewer_->PanelMouseMove(shift, x, y);
}

void TPaintPanel::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomPanel::MouseUp(button, shift, x, y);
  if (viewer_) viewer_->PanelMouseUp(button, shift, x, y);
}

void TPaintPanel::WndProc(TMessage& m) {
  // Keys a form control passes on reach the viewer.
  if (viewer_ && (m.Msg == WM_KEYDOWN)) {
    uint16_t key = uint16_t(m.WParam);
    viewer_->KeyDown(key, 0);
    m.Result = 0;
    return;
  }
  TCustomPanel::WndProc(m);
}

// ---- Busy state: the hourglass and the processing flag, restored on every exit

class TDocViewer::TBusy {
 public:
  explicit TBusy(TDocViewer& v) : v_(v), cursor_(Screen ? Screen->Cursor() : crDefault), was_(v.processing_) {
    if (Screen) Screen->SetCursor(crHourGlass);
    v_.SetProcessing(true);
  }
  ~TBusy() {
    v_.SetProcessing(was_);
    if (Screen) Screen->SetCursor(cursor_);
  }
  TBusy(const TBusy&) = delete;
  TBusy& operator=(const TBusy&) = delete;

 private:
  TDocViewer& v_;
  TCursor cursor_;
  bool was_;
};

// ---- The viewer

const TClassInfo& TDocViewer::StaticClass() {
  using P = TProps<TDocViewer>;
  static const TClassInfo info{
      "TDocViewer",
      &TWinControl::StaticClass(),
      Factory<TDocViewer>(),
      {P::Bool("ViewImages", &TDocViewer::ViewImages, &TDocViewer::SetViewImages),
       P::Int("DefBackground", &TDocViewer::DefBackground, &TDocViewer::SetDefBackground, &ColorTypeInfo())
           .WithDefault(int64_t(clBtnFace)),
       P::Enum<THTMLBorderStyle>("BorderStyle", &kBorderStyles, &TDocViewer::BorderStyle, &TDocViewer::SetBorderStyle)
           .WithDefault(int64_t(0)),
       P::Int("HistoryMaxCount", &TDocViewer::HistoryMaxCount, &TDocViewer::SetHistoryMaxCount)
           .WithDefault(int64_t(0)),
       P::Str("DefFontName", &TDocViewer::DefFontName, &TDocViewer::SetDefFontName)
           .WithDefault(std::string("Times New Roman")),
       P::Str("DefPreFontName", &TDocViewer::DefPreFontName, &TDocViewer::SetDefPreFontName)
           .WithDefault(std::string("Courier New")),
       P::Int("DefFontSize", &TDocViewer::DefFontSize, &TDocViewer::SetDefFontSize).WithDefault(int64_t(12)),
       P::Int("DefFontColor", &TDocViewer::DefFontColor, &TDocViewer::SetDefFontColor, &ColorTypeInfo())
           .WithDefault(int64_t(clBtnText)),
       P::Int("DefHotSpotColor", &TDocViewer::DefHotSpotColor, &TDocViewer::SetDefHotSpotColor, &ColorTypeInfo())
           .WithDefault(int64_t(0xFF0000)),
       P::Int("ImageCacheCount", &TDocViewer::ImageCacheCount, &TDocViewer::SetImageCacheCount)
           .WithDefault(int64_t(5)),
       P::Bool("NoSelect", &TDocViewer::NoSelect, &TDocViewer::SetNoSelect).WithDefault(false),
       P::Enum<TScrollStyle>("ScrollBars", &kScrollStyles, &TDocViewer::ScrollBars, &TDocViewer::SetScrollBars)
           .WithDefault(int64_t(3)),
       P::Float("PrintMarginLeft", [](const TDocViewer& v) { return v.PrintMarginLeft; },
                [](TDocViewer& v, double d) { v.PrintMarginLeft = d; })
           .WithDefault(2.0),
       P::Float("PrintMarginRight", [](const TDocViewer& v) { return v.PrintMarginRight; },
                [](TDocViewer& v, double d) { v.PrintMarginRight = d; })
           .WithDefault(2.0),
       P::Float("PrintMarginTop", [](const TDocViewer& v) { return v.PrintMarginTop; },
                [](TDocViewer& v, double d) { v.PrintMarginTop = d; })
           .WithDefault(2.0),
       P::Float("PrintMarginBottom", [](const TDocViewer& v) { return v.PrintMarginBottom; },
                [](TDocViewer& v, double d) { v.PrintMarginBottom = d; })
           .WithDefault(2.0),
       P::Event("OnHotSpotCovered", &TDocViewer::OnHotSpotCovered),
       P::Event("OnHotSpotClick", &TDocViewer::OnHotSpotClick),
       P::Event("OnHistoryChange", &TDocViewer::OnHistoryChange),
       P::Event("OnProcessing", &TDocViewer::OnProcessing),
       P::Event("OnFormSubmit", &TDocViewer::OnFormSubmit),
       P::Event("OnScript", &TDocViewer::OnScript)}};
  return info;
}

void RegisterDocViewer() {
  RegisterClass(TPaintPanel::StaticClass());
  RegisterClass(TDocViewer::StaticClass());
}

TDocViewer::TDocViewer(TComponent* owner)
    : TWinControl(owner),
      measurer_(std::make_unique<TScreenMeasurer>()),
      timer_(std::make_unique<TWinDocTimer>()),
      errors_(std::make_unique<TMessageBoxErrorSink>()) {
  InitDocGraphics();
  SetBounds(0, 0, 150, 150);
  SetCursor(crIBeam);
  panel_ = new TPaintPanel(this, this);
  panel_->SetParent(this);
  panel_->SetCursor(crIBeam);
  vbar_ = new TScrollBar(this);
  vbar_->SetKind(TScrollBarKind::sbVertical);
  vbar_->SetSmallChange(kVSmallChange);
  vbar_->SetVisible(false);
  vbar_->SetParent(this);
  vbar_->OnScroll = TScrollEvent([this](TObject*, TScrollCode code, int& pos) {
    if (code == TScrollCode::scPosition || code == TScrollCode::scEndScroll) {
      pos = top_;
      return;
    }
    ScrollTo(pos);
    pos = top_;
  });
  hbar_ = new TScrollBar(this);
  hbar_->SetSmallChange(kHSmallChange);
  hbar_->SetVisible(false);
  hbar_->SetParent(this);
  hbar_->OnScroll = TScrollEvent([this](TObject*, TScrollCode code, int& pos) {
    if (code == TScrollCode::scEndScroll) {
      pos = left_;
      return;
    }
    ScrollHorzTo(pos);
    pos = left_;
  });
  surface_ = std::make_unique<TWinPaintSurface>(*panel_);
  list_ = std::make_unique<TSectionList>(*measurer_, *surface_, *timer_, *errors_, WinImagePlatform());
  list_->OnBackgroundChange = [this](TColor c) { panel_->SetColor(c | 0x02000000); };
  list_->ExpandName = [this](const std::string& n) { return ExpandLinkName(n); };
  list_->OnFormSubmit = [this](const std::string& action, const std::string& method,
                               const std::vector<std::string>& results) { FormSubmitted(action, method, results); };
  ApplyDefaults();
  SetDefBackground(clBtnFace);
  SetImageCacheCount(5);
  ArrangeBars();
}

TDocViewer::~TDocViewer() {
  *alive_ = false;
  autoScrolling_ = false;
  // The document's controls are the panel's children: the document goes first.
  list_.reset();
}

void TDocViewer::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.Style |= WS_CLIPCHILDREN;
}

void TDocViewer::CreateWindowHandle() { DoLayout(true); }

void TDocViewer::SetProcessing(bool on) {
  if (on == processing_) return;
  processing_ = on;
  if (OnProcessing) OnProcessing(this, on);
}

void TDocViewer::ApplyDefaults() {
  list_->ApplyDefaults(fontName_, preFontName_, fontColor_, hotSpotColor_, defBackground_, fontSize_);
  list_->ImagesShown = viewImages_;
  panel_->SetColor(list_->Background | 0x02000000);
}

void TDocViewer::ResetDocument() {
  list_->ClearDocument();
  BitmapList().AgeEntries();
  ApplyDefaults();
  names_.Clear();
  caret_ = 0;
  selAnchor_ = -1;
  hotUrl_.clear();
  hotTarget_.clear();
}

// ---- Loading

void TDocViewer::LoadFile(const std::string& name, TDocFileType type) {
  TBusy busy(*this);
  std::string file, anchor;
  SplitAnchor(name, file, anchor);
  if (!platform::IsFile(file)) throw EInOutError("Can't locate file: " + file);
  ResetDocument();
  std::exception_ptr failure;
  TParseResult result;
  try {
    TScriptHandler script;
    if (OnScript) script = [this](const std::string& l, const std::string& t) { OnScript(this, l, t); };
    if (type == ftHtml)
      HtmlParseFile(*list_, names_, file, result, script);
    else if (type == ftText)
      TextParseFile(*list_, names_, file, result);
    else
      ImageParse(*list_, file);
  } catch (...) {
    failure = std::current_exception();
  }
  std::string expanded = platform::FullPath(file);
  bool changed = !SameText(expanded, currentFile_);
  currentFile_ = expanded;
  fileType_ = type;
  title_ = result.Title;
  base_ = result.Base;
  baseTarget_ = result.BaseTarget;
  if (viewImages_) list_->LoadBackgroundImage();
  DoLayout(false);
  if (!anchor.empty())
    JumpToAnchor(anchor);
  else if (changed) {
    ScrollTo(0);
    ScrollHorzTo(0);
  }
  panel_->Invalidate();
  if (failure) std::rethrow_exception(failure);
}

THistoryEntry TDocViewer::CurrentEntry() const { return {currentFile_, title_, ViewPosition(), fileType_}; }

void TDocViewer::LoadFromFile(const std::string& name) {
  if (processing_ || name.empty()) return;
  THistoryEntry before = CurrentEntry();
  LoadFile(name, ftHtml);
  if (!SameText(before.File, currentFile_) || before.Type != fileType_) PushHistory(before);
}

void TDocViewer::LoadTextFile(const std::string& name) {
  if (processing_ || name.empty()) return;
  THistoryEntry before = CurrentEntry();
  LoadFile(name, ftText);
  if (!SameText(before.File, currentFile_) || before.Type != fileType_) PushHistory(before);
}

void TDocViewer::LoadImageFile(const std::string& name) {
  if (processing_ || name.empty()) return;
  THistoryEntry before = CurrentEntry();
  LoadFile(name, ftImage);
  if (!SameText(before.File, currentFile_) || before.Type != fileType_) PushHistory(before);
}

void TDocViewer::LoadFromMemory(const std::function<void(TParseResult&)>& parse) {
  if (processing_) return;
  TBusy busy(*this);
  ResetDocument();
  TParseResult result;
  std::exception_ptr failure;
  try {
    parse(result);
  } catch (...) {
    failure = std::current_exception();
  }
  title_ = result.Title;
  base_ = result.Base;
  baseTarget_ = result.BaseTarget;
  currentFile_.clear();
  fileType_ = ftHtml;
  if (viewImages_) list_->LoadBackgroundImage();
  DoLayout(false);
  ScrollTo(0);
  ScrollHorzTo(0);
  panel_->Invalidate();
  if (failure) std::rethrow_exception(failure);
}

void TDocViewer::LoadFromBuffer(const char* start, const char* end) {
  LoadFromMemory([&](TParseResult& r) { HtmlParseBuffer(*list_, names_, start, end, r); });
}

void TDocViewer::LoadStrings(const TStrings& strings, bool text) {
  LoadFromMemory([&](TParseResult& r) {
    if (text)
      TextParseStrings(*list_, names_, strings, r);
    else
      HtmlParseStrings(*list_, names_, strings, r);
  });
}

void TDocViewer::LoadFromStream(TStream& stream) {
  LoadFromMemory([&](TParseResult& r) { HtmlParseStream(*list_, names_, stream, r); });
}

void TDocViewer::ClearView() {
  if (processing_) return;
  ResetDocument();
  title_.clear();
  base_.clear();
  baseTarget_.clear();
  docHeight_ = maxWidth_ = 0;
  top_ = left_ = 0;
  list_->ScrollOffsetTo(0);
  vbar_->SetVisible(false);
  hbar_->SetVisible(false);
  ArrangeBars();
  panel_->Invalidate();
}

bool TDocViewer::JumpToAnchor(const std::string& anchor) {
  std::string name = !anchor.empty() && anchor[0] == '#' ? anchor.substr(1) : anchor;
  if (name.empty()) return false;
  names_.KeepOnly(*list_);  // a table dropped at layout took its blocks with it
  TSectionBase* s = names_.Find(name);
  if (!s) return false;
  ScrollTo(s->Top);
  ScrollHorzTo(0);
  return true;
}

std::string TDocViewer::ExpandLinkName(const std::string& name) {
  std::string cwd = CurrentDirectory();
  TLinkContext c{currentFile_, base_, cwd, cwd.size() >= 2 ? cwd.substr(0, 2) : std::string()};
  return ::ExpandLinkName(name, c);
}

// ---- History

void TDocViewer::PushHistory(const THistoryEntry& left) {
  if (!history_.Push(left, CurrentEntry())) return;
  SyncHistoryLists();
  if (OnHistoryChange) OnHistoryChange(this);
}

void TDocViewer::SyncHistoryLists() {
  historyNames_.Clear();
  historyTitles_.Clear();
  for (const THistoryEntry& e : history_.Entries()) {
    historyNames_.Add(e.File);
    historyTitles_.Add(e.Title);
  }
}

void TDocViewer::SetHistoryMaxCount(int count) {
  bool wasEmpty = history_.Entries().empty();
  if (history_.SetMaxCount(count) || (count >= 0 && count < history_.MaxCount())) {
    SyncHistoryLists();
    if (!wasEmpty && OnHistoryChange) OnHistoryChange(this);
  }
}

int32_t TDocViewer::ViewPosition() const {
  TViewPosition p = list_->ViewPosition();
  return int32_t(int64_t(p.Index) * 65536 + p.Offset);
}

void TDocViewer::SetViewPosition(int32_t position) {
  TViewPosition p{position / 65536, position % 65536};
  list_->SetViewPosition(p);
  ScrollTo(list_->YOffset);
}

int TDocViewer::SelectedCount() { return list_->CountSelected(); }

void TDocViewer::SetSelectedCount(int count) {
  if (count != 0) return;
  list_->SelEnd = list_->SelBegin;
  panel_->Invalidate();
}

// ---- Layout and scrolling

TScrollInput TDocViewer::ScrollInputNow() const {
  TScrollInput in;
  TRect c = ClientRect();
  in.ClientWidth = c.Width();
  in.ClientHeight = c.Height();
  in.VBarWidth = GetSystemMetrics(SM_CXVSCROLL);
  in.HBarHeight = GetSystemMetrics(SM_CYHSCROLL);
  in.Allowed = Allowed(scrollBars_);
  in.Bordered = borderStyle_ != THTMLBorderStyle::htNone;
  in.DocHeight = docHeight_;
  in.MaxWidth = maxWidth_;
  return in;
}

void TDocViewer::DoLayout(bool keepPosition) {
  TViewPosition pos = list_->ViewPosition();
  TScrollInput in = ScrollInputNow();
  int width = LayoutWidth(in);
  int cursor = 0, maxWidth = 0;
  layingOut_ = true;
  try {
    docHeight_ = list_->Layout(0, width, cursor, maxWidth);
  } catch (...) {
    layingOut_ = false;
    throw;
  }
  layingOut_ = false;
  maxWidth_ = maxWidth;
  lastWidth_ = Width();
  names_.KeepOnly(*list_);
  ArrangeBars();
  if (keepPosition) {
    list_->SetViewPosition(pos);
    ScrollTo(list_->YOffset);
  } else {
    ScrollTo(top_);
  }
  ScrollHorzTo(left_);
}

void TDocViewer::ArrangeBars() {
  TScrollInput in = ScrollInputNow();
  bars_ = ComputeScrollBars(in);
  int b = in.Bordered ? 1 : 0;
  panel_->SetBounds(b, b, bars_.PanelWidth, bars_.PanelHeight);
  vbar_->SetVisible(bars_.VBar);
  hbar_->SetVisible(bars_.HBar);
  int barsBottom = in.ClientHeight - (bars_.HBar ? in.HBarHeight : 0);
  if (bars_.VBar) {
    vbar_->SetBounds(in.ClientWidth - in.VBarWidth, 0, in.VBarWidth, std::max(0, barsBottom));
    vbar_->SetPageSize(bars_.VPage);
    vbar_->SetParams(top_, 0, std::max(0, bars_.VMax));
    vbar_->SetLargeChange(bars_.VLarge);
  }
  if (bars_.HBar) {
    hbar_->SetBounds(0, in.ClientHeight - in.HBarHeight, in.ClientWidth - (bars_.VBar ? in.VBarWidth : 0),
                     in.HBarHeight);
    hbar_->SetPageSize(bars_.PanelWidth);
    hbar_->SetParams(left_, 0, bars_.HMax);
    hbar_->SetLargeChange(bars_.HLarge);
  }
  if (!bars_.VBar) top_ = ClampVertical(top_, bars_);
  if (!bars_.HBar) left_ = 0;
}

void TDocViewer::ScrollTo(int y) {
  int target = ClampVertical(y, bars_);
  bool moved = target != top_ || list_->YOffset != target;
  top_ = target;
  if (bars_.VBar) vbar_->SetPosition(top_);
  if (moved) {
    list_->ScrollOffsetTo(top_);
    panel_->Invalidate();
  }
}

void TDocViewer::ScrollHorzTo(int x) {
  int target = bars_.HBar ? ClampHorizontal(x, bars_) : 0;
  if (target == left_) return;
  left_ = target;
  if (bars_.HBar) hbar_->SetPosition(left_);
  panel_->Invalidate();
}

void TDocViewer::BoundsChanged(bool resized) {
  TWinControl::BoundsChanged(resized);
  if (!resized || !list_) return;
  erasedOnce_ = false;
  if (Width() == lastWidth_ || processing_) {
    ArrangeBars();
  } else {
    TBusy busy(*this);
    DoLayout(true);
  }
  if (docHeight_ < bars_.PanelHeight) ScrollTo(0);
  DrawBorder();
}

void TDocViewer::Relayout() {
  if (!list_->Count()) {
    panel_->Invalidate();
    return;
  }
  list_->RefreshFonts();
  DoLayout(true);
  panel_->Invalidate();
}

void TDocViewer::KeyDown(uint16_t& key, TShiftState shift) {
  TWinControl::KeyDown(key, shift);
  if (!key) return;
  int top = top_, left = left_;
  if (!ScrollForKey(key, bars_, top, left)) return;
  ScrollTo(top);
  ScrollHorzTo(left);
  key = 0;
}

// ---- Painting

void TDocViewer::PaintDocument(TCanvas& canvas, const TRect& clip) {
  if (layingOut_ || clip.Width() <= 0 || clip.Height() <= 0) return;
  TGdiCanvas off(clip.Width(), clip.Height());
  if (!off.Handle() || !off.Bitmap()) throw EOutOfResources("Out of Resources");
  SetWindowOrgEx(off.Handle(), clip.Left, clip.Top, nullptr);
  TColor back = panel_->Color();
  off.FillRect(clip, back);
  TViewerImage* bg = viewImages_ ? list_->BackgroundBitmap() : nullptr;
  if (bg && bg->Width() > 0 && bg->Height() > 0) {
    int w = bg->Width(), h = bg->Height();
    int x0 = -(left_ % w), y0 = -(top_ % h);
    for (int y = y0 + (clip.Top - y0) / h * h; y < clip.Bottom; y += h)
      for (int x = x0 + (clip.Left - x0) / w * w; x < clip.Right; x += w) {
        if (TGIFImage* gif = bg->AsGif())
          off.DrawGif(*gif, {x, y, x + w, y + h});
        else
          off.DrawImage(*bg, nullptr, {x, y, x + w, y + h}, false);
      }
  }
  list_->Paint(off, clip, kLeftMargin - left_, 0);
  HDC dc = canvas.Handle();
  HPALETTE old = ThePalette ? SelectPalette(dc, ThePalette, FALSE) : nullptr;
  if (ThePalette) RealizePalette(dc);
  BitBlt(dc, clip.Left, clip.Top, clip.Width(), clip.Height(), off.Handle(), clip.Left, clip.Top, SRCCOPY);
  if (old) SelectPalette(dc, old, FALSE);
  if (HandleAllocated()) PostMessageA(Handle(), WM_DOC_BORDER, 0, 0);
}

void TDocViewer::DrawBorder() {
  if (!HandleAllocated()) return;
  HDC dc = GetDC(Handle());
  if (!dc) return;
  RECT r;
  GetClientRect(Handle(), &r);
  bool line = borderStyle_ == THTMLBorderStyle::htSingle ||
              (borderStyle_ == THTMLBorderStyle::htFocused && GetFocus() == Handle());
  COLORREF c = line ? GetSysColor(COLOR_BTNTEXT) : ColorToRGB(panel_->Color());
  if (borderStyle_ != THTMLBorderStyle::htNone) {
    HBRUSH brush = CreateSolidBrush(c);
    RECT f = r;
    if (bars_.VBar) f.right -= GetSystemMetrics(SM_CXVSCROLL);
    if (bars_.HBar) f.bottom -= GetSystemMetrics(SM_CYHSCROLL);
    FrameRect(dc, &f, brush);
    DeleteObject(brush);
  }
  ReleaseDC(Handle(), dc);
}

void TDocViewer::DoEnter() {
  TWinControl::DoEnter();
  DrawBorder();
}

void TDocViewer::DoExit() {
  TWinControl::DoExit();
  DrawBorder();
}

// ---- Messages

void TDocViewer::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_DOC_BORDER:
      DrawBorder();
      m.Result = 0;
      return;
    case WM_DOC_SUBMIT: {
      std::unique_ptr<TPendingSubmit> p = std::move(pendingSubmit_);
      if (p && OnFormSubmit) {
        TStringList results;
        for (const std::string& r : p->Results) results.Add(r);
        OnFormSubmit(this, p->Action, p->Method, results);
      }
      m.Result = 0;
      return;
    }
    case WM_DOC_AUTOSCROLL:
      AutoScroll();
      m.Result = 0;
      return;
    case WM_PAINT:
      TWinControl::WndProc(m);
      DrawBorder();
      return;
    default:
      TWinControl::WndProc(m);
  }
}

// ---- Mouse

int TDocViewer::CursorAt(int x, int y) {
  int xr = 0, yr = 0, caretHeight = 0;
  bool inText = false;
  return list_->CursorAtPoint(x, y + list_->YOffset, xr, yr, caretHeight, inText);
}

void TDocViewer::ExtendSelection(int x, int y) {
  if (noSelect_ || selAnchor_ < 0) return;
  int c = CursorAt(x, y);
  if (c < 0) return;
  caret_ = c;
  int b = std::min(selAnchor_, c), e = std::max(selAnchor_, c);
  if (b == list_->SelBegin && e == list_->SelEnd) return;
  list_->SelBegin = b;
  list_->SelEnd = e;
  panel_->Invalidate();
}

void TDocViewer::PanelMouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
  if (button != TMouseButton::mbLeft) return;
  if (shift & ssDouble) {
    PanelDblClick(x, y);
    return;
  }
  hotSpotClicked_ = false;
  bool hadFocus = Focused();
  if (CanFocus()) SetFocus();
  leftDown_ = true;
  lastDown_ = {x, y};
  if (hadFocus && !noSelect_) {
    bool hadSelection = list_->SelEnd > list_->SelBegin;
    int c = CursorAt(x, y);
    selAnchor_ = caret_ = c;
    list_->SelBegin = list_->SelEnd = std::max(c, 0);
    if (hadSelection) panel_->Invalidate();
  }
  if (panel_->HandleAllocated()) SetCapture(panel_->Handle());
}

void TDocViewer::PanelMouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, shift, x, y);
  TUrlTarget link;
  TFormControlObj* control = nullptr;
  bool over = list_->LinkAt(x, y + list_->YOffset, link, control);
  panel_->SetCursor(over ? TCursor(1) : Cursor());
  if (over && Screen && Screen->Cursors(1)) ::SetCursor(Screen->Cursors(1));
  std::string url = control ? std::string() : link.Url;
  if (url != hotUrl_) {
    hotUrl_ = url;
    hotTarget_ = control ? std::string() : link.Target;
    if (OnHotSpotCovered) OnHotSpotCovered(this, url);
  }
  if (leftDown_ && (shift & ssLeft)) {
    if ((y < 0 || y > panel_->Height()) && !autoScrolling_) {
      autoScrolling_ = true;
      PostMessageA(Handle(), WM_DOC_AUTOSCROLL, 0, 0);
    }
    ExtendSelection(x, y);
  }
}

void TDocViewer::PanelMouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
  if (button != TMouseButton::mbLeft) return;
  if (GetCapture() == panel_->Handle()) ReleaseCapture();
  ExtendSelection(x, y);
  autoScrolling_ = false;
  bool wasDown = leftDown_;
  leftDown_ = false;
  if (!wasDown || list_->SelEnd > list_->SelBegin) return;
  TUrlTarget link;
  TFormControlObj* control = nullptr;
  if (!list_->LinkAt(x, y + list_->YOffset, link, control)) return;
  if (auto* image = dynamic_cast<TImageFormControlObj*>(control)) {
    image->ImageClicked();
    return;
  }
  if (control) return;
  hotUrl_ = link.Url;
  hotTarget_ = link.Target;
  hotSpotClicked_ = true;
  HotSpotClick();
}

void TDocViewer::PanelDblClick(int x, int y) {
  if (noSelect_ || processing_ || hotSpotClicked_) return;
  int c = CursorAt(x, y);
  if (c < 0) return;
  auto isWord = [](char ch) {
    return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9');
  };
  char ch = 0;
  TSectionBase* s = nullptr;
  int b = c, e = c;
  while (b > 0 && list_->CharAtCursor(b - 1, ch, s) && isWord(ch)) --b;
  while (list_->CharAtCursor(e, ch, s) && isWord(ch)) ++e;
  if (e <= b) return;
  list_->SelBegin = b;
  list_->SelEnd = e;
  selAnchor_ = b;
  caret_ = e;
  panel_->Invalidate();
}

void TDocViewer::AutoScroll() {
  std::shared_ptr<bool> alive = alive_;
  if (panel_->HandleAllocated()) SetCapture(panel_->Handle());
  while (*alive && autoScrolling_ && (GetAsyncKeyState(GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON) & 0x8000)) {
    POINT p;
    GetCursorPos(&p);
    ::ScreenToClient(panel_->Handle(), &p);
    int h = panel_->Height();
    if (p.y >= 0 && p.y <= h) break;
    int step = (p.y < -15 || p.y > h + 15) ? 8 * kVSmallChange : kVSmallChange;
    ScrollTo(top_ + (p.y < 0 ? -step : step));
    ExtendSelection(p.x, p.y);
    UpdateWindow(panel_->Handle());
    DWORD until = GetTickCount() + 100;
    MSG msg;
    bool quit = false;
    while (*alive && !quit && GetTickCount() < until) {
      if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
          PostQuitMessage(int(msg.wParam));
          quit = true;
          break;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      } else {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
      }
    }
    if (quit) break;
  }
  if (!*alive) return;
  autoScrolling_ = false;
  if (GetCapture() == panel_->Handle() && !leftDown_) ReleaseCapture();
}

// ---- Links

bool TDocViewer::AskLinkHandled() {
  bool handled = false;
  if (OnHotSpotClick) OnHotSpotClick(this, hotUrl_, handled);
  return handled;
}

void TDocViewer::HotSpotClick() {
  if (AskLinkHandled()) return;
  std::string file, anchor;
  SplitAnchor(hotUrl_, file, anchor);
  if (hotUrl_.empty()) return;
  if (hotUrl_[0] == '#') {
    THistoryEntry before = CurrentEntry();
    if (JumpToAnchor(anchor)) PushHistory(before);
    return;
  }
  std::string expanded = ExpandLinkName(file);
  switch (KindOfLink(expanded)) {
    case TLinkKind::lkHtml:
      if (!SameText(expanded, currentFile_)) {
        LoadFromFile(anchor.empty() ? expanded : expanded + "#" + anchor);
      } else {
        THistoryEntry before = CurrentEntry();
        if (JumpToAnchor(anchor)) PushHistory(before);
      }
      break;
    case TLinkKind::lkImage:
      LoadImageFile(expanded);
      break;
    case TLinkKind::lkNothing:
      break;
  }
}

// ---- Form submission

void TDocViewer::FormSubmitted(const std::string& action, const std::string& method,
                               const std::vector<std::string>& results) {
  bool posted = pendingSubmit_ != nullptr;
  pendingSubmit_ = std::make_unique<TPendingSubmit>(TPendingSubmit{action, method, results});
  if (!posted && HandleAllocated()) PostMessageA(Handle(), WM_DOC_SUBMIT, 0, 0);
}

// ---- Properties

void TDocViewer::SetViewImages(bool on) {
  if (on == viewImages_ || processing_) return;
  TBusy busy(*this);
  viewImages_ = on;
  list_->ImagesShown = on;
  if (list_->Count()) {
    if (on) list_->LoadBackgroundImage();
    DoLayout(true);
  }
  panel_->Invalidate();
}

void TDocViewer::SetDefBackground(TColor c) {
  if (processing_) return;
  defBackground_ = c;
  list_->Background = c;
  panel_->SetColor(c | 0x02000000);
  panel_->Invalidate();
}

void TDocViewer::SetBorderStyle(THTMLBorderStyle s) {
  borderStyle_ = s;
  ArrangeBars();
  if (HandleAllocated()) InvalidateRect(Handle(), nullptr, TRUE);
}

void TDocViewer::SetDefFontName(const std::string& name) {
  std::string n = name.substr(0, 31);
  if (SameText(n, fontName_)) return;
  fontName_ = n;
  list_->FontName = n;
  Relayout();
}

void TDocViewer::SetDefPreFontName(const std::string& name) {
  std::string n = name.substr(0, 31);
  if (SameText(n, preFontName_)) return;
  preFontName_ = n;
  list_->PreFontName = n;
  Relayout();
}

void TDocViewer::SetDefFontSize(int size) {
  fontSize_ = std::max(6, size);
  list_->FontSize = fontSize_;
  Relayout();
}

void TDocViewer::SetDefFontColor(TColor c) {
  fontColor_ = c;
  list_->TextColor = c;
  list_->RefreshFonts();
  panel_->Invalidate();
}

void TDocViewer::SetDefHotSpotColor(TColor c) {
  hotSpotColor_ = c;
  list_->LinkColor = c;
  list_->RefreshFonts();
  panel_->Invalidate();
}

void TDocViewer::SetImageCacheCount(int n) {
  imageCacheCount_ = std::clamp(n, 0, 20);
  BitmapList().SetLimit(imageCacheCount_);
}

void TDocViewer::SetNoSelect(bool on) {
  noSelect_ = on;
  if (on) {
    list_->SelBegin = list_->SelEnd = -1;
    selAnchor_ = -1;
  }
}

void TDocViewer::SetScrollBars(TScrollStyle s) {
  scrollBars_ = s;
  if (IsLoading() || !HandleAllocated()) return;
  DoLayout(true);
  panel_->Invalidate();
}
