#pragma once
// Version blocks and program images holding them, laid out as resource compilers and
// linkers do, for the tests of the version readers and of what is built on them.
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/byte_order.h"

namespace versiontest {

// Builds one version-block node the way resource compilers lay it out.
inline std::vector<uint8_t> Node(const std::string& key, const std::vector<uint8_t>& value, bool text,
                          const std::vector<std::vector<uint8_t>>& children = {}) {
  std::vector<uint8_t> b(6, 0);
  for (char c : key) b.insert(b.end(), {uint8_t(c), 0});
  b.insert(b.end(), {0, 0});
  while (b.size() % 4) b.push_back(0);
  b.insert(b.end(), value.begin(), value.end());
  for (const auto& c : children) {
    while (b.size() % 4) b.push_back(0);
    b.insert(b.end(), c.begin(), c.end());
  }
  platform::PutU16(&b[0], uint16_t(b.size()));
  platform::PutU16(&b[2], uint16_t(text ? value.size() / 2 : value.size()));
  platform::PutU16(&b[4], text ? 1 : 0);
  return b;
}

inline std::vector<uint8_t> Wide(const std::string& s) {
  std::vector<uint8_t> v;
  for (char c : s) v.insert(v.end(), {uint8_t(c), 0});
  v.insert(v.end(), {0, 0});
  return v;
}

// A version block of file version 2.10.3.4 with one string table; extra adds texts to it.
inline std::vector<uint8_t> VersionBlock(const std::string& table, uint32_t os, uint32_t type, uint32_t sub,
                                         const std::vector<std::pair<std::string, std::string>>& extra = {}) {
  std::vector<uint8_t> fixed(52, 0);
  platform::PutU32(&fixed[0], 0xFEEF04BD);
  platform::PutU32(&fixed[8], (2u << 16) | 10);  // file version 2.10.3.4
  platform::PutU32(&fixed[12], (3u << 16) | 4);
  platform::PutU32(&fixed[16], (7u << 16) | 0);
  platform::PutU32(&fixed[20], 0);
  platform::PutU32(&fixed[32], os);
  platform::PutU32(&fixed[36], type);
  platform::PutU32(&fixed[40], sub);
  std::vector<std::vector<uint8_t>> texts{Node("CompanyName", Wide("Halden Works"), true),
                                           Node("Comments", Wide("tested"), true),
                                           Node("ProductVersion", Wide("7.0 beta"), true),
                                           Node("FileVersion", Wide("ignored"), true)};
  for (const auto& [key, value] : extra) texts.push_back(Node(key, Wide(value), true));
  auto strings = Node(table, {}, true, texts);
  auto sfi = Node("StringFileInfo", {}, true, {strings});
  std::vector<uint8_t> translation{0x09, 0x04, 0xE4, 0x04};
  auto vfi = Node("VarFileInfo", {}, true, {Node("Translation", translation, false)});
  return Node("VS_VERSION_INFO", fixed, false, {sfi, vfi});
}

// A minimal 32-bit PE image whose only section holds the resource tree for block.
inline std::vector<uint8_t> PeImage(const std::vector<uint8_t>& block) {
  std::vector<uint8_t> img(0x200 + 0x58 + block.size(), 0);
  img[0] = 'M';
  img[1] = 'Z';
  platform::PutU32(&img[0x3C], 0x40);
  platform::PutU32(&img[0x40], 0x00004550);
  platform::PutU16(&img[0x44], 0x14C);
  platform::PutU16(&img[0x46], 1);
  platform::PutU16(&img[0x54], 224);
  size_t opt = 0x58;
  platform::PutU16(&img[opt], 0x10B);
  platform::PutU32(&img[opt + 92], 16);
  platform::PutU32(&img[opt + 96 + 16], 0x1000);
  platform::PutU32(&img[opt + 96 + 20], uint32_t(0x58 + block.size()));
  size_t sec = opt + 224;
  std::memcpy(&img[sec], ".rsrc", 5);
  platform::PutU32(&img[sec + 8], uint32_t(0x58 + block.size()));
  platform::PutU32(&img[sec + 12], 0x1000);
  platform::PutU32(&img[sec + 16], uint32_t(0x58 + block.size()));
  platform::PutU32(&img[sec + 20], 0x200);
  uint8_t* r = &img[0x200];
  platform::PutU16(r + 14, 1);
  platform::PutU32(r + 16, 16);
  platform::PutU32(r + 20, 0x80000018);
  platform::PutU16(r + 0x18 + 14, 1);
  platform::PutU32(r + 0x18 + 16, 1);
  platform::PutU32(r + 0x18 + 20, 0x80000030);
  platform::PutU16(r + 0x30 + 14, 1);
  platform::PutU32(r + 0x30 + 16, 0x409);
  platform::PutU32(r + 0x30 + 20, 0x48);
  platform::PutU32(r + 0x48, 0x1058);
  platform::PutU32(r + 0x4C, uint32_t(block.size()));
  std::memcpy(r + 0x58, block.data(), block.size());
  return img;
}

}  // namespace versiontest
