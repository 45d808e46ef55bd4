#include "builder/address_book_rules.h"

#include <limits>

#include "framework/core/sysutils.h"

bool LookupAccepts(const TLookupFilter& filter, const std::string& realName, const std::string& email) {
  if (filter.Pattern.empty()) return true;
  const auto norm = [&](const std::string& s) { return filter.CaseInsensitive ? AnsiUpperCase(s) : s; };
  const std::string pattern = norm(filter.Pattern);
  for (const std::string& value : {norm(realName), norm(email)}) {
    const size_t at = value.find(pattern);
    if (at != std::string::npos && (filter.Partial || at == 0)) return true;
  }
  return false;
}

TTableView::TFilter LookupRecordFilter(const TLookupFilter& filter) {
  return [filter](const TAddressTable& t, int record) {
    return LookupAccepts(filter, t.Text(record, TAddressTable::kRealName), t.Text(record, TAddressTable::kEmail));
  };
}

TRecipient RecordRecipient(const TAddressTable& table, int record, uint8_t kind) {
  const std::optional<int64_t> id = table.Number(record, TAddressTable::kId);
  if (!id || *id < std::numeric_limits<int32_t>::min() || *id > std::numeric_limits<int32_t>::max())
    throw EAddressTableError("The record " + std::to_string(record + 1) + " of " + table.Path() + " has no valid ID");
  return {int32_t(*id), table.Text(record, TAddressTable::kEmail), table.Text(record, TAddressTable::kRealName), kind};
}

void TakeRecordRecipient(const TRecipient& recipient, std::vector<TRecipient>& list) {
  for (TRecipient& r : list)
    if (r.Number == recipient.Number && r.Number >= 0) {
      r = recipient;
      return;
    }
  list.push_back(recipient);
}

std::string ReceiverLine(const TRecipient& r) {
  static const char* const kinds[] = {"To:", "Cc:", "Bcc:"};
  return std::string(kinds[r.Kind <= TRecipient::kBcc ? r.Kind : 0]) + " " + r.FullName + " <" + r.Address + ">";
}
