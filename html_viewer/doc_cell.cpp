#include "html_viewer/doc_cell.h"

#include <algorithm>

#include "html_viewer/gif_image.h"

namespace {

class TCountingSink : public ITextSink {
 public:
  void Put(const char* text, int length) override { count_.Put(text, length); }
  void PutLine(const char* text, int length) override { count_.PutLine(text, length); }
  int Total() const { return count_.Total(); }

 private:
  SelTextCount count_;
};

}  // namespace

// ---- TCell

TCell::TCell(TSectionOwner& master) : master_(&master) {}

TCell::TCell(TSectionOwner& master, const TCell& source) : SpareWord(source.SpareWord), master_(&master) {
  for (const auto& s : source.sections_) AddSection(s->Duplicate(master));
}

TCell::~TCell() = default;

void TCell::AddSection(std::unique_ptr<TSectionBase> section) {
  if (!section) return;
  if (auto* pre = dynamic_cast<TPreFormated*>(section.get()); pre && pre->Buffer().empty()) pre->AppendText(" ");
  section->ComputeSpacing();
  sections_.push_back(std::move(section));
}

void TCell::Report(const std::exception& e) {
  if (master_->Errors) master_->Errors->ShowError(e.what());
}

int TCell::Layout(int y, int width, int& cursor, int& maxWidth) {
  Indent.ClearRecords();
  Indent.ResetEdges(0, width);
  width_ = width;
  TopY = y;
  StartCursor = cursor;
  int height = 0;
  maxWidth = 0;
  for (size_t i = 0; i < sections_.size();) {
    int w = 0;
    try {
      height += sections_[i]->Layout(y + height, Indent, w, cursor);
    } catch (const EProcessError& e) {
      Report(e);
      sections_.erase(sections_.begin() + std::ptrdiff_t(i));
      continue;
    }
    maxWidth = std::max(maxWidth, w);
    ++i;
  }
  CursorCount = cursor - StartCursor;
  return std::max(height, Indent.FloatBottom() - y);
}

void TCell::WidthRange(int& min, int& max) {
  if (rangeGeneration_ == master_->LayoutGeneration) {
    min = rangeMin_, max = rangeMax_;
    return;
  }
  min = max = 0;
  for (size_t i = 0; i < sections_.size();) {
    int mn = 0, mx = 0;
    try {
      sections_[i]->WidthRange(mn, mx);
    } catch (const EProcessError& e) {
      Report(e);
      sections_.erase(sections_.begin() + std::ptrdiff_t(i));
      continue;
    }
    min = std::max(min, mn);
    max = std::max(max, mx);
    ++i;
  }
  rangeGeneration_ = master_->LayoutGeneration;
  rangeMin_ = min, rangeMax_ = max;
}

int TCell::Paint(IDocCanvas& canvas, const TRect& clip, int x, int y) {
  Indent.LeftEdge = x;
  Indent.RightEdge = x + width_;
  for (auto& s : sections_) y = s->Paint(canvas, clip, Indent, x, y);
  return y;
}

bool TCell::LinkAt(int x, int y, TUrlTarget& link, TFormControlObj*& control) {
  int top = TopY;
  for (auto& s : sections_) {
    if (top <= y && y < top + s->PaintHeight && s->LinkAt(x, y, link, control)) return true;
    top += s->Height;
  }
  return false;
}

TSectionBase* TCell::SectionAtY(int y, int& top, int& index) const {
  int t = TopY;
  for (size_t i = 0; i < sections_.size(); ++i) {
    if (t + sections_[i]->Height > y) {
      top = t;
      index = int(i);
      return sections_[i].get();
    }
    t += sections_[i]->Height;
  }
  return nullptr;
}

int TCell::CursorAtPoint(int x, int y, int& xResult, int& yResult, int& caretHeight, bool& inText) {
  int top, index;
  TSectionBase* s = SectionAtY(y, top, index);
  if (!s) return -1;
  return s->CursorAtPoint(x, y, xResult, yResult, caretHeight, inText);
}

int TCell::SearchText(int from, const std::string& text, bool matchCase) {
  for (auto& s : sections_)
    if (int c = s->SearchText(from, text, matchCase); c >= 0) return c;
  return -1;
}

bool TCell::PointOfCursor(int cursor, int& x, int& y) {
  for (auto& s : sections_)
    if (s->PointOfCursor(cursor, x, y)) return true;
  return false;
}

bool TCell::CharAtCursor(int cursor, char& c, TSectionBase*& section) {
  if (cursor < StartCursor || cursor >= StartCursor + CursorCount) return false;
  for (auto& s : sections_)
    if (s->CharAtCursor(cursor, c, section)) return true;
  return false;
}

void TCell::AppendSelectedText(ITextSink& sink) {
  int sb = master_->SelBegin, se = master_->SelEnd;
  if (sb >= se) return;
  for (auto& s : sections_) {
    if (s->FirstCursor >= se) break;
    // A block without cursor positions (a spacer) takes part when it lies inside.
    bool overlaps = s->CursorCount > 0 ? s->FirstCursor + s->CursorCount > sb : s->FirstCursor > sb;
    if (overlaps) s->AppendSelectedText(sink);
  }
}

void TCell::RefreshFonts() {
  for (auto& s : sections_) s->RefreshFonts();
}

// ---- TSectionList

TSectionList::TSectionList(ITextMeasurer& measurer, IPaintSurface& surface, IDocTimer& timer, IErrorSink& errors,
                           IImagePlatform& images)
    : TSectionOwner(measurer, images), TCell(static_cast<TSectionOwner&>(*this)), surface_(&surface), timer_(&timer) {
  Errors = &errors;
  timer_->SetEnabled(false);
  timer_->SetInterval(50);
  timer_->SetOnTimer([this] { AnimationTick(); });
}

TSectionList::~TSectionList() {
  timer_->SetOnTimer(nullptr);
  timer_->SetEnabled(false);
  ClearDocument();
}

void TSectionList::ClearDocument() {
  bgBitmap_ = nullptr;
  if (bgLoaded_ && !bgKey_.empty()) BitmapList().ReleaseEntry(bgKey_);
  bgKey_.clear();
  bgName_.clear();
  bgLoaded_ = false;
  CurrentForm = nullptr;
  FormControls.clear();
  Forms.clear();
  AnimatedImages.clear();
  SelBegin = SelEnd = 0;
  Maps.clear();
  Clear();
}

void TSectionList::ApplyDefaults(const std::string& fontName, const std::string& preFontName, TColor textColour,
                                 TColor linkColour, TColor background, int fontSize) {
  FontName = fontName.substr(0, 32);
  PreFontName = preFontName.substr(0, 32);
  TextColor = textColour;
  LinkColor = linkColour;
  FontSize = fontSize;
  ChangeBackgroundColour(background);
  RefreshFonts();
}

void TSectionList::ChangeBackgroundColour(TColor colour) {
  Background = colour;
  if (OnBackgroundChange) OnBackgroundChange(colour);
}

void TSectionList::SetBackgroundImageName(const std::string& name) {
  if (bgLoaded_ && !bgKey_.empty()) BitmapList().ReleaseEntry(bgKey_);
  bgKey_.clear();
  bgBitmap_ = nullptr;
  bgName_ = name;
  bgLoaded_ = false;
}

TViewerImage* TSectionList::LoadBackgroundImage() {
  if (ImagesShown && !bgLoaded_ && !bgName_.empty()) {
    std::string name = bgName_;
    if (!OnBitmapRequest && !OnImageRequest && ExpandName) name = ExpandName(name);
    bool transparent = false, fromCache = false;
    TViewerImage* mask = nullptr;
    TViewerImage* image = FetchImage(name, transparent, fromCache, mask, bgKey_);
    if (image && !image->AsGif()) bgBitmap_ = image;
    bgLoaded_ = true;
  }
  return bgBitmap_;
}

void TSectionList::ScrollOffsetTo(int y) {
  if (y == YOffset) return;
  YOffset = y;
  ControlsMoved = true;
  for (auto& form : Forms)
    for (auto& control : form->Controls) control->Shown = false;
}

int TSectionList::CountSelected() {
  if (SelBegin >= SelEnd) return 0;
  TCountingSink counter;
  AppendSelectedText(counter);
  return counter.Total();
}

int TSectionList::TopOfSection(int index) const {
  int y = 0;
  for (int i = 0; i < std::min(index, Count() - 1); ++i) y += Section(i).Height;
  return y;
}

TViewPosition TSectionList::ViewPosition() const {
  int top = 0, index = 0;
  if (!SectionAtY(YOffset, top, index)) return {0, YOffset};
  return {index, YOffset - top};
}

void TSectionList::SetViewPosition(const TViewPosition& position) {
  if (position.Index >= 0 && position.Index < Count()) ScrollOffsetTo(TopOfSection(position.Index) + position.Offset);
}

int TSectionList::Layout(int y, int width, int& cursor, int& maxWidth) {
  timer_->SetEnabled(false);
  ++LayoutGeneration;
  for (auto& form : Forms) form->SizeControls(Measurer());
  int height = TCell::Layout(y, width, cursor, maxWidth);
  if (!Printing)
    for (TGIFImage* gif : AnimatedImages) {
      gif->SetAnimating(false);
      gif->SetCurrentFrame(1);
      gif->SetAnimating(true);
    }
  timer_->SetEnabled(!AnimatedImages.empty() && !Printing);
  return height;
}

int TSectionList::Paint(IDocCanvas& canvas, const TRect& clip, int x, int y) {
  timer_->SetEnabled(false);
  // Only what this paint may draw again loses its mark: a picture outside the clip keeps
  // animating.
  for (TGIFImage* gif : AnimatedImages)
    if (gif->LastPaintRect().Intersects(clip)) gif->Drawn = false;
  canvas.SelectDisplayPalette(true);
  int after = TCell::Paint(canvas, clip, x, y);
  canvas.SelectDisplayPalette(false);
  if (ControlsMoved) {
    TRect visible = Surface().VisibleArea();
    for (TFormControlObj* control : FormControls)
      if (control->HasWindow() && !control->Shown && !control->Place().Intersects(visible)) control->Window()->Hide();
    ControlsMoved = false;
  }
  timer_->SetEnabled(!AnimatedImages.empty() && !Printing);
  return after;
}

void TSectionList::AnimationTick() {
  if (!Printing)
    for (TGIFImage* gif : AnimatedImages)
      if (gif->Drawn) gif->TimerStep([this](const TRect& r) { surface_->Invalidate(r); });
  timer_->SetInterval(50);
}
