#include "shell_controls/drag_data.h"

#include <cstring>

#include "framework/core/sysutils.h"
#include "shell_controls/idlist.h"

namespace shell {

namespace {

const uint8_t kEmptyList[2] = {0, 0};

void PutU32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

uint32_t GetU32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The size of the list at offset, terminator included, when it ends inside the block; 0
// (and why) when it does not.
size_t BoundedListSize(const uint8_t* data, size_t size, size_t offset, std::string& error) {
  size_t at = offset;
  for (;;) {
    if (size - at < 2) {
      error = "ends past the block";
      return 0;
    }
    uint16_t cb = uint16_t(data[at] | data[at + 1] << 8);
    if (cb == 0) return at + 2 - offset;
    if (cb < 2) {
      error = "has an item of size " + IntToStr(cb);
      return 0;
    }
    if (cb > size - at) {
      error = "ends past the block";
      return 0;
    }
    at += cb;
  }
}

}  // namespace

std::vector<TFormatEtc> FormatEtcList(const std::vector<uint16_t>& formats) {
  std::vector<TFormatEtc> r;
  for (uint16_t f : formats) {
    TFormatEtc e;
    e.Format = f;
    r.push_back(e);
  }
  return r;
}

int32_t QueryGetData(const std::vector<TFormatEtc>& offered, const TFormatEtc& query) {
  if (query.Aspect != kAspectContent) return kDV_E_FORMATETC;
  bool format = false;
  for (const TFormatEtc& e : offered) {
    if (e.Format != query.Format) continue;
    if (e.Tymed & query.Tymed) return kS_OK;
    format = true;
  }
  return format ? kDV_E_TYMED : kDV_E_FORMATETC;
}

TEnumPosition::TTaken TEnumPosition::Next(uint32_t n) {
  size_t left = position_ < count_ ? count_ - position_ : 0;
  size_t take = n < left ? n : left;
  TTaken t{position_, take, take < n ? kS_FALSE : kS_OK};
  position_ += take;
  return t;
}

int32_t TEnumPosition::Skip(uint32_t n) {
  size_t left = position_ < count_ ? count_ - position_ : 0;
  if (n > left) {
    position_ = count_;
    return kS_FALSE;
  }
  position_ += n;
  return kS_OK;
}

size_t CidaSize(const uint8_t* parent, const std::vector<const uint8_t*>& items) {
  size_t size = 8 + 4 * items.size() + (IsEmptyList(parent) ? 2 : ListSize(parent));
  for (const uint8_t* i : items) size += i ? ListSize(i) : 2;
  return size;
}

std::vector<uint8_t> BuildCida(const uint8_t* parent, const std::vector<const uint8_t*>& items) {
  std::vector<uint8_t> b(CidaSize(parent, items), 0);
  PutU32(b, 0, uint32_t(items.size()));
  size_t at = 8 + 4 * items.size();
  auto put = [&](size_t slot, const uint8_t* list) {
    if (!list) list = kEmptyList;
    size_t n = ListSize(list);
    PutU32(b, 4 + 4 * slot, uint32_t(at));
    std::memcpy(b.data() + at, list, n);
    at += n;
  };
  put(0, IsEmptyList(parent) ? nullptr : parent);
  for (size_t i = 0; i < items.size(); ++i) put(i + 1, items[i]);
  return b;
}

TCida ParseCida(const uint8_t* data, size_t size) {
  TCida r;
  if (size < 4) {
    r.Error = "The item-ID list array has no count";
    return r;
  }
  uint64_t n = GetU32(data);
  uint64_t table = 4 + 4 * (n + 1);
  if (table > size) {
    r.Error = "The item-ID list array's " + IntToStr(int64_t(n)) + " offsets do not fit in its " +
              IntToStr(int64_t(size)) + " bytes";
    return r;
  }
  std::vector<TCidaList> lists;
  for (uint64_t i = 0; i <= n; ++i) {
    uint32_t offset = GetU32(data + 4 + 4 * i);
    std::string what = i == 0 ? std::string("The parent list") : "Item " + IntToStr(int64_t(i));
    if (offset < table || offset >= size) {
      r.Error = what + " of the item-ID list array starts outside its lists, at " + IntToStr(offset);
      return r;
    }
    std::string why;
    size_t listSize = BoundedListSize(data, size, offset, why);
    if (!listSize) {
      r.Error = what + " of the item-ID list array " + why;
      return r;
    }
    lists.push_back({offset, listSize});
  }
  r.Parent = lists[0];
  r.Items.assign(lists.begin() + 1, lists.end());
  r.Ok = true;
  return r;
}

std::vector<uint8_t> BuildFileDrop(const std::vector<std::string>& names) {
  size_t size = 20 + 1;
  for (const std::string& n : names) size += n.size() + 1;
  std::vector<uint8_t> b(size, 0);
  PutU32(b, 0, 20);
  size_t at = 20;
  for (const std::string& n : names) {
    std::memcpy(b.data() + at, n.data(), n.size());
    at += n.size() + 1;
  }
  return b;
}

std::vector<uint8_t> BuildTextBlock(const std::string& text) {
  std::vector<uint8_t> b(text.begin(), text.end());
  b.push_back(0);
  return b;
}

uint32_t ButtonKey(int button) {
  switch (button) {
    case 0:
      return kKeyLeft;
    case 1:
      return kKeyRight;
    case 2:
      return kKeyMiddle;
    default:
      return 0;
  }
}

int32_t QueryContinueDrag(bool escape, uint32_t keys, uint32_t startKey) {
  const uint32_t buttons = kKeyLeft | kKeyRight | kKeyMiddle;
  if (escape || (keys & buttons & ~startKey)) return kDRAGDROP_S_CANCEL;
  if (keys & startKey) return kS_OK;
  return kDRAGDROP_S_DROP;
}

uint32_t AllowedEffects(bool haveAttributes, uint32_t attributes) {
  return haveAttributes ? attributes & (kEffectCopy | kEffectMove | kEffectLink)
                        : kEffectCopy | kEffectMove | kEffectLink;
}

}  // namespace shell
