#include "shell_controls/locator_codec.h"

#include "framework/core/streams.h"
#include "framework/core/sysutils.h"
#include "platform/byte_order.h"
#include "shell_controls/idlist.h"

namespace shell {

TLocatorValue DecodeLocatorPidl(const uint8_t* data, size_t size) {
  if (size == 0) throw EReadError("The folder value is empty");
  TLocatorValue v;
  if (data[0] != 0) {
    if (size < 2) throw EReadError("The folder value has no special-folder id");
    if (size > 2) throw EReadError("The folder value has bytes after its end");
    v.Kind = 1;
    v.Id = data[1];
    return v;
  }
  if (size < 5) throw EReadError("The folder value has no list size");
  uint32_t count = platform::GetU32(data + 1);
  size_t left = size - 5;
  if (count < 2 || count > left)
    throw EReadError("The folder value gives a list size of " + IntToStr(count) + " with " + IntToStr(int64_t(left)) +
                     " bytes left");
  if (count < left) throw EReadError("The folder value has bytes after its end");
  TIdListCheck check = CheckIdList(data + 5, count);
  if (!check.Ok) throw EReadError(check.Error);
  v.List.assign(data + 5, data + 5 + count);
  return v;
}

std::vector<uint8_t> EncodeLocatorPidl(uint8_t kind, uint8_t id, const uint8_t* list) {
  platform::ByteWriter w;
  if (kind != 0) {
    w.U8(kind);
    w.U8(id);
    return std::move(w.Data());
  }
  static const uint8_t kDesktop[2] = {0, 0};
  if (!list) list = kDesktop;
  size_t n = ListSize(list);
  w.U8(0);
  w.U32(uint32_t(n));
  w.Bytes(list, n);
  return std::move(w.Data());
}

}  // namespace shell
