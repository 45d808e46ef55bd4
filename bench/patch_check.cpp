// Checks a patch written by the engine with the test decoder.
//   patch_check PATCH SOURCE TARGET
// A file-version patch must rebuild the TARGET file from the SOURCE file; a directory patch
// applied to the SOURCE tree must give every file of the TARGET tree with its bytes (hidden
// entries and links left out, as the engine leaves them out). Prints "ok" and exits 0, or
// prints what is wrong and exits 1.
#include <cstdio>
#include <exception>
#include <string>

#include "patch_decoder.h"
#include "platform/file.h"

namespace {

void LoadTree(const std::string& dir, const std::string& relative, patchdec::Tree& tree) {
  std::vector<platform::DirEntry> entries;
  if (!platform::ListDirectory(dir, entries)) throw std::runtime_error("cannot list " + dir);
  for (const platform::DirEntry& e : entries) {
    if (e.isHidden || e.isLink) continue;
    const std::string full = platform::JoinPath(dir, e.name);
    const std::string rel = relative.empty() ? e.name : relative + "\\" + e.name;
    if (e.isDirectory)
      LoadTree(full, rel, tree);
    else
      tree[rel] = patchdec::ReadWholeFile(full);
  }
}

std::string Check(const std::string& patchPath, const std::string& source, const std::string& target) {
  const patchdec::Patch patch = patchdec::ParsePatch(patchdec::ReadWholeFile(patchPath));
  if (patch.mode == 1) {
    if (patch.entries.size() != 1) return "a file-version patch must hold one record";
    const patchdec::Bytes rebuilt =
        patchdec::RebuildTarget(patch.entries[0].record, 0, patchdec::ReadWholeFile(source));
    return rebuilt == patchdec::ReadWholeFile(target) ? "" : "the rebuilt target differs";
  }
  patchdec::Tree tree, expected;
  LoadTree(source, "", tree);
  LoadTree(target, "", expected);
  patchdec::ApplyToTree(patch, tree);
  std::string problems;
  for (const auto& [name, bytes] : expected) {
    auto it = tree.find(name);
    if (it == tree.end())
      problems += name + " missing\n";
    else if (it->second != bytes)
      problems += name + " differs\n";
  }
  return problems;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: patch_check PATCH SOURCE TARGET\n");
    return 2;
  }
  try {
    const std::string problems = Check(argv[1], argv[2], argv[3]);
    std::printf("%s", problems.empty() ? "ok\n" : problems.c_str());
    return problems.empty() ? 0 : 1;
  } catch (const std::exception& e) {
    std::printf("%s\n", e.what());
    return 1;
  }
}
