#include "shell_controls/shell_menu_rules.h"

#include <algorithm>

#include "framework/core/sysutils.h"

namespace shell {

std::vector<TSendToEntry> SendToEntries(std::vector<TSendToEntry> found) {
  std::stable_sort(found.begin(), found.end(), [](const TSendToEntry& a, const TSendToEntry& b) {
    return AnsiCompareText(a.Name, b.Name) < 0;
  });
  std::vector<TSendToEntry> r;
  for (TSendToEntry& e : found) {
    if (!r.empty() && AnsiCompareText(r.back().Name, e.Name) == 0) continue;
    if (int(r.size()) == kMaxSendToEntries) break;
    r.push_back(std::move(e));
  }
  return r;
}

std::string SendToCaption(const std::string& name) { return ChangeFileExt(name, ""); }

TMenuChoice ChooseCommand(unsigned command, size_t sendToCount) {
  if (command >= kFirstShellCommand)
    return {TMenuChoice::ShellCommand, command - kFirstShellCommand};
  if (command >= 1 && command <= sendToCount) return {TMenuChoice::SendTo, command - 1};
  return {};
}

TMenuCharAnswer MenuChar(const std::vector<std::string>& captions, char pressed, int highlighted,
                         char (*upper)(char)) {
  int n = int(captions.size());
  if (n == 0) return {};
  char key = upper(pressed);
  auto starts = [&](int i) { return !captions[size_t(i)].empty() && upper(captions[size_t(i)][0]) == key; };
  int h = highlighted >= 0 && highlighted < n ? highlighted : 0;
  int found = -1;
  for (int i = h + 1; i < n && found < 0; ++i)
    if (starts(i)) found = i;
  for (int i = 0; i <= h && found < 0; ++i)
    if (starts(i)) found = i;
  if (found < 0) return {};
  int matches = 0;
  for (int i = 0; i < n; ++i)
    if (starts(i)) ++matches;
  return {matches == 1 ? kMenuCharExecute : kMenuCharSelect, found};
}

}  // namespace shell
