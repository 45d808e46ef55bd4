#pragma once
// Hand-made GIF streams for the tests: any header, extension and image block, with image
// data from a literal-only LZW encoder (which follows the decoder's code widths exactly) or
// from raw codes, so streams no encoder would write can be made too.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace giftest {

using Bytes = std::vector<uint8_t>;

// Packs (code, width) pairs least significant bit first into data sub-blocks and the
// terminator.
inline Bytes PackCodes(const std::vector<std::pair<int, int>>& codes) {
  Bytes data;
  uint32_t buffer = 0;
  int bits = 0;
  for (auto [code, width] : codes) {
    buffer |= uint32_t(code) << bits;
    bits += width;
    while (bits >= 8) {
      data.push_back(uint8_t(buffer));
      buffer >>= 8;
      bits -= 8;
    }
  }
  if (bits > 0) data.push_back(uint8_t(buffer));
  Bytes out;
  for (size_t i = 0; i < data.size(); i += 255) {
    size_t n = std::min<size_t>(255, data.size() - i);
    out.push_back(uint8_t(n));
    out.insert(out.end(), data.begin() + long(i), data.begin() + long(i + n));
  }
  out.push_back(0);
  return out;
}

// Clear, every index as a literal, end; the width grows as the decoder's table does.
inline std::vector<std::pair<int, int>> LiteralCodes(int codeSize, const Bytes& indices) {
  const int clear = 1 << codeSize;
  std::vector<std::pair<int, int>> codes;
  int next = clear + 2, width = codeSize + 1, limit = 2 * clear;
  bool first = true;
  codes.push_back({clear, width});
  for (uint8_t index : indices) {
    codes.push_back({index, width});
    if (!first && next < 4096 && ++next >= limit && limit < 4096) limit *= 2, ++width;
    first = false;
    if (next >= 4000) {
      codes.push_back({clear, width});
      next = clear + 2, width = codeSize + 1, limit = 2 * clear, first = true;
    }
  }
  codes.push_back({clear + 1, width});
  return codes;
}

struct Image {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  int LocalBits = 0;  // 0: no local table
  std::vector<uint32_t> LocalColours;  // 0xRRGGBB
  bool Interlaced = false;
  int CodeSize = 8;
  Bytes Indices;  // Width × Height in picture order
};

class GifBuilder {
 public:
  // globalBits 0: no global table.
  GifBuilder& Header(int width, int height, int globalBits, const std::vector<uint32_t>& colours = {},
                     const char* version = "89a") {
    Raw(std::string("GIF") + version);
    U16(width), U16(height);
    b_.push_back(uint8_t(globalBits ? 0x80 | (globalBits - 1) : 0));
    b_.push_back(0), b_.push_back(0);
    if (globalBits) Table(globalBits, colours);
    return *this;
  }
  // transparent -1: none. size: the declared block size (4 in a proper file).
  GifBuilder& Control(int disposal, int delayCs, int transparent = -1, int size = 4) {
    b_.push_back('!'), b_.push_back(0xF9), b_.push_back(uint8_t(size));
    Bytes data = {uint8_t((disposal << 2) | (transparent >= 0 ? 1 : 0)), uint8_t(delayCs), uint8_t(delayCs >> 8),
                  uint8_t(transparent >= 0 ? transparent : 0)};
    data.resize(size_t(size), 0xAA);
    b_.insert(b_.end(), data.begin(), data.end());
    b_.push_back(0);
    return *this;
  }
  GifBuilder& Netscape(int loops, int subBlockLength = 3) {
    Raw("!\xFF\x0BNETSCAPE2.0");
    b_.push_back(uint8_t(subBlockLength));
    Bytes data = {1, uint8_t(loops), uint8_t(loops >> 8)};
    data.resize(size_t(subBlockLength), 0);
    b_.insert(b_.end(), data.begin(), data.end());
    b_.push_back(0);
    return *this;
  }
  GifBuilder& Comment(const std::string& text) {
    b_.push_back('!'), b_.push_back(0xFE), b_.push_back(uint8_t(text.size()));
    Raw(text);
    b_.push_back(0);
    return *this;
  }
  GifBuilder& Add(const Image& image) { return AddCodes(image, LiteralCodes(image.CodeSize, Ordered(image))); }
  // The image block with raw codes as its data.
  GifBuilder& AddCodes(const Image& image, const std::vector<std::pair<int, int>>& codes) {
    Descriptor(image);
    b_.push_back(uint8_t(image.CodeSize));
    Bytes data = PackCodes(codes);
    b_.insert(b_.end(), data.begin(), data.end());
    return *this;
  }
  GifBuilder& Descriptor(const Image& image) {
    b_.push_back(',');
    U16(image.Left), U16(image.Top), U16(image.Width), U16(image.Height);
    b_.push_back(uint8_t((image.LocalBits ? 0x80 | (image.LocalBits - 1) : 0) | (image.Interlaced ? 0x40 : 0)));
    if (image.LocalBits) Table(image.LocalBits, image.LocalColours);
    return *this;
  }
  GifBuilder& Trailer() {
    b_.push_back(';');
    return *this;
  }
  GifBuilder& Raw(const std::string& s) {
    b_.insert(b_.end(), s.begin(), s.end());
    return *this;
  }
  GifBuilder& RawBytes(const Bytes& bytes) {
    b_.insert(b_.end(), bytes.begin(), bytes.end());
    return *this;
  }
  const Bytes& Data() const { return b_; }

 private:
  void U16(int v) { b_.push_back(uint8_t(v)), b_.push_back(uint8_t(v >> 8)); }
  void Table(int bits, const std::vector<uint32_t>& colours) {
    for (int i = 0; i < (1 << bits); ++i) {
      uint32_t c = size_t(i) < colours.size() ? colours[size_t(i)] : 0;
      b_.push_back(uint8_t(c >> 16)), b_.push_back(uint8_t(c >> 8)), b_.push_back(uint8_t(c));
    }
  }
  // The indices in the order the rows are stored.
  static Bytes Ordered(const Image& image) {
    if (!image.Interlaced) return image.Indices;
    Bytes out;
    static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
      for (int y = start[pass]; y < image.Height; y += step[pass])
        out.insert(out.end(), image.Indices.begin() + long(y) * image.Width,
                   image.Indices.begin() + long(y + 1) * image.Width);
    return out;
  }
  Bytes b_;
};

}  // namespace giftest
