#pragma once
// The address book's rules that need no window: which records the lookup filter lets
// through, how a record becomes a recipient of the program's list, and the receivers
// list's lines.
#include <string>
#include <vector>

#include "builder/address_table.h"
#include "mail/patch_mail.h"

struct TLookupFilter {
  std::string Pattern;  // the filter edit's text
  bool CaseInsensitive = false;
  bool Partial = false;
};

// A record is accepted when the pattern is empty, or when its real name or its address
// begins with the pattern (contains it, with Partial), both upper-cased when case does
// not count.
bool LookupAccepts(const TLookupFilter& filter, const std::string& realName, const std::string& email);
TTableView::TFilter LookupRecordFilter(const TLookupFilter& filter);

// The recipient a record gives (its "ID" as the record number); throws EAddressTableError
// when the "ID" is no 32-bit number.
TRecipient RecordRecipient(const TAddressTable& table, int record, uint8_t kind);
// Updates the recipient of the same record number, else appends it.
void TakeRecordRecipient(const TRecipient& recipient, std::vector<TRecipient>& list);

// "To: ", "Cc: " or "Bcc: ", the full name and " <address>".
std::string ReceiverLine(const TRecipient& r);
