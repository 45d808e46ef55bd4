#include "html_viewer/doc_sections.h"

#include <algorithm>

#include "framework/core/sysutils.h"
#include "html_viewer/doc_forms.h"

void TSelectionText::Put(const char* text, int length) {
  for (int i = 0; i < length; ++i)
    if (text[i] != 2 && text[i] != 4) text_ += text[i];
  count_.Put(text, length);
}

void TSelectionText::PutLine(const char* text, int length) {
  Put(text, length);
  text_ += "\r\n";
  count_.PutLine("", 0);
}

// ---- TSectionBase

std::unique_ptr<TSectionBase> TSectionBase::Duplicate(TSectionOwner& owner) const {
  auto copy = std::make_unique<TSectionBase>(owner);
  copy->Height = Height;
  return copy;
}

int TSectionBase::Layout(int y, IndentManager& im, int& maxWidth, int& cursor) {
  Top = y;
  FirstCursor = cursor;
  PaintHeight = Height;
  maxWidth = im.Width;
  return Height;
}

int TSectionBase::Paint(IDocCanvas&, const TRect&, IndentManager&, int, int y) {
  Top = y;
  return y + Height;
}

// ---- TSection: building

TSection::TSection(TSectionOwner& owner, int listLevel, const TMyFont& font, const TUrlTarget* link, int alignment)
    : TSectionBase(owner), listLevel_(listLevel), indent_(listLevel * 35), baseFont_(font), alignment_(alignment) {
  owner.CurrentSScript = 0;
  TMyFont f = font;
  f.Style |= owner.CurrentStyle;
  auto run = std::make_unique<TFontObj>(owner, f, 0);
  if (link) run->Link = *link;
  fonts_.Add(std::move(run));
}

TSection::TSection(TSectionOwner& owner, const TSection& source)
    : TSectionBase(owner),
      buffer_(source.buffer_),
      controls_(source.controls_),
      listLevel_(source.listLevel_),
      indent_(source.indent_),
      baseFont_(source.baseFont_),
      alignment_(source.alignment_),
      clear_(source.clear_) {
  Height = source.Height;
  buffer_.reserve(source.buffer_.capacity());
  fonts_.Duplicate(owner, source.fonts_);
  images_.Duplicate(owner, source.images_);
  ListKind = source.ListKind;
  ItemNumber = source.ItemNumber;
}

std::unique_ptr<TSectionBase> TSection::Duplicate(TSectionOwner& owner) const {
  return std::unique_ptr<TSectionBase>(new TSection(owner, *this));
}

std::unique_ptr<TSectionBase> TPreFormated::Duplicate(TSectionOwner& owner) const {
  return std::unique_ptr<TSectionBase>(new TPreFormated(owner, *this));
}

namespace {
std::string Spaced(const std::string& text) {
  std::string s = text;
  for (char& c : s)
    if (c == 0 || c == 2 || c == 4) c = ' ';
  return s;
}
}  // namespace

void TSection::AppendText(const std::string& text) {
  if (buffer_.size() > size_t(kTextCap)) return;
  std::string s = Spaced(text);
  if (!s.empty() && s[0] == ' ') {
    bool onlyFloats = !buffer_.empty();
    for (size_t i = 0; i < buffer_.size() && onlyFloats; ++i) {
      TImageObj* image = buffer_[i] == 4 ? images_.ImageAtPosition(int(i)) : nullptr;
      onlyFloats = image && image->Floats();
    }
    if (buffer_.empty() || buffer_.back() == ' ' || onlyFloats) s.erase(0, 1);
  }
  buffer_ += s;
}

void TPreFormated::AppendText(const std::string& text) {
  if (buffer_.size() > size_t(kTextCap)) return;
  buffer_ += Spaced(text);
}

void TSection::SwitchFont(const TMyFont& font) {
  TMyFont f = font;
  f.Style |= Owner().CurrentStyle;
  int sscript = Owner().CurrentSScript;
  if (sscript == 1 || sscript == 2) f.Size = MulDivRound(f.Size, 3, 4);
  TFontObj& last = fonts_.Last();
  if (last.Position == int(buffer_.size())) {
    last.SetFont(f);
    last.SScript = sscript;
    return;
  }
  auto run = std::make_unique<TFontObj>(Owner(), f, int(buffer_.size()));
  run->Link = last.Link;
  run->SScript = sscript;
  fonts_.Add(std::move(run));
}

void TSection::SwitchLink(const TMyFont& font, const TUrlTarget* link) {
  SwitchFont(font);
  fonts_.Last().Link.ClearLink();
  if (link) fonts_.Last().Link = *link;
}

bool TSection::InsertImage(const TAttributeList& attributes) {
  if (buffer_.size() > size_t(kTextCap)) return false;
  images_.Add(std::make_unique<TImageObj>(int(buffer_.size()), attributes));
  buffer_ += '\4';
  return true;
}

bool TSection::InsertControl(TFormControlObj* control) {
  if (buffer_.size() > size_t(kTextCap)) return false;
  controls_.push_back({int(buffer_.size()), control});
  buffer_ += '\2';
  return true;
}

int TSection::Complete() {
  if (buffer_.empty()) buffer_ = " ";
  return alignment_;
}

void TSection::ReadClear(const TAttributeList& attributes) {
  const TAttribute* a = attributes.Lookup(ClearSy);
  if (!a) return;
  std::string v = LowerCase(Trim(a->Name));
  clear_ = v == "left" ? 1 : v == "right" ? 2 : 3;
}

void TSection::RefreshFonts() {
  fonts_.RefreshFonts();
  baseFont_.RefreshFromList(Owner().FontName, Owner().PreFontName, Owner().FontSize, Owner().TextColor);
  ComputeSpacing();
}

// ---- Measuring

TFormControlObj* TSection::ControlAt(int at) const {
  for (const auto& [pos, control] : controls_)
    if (pos == at) return control;
  return nullptr;
}

int TSection::TextWidthIn(const TFontObj& run, int start, int count) const {
  if (count <= 0) return 0;
  return Owner().Measurer().TextWidth(run.Font(), buffer_.data() + start, count) - run.Overhang();
}

int TSection::PieceWidth(int start, int count) const {
  int w = 0, end = start + count, i = start;
  while (i < end) {
    if (buffer_[size_t(i)] == 4) {
      TImageObj* image = images_.ImageAtPosition(i);
      if (image && !image->Floats()) w += image->ImageWidth;
      ++i;
    } else if (buffer_[size_t(i)] == 2) {
      if (TFormControlObj* c = ControlAt(i)) w += c->Width();
      ++i;
    } else {
      int n = std::min(fonts_.CharsToNextRun(i, int(buffer_.size())), end - i);
      int j = i;
      while (j < i + n && !IsObject(j)) ++j;
      w += TextWidthIn(fonts_.Run(fonts_.RunAtPosition(i)), i, j - i);
      i = j;
    }
  }
  return w;
}

int TSection::CharWidth(int at) const { return PieceWidth(at, 1); }

int TSection::ClearSpace(const IndentManager& im, int y) const {
  if (clear_ == 0) return 0;
  int left, right;
  im.ClearLevels(left, right);
  int l = std::max(0, left - y - 1), r = std::max(0, right - y - 1);
  return clear_ == 1 ? l : clear_ == 2 ? r : std::max(l, r);
}

int TSection::CountFitting(IndentManager& im, int y, int width, int start, std::vector<TImageObj*>& later) {
  int len = int(buffer_.size()), i = start, w = 0;
  bool text = false;
  while (i < len) {
    if (buffer_[size_t(i)] == 4 || buffer_[size_t(i)] == 2) {
      TImageObj* image = buffer_[size_t(i)] == 4 ? images_.ImageAtPosition(i) : nullptr;
      if (image && image->Floats()) {
        if (!text) {
          im.AddFloatImage(y, *image);
          w += image->ImageWidth + image->HSpace;
        } else {
          later.push_back(image);
        }
      } else {
        int ow = image ? image->ImageWidth : (ControlAt(i) ? ControlAt(i)->Width() : 0);
        if (w + ow > width && i > start) break;
        w += ow;
        text = true;
      }
      ++i;
      continue;
    }
    const TFontObj& run = fonts_.Run(fonts_.RunAtPosition(i));
    int end = i + fonts_.CharsToNextRun(i, len);
    for (int j = i; j < end; ++j)
      if (IsObject(j)) {
        end = j;
        break;
      }
    if (TextWidthIn(run, i, end - i) <= width - w) {
      w += TextWidthIn(run, i, end - i);
      i = end;
      text = true;
      continue;
    }
    int lo = 0, hi = end - i;  // lo fits, hi does not
    while (hi - lo > 1) {
      int mid = (lo + hi) / 2;
      (TextWidthIn(run, i, mid) <= width - w ? lo : hi) = mid;
    }
    i += lo;
    break;
  }
  return std::max(i - start, 1);
}

void TSection::MeasureLine(IndentManager& im, int& y, int start, int count, const std::vector<TImageObj*>& floats) {
  LineRec line;
  line.Start = start;
  line.Chars = count;
  int end = start + count;
  bool onlyObjects = true;
  for (int i = start; i < end; ++i) onlyObjects = onlyObjects && IsObject(i);
  if (!onlyObjects) {
    for (int r = fonts_.RunAtPosition(start); r < fonts_.Count() && fonts_.Run(r).Position < end; ++r) {
      int descent;
      line.LineHt = std::max(line.LineHt, fonts_.Run(r).LineHeight(descent));
      line.Descent = std::max(line.Descent, descent);
    }
  }
  for (int i = start; i < end; ++i) {
    if (buffer_[size_t(i)] == 4) {
      TImageObj* image = images_.ImageAtPosition(i);
      if (!image || image->Floats()) continue;
      int ih = image->ImageHeight;
      if (image->Alignment == iaTop) {
        line.SpaceBelow = std::max(line.SpaceBelow, ih - line.LineHt);
      } else if (image->Alignment == iaMiddle) {
        int excess = ih - line.LineHt;
        line.SpaceBelow = std::max(line.SpaceBelow, excess / 2);
        line.SpaceAbove = std::max(line.SpaceAbove, excess - excess / 2);
      } else {
        line.SpaceAbove = std::max(line.SpaceAbove, ih + line.Descent - line.LineHt);
      }
    } else if (buffer_[size_t(i)] == 2) {
      if (TFormControlObj* c = ControlAt(i)) line.SpaceAbove = std::max(line.SpaceAbove, c->Height() - line.LineHt);
    }
  }
  int visible = count;
  while (visible > 0 && buffer_[size_t(start + visible - 1)] == ' ') --visible;
  line.Width = PieceWidth(start, visible);
  int left = im.LeftEdgeAt(y), right = im.RightEdgeAt(y);
  if (alignment_ == 2)
    line.LineIndent = std::max(left, (right + left - line.Width) / 2);
  else if (alignment_ == 3)
    line.LineIndent = right - line.Width;
  else
    line.LineIndent = left;
  int advance = line.Advance();
  Height += advance;
  line.PaintHt = advance;
  y += advance;
  for (TImageObj* image : floats) {
    im.AddFloatImage(y, *image);
    line.PaintHt = std::max(line.PaintHt, advance + image->ImageHeight);
  }
  lines_.push_back(line);
}

// ---- Layout

int TSection::Layout(int y, IndentManager& im, int& maxWidth, int& cursor) {
  Top = y;
  FirstCursor = cursor;
  Height = 0;
  lines_.clear();
  im.SetListLevel(y, listLevel_);
  int len = int(buffer_.size());
  CursorCount = len;
  if (len == 0) {
    Height = ClearSpace(im, y);
    PaintHeight = Height;
    maxWidth = 0;
    return Height;
  }
  leftIndent_ = im.LeftEdgeAt(y);
  maxWidth = im.Width;
  for (int i = 0; i < images_.Count(); ++i) {
    TImageObj& image = images_.Image(i);
    image.Layout(Owner(), fonts_.Run(fonts_.RunAtPosition(image.Position)));
    maxWidth = std::max(maxWidth, image.ImageWidth + indent_);
  }
  for (const auto& [pos, control] : controls_)
    if (control->HasWindow()) maxWidth = std::max(maxWidth, control->Width() + indent_);
  if (int clear = ClearSpace(im, y); clear > 0) {
    LineRec line;
    line.LineHt = line.PaintHt = clear;
    line.LineIndent = leftIndent_;
    lines_.push_back(line);
    Height += clear;
    y += clear;
  }
  std::vector<TImageObj*> later;
  for (int pos = 0; pos < len;) {
    int width = IsPreformatted() ? 32000 : im.RightEdgeAt(y) - im.LeftEdgeAt(y);
    later.clear();
    int end = pos + CountFitting(im, y, width, pos, later);
    if (end < len) {
      if (buffer_[size_t(end)] == ' ') {
        while (end < len && buffer_[size_t(end)] == ' ') ++end;
      } else if (!IsObject(end)) {
        int k = end - 1;
        while (k >= pos && buffer_[size_t(k)] != ' ' && !IsObject(k)) --k;
        if (k >= pos) {
          end = k + 1;
        } else {  // one word wider than the line overflows it
          while (end < len && buffer_[size_t(end)] != ' ' && !IsObject(end)) ++end;
          while (end < len && buffer_[size_t(end)] == ' ') ++end;
        }
      }
    }
    std::erase_if(later, [end](const TImageObj* image) { return image->Position >= end; });
    MeasureLine(im, y, pos, end - pos, later);
    pos = end;
  }
  cursor = FirstCursor + CursorCount;
  if (listLevel_ > 0) Height = std::max(Height, im.ListMarkerBottom() - Top);
  PaintHeight = std::max(Height, im.FloatBottom() - Top);
  return Height;
}

int TPreFormated::Layout(int y, IndentManager& im, int& maxWidth, int& cursor) {
  int saved = im.Width;
  im.Width = 32000;
  int h = TSection::Layout(y, im, maxWidth, cursor);
  im.Width = saved;
  int mn, mx;
  WidthRange(mn, mx);
  maxWidth = mx;
  return h;
}

void TSection::WidthRange(int& min, int& max) {
  int floats = 0, widest = 0, len = int(buffer_.size());
  for (int i = 0; i < images_.Count(); ++i) {
    // Sized first: a table measures its cells before it lays them out.
    TImageObj& image = images_.Image(i);
    image.Layout(Owner(), fonts_.Run(fonts_.RunAtPosition(image.Position)));
    if (image.Floats())
      floats += image.ImageWidth + image.HSpace;
    else
      widest = std::max(widest, image.ImageWidth);
  }
  for (int i = 0; i < len;) {
    int j = i;
    while (j < len && buffer_[size_t(j)] != ' ' && buffer_[size_t(j)] != 4) ++j;
    widest = std::max(widest, PieceWidth(i, j - i));
    i = j + 1;
  }
  max = PieceWidth(0, len) + floats + indent_;
  min = widest + floats + indent_;
}

void TPreFormated::WidthRange(int& min, int& max) {
  max = PieceWidth(0, int(buffer_.size())) + indent_;
  min = std::min(500, max);
}

// ---- Painting

int TSection::Paint(IDocCanvas& canvas, const TRect& clip, IndentManager&, int x, int y) {
  TSectionOwner& owner = Owner();
  const int dy = -owner.YOffset;
  if (y + dy >= clip.Bottom || y + PaintHeight + dy <= clip.Top) return y + Height;
  Top = y;
  paintX_ = x;
  const bool pre = IsPreformatted();
  if (pre) {
    TRect area{clip.Left, std::max(clip.Top, y + dy), clip.Right, std::min(clip.Bottom, y + dy + Height)};
    canvas.SetClip(&area);
  }
  const bool selecting = owner.SelBegin < owner.SelEnd;
  auto selected = [&](int i) {
    int c = FirstCursor + i;
    return selecting && c >= owner.SelBegin && c < owner.SelEnd;
  };
  int yy = y;
  bool marked = false;
  for (const LineRec& line : lines_) {
    int textTop = yy + line.SpaceAbove;
    yy = textTop + line.LineHt;
    int baseline = yy - line.Descent;
    int cx = x + line.LineIndent;
    if (!marked && line.Chars > 0) {
      PaintMarker(canvas, cx, textTop + dy, line.LineHt, baseline + dy);
      marked = true;
    }
    for (int i = line.Start, end = line.Start + line.Chars; i < end;) {
      const TFontObj& run = fonts_.Run(fonts_.RunAtPosition(i));
      if (buffer_[size_t(i)] == 4) {
        if (TImageObj* image = images_.ImageAtPosition(i)) {
          if (image->Floats()) {
            image->Paint(owner, canvas, run, x + image->Indent, image->FloatY + dy, 0, 0);
          } else {
            image->Paint(owner, canvas, run, cx, textTop + dy, line.LineHt, baseline + dy);
            cx += image->ImageWidth;
          }
        }
        ++i;
        continue;
      }
      if (buffer_[size_t(i)] == 2) {
        if (TFormControlObj* c = ControlAt(i)) {
          // Its bottom on the line's bottom, where the line's height made room for it.
          c->Show(canvas, cx, baseline + line.Descent + dy - c->Height());
          cx += c->Width();
        }
        ++i;
        continue;
      }
      int n = std::min(fonts_.CharsToNextRun(i, int(buffer_.size())), end - i);
      int j = i + 1;
      bool sel = selected(i);
      while (j < i + n && !IsObject(j) && selected(j) == sel) ++j;
      int shift = 0;
      if (!pre && run.SScript == 1) shift = run.Metrics().Descent / 2 + 1;
      if (!pre && run.SScript == 2) shift = -(run.Metrics().Height / 3);
      TColor colour = sel ? owner.Background : run.Font().Color;
      canvas.TextOut(cx - run.Overhang() / 2, baseline + dy + shift, run.Font(), colour, buffer_.data() + i, j - i,
                     sel, run.Font().Color);
      cx += TextWidthIn(run, i, j - i);
      i = j;
    }
    yy += line.SpaceBelow;
  }
  if (pre) canvas.SetClip(nullptr);
  return y + Height;
}

// ---- Hit tests, search, selection

bool TSection::LinkAt(int x, int y, TUrlTarget& link, TFormControlObj*& control) {
  TImageList::THit hit;
  if (images_.ImageAtPoint(Owner(), x, y, hit)) {
    if (hit.Image->Control) {
      control = hit.Image->Control;
      control->MouseAt(hit.X, hit.Y);
      return true;
    }
    if (hit.Map) return hit.Map->LinkAtPoint(hit.X, hit.Y, link);
    const TFontObj& run = fonts_.Run(fonts_.RunAtPosition(hit.Image->Position));
    if (run.Link.Url.empty()) return false;
    link = run.Link;
    if (hit.Image->IsMap) link.Url += "?" + IntToStr(hit.X) + "," + IntToStr(hit.Y);
    return true;
  }
  int yy = Top;
  for (const LineRec& line : lines_) {
    if (y >= yy && y < yy + line.Advance()) {
      int dx = x - (paintX_ + line.LineIndent), acc = 0;
      if (dx < 0) return false;
      for (int k = 0; k < line.Chars; ++k) {
        acc += CharWidth(line.Start + k);
        if (dx < acc) {
          const TFontObj& run = fonts_.Run(fonts_.RunAtPosition(line.Start + k));
          if (run.Link.Url.empty()) return false;
          link = run.Link;
          return true;
        }
      }
      return false;
    }
    yy += line.Advance();
  }
  return false;
}

int TSection::CursorAtPoint(int x, int y, int& xResult, int& yResult, int& caretHeight, bool& inText) {
  int yy = Top;
  for (const LineRec& line : lines_) {
    if (y < yy + line.Advance()) {
      caretHeight = line.LineHt;
      yResult = yy + line.SpaceAbove;
      int xs = paintX_ + line.LineIndent, acc = 0, k = 0;
      inText = x >= xs && x < xs + line.Width;
      if (x > xs) {
        while (k < line.Chars) {
          int w = CharWidth(line.Start + k);
          if (xs + acc + w <= x) {
            acc += w, ++k;
            continue;
          }
          if (xs + acc + w / 2 < x) acc += w, ++k;
          break;
        }
      }
      xResult = xs + acc;
      return FirstCursor + line.Start + k;
    }
    yy += line.Advance();
  }
  return -1;
}

bool TSection::PointOfCursor(int cursor, int& x, int& y) {
  int c = cursor - FirstCursor, yy = Top;
  for (const LineRec& line : lines_) {
    if (c >= line.Start && c < line.Start + line.Chars) {
      x = paintX_ + line.LineIndent + PieceWidth(line.Start, c - line.Start);
      y = yy;
      return true;
    }
    yy += line.Advance();
  }
  return false;
}

bool TSection::CharAtCursor(int cursor, char& c, TSectionBase*& section) {
  int i = cursor - FirstCursor;
  if (i < 0 || i >= int(buffer_.size())) return false;
  c = buffer_[size_t(i)];
  section = this;
  return true;
}

int TSection::SearchText(int from, const std::string& text, bool matchCase) {
  int start = std::max(0, from - FirstCursor), len = int(buffer_.size()), n = int(text.size());
  if (n == 0 || start >= len) return -1;
  if (matchCase) {
    size_t at = buffer_.find(text, size_t(start));
    return at == std::string::npos ? -1 : FirstCursor + int(at);
  }
  std::string wanted = AnsiUpperCase(text);
  char up = AnsiUpperCase(text.substr(0, 1))[0], low = AnsiLowerCase(text.substr(0, 1))[0];
  for (int i = start; i + n <= len; ++i)
    if ((buffer_[size_t(i)] == up || buffer_[size_t(i)] == low) &&
        AnsiUpperCase(buffer_.substr(size_t(i), size_t(n))) == wanted)
      return FirstCursor + i;
  return -1;
}

void TSection::AppendSelectedText(ITextSink& sink) {
  int sb = Owner().SelBegin, se = Owner().SelEnd;
  if (sb >= se) return;
  for (const LineRec& line : lines_) {
    if (line.Chars == 0) continue;
    int ls = FirstCursor + line.Start, le = ls + line.Chars;
    if (le <= sb || ls >= se) continue;
    if (sb <= ls) {
      std::string spaces(size_t(3 * (line.LineIndent / 35)), ' ');
      sink.Put(spaces.data(), int(spaces.size()));
    }
    int a = std::max(sb, ls), b = std::min(se, le);
    const char* text = buffer_.data() + (a - FirstCursor);
    if (se >= le)
      sink.PutLine(text, b - a);
    else
      sink.Put(text, b - a);
  }
}
