#include "html_viewer/doc_blocks.h"

#include <algorithm>

#include "framework/core/sysutils.h"

namespace {

// Background colours on which bullets are coloured and rules get a silver light edge.
bool IsLightBackground(TColor background) {
  uint32_t rgb = ColorToRGB(background);
  return rgb == ColorToRGB(clBtnFace) || rgb == 0xFFFFFF || rgb == 0xC0C0C0;
}

}  // namespace

// ---- Spacers

std::unique_ptr<TSectionBase> TParagraphSpace::Duplicate(TSectionOwner& owner) const {
  auto copy = std::make_unique<TParagraphSpace>(owner);
  copy->Height = Height;
  return copy;
}

void TParagraphSpace::ComputeSpacing() { Height = MulDivRound(14, Owner().FontSize, 12); }

std::unique_ptr<TSectionBase> THeadingSpace::Duplicate(TSectionOwner& owner) const {
  auto copy = std::make_unique<THeadingSpace>(owner, Level);
  copy->Height = Height;
  return copy;
}

void THeadingSpace::ComputeSpacing() {
  static const int n[] = {16, 12, 10, 8, 6, 4};
  int k = Level >= 1 && Level <= 6 ? n[Level - 1] : 8;
  Height = k * Owner().FontSize / 12;
}

// ---- Rules

THorzLine::THorzLine(TSectionOwner& owner, const TAttributeList& attributes) : TSectionBase(owner) {
  if (const TAttribute* a = attributes.Lookup(SizeSy); a && a->Value >= 1 && a->Value <= 20) Thickness = a->Value;
  if (const TAttribute* a = attributes.Lookup(WidthSy); a && a->Value > 0) {
    if (a->Name.find('%') == std::string::npos) {
      RuleWidth = a->Value;
    } else if (a->Value <= 100) {
      RuleWidth = a->Value;
      WidthIsPercent = true;
    }
  }
  if (const TAttribute* a = attributes.Lookup(ColorSy); a && ParseColour(a->Name, Colour)) {
    Colour = TColor(uint32_t(Colour) | 0x02000000u);
    ColourGiven = true;
  }
}

THorzLine::THorzLine(TSectionOwner& owner, const THorzLine& source)
    : TSectionBase(owner),
      Thickness(source.Thickness),
      RuleWidth(source.RuleWidth),
      WidthIsPercent(source.WidthIsPercent),
      Colour(source.Colour),
      ColourGiven(source.ColourGiven) {
  Height = source.Height;
}

std::unique_ptr<TSectionBase> THorzLine::Duplicate(TSectionOwner& owner) const {
  return std::unique_ptr<TSectionBase>(new THorzLine(owner, *this));
}

void THorzLine::ComputeSpacing() { Height = 20 * Owner().FontSize / 12 + Thickness - 2; }

int THorzLine::Paint(IDocCanvas& canvas, const TRect& clip, IndentManager& im, int, int y) {
  TSectionOwner& owner = Owner();
  Top = y;
  int top = y - owner.YOffset;
  if (top >= clip.Bottom || top + Height <= clip.Top || (owner.Printing && y >= owner.PageBottom))
    return y + Height;
  int left = im.LeftEdgeAt(y), right = im.RightEdgeAt(y);
  int ruleTop = top + (Height - Thickness) / 2;
  if (RuleWidth < 0) {
    RuleRect = {left + 10, ruleTop, right - 10, ruleTop + Thickness};
  } else {
    int w = WidthIsPercent ? RuleWidth * (right - left) / 100 : RuleWidth;
    RuleRect = Bounds(left + (right - left - w) / 2, ruleTop, w, Thickness);
  }
  if (ColourGiven) {
    canvas.FillRect(RuleRect, Colour);
  } else {
    TColor light = owner.Printing || ColorToRGB(owner.Background) == 0xFFFFFF ? clSilver : clBtnHighlight;
    Draw3DFrame(canvas, RuleRect, false, clBtnShadow, light);
  }
  return y + Height;
}

// ---- Page breaks

std::unique_ptr<TSectionBase> TPage::Duplicate(TSectionOwner& owner) const {
  return std::make_unique<TPage>(owner);
}

int TPage::Paint(IDocCanvas&, const TRect& clip, IndentManager&, int, int y) {
  TSectionOwner& owner = Owner();
  Top = y;
  int top = y - owner.YOffset;
  if (owner.Printing && top > clip.Top + 5 && top < clip.Bottom && y < owner.PageBottom) owner.PageBottom = y;
  return y + Height;
}

// ---- List items

std::string OrderedMarker(char style, int number) {
  static const char* const roman[] = {"I",   "II",   "III", "IV",  "V",   "VI",   "VII",
                                      "VIII", "IX",  "X",   "XI",  "XII", "XIII", "XIV",
                                      "XV",  "XVI",  "XVII", "XVIII", "XIX", "XX"};
  std::string s;
  if (number >= 1 && (style == 'A' || style == 'a')) {
    s = char((style == 'A' ? 'A' : 'a') + std::min(number - 1, 25));
  } else if (number >= 1 && (style == 'I' || style == 'i')) {
    s = roman[std::min(number, 20) - 1];
    if (style == 'i') s = LowerCase(s);
  } else {
    s = IntToStr(number);
  }
  return s + ".";
}

TColor BulletColour(int level) {
  static const TColor colours[] = {clRed, clNavy, clMaroon};
  return colours[(level % 3 + 3) % 3];
}

TUListItem::TUListItem(TSectionOwner& owner, int level, const TMyFont& font, const TUrlTarget* link, bool plain)
    : TSection(owner, level, font, link, 1), Plain(plain) {
  ListKind = lkBullet;
}

TUListItem::TUListItem(TSectionOwner& owner, const TUListItem& source) : TSection(owner, source), Plain(source.Plain) {}

std::unique_ptr<TSectionBase> TUListItem::Duplicate(TSectionOwner& owner) const {
  return std::unique_ptr<TSectionBase>(new TUListItem(owner, *this));
}

void TUListItem::PaintMarker(IDocCanvas& canvas, int textStart, int textTop, int lineHeight, int) {
  if (Plain) return;
  TSectionOwner& owner = Owner();
  BulletCentre = {textStart - 8, textTop + lineHeight / 2};
  if (IsLightBackground(owner.Background)) {
    BulletFill = BulletOutline = BulletColour(ListLevel());
  } else {
    BulletFill = clNone;
    BulletOutline = owner.TextColor;
  }
  canvas.Ellipse({BulletCentre.X - 2, BulletCentre.Y - 2, BulletCentre.X + 3, BulletCentre.Y + 3}, BulletOutline,
                 BulletFill);
  BulletDrawn = true;
}

TDListItem::TDListItem(TSectionOwner& owner, int level, const TMyFont& font, const TUrlTarget* link)
    : TSection(owner, level, font, link, 1) {
  ListKind = lkDefinition;
}

std::unique_ptr<TSectionBase> TDListItem::Duplicate(TSectionOwner& owner) const {
  return std::unique_ptr<TSectionBase>(new TDListItem(owner, *this));
}

TOListItem::TOListItem(TSectionOwner& owner, int level, const TMyFont& font, const TUrlTarget* link, char style,
                       int number)
    : TSection(owner, level, font, link, 1), Style(style) {
  ListKind = lkNumbered;
  ItemNumber = number;
}

TOListItem::TOListItem(TSectionOwner& owner, const TOListItem& source) : TSection(owner, source), Style(source.Style) {}

std::unique_ptr<TSectionBase> TOListItem::Duplicate(TSectionOwner& owner) const {
  return std::unique_ptr<TSectionBase>(new TOListItem(owner, *this));
}

void TOListItem::PaintMarker(IDocCanvas& canvas, int textStart, int, int, int baseline) {
  MarkerText = OrderedMarker(Style, ItemNumber);
  int width = Owner().Measurer().TextWidth(baseFont_, MarkerText.data(), int(MarkerText.size()));
  MarkerX = textStart - 5 - width;
  canvas.TextOut(MarkerX, baseline, baseFont_, baseFont_.Color, MarkerText.data(), int(MarkerText.size()), false,
                 Owner().Background);
  MarkerDrawn = true;
}
