#pragma once
// The html_dump test driver and the document outline it prints.
//   html_dump [--text] FILE
// Parses FILE (plain text with --text) without a script handler and prints the document one
// node a line, children indented two spaces more: the title, then each block (section KIND
// with its font runs, texts, links, images and controls; tables with caption, rows and
// cells), then the anchors; a frame-set document prints its sets and frames. Strings are
// quoted with \\, \" and \xHH for bytes outside 32..126. Exit code 0; 2 after the outline
// when the parse raised (the message on err); 1 with a message when FILE cannot be read.
#include <ostream>
#include <string>
#include <vector>

#include "html_viewer/cli_quote.h"

class TCell;
class TAnchorList;
struct TFrameSetDesc;

// The blocks of a cell at an indent.
void DumpOutline(const TCell& cell, int indent, std::ostream& out);
void DumpAnchors(const TAnchorList& names, std::ostream& out);
void DumpFrameSet(const TFrameSetDesc& set, int indent, std::ostream& out);

int RunHtmlDump(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
