#pragma once
// The commands of the idlist_run test driver over the item-ID list routines and the
// locator's stored form:
//   check FILE                        ok ITEMS BYTES (FILE holds exactly one list)
//   item FILE I                       the hex of Items[I]
//   ancestor FILE LEVELS              the hex of GetAncestor(LEVELS), or nil
//   locator-read FILE                 kind 1 id ID | kind 0 items ITEMS size BYTES
//   locator-write special ID          the hex of the "Pidl" bytes
//   locator-write list FILE           the hex of the "Pidl" bytes, or - when nothing is stored
//   cida FILE                         "count N", "parent HEX", "item I HEX" (I from 1), one
//                                     line each, of an item-ID list array (drag_data.h)
// Hex is lower case without separators; every other result is one line. Returns the exit code:
// 0 on success; 1 for refused input, with one line on err; 2 for a usage error.
#include <ostream>
#include <string>
#include <vector>

namespace shell {

int RunIdListCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace shell
