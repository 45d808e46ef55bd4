#pragma once
// The name checks of extraction. A stored name is the full source path as it was given, on
// whatever system: it is only a key. What a file is written under is only the last part of
// a name, inside the extract folder, and only when no part of the name leads out of a
// folder.
#include <string>

namespace setup {

// The last part of name (after its last '\\', '/' or drive colon) when a file may be
// written under it inside a folder; empty when name is refused: when any of its parts
// climbs out of its folder (two dots or more, with or without blanks, which Windows drops
// at a name's end), or when its last part is blank, dots only or holds a control character.
std::string SafeExtractName(const std::string& name);

}  // namespace setup
