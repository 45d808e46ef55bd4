#pragma once
// Patches spelled out byte by byte, field by field, as the engine writes them (the layout
// is described in docs/patch_format.md). Every one has an empty first identification block
// (64 zero bytes), no second one (L = 0) and the backup name "Backup".
//
// - PlainPatch144: the plain patch of an identical 1000-byte source and target.
// - DirectoryPatch194: a directory patch with a renamed file, an unchanged file, a
//   deleted file and an embedded one.
// - ChangePatch182 and DeflatedChangePatch150: one changed file, its patch stored and
//   deflated.
#include <cstdint>
#include <string>
#include <vector>

namespace golden {

using Bytes = std::vector<uint8_t>;

inline void Append(Bytes& to, const Bytes& more) { to.insert(to.end(), more.begin(), more.end()); }
inline void Append(Bytes& to, const std::string& text) { to.insert(to.end(), text.begin(), text.end()); }

// The 76-byte header of a patch: magic, format version 190, mode, stream flags, then the
// empty identification blocks.
inline Bytes Header(uint8_t mode, uint8_t flags) {
  Bytes h = {0x43, 0x84, 0x7F, 0x3E,  // magic
             0xBE, 0x00, 0x00, 0x00,  // format version 190
             mode,                    // 1 file versions, 2 directory trees
             flags};                  // 0 stored stream, 1 deflated
  h.resize(76);                       // identification block 0s, L = 0 (bytes 74..75)
  return h;
}

// ---- the identical 1000-byte file ----

inline Bytes Content1000() {
  Bytes v(1000);
  for (size_t i = 0; i < v.size(); ++i) v[i] = uint8_t(i * 31 + 7);
  return v;
}

constexpr uint32_t kStamp = 0x2A4320A3;  // 2001-02-03 04:05:06 as a DOS date-time

inline Bytes PlainPatch144() {
  Bytes f = Header(0x01, 0x00);
  Append(f, Bytes{
      0x06, 'B', 'a', 'c', 'k', 'u', 'p',              // backup name
      0xE1, 0xE9, 0xFD, 0x76, 0xE8, 0x03, 0x00, 0x00,  // target CRC-32 and length
      0xA3, 0x20, 0x43, 0x2A, 0x01, 0x00, 0x00, 0x00,  // stamp, one step, flags 0
      0xE1, 0xE9, 0xFD, 0x76, 0xE8, 0x03, 0x00, 0x00,  // source CRC-32 and length
      0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // number 4, wide-bit 0 bytes
      0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // sign-bit 1, literal 0 bytes
      0x00, 0x00, 0x00, 0x00, 0xBE, 0x00, 0x02, 0x14,  // extension 0, G 190, plain, C 20
      0x03, 0xE8, 0x00, 0x00,                          // copy 1000, offset +0, k 0
      0x02,                                            // signs 0 (wide) 1, 0 (narrow) 0
      0x90, 0x00, 0x00, 0x00, 0x43, 0x84, 0x7F, 0x3E,  // trailer: 144 bytes, magic
  });
  return f;
}

// ---- the directory patch ----
//
// Source tree              Target tree
//   a.txt       kMoved       sub\b.txt  kMoved, stamped 2003-04-05 06:07:08
//   gone.txt    kGone        new.bin    kEmbedded, stamped 2004-05-06 07:08:10
//   same.dat    kSame        same.dat   kSame
// Every other file is stamped 2002-03-04 05:06:08. Every source file is shorter than 200
// bytes, so new.bin, which has no file of the same bytes, gets no predecessor and is
// embedded; sub\b.txt is found by its bytes and patched from a.txt; same.dat is identical
// and gone.txt has no target: neither leaves a trace.

inline const std::string kMoved = "This file moved from a.txt to sub\\b.txt, its bytes unchanged.\r\n";
inline const std::string kEmbedded = "embedded whole\r\n";
inline const std::string kSame = "same bytes";
inline const std::string kGone = "gone";
constexpr uint32_t kMovedStamp = 0x2E8530E4;     // 2003-04-05 06:07:08
constexpr uint32_t kEmbeddedStamp = 0x30A63905;  // 2004-05-06 07:08:10

inline Bytes DirectoryPatch194() {
  Bytes f = Header(0x02, 0x00);
  Append(f, Bytes{
      0x06, 'B', 'a', 'c', 'k', 'u', 'p',              // backup name
      0x01,                                            // tag: file record
      0x1D, 0x5E, 0x75, 0x0F, 0x3F, 0x00, 0x00, 0x00,  // target CRC-32 and length 63
      0xE4, 0x30, 0x85, 0x2E, 0x01, 0x00, 0x00, 0x00,  // kMovedStamp, one step, flags 0
      0x09, 's', 'u', 'b', '\\', 'b', '.', 't', 'x', 't',  // target name
      0x05, 'a', '.', 't', 'x', 't',                   // step 1: source name
      0x1D, 0x5E, 0x75, 0x0F, 0x3F, 0x00, 0x00, 0x00,  // source CRC-32 and length 63
      0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // number 3, wide-bit 0 bytes
      0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // sign-bit 1, literal 0 bytes
      0x00, 0x00, 0x00, 0x00, 0xBE, 0x00, 0x02, 0x14,  // extension 0, G 190, plain, C 20
      0x3F, 0x00, 0x00,                                // copy 63, offset +0, k 0
      0x00,                                            // signs 0, 0 (63 bytes: no widths)
      0x02,                                            // tag: embedded file
      0x07, 'n', 'e', 'w', '.', 'b', 'i', 'n',         // name
      0x10, 0x00, 0x00, 0x00, 0x05, 0x39, 0xA6, 0x30,  // length 16, kEmbeddedStamp
  });
  Append(f, kEmbedded);                                // the file's bytes
  Append(f, Bytes{
      0x00,                                            // tag: end of the entries
      0xC2, 0x00, 0x00, 0x00, 0x43, 0x84, 0x7F, 0x3E,  // trailer: 194 bytes, magic
  });
  return f;
}

// ---- the changed file, stored and deflated ----
//
// The source is 700 bytes of xorshift noise. The target (403 bytes) is the source's first
// 403 bytes with bytes 100..129 and 400..402 each raised by 1. The engine copies bytes
// 0..99, extends the copy by k = 3 bytes and stores the rest of the changed run as one
// literal chunk of differences, copies bytes 130..399 and lets that copy's extension cover
// the last three bytes. Every difference is 1.

inline Bytes ChangeSource700() {
  Bytes v(700);
  uint32_t x = 1;
  for (uint8_t& b : v) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = uint8_t(x >> 24);
  }
  return v;
}

inline Bytes ChangeTarget403() {
  Bytes v = ChangeSource700();
  v.resize(403);
  for (size_t i = 100; i < 130; ++i) ++v[i];
  for (size_t i = 400; i < 403; ++i) ++v[i];
  return v;
}

constexpr uint32_t kChangeStamp = 0x32C74125;  // 2005-06-07 08:09:10, of the target

// The patch stream of the change: everything between header and trailer.
inline Bytes ChangeStream98() {
  Bytes s = {
      0x06, 'B', 'a', 'c', 'k', 'u', 'p',              // backup name
      0xDA, 0xA1, 0x53, 0x56, 0x93, 0x01, 0x00, 0x00,  // target CRC-32 and length 403
      0x25, 0x41, 0xC7, 0x32, 0x01, 0x00, 0x00, 0x00,  // kChangeStamp, one step, flags 0
      0x14, 0xF4, 0x52, 0xE6, 0xBC, 0x02, 0x00, 0x00,  // source CRC-32 and length 700
      0x07, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,  // number 7, wide-bit 1 byte
      0x02, 0x00, 0x00, 0x00, 0x1B, 0x00, 0x00, 0x00,  // sign-bit 2, literal 27 bytes
      0x06, 0x00, 0x00, 0x00, 0xBE, 0x00, 0x00, 0x14,  // extension 6, G 190, differences, C 20
      // Numbers (the largest magnitude is 700: one width bit each in the sign-bit
      // stream, none in the wide-bit stream):
      0x64, 0x00, 0x03,                                // copy 100, offset +0, k 3
      0x1B,                                            // literal run -27 (bytes 103..129)
      0x01, 0x0E, 0x1E,                                // copy 270, offset +30 (130 - 100)
      0x00,                                            // wide bits: the chunk holds differences
      0x90, 0x00,                                      // signs (sign, width) per number:
                                                       // 0 0, 0 0, 1 0, 0 1, 0 0
  };
  s.insert(s.end(), 27, 0x01);                         // literal: target - source[103..129]
  s.insert(s.end(), 6, 0x01);                          // extension: target - source[100..102],
                                                       // then - source[400..402]
  return s;
}

inline Bytes ChangePatch182() {
  Bytes f = Header(0x01, 0x00);
  Append(f, ChangeStream98());
  Append(f, Bytes{0xB6, 0x00, 0x00, 0x00, 0x43, 0x84, 0x7F, 0x3E});  // trailer: 182 bytes
  return f;
}

// The same patch with the stream deflated: the 66 bytes between header and trailer are one
// zlib stream, ChangeStream98() deflated at level 9 (zlib 1.2.13, window 32 KiB).
inline Bytes DeflatedChangePatch150() {
  Bytes f = Header(0x01, 0x01);
  Append(f, Bytes{
      0x78, 0xDA, 0x63, 0x73, 0x4A, 0x4C, 0xCE, 0x2E, 0x2D, 0xB8, 0xB5, 0x30, 0x38, 0x6C,
      0x32, 0x23, 0x03, 0x83, 0xAA, 0xE3, 0x71, 0x23, 0x20, 0xC5, 0x20, 0xF2, 0x25, 0xE8,
      0xD9, 0x1E, 0x26, 0x06, 0x06, 0x76, 0x20, 0x1B, 0xC4, 0x07, 0x32, 0x19, 0xA4, 0x81,
      0x98, 0x0D, 0x88, 0xF7, 0x01, 0xA5, 0x53, 0x18, 0x98, 0xA5, 0x19, 0xF9, 0xE4, 0x18,
      0x26, 0x30, 0x30, 0x12, 0x02, 0x00, 0x7C, 0x7C, 0x0B, 0xD0,
  });
  Append(f, Bytes{0x96, 0x00, 0x00, 0x00, 0x43, 0x84, 0x7F, 0x3E});  // trailer: 150 bytes
  return f;
}

}  // namespace golden
