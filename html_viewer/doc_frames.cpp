#include "html_viewer/doc_frames.h"

#include <cstdlib>

#include "framework/core/sysutils.h"
#include "html_viewer/doc_reader.h"

std::vector<int> ReadDimensionList(const std::string& text) {
  std::vector<int> out;
  size_t i = 0;
  while (out.size() < size_t(kMaxFrameDimensions)) {
    size_t comma = text.find(',', i);
    std::string entry = text.substr(i, comma == std::string::npos ? std::string::npos : comma - i);
    int64_t n = 0;
    bool digits = false;
    size_t k = 0;
    while (k < entry.size() && entry[k] == ' ') ++k;
    while (k < entry.size() && entry[k] >= '0' && entry[k] <= '9') {
      digits = true;
      n = n * 10 + (entry[k] - '0');
      if (n > 100000) n = 100000;  // saturates
      ++k;
    }
    while (k < entry.size() && entry[k] == ' ') ++k;
    if (!digits) {
      out.push_back(-1);
    } else {
      if (n < 1) n = 1;
      if (k < entry.size() && entry[k] == '*')
        out.push_back(-int(n < 99 ? n : 99));
      else if (k < entry.size() && entry[k] == '%')
        out.push_back(-int(n + 100 < 1000 ? n + 100 : 1000));
      else
        out.push_back(int(n < 5000 ? n : 5000));
    }
    if (comma == std::string::npos) break;
    i = comma + 1;
  }
  return out;
}

void TFrameSetDesc::ReadDimensions(const TAttributeList& attributes) {
  if (const TAttribute* rows = attributes.Lookup(RowsSy)) {
    ByRows = true;
    Dimensions = ReadDimensionList(rows->Name);
  }
  if (Dimensions.size() <= 1)
    if (const TAttribute* cols = attributes.Lookup(ColsSy)) {
      ByRows = false;
      Dimensions = ReadDimensionList(cols->Name);
    }
  if (Top) {
    const TAttribute* b = attributes.Lookup(BorderSy);
    if (!b) b = attributes.Lookup(FrameBorderSy);
    if (b) {
      FrameBorder = b->Value < 0 ? 0 : b->Value > 100 ? 100 : b->Value;
      OuterBorder = FrameBorder < 2 ? 2 - FrameBorder : 0;
    }
  }
}

bool TFrameSetDesc::AppendFrame(const TAttributeList& attributes) {
  if (Frames.size() >= size_t(kMaxFrames)) return false;
  TFrameDesc f;
  if (const TAttribute* a = attributes.Lookup(NameSy)) f.Name = a->Name;
  if (const TAttribute* a = attributes.Lookup(SrcSy)) {
    size_t hash = a->Name.find('#');
    f.Source = a->Name.substr(0, hash);
    if (hash != std::string::npos) f.Destination = a->Name.substr(hash + 1);
  }
  f.NoResize = attributes.Lookup(NoResizeSy) != nullptr;
  if (const TAttribute* a = attributes.Lookup(ScrollingSy)) f.ScrollingOff = UpperCase(a->Name) == "NO";
  Frames.push_back(std::move(f));
  return true;
}

TFrameSetDesc* TFrameSetDesc::AppendSubSet() {
  if (Frames.size() >= size_t(kMaxFrames)) return nullptr;
  Frames.emplace_back();
  Frames.back().SubSet = std::make_unique<TFrameSetDesc>();
  Frames.back().SubSet->Top = false;
  Frames.back().SubSet->FrameBorder = FrameBorder;
  return Frames.back().SubSet.get();
}

void TFrameSetDesc::FinishSet(const std::string& base, const std::string& baseTarget) {
  while (Dimensions.size() < Frames.size()) Dimensions.push_back(-1);
  while (Frames.size() < Dimensions.size()) Frames.emplace_back();
  Base = base;
  BaseTarget = baseTarget;
}

std::vector<int> DistributeSizes(const std::vector<int>& dimensions, int extent) {
  int64_t pixels = 0, percents = 0, weights = 0;
  for (int d : dimensions) {
    if (d > 0)
      pixels += d;
    else if (d <= -100)
      percents += -d - 100;
    else
      weights += -d;
  }
  std::vector<int> sizes(dimensions.size(), 0);
  int64_t a = extent < 0 ? 0 : extent;
  if (a - pixels > 0) {
    int64_t percentSpace = percents ? std::min(a * percents / 100, a - pixels) : 0;
    int64_t unit = weights ? (a - pixels - percentSpace) / weights : 0;
    for (size_t i = 0; i < dimensions.size(); ++i) {
      int d = dimensions[i];
      if (d > 0)
        sizes[i] = d;
      else if (d <= -100)
        sizes[i] = percents ? int((-d - 100) * percentSpace / percents) : 0;
      else
        sizes[i] = int(-d * unit);
    }
  } else if (pixels > 0) {
    for (size_t i = 0; i < dimensions.size(); ++i)
      if (dimensions[i] > 0) sizes[i] = int(dimensions[i] * a / pixels);
  }
  return sizes;
}

std::vector<int> ScaleSizes(const std::vector<int>& sizes, int extent) {
  int64_t total = 0;
  for (int s : sizes) total += s;
  std::vector<int> out(sizes.size(), 0);
  if (total <= 0) return out;
  for (size_t i = 0; i < sizes.size(); ++i) out[i] = MulDivRound(sizes[i], extent, int(total));
  return out;
}

std::vector<int> BorderPositions(const std::vector<int>& sizes) {
  std::vector<int> p(1, 0);
  int64_t sum = 0;
  for (int s : sizes) {
    sum += s;
    p.push_back(int(sum));
  }
  return p;
}

std::vector<int> SizesFromPositions(const std::vector<int>& positions, int total) {
  std::vector<int> out(positions.empty() ? 0 : positions.size() - 1, 0);
  if (positions.size() < 2 || positions.back() <= 0) return out;
  for (size_t i = 1; i < positions.size(); ++i)
    out[i - 1] = MulDivRound(positions[i] - positions[i - 1], total, positions.back());
  return out;
}

int BorderAt(const std::vector<int>& positions, int pos, const std::vector<bool>& fixedEntries, bool topSet) {
  if (positions.empty()) return -1;
  int best = 0;
  for (size_t i = 1; i < positions.size(); ++i) {
    int d = std::abs(positions[i] - pos), bestD = std::abs(positions[size_t(best)] - pos);
    if (d < bestD || (d == bestD && pos >= positions[i])) best = int(i);
  }
  if (std::abs(positions[size_t(best)] - pos) > 4) return -1;
  int last = int(positions.size()) - 1;
  if (best == 0 || best == last) {
    if (topSet) return -1;
    return best;  // a nested set's edge: the enclosing set decides
  }
  auto fixed = [&](int entry) { return entry >= 0 && size_t(entry) < fixedEntries.size() && fixedEntries[size_t(entry)]; };
  if (fixed(best - 1) || fixed(best)) return -1;
  return best;
}

TTargetKind ResolveTarget(const std::string& linkTarget, const std::string& viewerBaseTarget,
                          const std::string& setBaseTarget, const std::vector<std::string>& frameNames,
                          std::string& chosen) {
  chosen = !linkTarget.empty() ? linkTarget : !viewerBaseTarget.empty() ? viewerBaseTarget : setBaseTarget;
  std::string upper = UpperCase(chosen);
  if (chosen.empty() || upper == "_SELF") return TTargetKind::tkThisFrame;
  for (const std::string& n : frameNames)
    if (UpperCase(n) == upper) return TTargetKind::tkNamedFrame;
  if (upper == "_TOP") return TTargetKind::tkTopSet;
  if (upper == "_PARENT") return TTargetKind::tkParentSet;
  return TTargetKind::tkOther;
}
