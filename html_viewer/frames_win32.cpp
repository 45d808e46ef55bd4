#include "html_viewer/frames_win32.h"

#include <algorithm>

#include "framework/core/exceptions.h"
#include "framework/core/streams.h"
#include "framework/core/sysutils.h"
#include "html_viewer/doc_reader.h"
#include "platform/file.h"

namespace {

bool IsAbsolute(const std::string& name) {
  return (name.size() >= 2 && name[1] == ':') || (!name.empty() && (name[0] == '\\' || name[0] == '/'));
}

// A frame source against the folder of its document (or of its BASE).
std::string SourcePath(const std::string& source, const std::string& dir, const std::string& base) {
  if (source.empty()) return source;
  std::string s = UrlToPath(source);
  if (IsAbsolute(s)) return s;
  if (SameText(base, "DosPath")) return platform::FullPath(s);
  std::string from = base.empty() ? dir : ExtractFilePath(UrlToPath(base));
  return from.empty() ? s : IncludeTrailingBackslash(from) + s;
}

bool IsPicture(const std::string& name) { return KindOfLink(name) == TLinkKind::lkImage; }
bool IsText(const std::string& name) { return SameText(ExtractFileExt(name), ".txt"); }

int32_t g_stepOrder = 0;

// The viewers of a set's frames, nested sets included.
void ViewersOf(const TSubFrameSet& set, const std::function<void(TDocViewer&)>& fn) {
  for (TFrameBase* c : set.Children) {
    if (auto* sub = dynamic_cast<TSubFrameSet*>(c)) ViewersOf(*sub, fn);
    if (auto* f = dynamic_cast<TFrame*>(c)) {
      if (f->Viewer()) fn(*f->Viewer());
      if (f->Nested()) ViewersOf(*f->Nested(), fn);
    }
  }
}

// The document of a frame source: pictures and texts are files; anything else is offered to
// the host first.
TDocSource Offered(TFrameSet* top, const std::string& source) {
  if (!IsPicture(source) && !IsText(source) && top && top->FramesetViewer())
    return top->FramesetViewer()->Request(source);
  TDocSource doc;
  doc.FileName = source;
  return doc;
}

bool IsFrameSource(const std::string& name, const TDocSource& doc) {
  return !IsPicture(name) && !IsText(name) && IsFrameDocument(doc.Ref());
}

}  // namespace

PositionObj::PositionObj(int32_t position) : ScrollPos(position), Order(++g_stepOrder) {}

TSourceRef TDocSource::Ref() const {
  switch (Kind) {
    case TSourceKind::skBuffer:
      return TSourceRef::Buffer(Buffer, Buffer + Size);
    case TSourceKind::skStream:
      return TSourceRef::OfStream(*Stream);
    case TSourceKind::skStrings:
      return TSourceRef::Lines(*Strings);
    case TSourceKind::skFile:
      break;
  }
  return TSourceRef::File(FileName);
}

void TDocSource::LoadInto(TDocViewer& viewer, const std::string& destination) const {
  switch (Kind) {
    case TSourceKind::skFile:
      if (IsPicture(FileName))
        viewer.LoadImageFile(FileName);
      else if (IsText(FileName))
        viewer.LoadTextFile(FileName);
      else
        viewer.LoadFromFile(destination.empty() ? FileName : FileName + "#" + destination);
      return;
    case TSourceKind::skBuffer:
      viewer.LoadFromBuffer(Buffer, Buffer + Size);
      break;
    case TSourceKind::skStream:
      viewer.LoadFromStream(*Stream);
      break;
    case TSourceKind::skStrings:
      viewer.LoadStrings(*Strings, false);
      break;
  }
  if (!destination.empty()) viewer.JumpToAnchor(destination);
}

// ---- TFrameBase

const TClassInfo& TFrameBase::StaticClass() {
  static const TClassInfo info{"TFrameBase", &TCustomPanel::StaticClass(), Factory<TFrameBase>(), {}};
  return info;
}

TFrameBase::TFrameBase(TComponent* owner, TFrameSet* top, TSubFrameSet* parentSet)
    : TCustomPanel(owner), top_(top), parentSet_(parentSet) {
  SetBevelOuter(TBevelCut::bvNone);
}

// The bevel round a frame is where its set's borders are: the mouse there drags them.
void TFrameBase::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomPanel::MouseDown(button, shift, x, y);
  if (!parentSet_ || button != TMouseButton::mbLeft) return;
  parentSet_->BorderMouseDown(x + Left(), y + Top());
  SetCapture(Handle());  // the release may come over another frame
}

void TFrameBase::MouseMove(TShiftState shift, int x, int y) {
  TCustomPanel::MouseMove(shift, x, y);
  if (parentSet_) parentSet_->BorderMouseMove(x + Left(), y + Top());
  if (parentSet_) SetCursor(parentSet_->Cursor());
}

void TFrameBase::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomPanel::MouseUp(button, shift, x, y);
  if (parentSet_ && button == TMouseButton::mbLeft) parentSet_->BorderMouseUp(x + Left(), y + Top());
  if (GetCapture() == Handle()) ReleaseCapture();
}

void TFrameBase::WndProc(TMessage& m) {
  // The mouse taken away mid-drag (another window, a menu): the border stays where it was.
  if (m.Msg == WM_CAPTURECHANGED)
    for (TSubFrameSet* s = parentSet_; s; s = s->ParentSet()) s->CancelDrag();
  TCustomPanel::WndProc(m);
}

// ---- TFrame

const TClassInfo& TFrame::StaticClass() {
  static const TClassInfo info{"TFrame", &TFrameBase::StaticClass(), Factory<TFrame>(), {}};
  return info;
}

TFrame::TFrame(TComponent* owner, TFrameSet* top, TSubFrameSet* parentSet, const TFrameDesc& desc,
               const std::string& source)
    : TFrameBase(owner, top, parentSet),
      FrameName(desc.Name),
      Source(source),
      Destination(desc.Destination),
      NoResize(desc.NoResize),
      ScrollingOff(desc.ScrollingOff) {
  int border = top ? top->FramesetViewer()->FrameBorder : 2;
  if (border > 0) {
    SetBevelOuter(TBevelCut::bvLowered);
    SetBevelWidth(std::min(border, 64));
  }
}

void TFrame::CollectFrames() {
  if (top_) top_->AllFrames.push_back(this);
  if (nested_) nested_->CollectFrames();
}

TDocViewer* TFrame::MakeViewer() {
  auto* v = new TDocViewer(this);
  TFramesetViewer* fv = top_->FramesetViewer();
  fv->Configure(*v);
  if (ScrollingOff) v->SetScrollBars(TScrollStyle::ssNone);
  if (fv->FrameBorder == 0) v->SetBorderStyle(THTMLBorderStyle::htNone);
  v->SetParent(this);
  v->SetAlign(TAlign::alClient);
  v->OnHotSpotClick = THotSpotClickEvent([this](TObject*, const std::string& url, bool& handled) {
    handled = true;
    top_->FramesetViewer()->LinkClicked(*this, url, viewer_ ? viewer_->HotSpotTarget() : std::string());
  });
  v->OnHotSpotCovered = THotSpotEvent([this, fv](TObject*, const std::string& url) {
    if (fv->OnHotSpotTargetCovered) fv->OnHotSpotTargetCovered(fv, viewer_ ? viewer_->HotSpotTarget() : "", url);
  });
  v->OnProcessing = TProcessingEvent([fv](TObject*, bool) { fv->ViewerProcessing(); });
  v->OnEnter = TNotifyEvent([fv, v](TObject*) { fv->ViewerEntered(*v); });
  return v;
}

void TFrame::ClearContent() {
  if (viewer_) viewer_->Free();
  if (nested_) nested_->Free();
  viewer_ = nullptr;
  nested_ = nullptr;
}

void TFrame::ShowError(const std::string& name) {
  ClearContent();
  viewer_ = MakeViewer();
  std::string page = "<p><img src=\"qw%&.bmp\" alt=\"Error\"> Can't load " + name.substr(0, 255);
  viewer_->LoadFromBuffer(page.data(), page.data() + page.size());
}

void TFrame::LoadKind(const TDocSource& doc, bool frameSet) {
  if (frameSet) {
    TFrameSetDesc desc;
    desc.Top = false;
    FrameParse(desc, doc.Ref(), top_->FramesetViewer()->ScriptHandler(top_));
    // A set of its own: its borders are its own, its outer edges the frame's.
    nested_ = new TSubFrameSet(this, top_, nullptr);
    nested_->SetParent(this);
    nested_->SetAlign(TAlign::alClient);
    nested_->Build(desc, doc.Kind == TSourceKind::skFile ? ExtractFilePath(doc.FileName) : std::string());
    nested_->LoadContent();
    nested_->Distribute();
  } else {
    viewer_ = MakeViewer();
    doc.LoadInto(*viewer_, Destination);
  }
}

void TFrame::LoadContent() { Load(nullptr, false); }

void TFrame::LoadContentOf(const TDocSource& doc, bool frameSet) { Load(&doc, frameSet); }

// A source is asked for once per load: the caller that had to look at the document already
// hands over what it got.
void TFrame::Load(const TDocSource* given, bool givenFrameSet) {
  if (!top_ || Source.empty() || top_->Depth >= kMaxFrameNesting) return;
  ++top_->Depth;
  try {
    TDocSource doc = given ? *given : Offered(top_, Source);
    if (doc.Kind == TSourceKind::skFile && !platform::IsFile(doc.FileName))
      throw EInOutError("Can't locate file: " + doc.FileName);
    LoadKind(doc, given ? givenFrameSet : IsFrameSource(Source, doc));
  } catch (const std::exception&) {
    ShowError(Source);
  }
  --top_->Depth;
  if (historyNames_.empty()) {
    historyNames_.push_back(Source);
    historyPositions_.emplace_back(viewer_ ? viewer_->Position() : 0);
    historyIndex_ = 0;
  }
}

int TFrame::NestingLevel() const {
  int level = 0;
  for (TComponent* c = Owner(); c; c = c->Owner())
    if (dynamic_cast<TFrame*>(c)) ++level;
  return level;
}

TFramesetViewer* TFrame::MouseOwner() const {
  return Empty() && top_ ? top_->FramesetViewer() : nullptr;
}

void TFrame::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (TFramesetViewer* fv = MouseOwner())
    fv->OnMouseDown(this, button, shift, x, y);
  else
    TFrameBase::MouseDown(button, shift, x, y);
}

void TFrame::MouseMove(TShiftState shift, int x, int y) {
  if (TFramesetViewer* fv = MouseOwner())
    fv->OnMouseMove(this, shift, x, y);
  else
    TFrameBase::MouseMove(shift, x, y);
}

void TFrame::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (TFramesetViewer* fv = MouseOwner())
    fv->OnMouseUp(this, button, shift, x, y);
  else
    TFrameBase::MouseUp(button, shift, x, y);
}

void TFrame::UnloadContent() {
  if (viewer_) {
    savedPosition_ = viewer_->Position();
    viewer_->ClearView();
  }
  if (nested_) nested_->UnloadContent();
}

void TFrame::ReloadContent(int32_t position) {
  if (nested_) {
    nested_->ReloadContent(-1);
    return;
  }
  if (!viewer_ || !top_) return;
  try {
    Offered(top_, Source).LoadInto(*viewer_, std::string());
    viewer_->SetPosition(position >= 0 ? position : savedPosition_);
  } catch (const std::exception&) {
    ShowError(Source);
  }
}

void TFrame::DropForwardHistory() {
  int n = std::min(historyIndex_, int(historyNames_.size()));
  historyNames_.erase(historyNames_.begin(), historyNames_.begin() + n);
  historyPositions_.erase(historyPositions_.begin(), historyPositions_.begin() + n);
  historyIndex_ = 0;
}

void TFrame::ForgetHistory() {
  historyNames_.assign(1, Source);
  historyPositions_.assign(1, PositionObj(viewer_ ? viewer_->Position() : 0));
  historyIndex_ = 0;
}

void TFrame::RecordStep(const std::string& source, int32_t leftAt) {
  TFramesetViewer* fv = top_->FramesetViewer();
  if (fv->HistoryMaxCount() < 1) return;
  if (historyIndex_ < int(historyPositions_.size())) historyPositions_[size_t(historyIndex_)].ScrollPos = leftAt;
  top_->AllFrames.clear();
  top_->CollectFrames();
  for (TFrame* f : top_->AllFrames) f->DropForwardHistory();
  DropForwardHistory();
  historyNames_.insert(historyNames_.begin(), source);
  historyPositions_.insert(historyPositions_.begin(), PositionObj(viewer_ ? viewer_->Position() : 0));
  if (int(historyNames_.size()) > fv->HistoryMaxCount()) {
    historyNames_.resize(size_t(fv->HistoryMaxCount()));
    historyPositions_.erase(historyPositions_.begin() + fv->HistoryMaxCount(), historyPositions_.end());
  }
  fv->HistoryChanged();
}

void TFrame::Navigate(const std::string& source, const std::string& destination, bool record) {
  if (SameText(source, Source) && viewer_) {
    int32_t before = viewer_->Position();
    if (!destination.empty()) viewer_->JumpToAnchor(destination);
    if (record && viewer_->Position() != before) RecordStep(source, before);
    return;
  }
  TDocSource doc = Offered(top_, source);
  if (doc.Kind == TSourceKind::skFile && !platform::IsFile(doc.FileName)) throw EInOutError("Can't load: " + source);
  bool frameSet = IsFrameSource(source, doc);
  int32_t before = viewer_ ? viewer_->Position() : 0;
  Source = source;
  Destination = destination;
  if (viewer_ && !frameSet) {
    doc.LoadInto(*viewer_, destination);
  } else {
    ClearContent();
    // A set shown here nests inside the frames around this one: the limit counts them too.
    int outer = top_ ? top_->Depth : 0;
    if (top_) top_->Depth = std::max(outer, NestingLevel());
    LoadContentOf(doc, frameSet);
    if (top_) top_->Depth = outer;
  }
  if (top_) {
    top_->AllFrames.clear();
    top_->CollectFrames();
    // With one frame the steps are the viewer's own history.
    if (record && top_->AllFrames.size() >= 2) RecordStep(source, before);
  }
}

// ---- TSubFrameSet

const TClassInfo& TSubFrameSet::StaticClass() {
  static const TClassInfo info{"TSubFrameSet", &TFrameBase::StaticClass(), Factory<TSubFrameSet>(), {}};
  return info;
}

TSubFrameSet::TSubFrameSet(TComponent* owner, TFrameSet* top, TSubFrameSet* parentSet)
    : TFrameBase(owner, top, parentSet) {}

void TSubFrameSet::ClearSet() {
  for (TFrameBase* c : Children) c->Free();
  Children.clear();
  Dimensions.clear();
  Sizes.clear();
  Positions.clear();
  ByRows = false;
  Base.clear();
  BaseTarget.clear();
  if (dragBorder_ >= 0) ClipCursor(nullptr);
  dragBorder_ = -1;
  linePos_ = -1;
}

void TSubFrameSet::Build(const TFrameSetDesc& desc, const std::string& dir) {
  ClearSet();
  ByRows = desc.ByRows;
  Dimensions = desc.Dimensions;
  Base = desc.Base;
  BaseTarget = desc.BaseTarget;
  // Documents from the host keep their names as written.
  bool asGiven = top_ && top_->FramesetViewer() && top_->FramesetViewer()->UsesRequests();
  for (const TFrameDesc& f : desc.Frames) {
    TFrameBase* child;
    if (f.SubSet) {
      auto* sub = new TSubFrameSet(this, top_, this);
      sub->Build(*f.SubSet, dir);
      child = sub;
    } else {
      child = new TFrame(this, top_, this, f, asGiven ? f.Source : SourcePath(f.Source, dir, desc.Base));
    }
    child->SetParent(this);
    Children.push_back(child);
  }
  Arrange();
}

void TSubFrameSet::CollectFrames() {
  for (TFrameBase* c : Children) c->CollectFrames();
}

void TSubFrameSet::LoadContent() {
  for (TFrameBase* c : Children) c->LoadContent();
  Arrange();
}

void TSubFrameSet::UnloadContent() {
  for (TFrameBase* c : Children) c->UnloadContent();
}

void TSubFrameSet::ReloadContent(int32_t) {
  for (TFrameBase* c : Children) c->ReloadContent(-1);
}

bool TSubFrameSet::TestFixedBorders() const {
  return std::any_of(Children.begin(), Children.end(), [](TFrameBase* c) { return c->TestFixedBorders(); });
}

void TSubFrameSet::Distribute() {
  TRect r = ClientRect();
  AdjustClientRect(r);
  Sizes = DistributeSizes(Dimensions, ByRows ? r.Height() : r.Width());
  Arrange();
  for (TFrameBase* c : Children) {
    if (auto* sub = dynamic_cast<TSubFrameSet*>(c)) sub->Distribute();
    if (auto* f = dynamic_cast<TFrame*>(c); f && f->Nested()) f->Nested()->Distribute();
  }
}

void TSubFrameSet::Arrange() {
  TRect r = ClientRect();
  AdjustClientRect(r);
  int extent = ByRows ? r.Height() : r.Width();
  if (Sizes.size() != Children.size()) Sizes = DistributeSizes(Dimensions, extent);
  std::vector<int> scaled = ScaleSizes(Sizes, extent);
  Positions = BorderPositions(scaled);
  for (size_t i = 0; i < Children.size(); ++i) {
    int from = Positions[i], size = scaled[i];
    if (ByRows)
      Children[i]->SetBounds(r.Left, r.Top + from, r.Width(), size);
    else
      Children[i]->SetBounds(r.Left + from, r.Top, size, r.Height());
  }
}

void TSubFrameSet::BoundsChanged(bool resized) {
  TFrameBase::BoundsChanged(resized);
  if (resized) Arrange();
}

int TSubFrameSet::BorderUnder(int pos) const {
  std::vector<bool> fixed;
  for (TFrameBase* c : Children) fixed.push_back(c->TestFixedBorders());
  return BorderAt(Positions, pos, fixed, parentSet_ == nullptr);
}

void TSubFrameSet::InvertLine(int pos) {
  if (!HandleAllocated()) return;
  // Over the frames too: the set's own drawing surface without its children cut out.
  HDC dc = GetDCEx(Handle(), nullptr, DCX_CACHE | DCX_CLIPSIBLINGS);
  TRect r = ClientRect();
  if (ByRows)
    PatBlt(dc, r.Left, pos - 1, r.Width(), 2, DSTINVERT);
  else
    PatBlt(dc, pos - 1, r.Top, 2, r.Height(), DSTINVERT);
  ReleaseDC(Handle(), dc);
}

void TSubFrameSet::CancelDrag() {
  if (dragBorder_ < 0) return;
  dragBorder_ = -1;
  InvertLine(linePos_);
  linePos_ = -1;
  ClipCursor(nullptr);
}

void TSubFrameSet::BorderMouseDown(int x, int y) {
  int pos = Along(x, y);
  int border = BorderUnder(pos);
  if (border <= 0 || border >= int(Positions.size()) - 1) {
    // An edge of a nested set belongs to the set around it.
    if (border >= 0 && parentSet_) parentSet_->BorderMouseDown(x + Left(), y + Top());
    return;
  }
  dragBorder_ = border;
  // The mouse stays between the neighbouring borders, one pixel inside.
  size_t b = size_t(border);
  TRect r = ClientRect();
  RECT confine = ByRows ? RECT{r.Left, Positions[b - 1] + 1, r.Right, Positions[b + 1]}
                        : RECT{Positions[b - 1] + 1, r.Top, Positions[b + 1], r.Bottom};
  if (HandleAllocated()) {
    MapWindowPoints(Handle(), nullptr, reinterpret_cast<POINT*>(&confine), 2);
    ClipCursor(&confine);
  }
  linePos_ = std::clamp(pos, Positions[b - 1] + 1, Positions[b + 1] - 1);
  InvertLine(linePos_);
}

void TSubFrameSet::BorderMouseMove(int x, int y) {
  if (dragBorder_ >= 0) {
    size_t b = size_t(dragBorder_);
    int pos = std::clamp(Along(x, y), Positions[b - 1] + 1, Positions[b + 1] - 1);
    if (pos != linePos_) {
      InvertLine(linePos_);
      linePos_ = pos;
      InvertLine(linePos_);
    }
    return;
  }
  int border = BorderUnder(Along(x, y));
  bool inner = border > 0 && border < int(Positions.size()) - 1;
  if (!inner && border >= 0 && parentSet_) {
    parentSet_->BorderMouseMove(x + Left(), y + Top());
    SetCursor(parentSet_->Cursor());
    return;
  }
  SetCursor(inner ? (ByRows ? crVSplit : crHSplit) : crDefault);
}

void TSubFrameSet::BorderMouseUp(int x, int y) {
  if (dragBorder_ < 0) {
    if (parentSet_) parentSet_->BorderMouseUp(x + Left(), y + Top());
    return;
  }
  size_t b = size_t(dragBorder_);
  dragBorder_ = -1;
  InvertLine(linePos_);
  linePos_ = -1;
  ClipCursor(nullptr);
  int pos = std::clamp(Along(x, y), Positions[b - 1] + 1, Positions[b + 1] - 1);
  Positions[b] = pos;
  int total = 0;
  for (int s : Sizes) total += s;
  Sizes = SizesFromPositions(Positions, total);
  Arrange();
  Invalidate();
}

void TSubFrameSet::ReplaceWithOne(const std::string& source, const std::string& destination) {
  ClearSet();
  Dimensions = {-1};
  TFrameDesc f;
  f.Destination = destination;
  auto* frame = new TFrame(this, top_, this, f, source);
  frame->SetParent(this);
  Children.push_back(frame);
  Distribute();
  frame->LoadContent();
  if (top_) {
    top_->AllFrames.clear();
    top_->CollectFrames();
  }
}

// ---- TFrameSet

const TClassInfo& TFrameSet::StaticClass() {
  static const TClassInfo info{"TFrameSet", &TSubFrameSet::StaticClass(), Factory<TFrameSet>(), {}};
  return info;
}

TFrameSet::TFrameSet(TComponent* owner, TFramesetViewer* viewer)
    : TSubFrameSet(owner, this, nullptr), viewer_(viewer) {}

void TFrameSet::LoadFile(const std::string& name) {
  std::string file, anchor;
  SplitAnchor(name, file, anchor);
  bool asGiven = viewer_->UsesRequests() && !IsPicture(file) && !IsText(file);
  TDocSource doc = Offered(this, file);
  if (doc.Kind == TSourceKind::skFile && !platform::IsFile(doc.FileName))
    throw EInOutError("Can't locate file: " + doc.FileName);
  std::string path = asGiven ? file : platform::FullPath(file);
  std::string dir = doc.Kind == TSourceKind::skFile ? ExtractFilePath(platform::FullPath(doc.FileName)) : "";
  Depth = 0;
  AllFrames.clear();
  TFrameSetDesc desc;
  bool frameSet = !IsPicture(path) && !IsText(path) && IsFrameDocument(doc.Ref()) &&
                  FrameParse(desc, doc.Ref(), viewer_->ScriptHandler(this));
  if (!frameSet) {
    // Anything else is one frame showing it.
    desc = TFrameSetDesc();
    desc.Dimensions = {-1};
    TFrameDesc f;
    f.Source = path;
    f.Destination = anchor;
    desc.Frames.push_back(std::move(f));
  }
  viewer_->FrameBorder = desc.FrameBorder;
  if (desc.OuterBorder > 0) {
    SetBevelOuter(TBevelCut::bvLowered);
    SetBevelWidth(desc.OuterBorder);
  } else {
    SetBevelOuter(TBevelCut::bvNone);
  }
  CurrentFile = path;
  Title = desc.Title;
  Build(desc, dir);
  if (frameSet) {
    LoadContent();
  } else {
    // The one frame shows what was read to look at it.
    if (doc.Kind == TSourceKind::skFile && doc.FileName == file) doc.FileName = path;
    static_cast<TFrame*>(Children[0])->LoadContentOf(doc, false);
    Arrange();
  }
  CollectFrames();
}

TDocViewer* TFrameSet::SingleViewer() const {
  TDocViewer* only = nullptr;
  int n = 0;
  ViewersOf(*this, [&](TDocViewer& v) {
    only = &v;
    ++n;
  });
  return n == 1 ? only : nullptr;
}

TFrame* TFrameSet::NamedFrame(const std::string& name) const {
  for (TFrame* f : AllFrames)
    if (!f->FrameName.empty() && SameText(f->FrameName, name)) return f;
  return nullptr;
}

std::vector<std::string> TFrameSet::FrameNames() const {
  std::vector<std::string> names;
  for (TFrame* f : AllFrames)
    if (!f->FrameName.empty()) names.push_back(f->FrameName);
  return names;
}

// ---- TFramesetViewer

namespace {

auto MarginProp(const char* name, int side) {
  return TProps<TFramesetViewer>::Float(
             name, [side](const TFramesetViewer& v) { return side == 0   ? v.PrintMarginLeft()
                                                             : side == 1 ? v.PrintMarginRight()
                                                             : side == 2 ? v.PrintMarginTop()
                                                                         : v.PrintMarginBottom(); },
             [side](TFramesetViewer& v, double d) { v.SetPrintMargin(side, d); })
      .WithDefault(2.0);
}

}  // namespace

const TClassInfo& TFramesetViewer::StaticClass() {
  using P = TProps<TFramesetViewer>;
  using V = TFramesetViewer;
  static const TClassInfo info{
      "TFramesetViewer",
      &TWinControl::StaticClass(),
      Factory<TFramesetViewer>(),
      {P::Bool("ViewImages", &V::ViewImages, &V::SetViewImages).WithDefault(true),
       P::Int("ImageCacheCount", &V::ImageCacheCount, &V::SetImageCacheCount).WithDefault(int64_t(5)),
       P::Bool("NoSelect", &V::NoSelect, &V::SetNoSelect).WithDefault(false),
       P::Int("HistoryMaxCount", &V::HistoryMaxCount, &V::SetHistoryMaxCount).WithDefault(int64_t(0)),
       P::Int("DefBackground", &V::DefBackground, &V::SetDefBackground, &ColorTypeInfo())
           .WithDefault(int64_t(clBtnFace)),
       P::Str("DefFontName", &V::DefFontName, &V::SetDefFontName).WithDefault(std::string("Times New Roman")),
       P::Str("DefPreFontName", &V::DefPreFontName, &V::SetDefPreFontName).WithDefault(std::string("Courier New")),
       P::Int("DefFontSize", &V::DefFontSize, &V::SetDefFontSize).WithDefault(int64_t(12)),
       P::Int("DefFontColor", &V::DefFontColor, &V::SetDefFontColor, &ColorTypeInfo())
           .WithDefault(int64_t(clBtnText)),
       P::Int("DefHotSpotColor", &V::DefHotSpotColor, &V::SetDefHotSpotColor, &ColorTypeInfo())
           .WithDefault(int64_t(0xFF0000)),
       MarginProp("PrintMarginLeft", 0),
       MarginProp("PrintMarginRight", 1),
       MarginProp("PrintMarginTop", 2),
       MarginProp("PrintMarginBottom", 3),
       P::Event("OnHotSpotTargetCovered", &V::OnHotSpotTargetCovered),
       P::Event("OnHotSpotTargetClick", &V::OnHotSpotTargetClick),
       P::Event("OnBlankWindowRequest", &V::OnBlankWindowRequest),
       P::Event("OnHistoryChange", &V::OnHistoryChange),
       P::Event("OnFormSubmit", &V::OnFormSubmit),
       P::Event("OnBitmapRequest", &V::OnBitmapRequest),
       P::Event("OnImageRequest", &V::OnImageRequest),
       P::Event("OnProcessing", &V::OnProcessing),
       P::Event("OnStreamRequest", &V::OnStreamRequest),
       P::Event("OnStringsRequest", &V::OnStringsRequest),
       P::Event("OnBufferRequest", &V::OnBufferRequest),
       P::Event("OnFileRequest", &V::OnFileRequest),
       P::Event("OnScript", &V::OnScript),
       P::Event("OnPrintHeader", &V::OnPrintHeader),
       P::Event("OnPrintFooter", &V::OnPrintFooter)}};
  return info;
}

void RegisterFramesetViewer() {
  for (const TClassInfo* c : {&TFrameBase::StaticClass(), &TFrame::StaticClass(), &TSubFrameSet::StaticClass(),
                              &TFrameSet::StaticClass(), &TFramesetViewer::StaticClass()})
    RegisterClass(*c);
}

// The busy flag for a load or a link, back as it was on every exit.
class TFramesetViewer::TBusyScope {
 public:
  explicit TBusyScope(TFramesetViewer& v) : v_(v), was_(v.busy_) { v_.SetBusy(true); }
  ~TBusyScope() { v_.SetBusy(was_); }
  TBusyScope(const TBusyScope&) = delete;
  TBusyScope& operator=(const TBusyScope&) = delete;

 private:
  TFramesetViewer& v_;
  bool was_;
};

TFramesetViewer::TFramesetViewer(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 150, 150);
  SetCursor(crIBeam);
  set_ = new TFrameSet(this, this);
  set_->SetParent(this);
  set_->SetAlign(TAlign::alClient);
}

void TFramesetViewer::Configure(TDocViewer& v) {
  v.SetViewImages(viewImages_);
  v.SetImageCacheCount(imageCacheCount_);
  v.SetNoSelect(noSelect_);
  v.SetHistoryMaxCount(historyMax_);
  v.SetDefBackground(defBackground_);
  v.SetDefFontColor(fontColor_);
  v.SetDefHotSpotColor(hotSpotColor_);
  v.SetDefFontName(fontName_);
  v.SetDefPreFontName(preFontName_);
  v.SetDefFontSize(fontSize_);
  v.SetCursor(Cursor());
  v.PrintMarginLeft = margins_[0];
  v.PrintMarginRight = margins_[1];
  v.PrintMarginTop = margins_[2];
  v.PrintMarginBottom = margins_[3];
  v.OnPrintHeader = OnPrintHeader;
  v.OnPrintFooter = OnPrintFooter;
  v.OnFormSubmit = OnFormSubmit;
  v.OnScript = OnScript;
  v.OnBitmapRequest = OnBitmapRequest;
  v.OnImageRequest = OnImageRequest;
  v.OnMouseDown = OnMouseDown;
  v.OnMouseMove = OnMouseMove;
  v.OnMouseUp = OnMouseUp;
  v.OnKeyDown = OnKeyDown;
  v.OnKeyUp = OnKeyUp;
  v.OnKeyPress = OnKeyPress;
}

void TFramesetViewer::EachViewer(const std::function<void(TDocViewer&)>& fn) const {
  ViewersOf(*set_, fn);
  std::vector<TFrameSet*> done{set_};
  for (const TSetEntry& e : historySets_)
    if (std::find(done.begin(), done.end(), e.Set) == done.end()) {
      done.push_back(e.Set);
      ViewersOf(*e.Set, fn);
    }
}

TDocViewer* TFramesetViewer::FocusedViewer() const {
  if (TDocViewer* only = set_->SingleViewer()) return only;
  TDocViewer* f = focused_.Get();
  bool shown = false;
  ViewersOf(*set_, [&](TDocViewer& v) { shown = shown || &v == f; });
  return shown ? f : nullptr;
}

void TFramesetViewer::SetViewImages(bool on) {
  if (busy_) return;
  viewImages_ = on;
  EachViewer([on](TDocViewer& v) { v.SetViewImages(on); });
}

void TFramesetViewer::SetImageCacheCount(int n) {
  if (busy_) return;
  imageCacheCount_ = std::clamp(n, 0, 20);
  EachViewer([n](TDocViewer& v) { v.SetImageCacheCount(n); });
}

void TFramesetViewer::SetNoSelect(bool on) {
  noSelect_ = on;
  EachViewer([on](TDocViewer& v) { v.SetNoSelect(on); });
}

int TFramesetViewer::SelLength() const {
  TDocViewer* v = FocusedViewer();
  return v ? v->SelectedCount() : 0;
}

void TFramesetViewer::SetSelLength(int n) {
  if (TDocViewer* v = FocusedViewer()) v->SetSelectedCount(n);
}

void TFramesetViewer::SetDefBackground(TColor c) {
  defBackground_ = c;
  EachViewer([c](TDocViewer& v) { v.SetDefBackground(c); });
}

void TFramesetViewer::SetDefFontName(const std::string& name) {
  std::string n = name.substr(0, 31);
  if (SameText(n, fontName_)) return;
  fontName_ = n;
  EachViewer([&n](TDocViewer& v) { v.SetDefFontName(n); });
}

void TFramesetViewer::SetDefPreFontName(const std::string& name) {
  std::string n = name.substr(0, 31);
  if (SameText(n, preFontName_)) return;
  preFontName_ = n;
  EachViewer([&n](TDocViewer& v) { v.SetDefPreFontName(n); });
}

void TFramesetViewer::SetDefFontSize(int size) {
  fontSize_ = std::max(6, size);
  EachViewer([size](TDocViewer& v) { v.SetDefFontSize(size); });
}

void TFramesetViewer::SetDefFontColor(TColor c) {
  fontColor_ = c;
  EachViewer([c](TDocViewer& v) { v.SetDefFontColor(c); });
}

void TFramesetViewer::SetDefHotSpotColor(TColor c) {
  hotSpotColor_ = c;
  EachViewer([c](TDocViewer& v) { v.SetDefHotSpotColor(c); });
}

void TFramesetViewer::SetPrintMargin(int side, double value) {
  if (side < 0 || side > 3) return;
  margins_[side] = value;
  EachViewer([side, value](TDocViewer& v) {
    double* m[] = {&v.PrintMarginLeft, &v.PrintMarginRight, &v.PrintMarginTop, &v.PrintMarginBottom};
    *m[side] = value;
  });
}

bool TFramesetViewer::UsesRequests() const {
  return bool(OnStringsRequest) || bool(OnStreamRequest) || bool(OnBufferRequest) || bool(OnFileRequest);
}

TDocSource TFramesetViewer::Request(const std::string& source) {
  TDocSource doc;
  doc.FileName = source;
  if (OnStringsRequest) {
    TStrings* strings = nullptr;
    OnStringsRequest(this, source, strings);
    if (strings && strings->Count() > 0) {
      doc.Kind = TSourceKind::skStrings;
      doc.Strings = strings;
    }
  } else if (OnStreamRequest) {
    TStream* stream = nullptr;
    OnStreamRequest(this, source, stream);
    if (stream && stream->Size() > 0) {
      doc.Kind = TSourceKind::skStream;
      doc.Stream = stream;
    }
  } else if (OnBufferRequest) {
    const char* buffer = nullptr;
    int size = 0;
    OnBufferRequest(this, source, buffer, size);
    if (buffer && size > 0) {
      doc.Kind = TSourceKind::skBuffer;
      doc.Buffer = buffer;
      doc.Size = size;
    }
  } else if (OnFileRequest) {
    std::string name;
    OnFileRequest(this, source, name);
    if (!name.empty()) doc.FileName = name;
  }
  return doc;
}

void TFramesetViewer::SetBusy(bool on) {
  busy_ = on;
  ViewerProcessing();
}

void TFramesetViewer::ViewerProcessing() {
  bool combined = busy_;
  ViewersOf(*set_, [&](TDocViewer& v) { combined = combined || v.Processing(); });
  if (combined == reported_) return;
  reported_ = combined;
  if (OnProcessing) OnProcessing(this, combined);
}

TScriptHandler TFramesetViewer::ScriptHandler(TObject* sender) {
  if (!OnScript) return nullptr;
  return [this, sender](const std::string& language, TScriptBlock& text) { OnScript(sender, language, text); };
}

void TFramesetViewer::HistoryChanged() {
  if (OnHistoryChange) OnHistoryChange(this);
}

void TFramesetViewer::LoadFromFile(const std::string& name) {
  TBusyScope busy(*this);
  std::string file, anchor;
  SplitAnchor(name, file, anchor);
  bool asGiven = UsesRequests() && !IsPicture(file) && !IsText(file);
  std::string key = asGiven ? file : platform::FullPath(file);
  TDocViewer* single = set_->SingleViewer();
  int32_t oldPosition = single ? single->Position() : 0;
  std::string oldFile = set_->CurrentFile, oldTitle = set_->Title;
  if (!oldFile.empty() && SameText(key, oldFile)) {
    // The same file again: the set reloads where it is.
    set_->LoadFile(name);
    set_->Distribute();
    TDocViewer* now = set_->SingleViewer();
    if (!now || now->Position() != oldPosition) PushHistory(oldFile, set_, oldTitle, oldPosition);
    return;
  }
  // A new set is read beside the old one, which stays when the new one fails.
  auto* fresh = new TFrameSet(this, this);
  try {
    fresh->SetVisible(false);
    fresh->SetParent(this);
    fresh->SetAlign(TAlign::alClient);
    fresh->LoadFile(name);
  } catch (...) {
    fresh->Free();
    throw;
  }
  TFrameSet* old = set_;
  old->UnloadContent();
  old->SetVisible(false);
  set_ = fresh;
  set_->SetVisible(true);
  set_->Distribute();
  PushHistory(oldFile, old, oldTitle, oldPosition);
}

void TFramesetViewer::FreeUnused(TFrameSet* set) {
  if (!set || set == set_) return;
  for (const TSetEntry& e : historySets_)
    if (e.Set == set) return;
  set->Free();
}

void TFramesetViewer::PushHistory(const std::string& file, TFrameSet* set, const std::string& title,
                                  int32_t position) {
  if (historyMax_ < 1 || set_->CurrentFile.empty()) {
    FreeUnused(set);
    return;
  }
  std::vector<TFrameSet*> dropped;
  if (!historySets_.empty() && !file.empty()) {
    size_t at = size_t(historyPosition_);
    dropped.push_back(historySets_[at].Set);
    historyNames_.Put(int(at), file);
    historyTitles_.Put(int(at), title);
    historySets_[at] = {set, position};
    for (size_t i = 0; i < at; ++i) dropped.push_back(historySets_[i].Set);
    for (int i = 0; i < historyPosition_; ++i) {
      historyNames_.Delete(0);
      historyTitles_.Delete(0);
    }
    historySets_.erase(historySets_.begin(), historySets_.begin() + historyPosition_);
  } else {
    dropped.push_back(set);
  }
  historyPosition_ = 0;
  historyNames_.Insert(0, set_->CurrentFile);
  historyTitles_.Insert(0, set_->Title);
  historySets_.insert(historySets_.begin(), TSetEntry{set_, 0});
  while (int(historySets_.size()) > historyMax_) {
    dropped.push_back(historySets_.back().Set);
    historySets_.pop_back();
    historyNames_.Delete(historyNames_.Count() - 1);
    historyTitles_.Delete(historyTitles_.Count() - 1);
  }
  std::sort(dropped.begin(), dropped.end());
  dropped.erase(std::unique(dropped.begin(), dropped.end()), dropped.end());
  for (TFrameSet* d : dropped) FreeUnused(d);
  HistoryChanged();
}

void TFramesetViewer::ClearHistory() {
  std::vector<TFrameSet*> sets;
  for (const TSetEntry& e : historySets_) sets.push_back(e.Set);
  historySets_.clear();
  historyNames_.Clear();
  historyTitles_.Clear();
  historyPosition_ = 0;
  std::sort(sets.begin(), sets.end());
  sets.erase(std::unique(sets.begin(), sets.end()), sets.end());
  for (TFrameSet* s : sets) FreeUnused(s);
}

void TFramesetViewer::SetHistoryMaxCount(int n) {
  if (n < 0 || n == historyMax_) return;
  bool had = !historySets_.empty();
  historyMax_ = n;
  ClearHistory();
  EachViewer([n](TDocViewer& v) {
    v.SetHistoryMaxCount(0);
    v.SetHistoryMaxCount(n);
  });
  set_->AllFrames.clear();
  set_->CollectFrames();
  for (TFrame* f : set_->AllFrames) f->ForgetHistory();
  if (had) HistoryChanged();
}

void TFramesetViewer::SetHistoryPosition(int index) {
  if (index < 0 || index >= int(historySets_.size()) || index == historyPosition_ || busy_) return;
  TBusyScope busy(*this);
  TDocViewer* single = set_->SingleViewer();
  historySets_[size_t(historyPosition_)].Position = single ? single->Position() : 0;
  const TSetEntry& e = historySets_[size_t(index)];
  historyPosition_ = index;
  if (e.Set != set_) {
    set_->UnloadContent();
    set_->SetVisible(false);
    set_ = e.Set;
    set_->SetVisible(true);
    set_->Distribute();
    set_->ReloadContent(-1);
    set_->AllFrames.clear();
    set_->CollectFrames();
  }
  if (TDocViewer* now = set_->SingleViewer()) now->SetPosition(e.Position);
  HistoryChanged();
}

bool TFramesetViewer::FwdButtonEnabled() const {
  if (historyPosition_ > 0) return true;
  return std::any_of(set_->AllFrames.begin(), set_->AllFrames.end(),
                     [](const TFrame* f) { return f->HistoryIndex() > 0; });
}

bool TFramesetViewer::BackButtonEnabled() const {
  if (historyPosition_ <= int(historySets_.size()) - 2) return true;
  return std::any_of(set_->AllFrames.begin(), set_->AllFrames.end(), [](const TFrame* f) {
    return f->HistoryIndex() <= int(f->HistoryNames().size()) - 2;
  });
}

void TFramesetViewer::LinkClicked(TFrame& frame, const std::string& url, const std::string& target) {
  if (busy_) return;  // counts as handled
  pendingFrame_ = &frame;
  pendingUrl_ = url;
  pendingTarget_ = target;
  if (!pending_ && HandleAllocated()) {
    pending_ = true;
    PostMessageA(Handle(), WM_FRAMES_NAVIGATE, 0, 0);
  }
}

void TFramesetViewer::WndProc(TMessage& m) {
  if (m.Msg == WM_FRAMES_NAVIGATE) {
    pending_ = false;
    Route();
    m.Result = 0;
    return;
  }
  TWinControl::WndProc(m);
}

void TFramesetViewer::Route() {
  TFrame* frame = pendingFrame_.Get();
  pendingFrame_ = nullptr;
  if (!frame) return;
  std::string url = pendingUrl_, linkTarget = pendingTarget_;
  TDocViewer* viewer = frame->Viewer();
  std::string setTarget = frame->ParentSet() ? frame->ParentSet()->BaseTarget : set_->BaseTarget;
  std::string target;
  TTargetKind kind =
      ResolveTarget(linkTarget, viewer ? viewer->BaseTarget() : std::string(), setTarget, set_->FrameNames(), target);
  bool handled = false;
  if (OnHotSpotTargetClick) OnHotSpotTargetClick(this, target, url, handled);
  if (handled) return;
  if (kind == TTargetKind::tkOther) {
    if (OnBlankWindowRequest) OnBlankWindowRequest(this, target, url);
    return;
  }
  std::string file, anchor;
  SplitAnchor(url, file, anchor);
  if (file.empty() && viewer) {  // an anchor of the page shown
    viewer->JumpToAnchor(anchor);
    return;
  }
  std::string name = file.empty() ? frame->Source : UsesRequests() || !viewer ? file : viewer->ExpandLinkName(file);
  TBusyScope busy(*this);
  TFrame* into = kind == TTargetKind::tkNamedFrame ? set_->NamedFrame(target) : frame;
  // A set of one frame viewer follows its links as a whole.
  if ((kind == TTargetKind::tkThisFrame || kind == TTargetKind::tkNamedFrame) && set_->SingleViewer() &&
      !SameText(name, set_->CurrentFile))
    kind = TTargetKind::tkTopSet;
  switch (kind) {
    case TTargetKind::tkThisFrame:
    case TTargetKind::tkNamedFrame:
      into->Navigate(name, anchor, true);
      break;
    case TTargetKind::tkTopSet:
      LoadFromFile(anchor.empty() ? name : name + "#" + anchor);
      break;
    case TTargetKind::tkParentSet: {
      TSubFrameSet* parent = frame->ParentSet();
      if (!parent || parent == set_)
        LoadFromFile(anchor.empty() ? name : name + "#" + anchor);
      else
        parent->ReplaceWithOne(name, anchor);
      break;
    }
    case TTargetKind::tkOther:
      break;
  }
}
