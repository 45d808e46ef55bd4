#pragma once
// The data of OLE drag and drop as bytes and rules, the same on every machine.
//
// A data object of the shell controls offers three formats in global memory, in this order:
// the shell's item-ID list array (CIDA), the file drop block (15) and text (1). Their
// layouts, all little-endian:
//   CIDA       32-bit count n; n + 1 32-bit offsets from the block's start; the parent
//              folder's absolute list (the 2-byte empty list when there is none) and each
//              item's relative list, each with its terminator. Offset 0 is the parent's.
//   file drop  a 20-byte header (offset of the names = 20, point 0, 0, non-client flag 0,
//              wide flag 0); each name and a zero byte; one more zero byte.
//   text       the text and a zero byte.
// A CIDA block that comes from outside (another program's data object, a file) is taken
// only when its count and offsets fit in it and every list ends at its terminator inside
// it; bytes after the last list are allowed.
//
// The FORMATETC rules (QueryGetData), the enumerator's positions, the drop source's answer
// and the drop effects are here too; the COM objects over them are Windows code.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace shell {

// The HRESULTs these rules answer with.
constexpr int32_t kS_OK = 0;
constexpr int32_t kS_FALSE = 1;
constexpr int32_t kDV_E_FORMATETC = int32_t(0x80040064);
constexpr int32_t kDV_E_TYMED = int32_t(0x80040069);
constexpr int32_t kDRAGDROP_S_DROP = 0x00040100;
constexpr int32_t kDRAGDROP_S_CANCEL = 0x00040101;

constexpr uint32_t kAspectContent = 1;
constexpr uint32_t kTymedHGlobal = 1;
constexpr uint16_t kFormatText = 1;
constexpr uint16_t kFormatFileDrop = 15;

// A FORMATETC record without its target device (the controls never offer one).
struct TFormatEtc {
  uint16_t Format = 0;
  bool HasDevice = false;
  uint32_t Aspect = kAspectContent;
  int32_t Index = -1;
  uint32_t Tymed = kTymedHGlobal;
};
// Records for the formats: no device, content, index -1, global memory.
std::vector<TFormatEtc> FormatEtcList(const std::vector<uint16_t>& formats);
// S_OK when a record of the format shares a medium bit with the query; DV_E_TYMED when the
// format is offered on other media; DV_E_FORMATETC for another format or an aspect other
// than content.
int32_t QueryGetData(const std::vector<TFormatEtc>& offered, const TFormatEtc& query);

// An enumerator's position over count records.
class TEnumPosition {
 public:
  explicit TEnumPosition(size_t count, size_t position = 0) : count_(count), position_(position) {}
  // Takes up to n records from the position: the first index and how many; S_FALSE when
  // fewer than n were taken.
  struct TTaken {
    size_t First, Count;
    int32_t Result;
  };
  TTaken Next(uint32_t n);
  // S_FALSE when it stopped at the end.
  int32_t Skip(uint32_t n);
  void Reset() { position_ = 0; }
  size_t Position() const { return position_; }
  size_t Count() const { return count_; }

 private:
  size_t count_;
  size_t position_;
};

// The CIDA block of trusted lists (the parent may be nil).
std::vector<uint8_t> BuildCida(const uint8_t* parent, const std::vector<const uint8_t*>& items);
// The block's size: 8 + 4n + the sizes of all n + 1 lists.
size_t CidaSize(const uint8_t* parent, const std::vector<const uint8_t*>& items);

struct TCidaList {
  size_t Offset = 0, Size = 0;  // the list's bytes in the block, terminator included
};
struct TCida {
  bool Ok = false;
  std::string Error;            // why it was refused
  TCidaList Parent;
  std::vector<TCidaList> Items;
};
TCida ParseCida(const uint8_t* data, size_t size);

// The file drop block of the names.
std::vector<uint8_t> BuildFileDrop(const std::vector<std::string>& names);
// The text block.
std::vector<uint8_t> BuildTextBlock(const std::string& text);

// MK_ key bits.
constexpr uint32_t kKeyLeft = 1, kKeyRight = 2, kKeyShift = 4, kKeyControl = 8, kKeyMiddle = 16;
// The key bit of mouse button 0 (left), 1 (right) or 2 (middle); 0 for any other.
uint32_t ButtonKey(int button);
// The drop source's answer: cancel on escape or when a button other than the starting one
// is held; go on while the starting button is held; else drop.
int32_t QueryContinueDrag(bool escape, uint32_t keys, uint32_t startKey);

// Drop effects: copy 1, move 2, link 4 map one to one to the can-copy, can-move and
// can-link attributes.
constexpr uint32_t kEffectCopy = 1, kEffectMove = 2, kEffectLink = 4;
constexpr uint32_t kEffectScroll = 0x80000000u;
// The effects the items' attributes allow; all three when the attributes could not be had.
uint32_t AllowedEffects(bool haveAttributes, uint32_t attributes);

}  // namespace shell
