#include "shell_controls/frame_rules.h"

#include <algorithm>

namespace shell {

TRect FrameInsets(TQsFrameStyle style, bool hasCaption, int textHeight) {
  switch (style) {
    case TQsFrameStyle::qsfsGroup:
      return {2, hasCaption ? textHeight : 2, 2, 2};
    case TQsFrameStyle::qsfsLowered:
    case TQsFrameStyle::qsfsRaised:
      return {2, 2, 2, 2};
    case TQsFrameStyle::qsfsDint:
    case TQsFrameStyle::qsfsBump:
    case TQsFrameStyle::qsfsSingle:
      return {1, 1, 1, 1};
    case TQsFrameStyle::qsfsHorzLine:
      return {0, 2, 0, 0};
    case TQsFrameStyle::qsfsVertLine:
      return {2, 0, 0, 0};
    case TQsFrameStyle::qsfsHorzEdge:
      return {0, 2, 0, 2};
    case TQsFrameStyle::qsfsVertEdge:
      return {2, 0, 2, 0};
    case TQsFrameStyle::qsfsNone:
      break;
  }
  return {};
}

TRect ClientOfWindow(const TRect& w, const TRect& in) {
  TRect r{w.Left + in.Left, w.Top + in.Top, w.Right - in.Right, w.Bottom - in.Bottom};
  r.Right = std::max(r.Right, r.Left);
  r.Bottom = std::max(r.Bottom, r.Top);
  return r;
}

namespace {

TFramePart Line(TColor c, std::vector<TPoint> points) {
  TFramePart p;
  p.Kind = TFramePart::Polyline;
  p.Color = c;
  p.Points = std::move(points);
  return p;
}

TFramePart Box(TColor c, TRect r) {
  TFramePart p;
  p.Kind = TFramePart::Rectangle;
  p.Color = c;
  p.Rect = r;
  return p;
}

// The four two-segment lines of a lowered or raised frame, in the given colours.
void Sunken(std::vector<TFramePart>& out, int L, int T, int R, int B, TColor a, TColor b, TColor c, TColor d) {
  out.push_back(Line(a, {{L, B - 1}, {L, T}, {R, T}}));
  out.push_back(Line(b, {{L + 1, B - 2}, {L + 1, T + 1}, {R - 1, T + 1}}));
  out.push_back(Line(c, {{L + 1, B - 1}, {R - 1, B - 1}, {R - 1, T}}));
  out.push_back(Line(d, {{L, B}, {R, B}, {R, T - 1}}));
}

}  // namespace

std::vector<TFramePart> FrameParts(TQsFrameStyle style, int width, int height, bool hasCaption, int textHeight,
                                   bool enabled, TColor back, TColor text) {
  // The rectangle's right and bottom edges are its last pixels.
  const int L = 0, T = 0, R = width - 1, B = height - 1;
  std::vector<TFramePart> out;
  switch (style) {
    case TQsFrameStyle::qsfsGroup: {
      TFramePart fill;
      fill.Color = back;
      fill.Rect = {L, T, R + 1, B + 1};
      out.push_back(fill);
      int c = hasCaption ? textHeight : 2;
      int top = T + c / 2 - 1;
      out.push_back(Box(clBtnHighlight, {L + 1, top + 1, R + 1, B + 1}));
      out.push_back(Box(clBtnShadow, {L, top, R, B}));
      if (hasCaption) {
        TFramePart caption;
        caption.Kind = TFramePart::Caption;
        caption.Rect = {L + 8, T, R - 8, T + c};
        if (enabled) {
          caption.Color = text;
          caption.Opaque = true;
          out.push_back(caption);
        } else {
          TFramePart raised = caption;
          raised.Color = clBtnHighlight;
          raised.Opaque = true;
          raised.Rect = {caption.Rect.Left + 1, caption.Rect.Top + 1, caption.Rect.Right + 1, caption.Rect.Bottom + 1};
          out.push_back(raised);
          caption.Color = clBtnShadow;
          out.push_back(caption);
        }
      }
      break;
    }
    case TQsFrameStyle::qsfsLowered:
      Sunken(out, L, T, R, B, clBtnShadow, cl3DDkShadow, clBtnFace, clBtnHighlight);
      break;
    case TQsFrameStyle::qsfsRaised:
      Sunken(out, L, T, R, B, clBtnHighlight, clBtnFace, cl3DDkShadow, clBtnShadow);
      break;
    case TQsFrameStyle::qsfsDint:
    case TQsFrameStyle::qsfsBump: {
      bool dint = style == TQsFrameStyle::qsfsDint;
      out.push_back(Line(dint ? clBtnShadow : clBtnHighlight, {{L, B - 1}, {L, T}, {R, T}}));
      out.push_back(Line(dint ? clBtnHighlight : clBtnShadow, {{L, B}, {R, B}, {R, T - 1}}));
      break;
    }
    case TQsFrameStyle::qsfsSingle:
      out.push_back(Box(clWindowFrame, {L, T, R + 1, B + 1}));
      break;
    case TQsFrameStyle::qsfsHorzLine:
      out.push_back(Line(clBtnShadow, {{L, T}, {R + 1, T}}));
      out.push_back(Line(clBtnHighlight, {{L, T + 1}, {R + 1, T + 1}}));
      break;
    case TQsFrameStyle::qsfsHorzEdge:
      out.push_back(Line(clBtnShadow, {{L, T}, {R + 1, T}}));
      out.push_back(Line(clBtnHighlight, {{L, T + 1}, {R + 1, T + 1}}));
      out.push_back(Line(clBtnShadow, {{L, B - 1}, {R + 1, B - 1}}));
      out.push_back(Line(clBtnHighlight, {{L, B}, {R + 1, B}}));
      break;
    case TQsFrameStyle::qsfsVertLine:
      out.push_back(Line(clBtnShadow, {{L, T}, {L, B + 1}}));
      out.push_back(Line(clBtnHighlight, {{L + 1, T}, {L + 1, B + 1}}));
      break;
    case TQsFrameStyle::qsfsVertEdge:
      out.push_back(Line(clBtnShadow, {{L, T}, {L, B + 1}}));
      out.push_back(Line(clBtnHighlight, {{L + 1, T}, {L + 1, B + 1}}));
      out.push_back(Line(clBtnShadow, {{R - 1, T}, {R - 1, B + 1}}));
      out.push_back(Line(clBtnHighlight, {{R, T}, {R, B + 1}}));
      break;
    case TQsFrameStyle::qsfsNone:
      break;
  }
  return out;
}

}  // namespace shell
