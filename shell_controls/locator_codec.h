#pragma once
// The stored form of a shell locator, the binary property "Pidl": one kind byte; for a
// special folder (kind not 0) one id byte; for an item-ID list (kind 0) a 32-bit
// little-endian byte count (terminator included) and the list's bytes. Reading takes the
// bytes of a form or stream, so it accepts exactly that and nothing more: a missing id, a
// count below 2 or above the bytes left, a list that does not check (see idlist.h) or
// bytes after the value fail with EReadError.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace shell {

struct TLocatorValue {
  uint8_t Kind = 0;              // 0 an item-ID list, 1 a special folder
  uint8_t Id = 0;                // kind 1: the special-folder id
  std::vector<uint8_t> List;     // kind 0: the list, terminator included
};

TLocatorValue DecodeLocatorPidl(const uint8_t* data, size_t size);
// kind not 0: the kind byte and the id; kind 0: the list (nil: the
// Desktop, stored as its terminator).
std::vector<uint8_t> EncodeLocatorPidl(uint8_t kind, uint8_t id, const uint8_t* list);
// Whether a locator writes "Pidl": when it holds a list or names a special folder.
inline bool LocatorPidlStored(uint8_t kind, bool holdsList) { return kind != 0 || holdsList; }

}  // namespace shell
