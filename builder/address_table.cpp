#include "builder/address_table.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <limits>

#include "framework/core/sysutils.h"
#include "platform/byte_order.h"
#include "platform/file.h"

namespace {

// The dBASE III header: version, date of last update (year - 1900, month, day), record
// count, header length, record length, ..., language driver at 29; then 32-byte field
// descriptors (name of up to 10 characters NUL-padded in 11 bytes, type, 4 unused bytes,
// length, decimals), 0x0D; then the records, and 0x1A after the last one.
constexpr size_t kHeaderSize = 32;
constexpr size_t kDescriptorSize = 32;
constexpr size_t kDateAt = 1;
constexpr size_t kCountAt = 4;
constexpr size_t kHeaderLengthAt = 8;
constexpr size_t kRecordLengthAt = 10;
constexpr size_t kLanguageAt = 29;
constexpr size_t kFieldNameSize = 11;
constexpr size_t kFieldTypeAt = 11;
constexpr size_t kFieldLengthAt = 16;
constexpr size_t kFieldDecimalsAt = 17;
constexpr uint8_t kDescriptorEnd = 0x0D;
constexpr uint8_t kFileEnd = 0x1A;
constexpr uint8_t kLive = ' ';
constexpr uint8_t kDeletedMark = '*';

struct TNewField {
  const char* Name;
  char Type;
  uint8_t Length;
};
constexpr TNewField kNewFields[] = {
    {TAddressTable::kRealName, 'C', 150}, {TAddressTable::kEmail, 'C', 150}, {TAddressTable::kId, 'N', 11}};

std::string Hex(uint8_t b) {
  static const char digits[] = "0123456789ABCDEF";
  return std::string("0x") + digits[b >> 4] + digits[b & 15];
}

std::vector<uint8_t> ReadAll(const std::string& path, std::string& error) {
  std::vector<uint8_t> bytes;
  if (!platform::IsFile(path)) {
    error = platform::IsNonFile(path) ? "it is no file" : "it does not exist";
    return bytes;
  }
  platform::File f;
  if (!f.Open(path, platform::OpenMode::Read)) {
    error = "it cannot be read (" + platform::SystemErrorText() + ")";
    return bytes;
  }
  const int64_t size = f.Size();
  if (size < 0 || uint64_t(size) > std::numeric_limits<size_t>::max()) {
    error = "its size cannot be read";
    return bytes;
  }
  bytes.resize(size_t(size));
  if (f.Read(bytes.data(), bytes.size()) != bytes.size()) error = "it cannot be read whole";
  return bytes;
}

// A whole number in a numeric field: blanks around it, a sign, digits, and optionally a
// decimal point followed by zeros only.
std::optional<int64_t> ParseNumber(std::string s) {
  s = Trim(s);
  if (s.empty()) return std::nullopt;
  size_t i = 0;
  bool negative = false;
  if (s[0] == '-' || s[0] == '+') {
    negative = s[0] == '-';
    ++i;
  }
  if (i >= s.size() || s[i] < '0' || s[i] > '9') return std::nullopt;
  int64_t v = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    if (v > (std::numeric_limits<int64_t>::max() - (s[i] - '0')) / 10) return std::nullopt;
    v = v * 10 + (s[i] - '0');
  }
  if (i < s.size() && s[i] == '.') {
    for (++i; i < s.size(); ++i)
      if (s[i] != '0') return std::nullopt;
  }
  if (i != s.size()) return std::nullopt;
  return negative ? -v : v;
}

}  // namespace

TTableDate LocalToday() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
#ifdef _WIN32
  localtime_s(&parts, &now);
#else
  localtime_r(&now, &parts);
#endif
  return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday};
}

void TAddressTable::Fail(const std::string& reason) const {
  throw EAddressTableError("The address book table " + path_ + " cannot be opened: " + reason);
}

TAddressTable TAddressTable::OpenOrCreate(const std::string& path, TTodaySource today) {
  if (platform::KindOf(path) == platform::PathKind::None) return Create(path, std::move(today));
  return Open(path, std::move(today));
}

TAddressTable TAddressTable::Open(const std::string& path, TTodaySource today) {
  TAddressTable t;
  t.path_ = path;
  t.today_ = std::move(today);
  std::string error;
  const std::vector<uint8_t> b = ReadAll(path, error);
  if (!error.empty()) t.Fail(error);
  if (b.size() < kHeaderSize) t.Fail("it is too short for a table header");
  if (b[0] != kVersion) t.Fail("it is no dBASE III table (version byte " + Hex(b[0]) + ")");
  t.lastUpdate_ = {1900 + b[kDateAt], b[kDateAt + 1], b[kDateAt + 2]};
  const uint32_t count = platform::GetU32(&b[kCountAt]);
  t.headerLength_ = platform::GetU16(&b[kHeaderLengthAt]);
  t.recordLength_ = platform::GetU16(&b[kRecordLengthAt]);
  if (t.headerLength_ > b.size()) t.Fail("its header length " + std::to_string(t.headerLength_) + " lies beyond its end");

  // The descriptors, up to 0x0D, all inside the header length.
  size_t at = kHeaderSize;
  size_t offset = 1;
  while (true) {
    if (at >= t.headerLength_) t.Fail("its field descriptors do not end inside its header length");
    if (b[at] == kDescriptorEnd) break;
    if (at + kDescriptorSize >= t.headerLength_) t.Fail("its field descriptors do not end inside its header length");
    TTableField f;
    const char* name = reinterpret_cast<const char*>(&b[at]);
    f.Name.assign(name, strnlen(name, kFieldNameSize));
    f.Type = char(b[at + kFieldTypeAt]);
    f.Length = b[at + kFieldLengthAt];
    f.Decimals = b[at + kFieldDecimalsAt];
    f.Offset = offset;
    if (f.Name.empty()) t.Fail("field " + std::to_string(t.fields_.size() + 1) + " has no name");
    if (f.Length == 0) t.Fail("field " + f.Name + " has no length");
    if (t.FindField(f.Name)) t.Fail("field " + f.Name + " is described twice");
    offset += f.Length;
    t.fields_.push_back(f);
    at += kDescriptorSize;
  }
  if (offset != t.recordLength_)
    t.Fail("its record length " + std::to_string(t.recordLength_) + " disagrees with its fields (" +
           std::to_string(offset) + ")");
  const uint64_t end = uint64_t(t.headerLength_) + uint64_t(count) * t.recordLength_;
  if (end > b.size())
    t.Fail("it is shorter than its " + std::to_string(count) + " records (" + std::to_string(b.size()) + " of " +
           std::to_string(end) + " bytes)");
  for (const TNewField& need : kNewFields) {
    const TTableField* f = t.FindField(need.Name);
    if (!f) t.Fail(std::string("it has no field ") + need.Name);
    if (f->Type != need.Type)
      t.Fail(std::string("its field ") + need.Name + " is of type " + f->Type + ", not " + need.Type);
  }
  t.records_.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    const auto first = b.begin() + ptrdiff_t(t.headerLength_ + uint64_t(i) * t.recordLength_);
    if (*first != kLive && *first != kDeletedMark)
      t.Fail("record " + std::to_string(i + 1) + " is led by " + Hex(*first) + ", neither \" \" nor \"*\"");
    t.records_.emplace_back(first, first + t.recordLength_);
  }
  return t;
}

TAddressTable TAddressTable::Create(const std::string& path, TTodaySource today) {
  TAddressTable t;
  t.path_ = path;
  t.today_ = std::move(today);
  t.headerLength_ = uint16_t(kHeaderSize + std::size(kNewFields) * kDescriptorSize + 1);
  size_t offset = 1;
  for (const TNewField& n : kNewFields) {
    t.fields_.push_back({n.Name, n.Type, n.Length, 0, offset});
    offset += n.Length;
  }
  t.recordLength_ = uint16_t(offset);

  std::vector<uint8_t> b(t.headerLength_, 0);
  b[0] = kVersion;
  platform::PutU16(&b[kHeaderLengthAt], t.headerLength_);
  platform::PutU16(&b[kRecordLengthAt], t.recordLength_);
  b[kLanguageAt] = kWindowsAnsi;
  size_t at = kHeaderSize;
  for (const TTableField& f : t.fields_) {
    std::memcpy(&b[at], f.Name.data(), f.Name.size());
    b[at + kFieldTypeAt] = uint8_t(f.Type);
    b[at + kFieldLengthAt] = f.Length;
    at += kDescriptorSize;
  }
  b[at] = kDescriptorEnd;
  const std::vector<uint8_t> countAndDate = t.HeaderCountAndDate();
  std::copy(countAndDate.begin(), countAndDate.end(), b.begin() + kDateAt);
  b.push_back(kFileEnd);

  platform::File f;
  if (!f.Open(path, platform::OpenMode::Write) || f.Write(b.data(), b.size()) != b.size() || !f.Close())
    throw EAddressTableError("The address book table " + path + " cannot be created: " + platform::SystemErrorText());
  return t;
}

const TTableField* TAddressTable::FindField(const std::string& name) const {
  for (const TTableField& f : fields_)
    if (SameText(f.Name, name)) return &f;
  return nullptr;
}

const TTableField& TAddressTable::Field(const std::string& name) const {
  const TTableField* f = FindField(name);
  if (!f) throw EAddressTableError("The address book table " + path_ + " has no field " + name);
  return *f;
}

void TAddressTable::CheckRecord(int record) const {
  if (record < 0 || record >= RecordCount())
    throw EAddressTableError("The address book table " + path_ + " has no record " + std::to_string(record + 1));
}

bool TAddressTable::Deleted(int record) const {
  CheckRecord(record);
  return records_[size_t(record)][0] == kDeletedMark;
}

std::string TAddressTable::Text(int record, const std::string& field) const {
  CheckRecord(record);
  const TTableField& f = Field(field);
  const auto& r = records_[size_t(record)];
  std::string s(r.begin() + ptrdiff_t(f.Offset), r.begin() + ptrdiff_t(f.Offset + f.Length));
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
  return s;
}

std::optional<int64_t> TAddressTable::Number(int record, const std::string& field) const {
  CheckRecord(record);
  const TTableField& f = Field(field);
  const auto& r = records_[size_t(record)];
  return ParseNumber(std::string(r.begin() + ptrdiff_t(f.Offset), r.begin() + ptrdiff_t(f.Offset + f.Length)));
}

void TAddressTable::SetText(int record, const std::string& field, const std::string& text) {
  CheckRecord(record);
  const TTableField& f = Field(field);
  auto& r = records_[size_t(record)];
  const size_t n = std::min(text.size(), size_t(f.Length));
  std::fill(r.begin() + ptrdiff_t(f.Offset), r.begin() + ptrdiff_t(f.Offset + f.Length), uint8_t(' '));
  std::copy(text.begin(), text.begin() + ptrdiff_t(n), r.begin() + ptrdiff_t(f.Offset));
}

void TAddressTable::SetNumber(int record, const std::string& field, int64_t value) {
  CheckRecord(record);
  const TTableField& f = Field(field);
  if (f.Type != 'N') throw EAddressTableError("The field " + f.Name + " of " + path_ + " holds no numbers");
  std::string digits = std::to_string(value);
  if (f.Decimals > 0) digits += "." + std::string(f.Decimals, '0');
  if (digits.size() > f.Length)
    throw EAddressTableError("The number " + std::to_string(value) + " does not fit the field " + f.Name + " of " + path_);
  auto& r = records_[size_t(record)];
  std::fill(r.begin() + ptrdiff_t(f.Offset), r.begin() + ptrdiff_t(f.Offset + f.Length), uint8_t(' '));
  std::copy(digits.begin(), digits.end(), r.begin() + ptrdiff_t(f.Offset + f.Length - digits.size()));
}

std::vector<uint8_t> TAddressTable::HeaderCountAndDate() {
  const TTableDate d = today_ ? today_() : LocalToday();
  lastUpdate_ = d;
  std::vector<uint8_t> b(7);
  b[0] = uint8_t(std::clamp(d.Year - 1900, 0, 255));
  b[1] = uint8_t(d.Month);
  b[2] = uint8_t(d.Day);
  platform::PutU32(&b[3], uint32_t(records_.size()));
  return b;
}

// Writes bytes at a position (and the end mark after them), then the header's date and
// count, so the count never covers a record that is not in the file yet.
void TAddressTable::WriteAt(uint64_t position, const std::vector<uint8_t>& bytes, bool withEnd) {
  platform::File f;
  std::vector<uint8_t> data = bytes;
  if (withEnd) data.push_back(kFileEnd);
  const std::vector<uint8_t> header = HeaderCountAndDate();
  const bool ok = f.Open(path_, platform::OpenMode::ReadWrite) && f.Seek(int64_t(position)) &&
                  f.Write(data.data(), data.size()) == data.size() && f.Flush() && f.Seek(int64_t(kDateAt)) &&
                  f.Write(header.data(), header.size()) == header.size() && f.Close();
  if (!ok) throw EAddressTableError("The address book table " + path_ + " cannot be written: " + platform::SystemErrorText());
}

void TAddressTable::Store(int record) {
  CheckRecord(record);
  WriteAt(headerLength_ + uint64_t(record) * recordLength_, records_[size_t(record)], false);
}

int TAddressTable::Append() {
  records_.emplace_back(recordLength_, uint8_t(' '));
  const int record = RecordCount() - 1;
  try {
    WriteAt(headerLength_ + uint64_t(record) * recordLength_, records_.back(), true);
  } catch (...) {
    records_.pop_back();
    throw;
  }
  return record;
}

void TAddressTable::MarkDeleted(int record) {
  CheckRecord(record);
  records_[size_t(record)][0] = kDeletedMark;
  Store(record);
}

int32_t TAddressTable::NextId() const {
  int64_t highest = 0;
  for (int i = 0; i < RecordCount(); ++i)
    if (std::optional<int64_t> id = Number(i, kId)) highest = std::max(highest, *id);
  if (highest >= std::numeric_limits<int32_t>::max())
    throw EAddressTableError("The address book table " + path_ + " has no free ID left");
  return int32_t(highest + 1);
}

int TAddressTable::Insert() {
  const int32_t id = NextId();
  records_.emplace_back(recordLength_, uint8_t(' '));
  const int record = RecordCount() - 1;
  try {
    SetNumber(record, kId, id);
    WriteAt(headerLength_ + uint64_t(record) * recordLength_, records_.back(), true);
  } catch (...) {
    records_.pop_back();
    throw;
  }
  return record;
}

// ---- the view

TTableView::TTableView(const TAddressTable& table, TFilter filter) : table_(table), filter_(std::move(filter)) {
  Refresh();
}

void TTableView::SetFilter(TFilter filter) {
  filter_ = std::move(filter);
  Refresh();
}

void TTableView::Refresh() {
  records_.clear();
  for (int i = 0; i < table_.RecordCount(); ++i) {
    if (table_.Deleted(i)) continue;
    bool shown = true;
    if (filter_) {
      try {
        shown = filter_(table_, i);
      } catch (const Exception&) {
        shown = false;
      }
    }
    if (shown) records_.push_back(i);
  }
  position_ = 0;
}

bool TTableView::First() {
  position_ = 0;
  return !records_.empty();
}

bool TTableView::Last() {
  if (records_.empty()) return false;
  position_ = int(records_.size()) - 1;
  return true;
}

bool TTableView::Next() {
  if (position_ + 1 >= int(records_.size())) return false;
  ++position_;
  return true;
}

bool TTableView::Prior() {
  if (position_ <= 0 || records_.empty()) return false;
  --position_;
  return true;
}

bool TTableView::GoTo(int record) {
  const auto it = std::find(records_.begin(), records_.end(), record);
  if (it == records_.end()) return false;
  position_ = int(it - records_.begin());
  return true;
}
