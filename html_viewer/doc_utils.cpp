#include "html_viewer/doc_utils.h"

#include <algorithm>
#include <cstring>

#include "framework/core/sysutils.h"
#include "platform/file.h"

int MulDivRound(int a, int b, int c) {
  if (c == 0) return 0;
  int64_t p = int64_t(a) * b;
  int64_t q = p / c, r = p % c;
  if (r != 0 && 2 * (r < 0 ? -r : r) >= (c < 0 ? -int64_t(c) : int64_t(c))) q += ((p < 0) != (c < 0)) ? -1 : 1;
  return int(q);
}

const TAttribute* TAttributeList::Lookup(uint8_t symbol) const {
  for (const TAttribute& a : items_)
    if (a.Which == symbol) return &a;
  return nullptr;
}

void TUrlTarget::SetLink(const std::string* url, const std::string* target) {
  if (url) Url = *url;
  if (target) Target = *target;
}

void SelTextCount::Put(const char* text, int length) {
  for (int i = 0; i < length; ++i)
    if (text[i] != 2 && text[i] != 4) ++total_;
}

// ---- Image cache

int TStringBitmapList::IndexOf(const std::string& key) const {
  auto it = std::lower_bound(entries_.begin(), entries_.end(), key,
                             [](const Entry& e, const std::string& k) { return e.Key < k; });
  return it != entries_.end() && it->Key == key ? int(it - entries_.begin()) : -1;
}

int TStringBitmapList::AddObject(const std::string& key, std::unique_ptr<TBitmapItem> item) {
  item->UsageCount = 1;
  auto it = std::lower_bound(entries_.begin(), entries_.end(), key,
                             [](const Entry& e, const std::string& k) { return e.Key < k; });
  if (it != entries_.end() && it->Key == key)
    it->Item = std::move(item);
  else
    it = entries_.insert(it, Entry{key, std::move(item)});
  return int(it - entries_.begin());
}

TViewerImage* TStringBitmapList::TakeEntry(int index) {
  TBitmapItem& item = Item(index);
  item.AccessCount = 0;
  ++item.UsageCount;
  return item.Image.get();
}

void TStringBitmapList::ReleaseEntry(const std::string& key) {
  int i = IndexOf(key);
  if (i >= 0) --Item(i).UsageCount;
}

template <class Pred>
void TStringBitmapList::RemoveIf(Pred pred) {
  entries_.erase(std::remove_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return pred(*e.Item); }),
                 entries_.end());
}

void TStringBitmapList::AgeEntries() {
  for (Entry& e : entries_) ++e.Item->AccessCount;
  RemoveIf([this](const TBitmapItem& i) { return i.AccessCount > maxCount_ && i.UsageCount < 1; });
}

void TStringBitmapList::SetLimit(int n) {
  RemoveIf([n](const TBitmapItem& i) { return i.AccessCount > n && i.UsageCount <= 0; });
  maxCount_ = n;
}

void TStringBitmapList::DropUnused() {
  RemoveIf([](const TBitmapItem& i) { return i.UsageCount < 1; });
}

// ---- Image files

TImageKind SniffImageKind(const uint8_t* d, size_t n) {
  if (n >= 4 && std::memcmp(d, "GIF8", 4) == 0) return n >= 5 && d[4] == '9' ? ikGif89 : ikGif87;
  if (n >= 2 && d[0] == 'B' && d[1] == 'M') return ikBitmap;
  if (n >= 4 && d[0] == 0x89 && std::memcmp(d + 1, "PNG", 3) == 0) return ikPng;
  if (n >= 2 && d[0] == 0xFF && d[1] == 0xD8) return ikJpeg;
  return ikUnknown;
}

namespace {
std::vector<uint8_t> ReadHead(const std::string& fileName, size_t count) {
  platform::File f;
  std::vector<uint8_t> head(count);
  if (!f.Open(fileName, platform::OpenMode::Read)) return {};
  head.resize(f.Read(head.data(), count));
  return head;
}
}  // namespace

TImageKind SniffFileKind(const std::string& fileName) {
  std::vector<uint8_t> head = ReadHead(fileName, 11);
  return SniffImageKind(head.data(), head.size());
}

bool GifTransparentColour(const uint8_t* d, size_t n, TColor& colour) {
  n = std::min<size_t>(n, 790);
  if (SniffImageKind(d, n) != ikGif89 || n < 13) return false;
  bool hasTable = (d[10] & 0x80) != 0;
  if (!hasTable) return false;  // no table to take the colour from
  size_t table = 13, pos = table + 3 * (size_t(2) << (d[10] & 7));
  // The extension: 21 F9, block size, packed, delay (2), transparent index.
  if (pos + 7 > n || d[pos] != 0x21 || d[pos + 1] != 0xF9 || !(d[pos + 3] & 1)) return false;
  size_t entry = table + 3 * size_t(d[pos + 6]);
  if (entry + 3 > pos) return false;  // an index beyond the table
  colour = TColor(d[entry] | (d[entry + 1] << 8) | (d[entry + 2] << 16));
  return true;
}

bool GifTransparentColourOfFile(const std::string& fileName, TColor& colour) {
  std::vector<uint8_t> head = ReadHead(fileName, 790);
  return GifTransparentColour(head.data(), head.size(), colour);
}

// ---- Display palette

TPaletteTable BuildPaletteTable(const TPaletteTable& system) {
  static const uint8_t kLevels[6] = {55, 115, 165, 205, 235, 255};
  TPaletteTable p = system;
  int i = 10;
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b)
        if (r < 5 || g < 5 || b < 5) p[size_t(i++)] = {kLevels[r], kLevels[g], kLevels[b]};
  for (int k = 0; k < 24; ++k) {
    uint8_t v = uint8_t(135 + 5 * k);
    p[size_t(i++)] = {v, v, v};
  }
  return p;
}

int ColorBitsOf(int bitsTimesPlanes) {
  if (bitsTimesPlanes <= 4) return 4;
  return bitsTimesPlanes > 8 ? 24 : 8;
}

int NearestPaletteIndex(const TPaletteTable& palette, uint8_t r, uint8_t g, uint8_t b) {
  int best = 0;
  long bestD = -1;
  for (int i = 0; i < 256; ++i) {
    const TPaletteEntry& e = palette[size_t(i)];
    long dr = e.Red - r, dg = e.Green - g, db = e.Blue - b;
    long d = dr * dr + dg * dg + db * db;
    if (bestD < 0 || d < bestD) best = i, bestD = d;
  }
  return best;
}

// ---- Image maps

TMapRegion TMapRegion::Rect(int left, int top, int right, int bottom) {
  TMapRegion r;
  r.kind_ = kRect;
  r.left_ = left, r.top_ = top, r.right_ = right, r.bottom_ = bottom;
  return r;
}

TMapRegion TMapRegion::Ellipse(int left, int top, int right, int bottom) {
  TMapRegion r = Rect(left, top, right, bottom);
  r.kind_ = kEllipse;
  return r;
}

TMapRegion TMapRegion::Polygon(std::vector<std::pair<int, int>> points) {
  TMapRegion r;
  r.kind_ = kPolygon;
  r.points_ = std::move(points);
  return r;
}

bool TMapRegion::Contains(int x, int y) const {
  // Pixel centres in doubled coordinates keep everything integral.
  int64_t px = 2 * int64_t(x) + 1, py = 2 * int64_t(y) + 1;
  switch (kind_) {
    case kRect:
      return x >= left_ && x < right_ && y >= top_ && y < bottom_;
    case kEllipse: {
      int64_t w = int64_t(right_) - left_, h = int64_t(bottom_) - top_;
      if (w <= 0 || h <= 0) return false;
      int64_t dx = px - (int64_t(left_) + right_), dy = py - (int64_t(top_) + bottom_);
      // (dx / w)^2 + (dy / h)^2 <= 1
      return double(dx) * double(dx) * double(h) * double(h) + double(dy) * double(dy) * double(w) * double(w) <=
             double(w) * double(w) * double(h) * double(h);
    }
    case kPolygon: {
      int winding = 0;
      size_t n = points_.size();
      for (size_t i = 0; i < n; ++i) {
        int64_t x1 = 2 * int64_t(points_[i].first), y1 = 2 * int64_t(points_[i].second);
        int64_t x2 = 2 * int64_t(points_[(i + 1) % n].first), y2 = 2 * int64_t(points_[(i + 1) % n].second);
        double cross = double(x2 - x1) * double(py - y1) - double(px - x1) * double(y2 - y1);
        if (y1 <= py) {
          if (y2 > py && cross > 0) ++winding;
        } else if (y2 <= py && cross < 0) {
          --winding;
        }
      }
      return winding != 0;
    }
  }
  return false;
}

void TMapItem::AddAreaFromTag(const TAttributeList& attributes) {
  Area area;
  std::string shape;
  std::vector<int> coords;
  if (auto a = attributes.Lookup(HrefSy)) area.Link = a->Name;
  if (auto a = attributes.Lookup(ShapeSy)) shape = LowerCase(a->Name.substr(0, 4));
  if (auto a = attributes.Lookup(CoordsSy)) {
    const std::string& s = a->Name;
    size_t start = 0;
    while (coords.size() < 201 && start <= s.size()) {
      size_t comma = s.find(',', start);
      std::string piece = s.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
      coords.push_back(StrToIntDef(Trim(piece), 0));
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
  }
  if (attributes.Lookup(NoHrefSy)) area.Link.clear();
  if (auto a = attributes.Lookup(TargetSy)) area.Target = a->Name;
  if (shape == "circ") {
    if (coords.size() < 3) return;
    int x = coords[0], y = coords[1], r = coords[2];
    area.Region = TMapRegion::Ellipse(x - r, y - r, x + r + 1, y + r + 1);
  } else if (shape == "poly") {
    if (coords.size() < 6) return;
    std::vector<std::pair<int, int>> points;
    for (size_t i = 0; i + 1 < coords.size(); i += 2) points.push_back({coords[i], coords[i + 1]});
    area.Region = TMapRegion::Polygon(std::move(points));
  } else {
    if (coords.size() < 4) return;
    area.Region = TMapRegion::Rect(coords[0], coords[1], coords[2] + 1, coords[3] + 1);
  }
  areas_.push_back(std::move(area));
}

bool TMapItem::LinkAtPoint(int x, int y, TUrlTarget& link) const {
  for (const Area& a : areas_) {
    if (!a.Region.Contains(x, y)) continue;
    if (a.Link.empty()) return false;
    link.Url = a.Link;
    link.Target = a.Target;
    return true;
  }
  return false;
}

// ---- Text helpers

bool ParseColour(const std::string& text, TColor& colour) {
  static const std::pair<const char*, TColor> names[] = {
      {"BLACK", clBlack}, {"MAROON", clMaroon}, {"GREEN", clGreen},   {"OLIVE", clOlive},
      {"NAVY", clNavy},   {"PURPLE", clPurple}, {"TEAL", clTeal},     {"GRAY", clGray},
      {"SILVER", clSilver}, {"RED", clRed},     {"LIME", clLime},     {"YELLOW", clYellow},
      {"BLUE", clBlue},   {"FUCHSIA", clFuchsia}, {"AQUA", clAqua},   {"WHITE", clWhite}};
  if (text.empty()) return false;
  std::string s = UpperCase(text).substr(0, 10);
  for (const auto& [name, value] : names)
    if (s == name) {
      colour = value;
      return true;
    }
  if (size_t hash = s.find('#'); hash != std::string::npos) s.erase(hash, 1);
  if (s.empty() || s.find_first_not_of("0123456789ABCDEF") != std::string::npos) return false;
  uint64_t v = 0;
  for (char c : s) v = v * 16 + uint64_t(c <= '9' ? c - '0' : c - 'A' + 10);
  uint32_t rgb = uint32_t(v & 0xFFFFFF);
  colour = TColor(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | (rgb >> 16));
  return true;
}

std::string TrimBlanks(const std::string& text) {
  size_t b = 0, e = text.size();
  while (b < e && uint8_t(text[b]) <= 32) ++b;
  while (e > b && uint8_t(text[e - 1]) <= 32) --e;
  return text.substr(b, e - b);
}

std::string UrlToPath(const std::string& url) {
  if (url.find('/') == std::string::npos) return url;
  std::string s = AnsiLowerCase(url);
  if (s.compare(0, 8, "file:///") == 0)
    s.erase(0, 8);
  else if (s.compare(0, 7, "file://") == 0)
    s.erase(0, 7);
  for (char& c : s) {
    if (c == '|') c = ':';
    if (c == '/') c = '\\';
  }
  return s;
}
