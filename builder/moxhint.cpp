#include "builder/moxhint.h"

#include "framework/win/application.h"

namespace {

TMoxHint* installed = nullptr;

const TTypeInfo kDirections{{"hdUpRight", "hdUpLeft", "hdDownRight", "hdDownLeft"}, {}};

// A GDI object selected into a DC for one scope, deleted after it.
class TSelected {
 public:
  TSelected(HDC dc, HGDIOBJ obj) : dc_(dc), obj_(obj), old_(SelectObject(dc, obj)) {}
  ~TSelected() {
    SelectObject(dc_, old_);
    DeleteObject(obj_);
  }
  TSelected(const TSelected&) = delete;
  TSelected& operator=(const TSelected&) = delete;

 private:
  HDC dc_;
  HGDIOBJ obj_, old_;
};

// Sets the dither's pixels of the area rgn within the band.
void Dither(HDC dc, HRGN rgn, const TRect& band, COLORREF color) {
  for (int y = band.Top; y < band.Bottom; ++y)
    for (int x = band.Left; x < band.Right; ++x)
      if (IsShadowDot(x, y) && PtInRegion(rgn, x, y)) SetPixel(dc, x, y, color);
}

HRGN TriangleRegion(const std::array<TPoint, 3>& t) {
  POINT pts[3];
  for (size_t i = 0; i < t.size(); ++i) pts[i] = {t[i].X, t[i].Y};
  return CreatePolygonRgn(pts, 3, WINDING);
}

}  // namespace

const TClassInfo& TMoxHint::StaticClass() {
  using P = TProps<TMoxHint>;
  static const TClassInfo info{
      "TMoxHint", &TComponent::StaticClass(), Factory<TMoxHint>(),
      {P::Enum<THintDirection>("HintDirection", &kDirections, &TMoxHint::HintDirection, &TMoxHint::SetHintDirection)
           .WithDefault(int64_t(THintDirection::hdUpRight)),
       P::Int("HintColor", &TMoxHint::HintColor, &TMoxHint::SetHintColor, &ColorTypeInfo())
           .WithDefault(int64_t(0x00FFFF)),
       P::Int("HintShadowColor", &TMoxHint::HintShadowColor, &TMoxHint::SetHintShadowColor, &ColorTypeInfo())
           .WithDefault(int64_t(0x800080)),
       P::Nested("HintFont", [](TMoxHint& m) -> TPersistent& { return m.HintFont(); }),
       P::Int("HintPauseTime", &TMoxHint::HintPauseTime, &TMoxHint::SetHintPauseTime).WithDefault(int64_t(600)),
       P::Event("OnSelectHintDirection", &TMoxHint::OnSelectHintDirection)}};
  return info;
}

void RegisterMoxHint() { RegisterClass(TMoxHint::StaticClass()); }

TMoxHint* TMoxHint::Installed() { return installed; }

TMoxHint::TMoxHint(TComponent* owner) : TComponent(owner) {
  font_.SetName("MS Sans Serif");
  font_.SetSize(12);
  font_.SetColor(0xFF0000);
  font_.SetStyle(fsBold | fsItalic);
  font_.OnChange = TNotifyEvent([this](TObject*) { Install(); });
  SetHintPauseTime(pauseTime_);
  Install();
}

void TMoxHint::BeforeDestruction() {
  if (installed == this) installed = nullptr;
  TComponent::BeforeDestruction();
}

void TMoxHint::Loaded() {
  TComponent::Loaded();
  Install();
}

void TMoxHint::SetHintPauseTime(int ms) {
  pauseTime_ = ms;
  if (Application) Application->SetHintPause(ms);
}

void TMoxHint::Install() {
  installed = this;
  if (!Application) return;
  Application->SetHintWindowClass(&TNewHint::StaticClass());
  // A hint window made anew takes the font.
  Application->SetShowHint(false);
  Application->SetShowHint(true);
}

const TClassInfo& TNewHint::StaticClass() {
  static const TClassInfo info{"TNewHint", &THintWindow::StaticClass(), Factory<TNewHint>(), {}};
  return info;
}

TNewHint::TNewHint(TComponent* owner) : THintWindow(owner) {
  if (TMoxHint* mox = TMoxHint::Installed()) Font().Assign(mox->HintFont());
}

TNewHint::~TNewHint() {
  if (snapshot_) DeleteObject(snapshot_);
}

void TNewHint::CreateParams(TCreateParams& p) {
  THintWindow::CreateParams(p);
  p.Style &= ~DWORD(WS_BORDER);
  p.ClassStyle |= CS_SAVEBITS;
}

// The snapshot is the background: nothing is erased.
void TNewHint::WMEraseBkgnd(TMessage& m) { m.Result = 1; }

TRect TNewHint::CalcHintRect(int maxWidth, const std::string& hint) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Font().Handle());
  RECT r{0, 0, maxWidth, 0};
  DrawTextA(dc, hint.c_str(), int(hint.size()), &r, DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return {0, 0, int(r.right), int(r.bottom)};
}

void TNewHint::ActivateHint(const TRect& r, const std::string& hint) {
  TMoxHint* mox = TMoxHint::Installed();
  THintDirection preferred = mox ? mox->HintDirection() : THintDirection::hdUpRight;
  if (mox && mox->OnSelectHintDirection) mox->OnSelectHintDirection(mox, Application->HintControl(), preferred);
  POINT mouse{};
  GetCursorPos(&mouse);
  TSize screen{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  TBalloonPlacement p = PlaceBalloon(screen, {int(mouse.x), int(mouse.y)}, {r.Width(), r.Height()}, preferred);
  direction_ = p.Direction;

  // What lies beneath, taken while the balloon is not on the screen.
  HandleNeeded();
  if (IsWindowVisible(Handle())) ShowWindow(Handle(), SW_HIDE);
  const TRect& b = p.Bounds;
  HDC screenDc = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
  HDC mem = CreateCompatibleDC(screenDc);
  if (snapshot_) DeleteObject(snapshot_);
  snapshot_ = CreateCompatibleBitmap(screenDc, b.Width(), b.Height());
  HGDIOBJ old = SelectObject(mem, snapshot_);
  BitBlt(mem, 0, 0, b.Width(), b.Height(), screenDc, b.Left, b.Top, SRCCOPY);
  SelectObject(mem, old);
  DeleteDC(mem);
  DeleteDC(screenDc);

  THintWindow::ActivateHint(b, hint);
}

void TNewHint::Paint() {
  HDC dc = Canvas().Handle();
  const int w = Width(), h = Height();
  const TBalloonShape s = BalloonShapeOf({w, h}, direction_);
  TMoxHint* mox = TMoxHint::Installed();
  const COLORREF fill = GdiColor(mox ? mox->HintColor() : TColor(0x00FFFF));
  const COLORREF shadow = GdiColor(mox ? mox->HintShadowColor() : TColor(0x800080));

  // Everything is drawn into a copy of the snapshot, which then goes to the screen at once.
  HDC mem = CreateCompatibleDC(dc);
  PaintBalloon(dc, mem, s, fill, shadow);
  DeleteDC(mem);
}

void TNewHint::PaintBalloon(HDC dc, HDC mem, const TBalloonShape& s, COLORREF fill, COLORREF shadow) {
  const int w = Width(), h = Height();
  TSelected work(mem, CreateCompatibleBitmap(dc, w, h));
  if (snapshot_) {
    HDC snap = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(snap, snapshot_);
    BitBlt(mem, 0, 0, w, h, snap, 0, 0, SRCCOPY);
    SelectObject(snap, old);
    DeleteDC(snap);
  }

  HRGN area = CreateRoundRectRgn(s.Shadow.Left, s.Shadow.Top, s.Shadow.Right, s.Shadow.Bottom, 8, 8);
  Dither(mem, area, s.RightBand, shadow);
  Dither(mem, area, s.BottomBand, shadow);
  DeleteObject(area);
  if (s.HasPointerShadow) {
    HRGN tri = TriangleRegion(s.PointerShadow);
    RECT box{};
    GetRgnBox(tri, &box);
    Dither(mem, tri, {int(box.left), int(box.top), int(box.right), int(box.bottom)}, shadow);
    DeleteObject(tri);
  }

  {
    TSelected pen(mem, CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
    TSelected brush(mem, CreateSolidBrush(fill));
    RoundRect(mem, s.Box.Left, s.Box.Top, s.Box.Right, s.Box.Bottom, 9, 9);
    POINT tri[3];
    for (size_t i = 0; i < s.Pointer.size(); ++i) tri[i] = {s.Pointer[i].X, s.Pointer[i].Y};
    Polygon(mem, tri, 3);
  }
  {
    // The pointer opens into the box: its base takes the fill.
    TSelected pen(mem, CreatePen(PS_SOLID, 1, fill));
    MoveToEx(mem, s.Pointer[0].X + 1, s.Pointer[0].Y, nullptr);
    LineTo(mem, s.Pointer[1].X, s.Pointer[1].Y);
  }

  HGDIOBJ oldFont = SelectObject(mem, Font().Handle());
  SetTextColor(mem, GdiColor(Font().Color()));
  SetBkMode(mem, TRANSPARENT);
  RECT text{s.Text.Left, s.Text.Top, s.Text.Right, s.Text.Bottom};
  std::string caption = Text();
  DrawTextA(mem, caption.c_str(), int(caption.size()), &text, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(mem, oldFont);

  BitBlt(dc, 0, 0, w, h, mem, 0, 0, SRCCOPY);
}
