#pragma once
// The program's recipient list: every receiver of the next patch mail, in the order they
// were added, typed on the Expert page or taken from the address book. The Expert page
// shows one row per entry and a send takes a copy.
//
// A typed entry is taken when it is not empty, is not the edit's placeholder text and holds
// exactly one "@"; an address already in the list (compared ignoring case) is not added
// again, and the edit is cleared as after an entry.
#include <cstdint>
#include <string>
#include <vector>

#include "mail/patch_mail.h"

std::vector<TRecipient>& ProgramRecipients();

enum class TEntryResult {
  Refused,  // the text stays in its edit
  Added,
  AlreadyListed,
};
TEntryResult TakeTypedRecipient(const std::string& text, const std::string& placeholder, uint8_t kind,
                                std::vector<TRecipient>& list);

// The kind the entry pair offers next: "CC" once there is a "TO", else "TO".
uint8_t NextEntryKind(const std::vector<TRecipient>& list);
