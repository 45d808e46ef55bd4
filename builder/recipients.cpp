#include "builder/recipients.h"

#include <algorithm>

#include "framework/core/sysutils.h"

std::vector<TRecipient>& ProgramRecipients() {
  static std::vector<TRecipient> list;
  return list;
}

TEntryResult TakeTypedRecipient(const std::string& text, const std::string& placeholder, uint8_t kind,
                                std::vector<TRecipient>& list) {
  if (text.empty() || text == placeholder || std::count(text.begin(), text.end(), '@') != 1)
    return TEntryResult::Refused;
  for (const TRecipient& r : list)
    if (SameText(r.Address, text)) return TEntryResult::AlreadyListed;
  list.push_back({-1, text, "", kind});
  return TEntryResult::Added;
}

uint8_t NextEntryKind(const std::vector<TRecipient>& list) {
  for (const TRecipient& r : list)
    if (r.Kind == TRecipient::kTo) return TRecipient::kCc;
  return TRecipient::kTo;
}
