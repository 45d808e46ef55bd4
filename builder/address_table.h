#pragma once
// The address book's table: one dBASE III file of names and e-mail addresses beside the
// program, which other dBASE readers read as well.
//
// How it works: Open reads the whole file and checks it before anything is written: the
// version byte 0x03, a descriptor array ended by 0x0D inside the header length, a record
// length that is 1 + the field lengths, a file long enough for its record count, records
// led by " " (live) or "*" (deleted), and the fields "REALNAME" and "EMAIL" (type C) and
// "ID" (type N). A file that fails is refused with EAddressTableError naming the file and
// the reason, and is left as it was. Create writes a new table with exactly these three
// fields (150, 150 and 11 characters, header 129 bytes, records 312). Records live in
// memory as their raw bytes; SetText and SetNumber change a record there, and Store,
// Append and MarkDeleted write it to the file at once together with the header's record
// count and date of last update, so a crash loses at most the record being typed. Further
// fields of a file are kept and left blank in new records. Deleted records stay in the
// file: nothing packs the table.
//
// TTableView is a filtered, ordered view of the live records with a current position, the
// way the address book's grid and edit page walk the table.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "framework/core/exception.h"

class EAddressTableError : public Exception {
 public:
  using Exception::Exception;
};

struct TTableDate {
  int Year = 1900, Month = 1, Day = 1;
};
// Today's local date; a test replaces it.
using TTodaySource = std::function<TTableDate()>;
TTableDate LocalToday();

struct TTableField {
  std::string Name;
  char Type = 'C';
  uint8_t Length = 0;
  uint8_t Decimals = 0;
  size_t Offset = 0;  // in a record, after its deletion mark
};

class TAddressTable {
 public:
  static constexpr uint8_t kVersion = 0x03;
  static constexpr uint8_t kWindowsAnsi = 0x03;  // the language driver byte
  static constexpr const char* kRealName = "REALNAME";
  static constexpr const char* kEmail = "EMAIL";
  static constexpr const char* kId = "ID";

  // Reads and checks an existing table; throws EAddressTableError.
  static TAddressTable Open(const std::string& path, TTodaySource today = LocalToday);
  // Writes a new, empty table with the three fields; throws EAddressTableError.
  static TAddressTable Create(const std::string& path, TTodaySource today = LocalToday);
  // Open when the file exists, else Create.
  static TAddressTable OpenOrCreate(const std::string& path, TTodaySource today = LocalToday);

  const std::string& Path() const { return path_; }
  const std::vector<TTableField>& Fields() const { return fields_; }
  const TTableField* FindField(const std::string& name) const;
  const TTableDate& LastUpdate() const { return lastUpdate_; }

  // Every record, deleted ones included; records are numbered 0 .. RecordCount() - 1.
  int RecordCount() const { return int(records_.size()); }
  bool Deleted(int record) const;
  // The text of a field without its padding.
  std::string Text(int record, const std::string& field) const;
  // The number a numeric field holds; none when it is blank or no whole number.
  std::optional<int64_t> Number(int record, const std::string& field) const;
  // Change a record in memory; a text longer than its field is cut to the field's length.
  void SetText(int record, const std::string& field, const std::string& text);
  void SetNumber(int record, const std::string& field, int64_t value);

  // Writes one record and the header to the file.
  void Store(int record);
  // A blank live record at the end, written at once; returns its number.
  int Append();
  void MarkDeleted(int record);

  // The highest "ID" of all records, deleted ones included (0 for none), plus 1.
  int32_t NextId() const;
  // Append a record with NextId() as its "ID"; returns the record.
  int Insert();

 private:
  TAddressTable() = default;
  const TTableField& Field(const std::string& name) const;
  void CheckRecord(int record) const;
  void WriteAt(uint64_t position, const std::vector<uint8_t>& bytes, bool withEnd);
  std::vector<uint8_t> HeaderCountAndDate();
  [[noreturn]] void Fail(const std::string& reason) const;

  std::string path_;
  TTodaySource today_;
  TTableDate lastUpdate_;
  uint16_t headerLength_ = 0;
  uint16_t recordLength_ = 0;
  std::vector<TTableField> fields_;
  std::vector<std::vector<uint8_t>> records_;  // each led by its deletion mark
};

class TTableView {
 public:
  // A record is shown when it is live and the filter (when there is one) accepts it; a
  // filter that throws rejects the record.
  using TFilter = std::function<bool(const TAddressTable&, int record)>;
  explicit TTableView(const TAddressTable& table, TFilter filter = {});

  // Runs the filter again over the table and goes to the first record.
  void Refresh();
  void SetFilter(TFilter filter);

  // The records shown, in table order.
  const std::vector<int>& Records() const { return records_; }
  bool Empty() const { return records_.empty(); }
  // The current record; -1 when the view is empty.
  int Current() const { return records_.empty() ? -1 : records_[size_t(position_)]; }
  int Position() const { return records_.empty() ? -1 : position_; }
  // Each returns false, staying where it is, when there is no such record.
  bool First();
  bool Last();
  bool Next();
  bool Prior();
  bool GoTo(int record);

 private:
  const TAddressTable& table_;
  TFilter filter_;
  std::vector<int> records_;
  int position_ = 0;
};
