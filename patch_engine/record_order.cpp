#include "patch_engine/record_order.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>

#include "patch_engine/file_names.h"

namespace engine {

std::vector<size_t> OrderRecords(const std::vector<RecordPaths>& records, std::vector<size_t>& dropped) {
  const size_t n = records.size();
  std::map<std::string, std::vector<size_t>> writers;
  for (size_t i = 0; i < n; ++i)
    if (!records[i].writes.empty()) writers[FoldedName(records[i].writes)].push_back(i);
  // after[i]: the records that must come after record i (they rewrite a path it reads);
  // before[j]: the reverse.
  std::vector<std::vector<size_t>> after(n), before(n);
  for (size_t i = 0; i < n; ++i) {
    std::set<size_t> targets;
    for (const std::string& path : records[i].reads) {
      auto it = writers.find(FoldedName(path));
      if (it == writers.end()) continue;
      for (size_t j : it->second)
        if (j != i) targets.insert(j);
    }
    for (size_t j : targets) {
      after[i].push_back(j);
      before[j].push_back(i);
    }
  }
  // Cycles first: while the records left over by a topological pass wait for each other,
  // walk back along their waits until a record repeats, which closes a cycle, and drop
  // that cycle's latest record. Then the stable pass over what remains.
  std::vector<bool> isDropped(n, false);
  std::vector<size_t> order;
  for (;;) {
    std::vector<size_t> waiting(n, 0);  // records still to come before each one
    for (size_t j = 0; j < n; ++j)
      for (size_t p : before[j])
        if (!isDropped[p]) ++waiting[j];
    std::vector<bool> placed(n, false);
    std::set<size_t> ready;
    for (size_t i = 0; i < n; ++i)
      if (!isDropped[i] && waiting[i] == 0) ready.insert(i);
    order.clear();
    while (!ready.empty()) {
      size_t i = *ready.begin();
      ready.erase(ready.begin());
      order.push_back(i);
      placed[i] = true;
      for (size_t j : after[i])
        if (!isDropped[j] && --waiting[j] == 0) ready.insert(j);
    }
    if (order.size() + dropped.size() == n) break;
    auto left = [&](size_t i) { return !isDropped[i] && !placed[i]; };
    size_t at = 0;
    while (!left(at)) ++at;
    std::vector<size_t> path;
    std::vector<size_t> seenAt(n, SIZE_MAX);
    while (seenAt[at] == SIZE_MAX) {
      seenAt[at] = path.size();
      path.push_back(at);
      for (size_t p : before[at])
        if (left(p)) {
          at = p;
          break;
        }
    }
    size_t latest = *std::max_element(path.begin() + std::ptrdiff_t(seenAt[at]), path.end());
    isDropped[latest] = true;
    dropped.push_back(latest);
  }
  std::sort(dropped.begin(), dropped.end());
  return order;
}

}  // namespace engine
