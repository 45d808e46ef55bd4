#pragma once
// Directory mode, third part: the order of the records of one walk.
#include <cstddef>
#include <string>
#include <vector>

namespace engine {

// A record rewrites the path of its target and reads the paths of the versions in its
// chain (case is ignored). OrderRecords returns the records in the given order, except that
// a record moves before every record that rewrites a path it reads (a stable topological
// order), so an applier can follow them in place. Where records read each other's paths
// in a cycle, the latest record of the cycle is left out of the order and listed in
// `dropped`; its file is then embedded.
struct RecordPaths {
  std::string writes;  // empty: the record writes nothing
  std::vector<std::string> reads;
};
std::vector<size_t> OrderRecords(const std::vector<RecordPaths>& records, std::vector<size_t>& dropped);

}  // namespace engine
