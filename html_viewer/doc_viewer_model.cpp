#include "html_viewer/doc_viewer_model.h"

#include <algorithm>

#include "framework/core/sysutils.h"
#include "html_viewer/doc_utils.h"

// ---- History

bool TDocHistory::SetMaxCount(int count) {
  if (count < 0 || count == maxCount_) return false;
  bool smaller = count < maxCount_;
  maxCount_ = count;
  if (!smaller || entries_.empty()) return false;
  Clear();
  return true;
}

bool TDocHistory::Push(const THistoryEntry& left, const THistoryEntry& current) {
  if (maxCount_ < 1 || current.File.empty()) return false;
  if (SameText(left.File, current.File) && left.Type == current.Type && left.Position == current.Position)
    return false;
  if (!entries_.empty() && !left.File.empty()) {
    entries_[size_t(index_)] = left;
    entries_.erase(entries_.begin(), entries_.begin() + index_);
  }
  index_ = 0;
  entries_.insert(entries_.begin(), current);
  if (int(entries_.size()) > maxCount_) entries_.erase(entries_.begin() + maxCount_);
  return true;
}

// ---- Scroll bars

int LayoutWidth(const TScrollInput& in) {
  int w = in.ClientWidth - ((in.Allowed & sbVertical) ? in.VBarWidth : 0) - 20;
  return std::max(1, w);
}

TScrollLayout ComputeScrollBars(const TScrollInput& in) {
  TScrollLayout r;
  bool vAllowed = in.Allowed & sbVertical, hAllowed = in.Allowed & sbHorizontal;
  int wanted = in.MaxWidth + 20;
  r.VBar = vAllowed && (in.DocHeight >= in.ClientHeight - 2 ||
                        (hAllowed && in.DocHeight >= in.ClientHeight - in.HBarHeight - 2 && in.ClientWidth < wanted));
  int width = in.ClientWidth - (r.VBar ? in.VBarWidth : 0);
  r.HBar = hAllowed && width < wanted;
  int b = in.Bordered ? 1 : 0;
  r.PanelWidth = std::max(0, width - 2 * b);
  r.PanelHeight = std::max(0, in.ClientHeight - (r.HBar ? in.HBarHeight : 0) - 2 * b);
  r.HMax = std::max(wanted, r.PanelWidth);
  r.HLarge = std::max(1, r.PanelWidth - 20);
  r.VMax = std::max(0, in.DocHeight);
  r.VPage = r.PanelHeight;
  r.VLarge = std::max(1, r.PanelHeight - kVSmallChange);
  return r;
}

int ClampVertical(int target, const TScrollLayout& bars) {
  return std::clamp(target, 0, std::max(0, bars.VMax - bars.PanelHeight));
}

int ClampHorizontal(int target, const TScrollLayout& bars) {
  return std::clamp(target, 0, std::max(0, bars.HMax - bars.PanelWidth));
}

bool ScrollForKey(uint16_t key, const TScrollLayout& bars, int& top, int& left) {
  switch (key) {
    case kVkPrior: top = ClampVertical(top - bars.VLarge, bars); return true;
    case kVkNext: top = ClampVertical(top + bars.VLarge, bars); return true;
    case kVkUp: top = ClampVertical(top - kVSmallChange, bars); return true;
    case kVkDown: top = ClampVertical(top + kVSmallChange, bars); return true;
    case kVkHome: top = 0; return true;
    case kVkEnd: top = ClampVertical(bars.VMax, bars); return true;
    case kVkLeft: left = ClampHorizontal(left - kHSmallChange, bars); return true;
    case kVkRight: left = ClampHorizontal(left + kHSmallChange, bars); return true;
    default: return false;
  }
}

// ---- Link names

std::string NormalizeDosPath(const std::string& path) {
  std::string head;
  size_t i = 0;
  if (path.size() >= 2 && path[1] == ':') {
    head = path.substr(0, 2);
    i = 2;
  }
  bool rooted = i < path.size() && path[i] == '\\';
  std::vector<std::string> parts;
  std::string part;
  for (size_t k = i; k <= path.size(); ++k) {
    if (k == path.size() || path[k] == '\\') {
      if (part == "..") {
        if (!parts.empty() && parts.back() != "..")
          parts.pop_back();
        else if (!rooted)
          parts.push_back(part);
      } else if (!part.empty() && part != ".") {
        parts.push_back(part);
      }
      part.clear();
    } else {
      part += path[k];
    }
  }
  std::string out = head + (rooted ? "\\" : "");
  for (size_t k = 0; k < parts.size(); ++k) out += (k ? "\\" : "") + parts[k];
  return out;
}

std::string ExpandLinkName(const std::string& name, const TLinkContext& context) {
  std::string s = UrlToPath(TrimBlanks(name));
  if (s.empty()) return s;
  if (s[0] == '\\') return NormalizeDosPath(context.Drive + s);
  if (s.size() >= 2 && s[1] == ':') return NormalizeDosPath(s);
  if (SameText(context.Base, "DosPath")) return s;
  std::string dir;
  if (!context.Base.empty()) {
    dir = UrlToPath(context.Base);
    if (!dir.empty() && dir.back() != '\\') dir = ExtractFilePath(dir);  // a BASE names its document
  } else if (!context.CurrentFile.empty()) {
    dir = ExtractFilePath(context.CurrentFile);
  }
  if (dir.empty()) dir = context.CurrentDir;
  std::string joined = (dir.empty() ? dir : IncludeTrailingBackslash(dir)) + s;
  if (joined[0] == '\\')
    joined = context.Drive + joined;
  else if (!(joined.size() >= 2 && joined[1] == ':') && !context.CurrentDir.empty())
    joined = IncludeTrailingBackslash(context.CurrentDir) + joined;
  return NormalizeDosPath(joined);
}

void SplitAnchor(const std::string& name, std::string& file, std::string& anchor) {
  size_t hash = name.find('#');
  file = name.substr(0, hash);
  anchor = hash == std::string::npos ? std::string() : name.substr(hash + 1);
}

TLinkKind KindOfLink(const std::string& fileName) {
  std::string ext = UpperCase(ExtractFileExt(fileName)).substr(0, 5);
  if (ext == ".HTM" || ext == ".HTML") return TLinkKind::lkHtml;
  if (ext == ".BMP" || ext == ".GIF" || ext == ".JPG" || ext == ".JPEG" || ext == ".PNG") return TLinkKind::lkImage;
  return TLinkKind::lkNothing;
}
