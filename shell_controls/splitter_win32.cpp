#include "shell_controls/splitter_win32.h"

#include "framework/core/sysutils.h"
#include "framework/win/application.h"

namespace {

const TTypeInfo kFrameStyles{{"qsfsNone", "qsfsGroup", "qsfsLowered", "qsfsRaised", "qsfsDint", "qsfsBump",
                              "qsfsSingle", "qsfsHorzLine", "qsfsHorzEdge", "qsfsVertLine", "qsfsVertEdge"},
                             {}};
const TTypeInfo kSplitterStyles{{"qsstVertical", "qsstHorizontal"}, {}};
const TTypeInfo kFullDragModes{{"qsfdOff", "qsfdOn", "qsfdUser"}, {}};

// The 8 x 8 checker of the drag line: white where x and y differ in parity.
HBITMAP CheckerBitmap() {
  static HBITMAP bitmap = [] {
    WORD rows[8];
    for (int y = 0; y < 8; ++y) rows[y] = WORD(y % 2 ? 0x55 : 0xAA);
    return CreateBitmap(8, 8, 1, 1, rows);
  }();
  return bitmap;
}

}  // namespace

// ---- TQsCustomGroup

const TClassInfo& TQsCustomGroup::StaticClass() {
  static const TClassInfo info{"TQsCustomGroup", &TCustomControl::StaticClass(), nullptr, {}};
  return info;
}

template <class T>
static auto GroupProps(TQsFrameStyle frameDefault) {
  using P = TProps<T>;
  return std::vector<TPropInfo>{
      P::template Enum<TAlignment>("Alignment", &AlignmentTypeInfo(), &T::Alignment, &T::SetAlignment)
          .WithDefault(int64_t(TAlignment::taCenter)),
      P::Int("FrameSpace", &T::FrameSpace, &T::SetFrameSpace).WithDefault(int64_t(2)),
      P::template Enum<TQsFrameStyle>("FrameStyle", &kFrameStyles, &T::FrameStyle, &T::SetFrameStyle)
          .WithDefault(int64_t(frameDefault)),
      P::Str("Caption", &T::Caption, &T::SetCaption).WithDefault(std::string()),
      P::Int("Color", &T::Color, &T::SetColor, &ColorTypeInfo())
          .WithDefault(int64_t(clBtnFace))
          .WithStored([](const TPersistent& o) { return !static_cast<const T&>(o).ParentColor(); })};
}

const TClassInfo& TQsGroup::StaticClass() {
  static const TClassInfo info{"TQsGroup", &TQsCustomGroup::StaticClass(), Factory<TQsGroup>(),
                               GroupProps<TQsGroup>(TQsFrameStyle::qsfsGroup)};
  return info;
}

TQsCustomGroup::TQsCustomGroup(TComponent* owner) : TCustomControl(owner) {
  UseNonClientHooks();
  SetControlStyle(csAcceptsControls | csClickEvents);
  SetBounds(0, 0, 64, 48);
  SetColor(clBtnFace);
}

void TQsCustomGroup::SetAlignment(TAlignment a) {
  alignment_ = a;
  Invalidate();
}

void TQsCustomGroup::SetFrameSpace(int v) {
  frameSpace_ = v;
  Invalidate();
}

void TQsCustomGroup::SetFrameStyle(TQsFrameStyle s) {
  if (s == frameStyle_) return;
  frameStyle_ = s;
  frameChanged_ = true;
  if (HandleAllocated()) RecreateWnd();
  Realign();
}

int TQsCustomGroup::CaptionHeight() {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Font().Handle());
  SIZE size{};
  GetTextExtentPoint32A(dc, "0", 1, &size);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return int(size.cy);
}

void TQsCustomGroup::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  params.ClassStyle &= ~UINT(CS_HREDRAW | CS_VREDRAW);
  params.ExStyle |= WS_EX_CONTROLPARENT;
}

void TQsCustomGroup::NCCalcSize(TRect& client, bool& redraw) {
  bool caption = !Caption().empty();
  client = shell::ClientOfWindow(client, shell::FrameInsets(frameStyle_, caption, caption ? CaptionHeight() : 0));
  if (caption || frameChanged_) redraw = true;
  frameChanged_ = false;
}

void TQsCustomGroup::NCPaint(TCanvas& canvas, const TRect& window) { DrawFrame(canvas, window); }

void TQsCustomGroup::DrawFrame(TCanvas& canvas, const TRect& r) {
  bool caption = !Caption().empty();
  canvas.Font().Assign(Font());
  for (const shell::TFramePart& p : shell::FrameParts(frameStyle_, r.Width(), r.Height(), caption,
                                                       caption ? CaptionHeight() : 0, Enabled(), Color(),
                                                       Font().Color())) {
    switch (p.Kind) {
      case shell::TFramePart::Fill:
        canvas.Brush().SetColor(p.Color);
        canvas.Brush().SetStyle(TBrushStyle::bsSolid);
        canvas.FillRect(p.Rect);
        break;
      case shell::TFramePart::Polyline:
        canvas.Pen().SetColor(p.Color);
        canvas.MoveTo(p.Points[0].X, p.Points[0].Y);
        for (size_t i = 1; i < p.Points.size(); ++i) canvas.LineTo(p.Points[i].X, p.Points[i].Y);
        break;
      case shell::TFramePart::Rectangle:
        canvas.Pen().SetColor(p.Color);
        canvas.Brush().SetStyle(TBrushStyle::bsClear);
        canvas.Rectangle(p.Rect);
        break;
      case shell::TFramePart::Caption: {
        canvas.Brush().SetColor(Color());
        canvas.Brush().SetStyle(p.Opaque ? TBrushStyle::bsSolid : TBrushStyle::bsClear);
        canvas.Font().SetColor(p.Color);
        std::string text = Caption();
        TRect tr = p.Rect;
        TRect measure = tr;
        canvas.DrawText(text, measure, DT_SINGLELINE | DT_CALCRECT);
        // The caption sits on the frame line with its own background, as wide as it is.
        tr.Right = std::min(tr.Right, tr.Left + measure.Width() + 2);
        canvas.DrawText(text, tr, DT_SINGLELINE | DT_END_ELLIPSIS | DT_CENTER);
        break;
      }
    }
  }
}

void TQsCustomGroup::Paint() {
  TCanvas& c = Canvas();
  c.Font().Assign(Font());
  TRect r = ClientRect();
  if (Color() != clNone) {
    c.Brush().SetColor(Color());
    c.Brush().SetStyle(TBrushStyle::bsSolid);
    c.FillRect(r);
  }
  if (frameStyle_ == TQsFrameStyle::qsfsGroup || Caption().empty()) return;
  r.Left += frameSpace_;
  r.Right -= frameSpace_;
  UINT align = alignment_ == TAlignment::taLeftJustify ? DT_LEFT : alignment_ == TAlignment::taRightJustify ? DT_RIGHT : DT_CENTER;
  c.Brush().SetStyle(TBrushStyle::bsClear);
  c.DrawText(Caption(), r, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | align);
}

void TQsCustomGroup::EnabledChanged() {
  TCustomControl::EnabledChanged();
  Invalidate();
  for (TControl* child : ControlList()) child->SetEnabled(Enabled());
  FrameChanged();
}

void TQsCustomGroup::TextChanged() {
  TCustomControl::TextChanged();
  Invalidate();
  if (frameStyle_ == TQsFrameStyle::qsfsGroup) FrameChanged();
}

void TQsCustomGroup::ColorChanged() {
  TCustomControl::ColorChanged();
  Invalidate();
  if (frameStyle_ == TQsFrameStyle::qsfsGroup) FrameChanged();
}

void TQsCustomGroup::FontChanged() {
  TCustomControl::FontChanged();
  Invalidate();
  if (frameStyle_ == TQsFrameStyle::qsfsGroup) FrameChanged();
}

// ---- TQsPane

const TClassInfo& TQsPane::StaticClass() {
  using P = TProps<TQsPane>;
  static const TClassInfo info{
      "TQsPane", &TQsGroup::StaticClass(), Factory<TQsPane>(),
      [] {
        std::vector<TPropInfo> props = GroupProps<TQsPane>(TQsFrameStyle::qsfsLowered);
        props.push_back(P::Int("MinSize", &TQsPane::MinSize, &TQsPane::SetMinSize).WithDefault(int64_t(20)));
        props.push_back(P::Int("Index", &TQsPane::Index, &TQsPane::SetIndex).WithDefault(int64_t(0)));
        return props;
      }()};
  return info;
}

TQsPane::TQsPane(TComponent* owner) : TQsGroup(owner) { SetFrameStyle(TQsFrameStyle::qsfsLowered); }

// ---- TQsSplitter

const TClassInfo& TQsSplitter::StaticClass() {
  using P = TProps<TQsSplitter>;
  auto notStored = [](const TPersistent&) { return false; };
  static const TClassInfo info{
      "TQsSplitter", &TCustomControl::StaticClass(), Factory<TQsSplitter>(),
      {P::Enum<TQsFullDragMode>("FullDragMode", &kFullDragModes, &TQsSplitter::FullDragMode, &TQsSplitter::SetFullDragMode)
           .WithDefault(int64_t(TQsFullDragMode::qsfdUser)),
       P::Bool("Proportional", &TQsSplitter::Proportional, &TQsSplitter::SetProportional).WithDefault(true),
       P::Int("Position", &TQsSplitter::Position, &TQsSplitter::SetPosition).WithDefault(int64_t(65)),
       P::Enum<TQsSplitterStyle>("Style", &kSplitterStyles, &TQsSplitter::Style, &TQsSplitter::SetStyle)
           .WithDefault(int64_t(TQsSplitterStyle::qsstVertical)),
       P::Int("SplitterWidth", &TQsSplitter::SplitterWidth, &TQsSplitter::SetSplitterWidth).WithDefault(int64_t(3)),
       P::Int("Color", &TQsSplitter::Color, &TQsSplitter::SetColor, &ColorTypeInfo())
           .WithDefault(int64_t(clBtnFace))
           .WithStored([](const TPersistent& o) { return !static_cast<const TQsSplitter&>(o).ParentColor(); }),
       P::Int("Pane1Color", [](const TQsSplitter& s) { return s.PaneColor(0); },
              [](TQsSplitter& s, int v) { s.SetPaneColor(0, v); }, &ColorTypeInfo())
           .WithStored(notStored),
       P::Int("Pane2Color", [](const TQsSplitter& s) { return s.PaneColor(1); },
              [](TQsSplitter& s, int v) { s.SetPaneColor(1, v); }, &ColorTypeInfo())
           .WithStored(notStored),
       P::Enum<TQsFrameStyle>("Pane1FrameStyle", &kFrameStyles, [](const TQsSplitter& s) { return s.PaneFrameStyle(0); },
                              [](TQsSplitter& s, TQsFrameStyle v) { s.SetPaneFrameStyle(0, v); })
           .WithStored(notStored),
       P::Enum<TQsFrameStyle>("Pane2FrameStyle", &kFrameStyles, [](const TQsSplitter& s) { return s.PaneFrameStyle(1); },
                              [](TQsSplitter& s, TQsFrameStyle v) { s.SetPaneFrameStyle(1, v); })
           .WithStored(notStored),
       P::Int("Pane1MinSize", [](const TQsSplitter& s) { return s.PaneMinSize(0); },
              [](TQsSplitter& s, int v) { s.SetPaneMinSize(0, v); })
           .WithStored(notStored),
       P::Int("Pane2MinSize", [](const TQsSplitter& s) { return s.PaneMinSize(1); },
              [](TQsSplitter& s, int v) { s.SetPaneMinSize(1, v); })
           .WithStored(notStored),
       P::Event("OnChange", &TQsSplitter::OnChange),
       P::Event("OnResize", &TQsSplitter::OnResize),
       P::Event("OnSplitterDrag", &TQsSplitter::OnSplitterDrag),
       P::Event("OnSplitterDrop", &TQsSplitter::OnSplitterDrop)}};
  return info;
}

TQsSplitter::TQsSplitter(TComponent* owner) : TCustomControl(owner) {
  SetControlStyle(csAcceptsControls | csClickEvents);
  SetBounds(0, 0, 200, 140);
  SetColor(clBtnFace);
  model_.HasPanes = false;
  SyncModel();
}

void TQsSplitter::SyncModel() {
  TRect r = ClientRect();
  model_.Width = r.Width();
  model_.Height = r.Height();
  model_.HasPanes = panes_[0] && panes_[1];
  for (int i = 0; i < 2; ++i)
    if (panes_[i]) model_.MinSize[i] = panes_[i]->MinSize();
}

TColor TQsSplitter::PaneColor(int i) const { return panes_[i] ? panes_[i]->Color() : clBtnFace; }
void TQsSplitter::SetPaneColor(int i, TColor c) {
  if (panes_[i]) panes_[i]->SetColor(c);
}
TQsFrameStyle TQsSplitter::PaneFrameStyle(int i) const {
  return panes_[i] ? panes_[i]->FrameStyle() : TQsFrameStyle::qsfsLowered;
}
void TQsSplitter::SetPaneFrameStyle(int i, TQsFrameStyle s) {
  if (panes_[i]) panes_[i]->SetFrameStyle(s);
}
int TQsSplitter::PaneMinSize(int i) const { return panes_[i] ? panes_[i]->MinSize() : 0; }
void TQsSplitter::SetPaneMinSize(int i, int v) {
  if (panes_[i]) panes_[i]->SetMinSize(v);
}

void TQsSplitter::SetStyle(TQsSplitterStyle s) {
  if (s == model_.Style) return;
  model_.Style = s;
  RealignPanes();
}

void TQsSplitter::SetSplitterWidth(int w) {
  if (w == model_.SplitterWidth) return;
  model_.SplitterWidth = w;
  RealignPanes();
}

void TQsSplitter::UpdatePosition(int value, bool recomputeRatio) {
  SyncModel();
  if (IsLoading()) {
    model_.StorePosition(value);
    return;
  }
  if (!model_.UpdatePosition(value, recomputeRatio)) return;
  RealignPanes();
  Changed();
}

void TQsSplitter::RealignPanes() {
  if (!panes_[0] || !panes_[1] || !HandleAllocated() || IsLoading()) return;
  TRect c = ClientRect();
  for (int i = 0; i < 2; ++i) {
    TRect r = model_.PaneRect(i, c.Width(), c.Height());
    panes_[i]->SetBounds(r.Left, r.Top, r.Width(), r.Height());
  }
}

void TQsSplitter::AdoptPanes() {
  for (TControl* c : ControlList())
    if (auto* pane = dynamic_cast<TQsPane*>(c)) {
      if (pane->Index() != 0 && pane->Index() != 1) continue;
      panes_[pane->Index()] = pane;
      if (pane->Name().empty() && !Name().empty()) pane->SetName(Name() + "_pane" + IntToStr(pane->Index() + 1));
      if (pane->Owner() != this) {
        if (pane->Owner()) pane->Owner()->RemoveComponent(pane);
        InsertComponent(pane);
      }
    }
  SyncModel();
  model_.RecomputeRatio();
  RealignPanes();
}

void TQsSplitter::Loaded() {
  TCustomControl::Loaded();
  AdoptPanes();
}

void TQsSplitter::GetChildren(const std::function<void(TComponent&)>& fn) const {
  for (TQsPane* p : panes_)
    if (p) fn(*p);
}

void TQsSplitter::SetName(const std::string& name) {
  TCustomControl::SetName(name);
  if (ComponentState() & (csLoading | csReading)) return;
  for (int i = 0; i < 2; ++i)
    if (panes_[i]) panes_[i]->SetName(name + "_pane" + IntToStr(i + 1));
}

void TQsSplitter::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  params.Style |= WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  params.ClassStyle &= ~UINT(CS_HREDRAW | CS_VREDRAW);
}

void TQsSplitter::CreateWindowHandle() {
  TCustomControl::CreateWindowHandle();
  SyncModel();
  RealignPanes();
}

void TQsSplitter::BoundsChanged(bool resized) {
  TCustomControl::BoundsChanged(resized);
  if (!resized || IsLoading()) return;
  SyncModel();
  Resized();
  RealignPanes();
}

void TQsSplitter::ColorChanged() {
  TCustomControl::ColorChanged();
  Invalidate();
}

void TQsSplitter::Changed() {
  if (EventsAllowed()) OnChange(this);
}

void TQsSplitter::Resized() {
  if (model_.Resized()) {
    RealignPanes();
    Changed();
  }
  if (EventsAllowed()) OnResize(this);
}

void TQsSplitter::SplitterDrag(int line) {
  if (EventsAllowed()) OnSplitterDrag(this, line);
}

void TQsSplitter::SplitterDrop(int position) {
  SyncModel();
  model_.RecomputeRatio();
  if (EventsAllowed()) OnSplitterDrop(this, position);
}

bool TQsSplitter::LiveDrag() const {
  if (fullDrag_ == TQsFullDragMode::qsfdOn) return true;
  if (fullDrag_ == TQsFullDragMode::qsfdOff) return false;
  BOOL full = FALSE;
  return SystemParametersInfoA(SPI_GETDRAGFULLWINDOWS, 0, &full, 0) && full;
}

void TQsSplitter::DrawLine() {
  if (!HandleAllocated()) return;
  HDC dc = GetDCEx(Handle(), nullptr, DCX_PARENTCLIP | DCX_LOCKWINDOWUPDATE);
  if (!dc) return;
  HBRUSH brush = CreatePatternBrush(CheckerBitmap());
  struct Done {
    HWND h;
    HDC dc;
    HBRUSH brush;
    HGDIOBJ old = nullptr;
    ~Done() {
      if (old) SelectObject(dc, old);
      if (brush) DeleteObject(brush);
      ReleaseDC(h, dc);
    }
  } done{Handle(), dc, brush};
  SetTextColor(dc, RGB(255, 255, 255));
  SetBkColor(dc, RGB(0, 0, 0));
  SetBkMode(dc, OPAQUE);
  SetROP2(dc, R2_COPYPEN);
  SetBrushOrgEx(dc, 0, 0, nullptr);
  done.old = SelectObject(dc, brush);
  int at = model_.LinePosition() - model_.GrabOffset();
  if (model_.Style == TQsSplitterStyle::qsstVertical)
    PatBlt(dc, at, 0, model_.SplitterWidth, Height(), PATINVERT);
  else
    PatBlt(dc, 0, at, Width(), model_.SplitterWidth, PATINVERT);
}

void TQsSplitter::MoveLine(int p) {
  if (lineDrawn_) {  // erased where it was drawn, whatever the mode is now
    DrawLine();
    lineDrawn_ = false;
  }
  shell::TSplitterModel::TLineStep s = model_.MoveLine(p, LiveDrag());
  if (s.Draw >= 0) {
    DrawLine();
    lineDrawn_ = true;
  }
  if (s.Move) UpdatePosition(s.NewPosition, true);
  SplitterDrag(s.Reported);
}

void TQsSplitter::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomControl::MouseDown(button, shift, x, y);
  if (model_.Dragging()) {
    EndDrag();
    return;
  }
  if (button != TMouseButton::mbLeft) return;
  SyncModel();
  SetCapture(Handle());
  dragButton_ = button;
  int first = model_.BeginDrag(Along(x, y));
  MoveLine(first);
}

void TQsSplitter::MouseMove(TShiftState shift, int x, int y) {
  TCustomControl::MouseMove(shift, x, y);
  if (!model_.Dragging()) return;
  int c = model_.ClampLine(Along(x, y));
  if (c != model_.LinePosition()) MoveLine(c);
}

void TQsSplitter::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomControl::MouseUp(button, shift, x, y);
  if (!model_.Dragging() || button != dragButton_) return;
  int c = model_.ClampLine(Along(x, y));
  if (c != model_.LinePosition()) MoveLine(c);
  model_.StorePosition(model_.LinePosition() - model_.GrabOffset());
  EndDrag();
  RealignPanes();
  SplitterDrop(model_.Position());
}

void TQsSplitter::EndDrag() {
  if (!model_.Dragging()) return;
  MoveLine(-1);
  model_.EndDrag();
  if (HandleAllocated() && GetCapture() == Handle()) ReleaseCapture();
}

void TQsSplitter::Paint() {
  Canvas().Brush().SetColor(Color());
  Canvas().FillRect(ClientRect());
}

void TQsSplitter::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_SETCURSOR: {
      HWND over = reinterpret_cast<HWND>(m.WParam);
      for (TQsPane* p : panes_)
        if (p && p->HandleAllocated() && (over == p->Handle() || IsChild(p->Handle(), over))) {
          TCustomControl::WndProc(m);
          return;
        }
      if (over == Handle() && LOWORD(m.LParam) == HTCLIENT && Screen) {
        ::SetCursor(Screen->Cursors(model_.Style == TQsSplitterStyle::qsstVertical ? crHSplit : crVSplit));
        m.Result = 1;
        return;
      }
      break;
    }
    case WM_CANCELMODE:
      EndDrag();
      break;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(m.LParam) != Handle()) EndDrag();
      break;
    default:
      break;
  }
  TCustomControl::WndProc(m);
}

void RegisterSplitterClasses() {
  for (const TClassInfo* c : {&TQsGroup::StaticClass(), &TQsPane::StaticClass(), &TQsSplitter::StaticClass()})
    if (!FindClass(c->Name())) RegisterClass(*c);
}
