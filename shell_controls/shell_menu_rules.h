#pragma once
// The rules of the shell context menus that need no shell: the command identifiers, the
// Send To entries and the keyboard answer of the Send To popup.
//
// The shell's commands sit at 50 and up (invoked at offset 50); identifiers 1 to 49 are the
// Send To entries (entry n has identifier n, from 1). The
// Send To list holds at most 49 entries, sorted by name without regard to case, without
// duplicates; an entry shows its file name without the extension.
#include <cstdint>
#include <string>
#include <vector>

namespace shell {

constexpr unsigned kFirstShellCommand = 50;
constexpr unsigned kLastShellCommand = 0x7FFF;
constexpr int kMaxSendToEntries = 49;

struct TSendToEntry {
  std::string Name;  // the file name in the SendTo folder
  int Icon = -1;     // small system icon index, -1 when its path does not parse
};

// The entries of a scan, in list order: sorted, duplicates dropped, at most 49.
std::vector<TSendToEntry> SendToEntries(std::vector<TSendToEntry> found);
// The caption of an entry: its name without the extension.
std::string SendToCaption(const std::string& name);

// What a chosen command does: nothing (0), a shell command (its offset from 50), or a Send
// To entry (its index from 0).
struct TMenuChoice {
  enum TKind { None, ShellCommand, SendTo } Kind = None;
  unsigned Value = 0;
};
TMenuChoice ChooseCommand(unsigned command, size_t sendToCount);

// MNC_ answers of WM_MENUCHAR.
constexpr int kMenuCharClose = 1, kMenuCharExecute = 2, kMenuCharSelect = 3;
struct TMenuCharAnswer {
  int Kind = kMenuCharClose;
  int Position = 0;
};
// The pressed character upper-cased (upper maps one byte) against the captions' first
// characters: from the item after the highlighted one (-1: none, taken as the first) to
// the last, then from the top up to and including it. Execute when exactly one caption
// starts with it, select when several do, close when none.
TMenuCharAnswer MenuChar(const std::vector<std::string>& captions, char pressed, int highlighted,
                         char (*upper)(char));

}  // namespace shell
