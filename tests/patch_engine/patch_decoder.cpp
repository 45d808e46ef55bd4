#include "patch_decoder.h"

#include <zlib.h>

#include <fstream>
#include <iterator>

namespace patchdec {

namespace {

constexpr uint32_t kMagic = 0x3E7F8443u;
constexpr uint32_t kVersion = 190;
constexpr size_t kHeaderBytes = 76;
constexpr size_t kTrailerBytes = 8;
constexpr uint32_t kPairMarker = 0x25456ABFu;

[[noreturn]] void Fail(const std::string& what) { throw DecodeError(what); }

uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

// Sequential reader over the patch stream.
class Reader {
 public:
  explicit Reader(const Bytes& b) : b_(b) {}
  size_t Left() const { return b_.size() - at_; }
  const uint8_t* Take(size_t n, const char* what) {
    if (Left() < n) Fail(std::string("patch stream ends inside ") + what);
    const uint8_t* p = b_.data() + at_;
    at_ += n;
    return p;
  }
  uint8_t U8(const char* what) { return *Take(1, what); }
  uint16_t U16(const char* what) { return Le16(Take(2, what)); }
  uint32_t U32(const char* what) { return Le32(Take(4, what)); }
  Bytes Block(size_t n, const char* what) {
    const uint8_t* p = Take(n, what);
    return Bytes(p, p + n);
  }
  std::string Name(const char* what) {
    size_t n = U8(what);
    const uint8_t* p = Take(n, what);
    return std::string(reinterpret_cast<const char*>(p), n);
  }

 private:
  const Bytes& b_;
  size_t at_ = 0;
};

Protection ReadProtection(Reader& r) {
  Protection p;
  p.offset = r.U32("protection values");
  p.length = r.U32("protection values");
  return p;
}

FileRecord ReadRecord(Reader& r, bool directory) {
  FileRecord rec;
  rec.crc = r.U32("record fixed part");
  rec.length = r.U32("record fixed part");
  rec.stamp = r.U32("record fixed part");
  const uint16_t n = r.U16("record fixed part");
  rec.flags = r.U16("record fixed part");
  if (n == 0) Fail("record with no step");
  if (rec.flags & ~(kHasProtection | kNamePatternMark)) Fail("unknown record flag bits");
  if (rec.flags & kHasProtection) rec.protection = ReadProtection(r);
  if (directory) rec.name = r.Name("target name");
  for (uint16_t i = 0; i < n; ++i) {
    Step s;
    if (directory) s.sourceName = r.Name("version name");
    const uint8_t* d = r.Take(32, "version descriptor");
    s.sourceCrc = Le32(d);
    s.sourceLength = Le32(d + 4);
    uint32_t sizes[5];
    for (int k = 0; k < 5; ++k) sizes[k] = Le32(d + 8 + 4 * k);
    s.groupSize = Le16(d + 28);
    s.flags = d[30];
    s.chunkSize = d[31];
    if (s.flags & ~(kSelfReferences | kPlainExtension)) Fail("unknown descriptor flag bits");
    if (rec.flags & kHasProtection) s.protection = ReadProtection(r);
    for (int k = 0; k < 5; ++k) s.streams[k] = r.Block(sizes[k], "step data");
    rec.steps.push_back(std::move(s));
  }
  return rec;
}

EmbeddedFile ReadEmbedded(Reader& r) {
  EmbeddedFile e;
  e.name = r.Name("embedded file name");
  const uint32_t length = r.U32("embedded file");
  e.stamp = r.U32("embedded file");
  e.data = r.Block(length, "embedded file data");
  return e;
}

// ---- step decoding ----

class ByteSource {
 public:
  ByteSource(const Bytes& b, const char* name) : b_(b), name_(name) {}
  uint8_t Next() {
    if (at_ >= b_.size()) Fail(std::string(name_) + " stream used beyond its end");
    return b_[at_++];
  }
  void CheckUsedUp() const {
    if (at_ != b_.size())
      Fail(std::string(name_) + " stream has " + std::to_string(b_.size() - at_) +
           " unused bytes");
  }

 private:
  const Bytes& b_;
  const char* name_;
  size_t at_ = 0;
};

class BitSource {
 public:
  BitSource(const Bytes& b, const char* name) : b_(b), name_(name) {}
  int Next() {
    if (bit_ >= uint64_t(b_.size()) * 8) Fail(std::string(name_) + " stream used beyond its end");
    int v = (b_[bit_ / 8] >> (bit_ % 8)) & 1;
    ++bit_;
    return v;
  }
  void CheckUsedUp() const {
    const uint64_t bytes = (bit_ + 7) / 8;
    if (bytes != b_.size())
      Fail(std::string(name_) + " stream has " + std::to_string(b_.size() - bytes) +
           " unused bytes");
    if (bit_ % 8 != 0 && (b_.back() >> (bit_ % 8)) != 0)
      Fail(std::string(name_) + " stream's last byte has unused bits set");
  }

 private:
  const Bytes& b_;
  const char* name_;
  uint64_t bit_ = 0;
};

class StepDecoder {
 public:
  StepDecoder(const Step& step, const Bytes& source, uint32_t targetLength, StepTrace* trace)
      : step_(step),
        source_(source),
        targetLength_(targetLength),
        trace_(trace),
        numbers_(step.streams[kNumbers], "number"),
        wide_(step.streams[kWideBits], "wide-bit"),
        sign_(step.streams[kSignBits], "sign-bit"),
        literals_(step.streams[kLiterals], "literal"),
        extension_(step.streams[kExtension], "extension") {
    const uint64_t s = source.size(), t = targetLength;
    maxNumber_ = (step.flags & kSelfReferences) ? s + t : (s > t ? s : t);
  }

  Bytes Run() {
    if (source_.size() != step_.sourceLength) Fail("source length differs from its descriptor");
    target_.reserve(targetLength_);
    while (target_.size() < targetLength_) {
      const int64_t v = ReadNumber();
      if (v > 0)
        Copy(v);
      else if (v < 0)
        Literal(-v);
      else
        Placeholder();
    }
    numbers_.CheckUsedUp();
    wide_.CheckUsedUp();
    sign_.CheckUsedUp();
    literals_.CheckUsedUp();
    extension_.CheckUsedUp();
    return std::move(target_);
  }

 private:
  int64_t ReadNumber() {
    const bool negative = sign_.Next();
    int bytes = 1;
    if (maxNumber_ >= 256 && sign_.Next()) {
      bytes = 2;
      if (maxNumber_ > 0xFFFF && wide_.Next()) {
        bytes = 3;
        if (maxNumber_ > 0xFFFFFF && wide_.Next()) bytes = 4;
      }
    }
    uint64_t m = 0;
    for (int i = 0; i < bytes; ++i) {
      const uint8_t b = numbers_.Next();
      if (i == 0 && bytes > 1 && b == 0) Fail("number written wider than needed");
      m = m << 8 | b;
    }
    if (m > maxNumber_) Fail("number above the step's largest magnitude");
    if (negative && m == 0) Fail("negative zero");
    return negative ? -int64_t(m) : int64_t(m);
  }

  // The byte at offset x of the step's address space: the source, followed (with self
  // references) by the target bytes rebuilt so far.
  uint8_t At(uint64_t x) const {
    if (x < source_.size()) return source_[x];
    const uint64_t t = x - source_.size();
    if ((step_.flags & kSelfReferences) && t < target_.size()) return target_[t];
    Fail("reference beyond the source");
  }

  void Emit(uint8_t b) {
    if (target_.size() >= targetLength_) Fail("step writes beyond the target's length");
    target_.push_back(b);
  }

  void Copy(int64_t length) {
    const int64_t d = ReadNumber();
    const int64_t offset = previousOffset_ + previousLength_ + d;
    if (offset < 0) Fail("copy before the start of the source");
    Op op;
    if (counter_ <= 0) {
      k_ = numbers_.Next();
      counter_ = step_.groupSize;
      op.groupStart = true;
      if (trace_) trace_->groupValues.push_back(uint8_t(k_));
    }
    --counter_;
    for (int64_t j = 0; j < length; ++j) Emit(At(uint64_t(offset + j)));
    const bool plain = step_.flags & kPlainExtension;
    for (int j = 0; j < k_; ++j) {
      const uint8_t e = extension_.Next();
      Emit(plain ? e : uint8_t(e + At(uint64_t(offset + length + j))));
    }
    previousOffset_ = offset;
    previousLength_ = length;
    if (trace_) {
      op.kind = Op::Copy;
      op.length = length;
      op.offset = offset;
      op.k = k_;
      trace_->ops.push_back(op);
    }
  }

  void Literal(int64_t length) {
    if (step_.chunkSize == 0) Fail("literal run with chunk size 0");
    const int64_t c0 = step_.chunkSize;
    const int64_t base = previousOffset_ + previousLength_ + k_;
    Op op;
    op.kind = Op::Literal;
    op.length = length;
    for (int64_t s = 0; s < length;) {
      const int64_t rest = length - s;
      const int64_t c = rest < 2 * c0 ? rest : c0;
      const bool plain = wide_.Next();
      op.plainChunks.push_back(plain);
      for (int64_t j = 0; j < c; ++j) {
        const uint8_t b = literals_.Next();
        Emit(plain ? b : uint8_t(b + At(uint64_t(base + s + j))));
      }
      s += c;
    }
    if (trace_) trace_->ops.push_back(std::move(op));
  }

  void Placeholder() {
    --counter_;
    if (trace_) {
      Op op;
      op.kind = Op::Placeholder;
      trace_->ops.push_back(op);
    }
  }

  const Step& step_;
  const Bytes& source_;
  const uint32_t targetLength_;
  StepTrace* trace_;
  ByteSource numbers_;
  BitSource wide_;
  BitSource sign_;
  ByteSource literals_;
  ByteSource extension_;
  uint64_t maxNumber_ = 0;
  Bytes target_;
  int64_t previousOffset_ = 0, previousLength_ = 0;
  int64_t counter_ = 0;
  int k_ = 0;
};

void CheckVersion(const FileRecord& r, size_t i, const Bytes& data, const char* which) {
  if (data.size() != r.VersionLength(i))
    Fail(std::string(which) + " version " + std::to_string(i) + " has length " +
         std::to_string(data.size()) + ", its record says " + std::to_string(r.VersionLength(i)));
  if (Crc(data, r.VersionProtection(i)) != r.VersionCrc(i))
    Fail(std::string(which) + " version " + std::to_string(i) + " fails its CRC");
}

bool IsVersion(const FileRecord& r, size_t i, const Bytes& data) {
  return data.size() == r.VersionLength(i) && Crc(data, r.VersionProtection(i)) == r.VersionCrc(i);
}

}  // namespace

uint32_t FileRecord::VersionLength(size_t i) const {
  return i < steps.size() ? steps[i].sourceLength : length;
}
uint32_t FileRecord::VersionCrc(size_t i) const {
  return i < steps.size() ? steps[i].sourceCrc : crc;
}
const Protection* FileRecord::VersionProtection(size_t i) const {
  if (!(flags & kHasProtection)) return nullptr;
  return i < steps.size() ? &steps[i].protection : &protection;
}

Bytes Inflate(const uint8_t* data, size_t size) {
  Bytes out;
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) Fail("inflate set-up failed");
  zs.next_in = const_cast<uint8_t*>(data);
  zs.avail_in = uInt(size);
  uint8_t buf[16384];
  int rc;
  do {
    zs.next_out = buf;
    zs.avail_out = sizeof buf;
    rc = inflate(&zs, Z_NO_FLUSH);
    out.insert(out.end(), buf, buf + (sizeof buf - zs.avail_out));
  } while (rc == Z_OK);
  const uInt rest = zs.avail_in;
  inflateEnd(&zs);
  if (rc != Z_STREAM_END) Fail("the deflated patch stream is damaged or cut short");
  if (rest != 0) Fail("bytes follow the deflated patch stream");
  return out;
}

Patch ParsePatch(const Bytes& file) {
  if (file.size() < kHeaderBytes + kTrailerBytes) Fail("file too short for a patch");
  const uint8_t* t = file.data() + file.size() - kTrailerBytes;
  Patch p;
  p.trailerLength = Le32(t);
  if (Le32(t + 4) != kMagic) Fail("no trailer magic");
  if (p.trailerLength > file.size() || p.trailerLength < kHeaderBytes + kTrailerBytes)
    Fail("trailer length does not fit the file");
  p.stubSize = file.size() - p.trailerLength;
  const uint8_t* h = file.data() + p.stubSize;
  if (Le32(h) != kMagic) Fail("no header magic");
  p.formatVersion = Le32(h + 4);
  if (p.formatVersion != kVersion) Fail("unknown format version");
  p.mode = h[8];
  p.flags = h[9];
  if (p.mode != 1 && p.mode != 2) Fail("unknown patch mode");
  if (p.flags & ~1u) Fail("unknown header flag bits");
  for (int i = 0; i < 64; ++i) p.identification[i] = h[10 + i];
  const uint16_t secondLength = Le16(h + 74);

  const uint8_t* begin = h + kHeaderBytes;
  const uint8_t* end = t;
  Bytes stream = (p.flags & 1) ? Inflate(begin, size_t(end - begin)) : Bytes(begin, end);
  Reader r(stream);
  p.secondIdentification = r.Block(secondLength, "second identification block");
  p.backupName = r.Name("backup name");
  if (p.mode == 1) {
    Entry e;
    e.record = ReadRecord(r, false);
    p.entries.push_back(std::move(e));
  } else {
    for (;;) {
      const uint8_t tag = r.U8("entry tag");
      if (tag == 0) break;
      Entry e;
      if (tag == 1) {
        e.tag = Tag::Record;
        e.record = ReadRecord(r, true);
      } else if (tag == 2) {
        e.tag = Tag::Embedded;
        e.embedded = ReadEmbedded(r);
      } else {
        Fail("unknown entry tag " + std::to_string(tag));
      }
      p.entries.push_back(std::move(e));
    }
  }
  if (r.Left() == 8) {
    const uint32_t zero = r.U32("closing pair");
    const uint32_t marker = r.U32("closing pair");
    if (zero != 0 || marker != kPairMarker) Fail("8 unknown bytes end the patch stream");
    p.applierPair = true;
  }
  if (r.Left() != 0) Fail(std::to_string(r.Left()) + " unknown bytes end the patch stream");
  return p;
}

Bytes ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Fail("cannot open " + path);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes ApplyStep(const Step& step, const Bytes& source, uint32_t targetLength, StepTrace* trace) {
  return StepDecoder(step, source, targetLength, trace).Run();
}

uint32_t Crc(const Bytes& data, const Protection* leaveOut) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int b = 0; b < 8; ++b) c = (c >> 1) ^ ((c & 1) ? 0xEDB88320u : 0);
      t[n] = c;
    }
    return t;
  }();
  uint64_t skipFrom = data.size(), skipTo = data.size();
  if (leaveOut) {
    skipFrom = leaveOut->offset;
    skipTo = uint64_t(leaveOut->offset) + leaveOut->length;
  }
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < data.size(); ++i) {
    if (i >= skipFrom && i < skipTo) continue;
    crc = (crc >> 8) ^ table[(crc ^ data[i]) & 0xFF];
  }
  return crc;
}

Bytes RebuildTarget(const FileRecord& record, size_t from, const Bytes& version) {
  const size_t n = record.steps.size();
  if (from > n) Fail("no version " + std::to_string(from) + " in the record");
  CheckVersion(record, from, version, "start");
  Bytes current = version;
  for (size_t i = from + 1; i <= n; ++i) {
    Bytes next = ApplyStep(record.steps[i - 1], current, record.VersionLength(i));
    CheckVersion(record, i, next, "rebuilt");
    current = std::move(next);
  }
  return current;
}

Bytes RebuildTarget(const FileRecord& record, const Bytes& version) {
  for (size_t i = 0; i < record.Versions(); ++i)
    if (IsVersion(record, i, version)) return RebuildTarget(record, i, version);
  Fail("the given file is none of the record's versions");
}

void ApplyRecordToTree(const FileRecord& record, Tree& tree) {
  for (size_t i = 0; i < record.steps.size(); ++i) {
    auto it = tree.find(record.steps[i].sourceName);
    if (it != tree.end() && IsVersion(record, i, it->second)) {
      Bytes target = RebuildTarget(record, i, it->second);
      tree[record.name] = std::move(target);
      return;
    }
  }
  Fail("no version of \"" + record.name + "\" is in the tree");
}

void ApplyToTree(const Patch& patch, Tree& tree) {
  if (patch.mode != 2) Fail("not a directory patch");
  for (const Entry& e : patch.entries) {
    if (e.tag == Tag::Embedded)
      tree[e.embedded.name] = e.embedded.data;
    else
      ApplyRecordToTree(e.record, tree);
  }
}

}  // namespace patchdec
