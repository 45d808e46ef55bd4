#include "html_viewer/frames_win32.h"

#include <algorithm>

#include "framework/core/exceptions.h"
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

}  // namespace

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
  if (GetCapture() == Handle()) ReleaseCapture();
  if (parentSet_ && button == TMouseButton::mbLeft) parentSet_->BorderMouseUp(x + Left(), y + Top());
}

// ---- TFrame

const TClassInfo& TFrame::StaticClass() {
  static const TClassInfo info{"TFrame", &TFrameBase::StaticClass(), Factory<TFrame>(), {}};
  return info;
}

TFrame::TFrame(TComponent* owner, TFrameSet* top, TSubFrameSet* parentSet, const TFrameSpec& spec,
               const std::string& source)
    : TFrameBase(owner, top, parentSet),
      FrameName(spec.Name),
      Source(source),
      Destination(spec.Destination),
      NoResize(spec.NoResize),
      ScrollingOff(spec.ScrollingOff) {
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
  top_->FramesetViewer()->Configure(*v);
  if (ScrollingOff) v->SetScrollBars(TScrollStyle::ssNone);
  if (top_->FramesetViewer()->FrameBorder == 0) v->SetBorderStyle(THTMLBorderStyle::htNone);
  v->SetParent(this);
  v->SetAlign(TAlign::alClient);
  v->OnHotSpotClick = THotSpotClickEvent([this](TObject*, const std::string& url, bool& handled) {
    handled = true;
    top_->FramesetViewer()->LinkClicked(*this, url, viewer_ ? viewer_->HotSpotTarget() : std::string());
  });
  v->OnHotSpotCovered = THotSpotEvent([this](TObject*, const std::string& url) {
    TFramesetViewer* fv = top_->FramesetViewer();
    if (fv->OnHotSpotTargetCovered) fv->OnHotSpotTargetCovered(fv, viewer_ ? viewer_->HotSpotTarget() : "", url);
  });
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

void TFrame::LoadContent() {
  if (!top_ || Source.empty() || top_->Depth >= kMaxFrameNesting) return;
  ++top_->Depth;
  try {
    if (!platform::IsFile(Source)) throw EInOutError("Can't locate file: " + Source);
    if (!IsPicture(Source) && !IsText(Source) && IsFrameDocument(TSourceRef::File(Source))) {
      TFrameSetSpec spec;
      spec.Top = false;
      FrameParse(spec, TSourceRef::File(Source));
      // A set of its own: its borders are its own, its outer edges the frame's.
      nested_ = new TSubFrameSet(this, top_, nullptr);
      nested_->SetParent(this);
      nested_->SetAlign(TAlign::alClient);
      nested_->Build(spec, ExtractFilePath(Source));
      nested_->LoadContent();
      nested_->Distribute();
    } else {
      viewer_ = MakeViewer();
      if (IsPicture(Source))
        viewer_->LoadImageFile(Source);
      else if (IsText(Source))
        viewer_->LoadTextFile(Source);
      else
        viewer_->LoadFromFile(Destination.empty() ? Source : Source + "#" + Destination);
    }
  } catch (const std::exception&) {
    ShowError(Source);
  }
  --top_->Depth;
}

void TFrame::Navigate(const std::string& source, const std::string& destination) {
  if (SameText(source, Source) && viewer_) {
    if (!destination.empty()) viewer_->JumpToAnchor(destination);
    return;
  }
  if (!platform::IsFile(source)) throw EInOutError("Can't load: " + source);
  bool frameSet = !IsPicture(source) && !IsText(source) && IsFrameDocument(TSourceRef::File(source));
  Source = source;
  Destination = destination;
  if (viewer_ && !frameSet) {
    std::string name = destination.empty() ? source : source + "#" + destination;
    if (IsPicture(source))
      viewer_->LoadImageFile(source);
    else if (IsText(source))
      viewer_->LoadTextFile(source);
    else
      viewer_->LoadFromFile(name);
    return;
  }
  ClearContent();
  LoadContent();
  if (top_) {
    top_->AllFrames.clear();
    top_->CollectFrames();
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
  dragBorder_ = -1;
}

void TSubFrameSet::Build(const TFrameSetSpec& spec, const std::string& dir) {
  ClearSet();
  ByRows = spec.ByRows;
  Dimensions = spec.Dimensions;
  Base = spec.Base;
  BaseTarget = spec.BaseTarget;
  for (const TFrameSpec& f : spec.Frames) {
    TFrameBase* child;
    if (f.SubSet) {
      auto* sub = new TSubFrameSet(this, top_, this);
      sub->Build(*f.SubSet, dir);
      child = sub;
    } else {
      child = new TFrame(this, top_, this, f, SourcePath(f.Source, dir, spec.Base));
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

void TSubFrameSet::BorderMouseDown(int x, int y) {
  int pos = ByRows ? y : x;
  int border = BorderUnder(pos);
  if (border <= 0 || border >= int(Positions.size()) - 1) {
    // An edge of a nested set belongs to the set around it.
    if (border >= 0 && parentSet_) parentSet_->BorderMouseDown(x + Left(), y + Top());
    return;
  }
  dragBorder_ = border;
}

void TSubFrameSet::BorderMouseMove(int x, int y) {
  if (dragBorder_ >= 0) return;
  int border = BorderUnder(ByRows ? y : x);
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
  int pos = std::clamp(ByRows ? y : x, Positions[b - 1] + 1, Positions[b + 1] - 1);
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
  TFrameSpec f;
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
  if (!platform::IsFile(file)) throw EInOutError("Can't locate file: " + file);
  std::string path = platform::FullPath(file);
  Depth = 0;
  AllFrames.clear();
  TFrameSetSpec spec;
  bool frameSet = !IsPicture(path) && !IsText(path) && FrameParse(spec, TSourceRef::File(path));
  if (!frameSet) {
    // Anything else is one frame showing it.
    spec = TFrameSetSpec();
    spec.Dimensions = {-1};
    TFrameSpec f;
    f.Source = path;
    f.Destination = anchor;
    spec.Frames.push_back(std::move(f));
  }
  viewer_->FrameBorder = spec.FrameBorder;
  if (spec.OuterBorder > 0) {
    SetBevelOuter(TBevelCut::bvLowered);
    SetBevelWidth(spec.OuterBorder);
  } else {
    SetBevelOuter(TBevelCut::bvNone);
  }
  CurrentFile = path;
  Title = spec.Title;
  Build(spec, ExtractFilePath(path));
  LoadContent();
  CollectFrames();
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

const TClassInfo& TFramesetViewer::StaticClass() {
  using P = TProps<TFramesetViewer>;
  static const TClassInfo info{
      "TFramesetViewer",
      &TWinControl::StaticClass(),
      Factory<TFramesetViewer>(),
      {P::Bool("ViewImages", [](const TFramesetViewer& v) { return v.ViewImages; },
               [](TFramesetViewer& v, bool b) { v.ViewImages = b; })
           .WithDefault(true),
       P::Int("HistoryMaxCount", [](const TFramesetViewer& v) { return v.HistoryMaxCount; },
              [](TFramesetViewer& v, int n) { v.HistoryMaxCount = std::max(0, n); })
           .WithDefault(int64_t(0)),
       P::Event("OnHotSpotTargetCovered", &TFramesetViewer::OnHotSpotTargetCovered),
       P::Event("OnHotSpotTargetClick", &TFramesetViewer::OnHotSpotTargetClick),
       P::Event("OnBlankWindowRequest", &TFramesetViewer::OnBlankWindowRequest)}};
  return info;
}

void RegisterFramesetViewer() {
  for (const TClassInfo* c : {&TFrameBase::StaticClass(), &TFrame::StaticClass(), &TSubFrameSet::StaticClass(),
                              &TFrameSet::StaticClass(), &TFramesetViewer::StaticClass()})
    RegisterClass(*c);
}

TFramesetViewer::TFramesetViewer(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 150, 150);
  set_ = new TFrameSet(this, this);
  set_->SetParent(this);
  set_->SetAlign(TAlign::alClient);
}

void TFramesetViewer::Configure(TDocViewer& v) const {
  v.SetViewImages(ViewImages);
  v.SetHistoryMaxCount(HistoryMaxCount);
  v.SetDefBackground(DefBackground);
  v.SetDefFontColor(DefFontColor);
  v.SetDefHotSpotColor(DefHotSpotColor);
  v.SetDefFontName(DefFontName);
  v.SetDefPreFontName(DefPreFontName);
  v.SetDefFontSize(DefFontSize);
}

void TFramesetViewer::LoadFromFile(const std::string& name) {
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
  set_ = fresh;
  old->Free();
  set_->SetVisible(true);
  set_->Distribute();
}

void TFramesetViewer::LinkClicked(TFrame& frame, const std::string& url, const std::string& target) {
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
  std::string name = file.empty() ? (viewer ? viewer->CurrentFile() : frame->Source)
                                  : (viewer ? viewer->ExpandLinkName(file) : file);
  if (file.empty() && viewer) {  // an anchor of the page shown
    viewer->JumpToAnchor(anchor);
    return;
  }
  switch (kind) {
    case TTargetKind::tkThisFrame:
      frame->Navigate(name, anchor);
      break;
    case TTargetKind::tkNamedFrame:
      set_->NamedFrame(target)->Navigate(name, anchor);
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
