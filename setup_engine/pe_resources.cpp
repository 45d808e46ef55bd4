#include "setup_engine/pe_resources.h"

#include "platform/byte_order.h"
#include "platform/file.h"

namespace setup {
namespace {

constexpr uint32_t kRtVersion = 16;
constexpr uint32_t kMaxBlock = 0x10000;  // a version block's length is 16 bits

class Image {
 public:
  explicit Image(const std::string& path) {
    if (file_.Open(path, platform::OpenMode::Read)) size_ = file_.Size();
  }
  bool At(int64_t pos, void* out, size_t n) {
    if (pos < 0 || size_ < 0 || uint64_t(pos) + n > uint64_t(size_)) return false;
    return file_.Seek(pos) && file_.Read(out, n) == n;
  }
  bool U16(int64_t pos, uint32_t& v) {
    uint8_t b[2];
    if (!At(pos, b, 2)) return false;
    v = platform::GetU16(b);
    return true;
  }
  bool U32(int64_t pos, uint32_t& v) {
    uint8_t b[4];
    if (!At(pos, b, 4)) return false;
    v = platform::GetU32(b);
    return true;
  }

 private:
  platform::File file_;
  int64_t size_ = -1;
};

struct Section {
  uint32_t va, size, raw;
};

// The entry of a resource directory with the given id, or its first entry when id is 0.
bool FindEntry(Image& img, int64_t rsrc, uint32_t dir, uint32_t id, uint32_t& target) {
  uint32_t named, ids;
  if (!img.U16(rsrc + dir + 12, named) || !img.U16(rsrc + dir + 14, ids)) return false;
  for (uint32_t i = 0; i < named + ids; ++i) {
    uint32_t name, data;
    int64_t e = rsrc + dir + 16 + int64_t(i) * 8;
    if (!img.U32(e, name) || !img.U32(e + 4, data)) return false;
    if (id == 0 || (!(name & 0x80000000u) && name == id)) {
      target = data;
      return true;
    }
  }
  return false;
}

}  // namespace

bool ReadPeVersionResource(const std::string& path, std::vector<uint8_t>& block) {
  Image img(path);
  uint8_t mz[2];
  uint32_t peAt, sig, sections, optSize, magic;
  if (!img.At(0, mz, 2) || mz[0] != 'M' || mz[1] != 'Z' || !img.U32(0x3C, peAt) ||
      !img.U32(peAt, sig) || sig != 0x00004550 || !img.U16(peAt + 6, sections) ||
      !img.U16(peAt + 20, optSize))
    return false;
  int64_t opt = int64_t(peAt) + 24;
  if (!img.U16(opt, magic) || (magic != 0x10B && magic != 0x20B)) return false;
  int64_t dirs = opt + (magic == 0x10B ? 96 : 112);
  uint32_t dirCount, rsrcRva;
  if (!img.U32(dirs - 4, dirCount) || dirCount < 3 || !img.U32(dirs + 16, rsrcRva) ||
      rsrcRva == 0)
    return false;
  std::vector<Section> table;
  for (uint32_t i = 0; i < sections; ++i) {
    int64_t s = opt + optSize + int64_t(i) * 40;
    Section sec;
    uint32_t vsize, rsize;
    if (!img.U32(s + 8, vsize) || !img.U32(s + 12, sec.va) || !img.U32(s + 16, rsize) ||
        !img.U32(s + 20, sec.raw))
      return false;
    sec.size = vsize > rsize ? vsize : rsize;
    table.push_back(sec);
  }
  auto fileOffset = [&](uint32_t rva, int64_t& off) {
    for (const Section& s : table)
      if (rva >= s.va && rva - s.va < s.size) {
        off = int64_t(s.raw) + (rva - s.va);
        return true;
      }
    return false;
  };
  int64_t rsrc;
  if (!fileOffset(rsrcRva, rsrc)) return false;
  uint32_t level1, level2, leaf;
  if (!FindEntry(img, rsrc, 0, kRtVersion, level1) || !(level1 & 0x80000000u) ||
      !FindEntry(img, rsrc, level1 & 0x7FFFFFFFu, 0, level2) || !(level2 & 0x80000000u) ||
      !FindEntry(img, rsrc, level2 & 0x7FFFFFFFu, 0, leaf) || (leaf & 0x80000000u))
    return false;
  uint32_t dataRva, dataSize;
  int64_t dataAt;
  if (!img.U32(rsrc + leaf, dataRva) || !img.U32(rsrc + leaf + 4, dataSize) ||
      dataSize == 0 || dataSize > kMaxBlock || !fileOffset(dataRva, dataAt))
    return false;
  block.resize(dataSize);
  return img.At(dataAt, block.data(), dataSize);
}

}  // namespace setup
