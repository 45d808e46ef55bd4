#include "setup_engine/setup_loader.h"

#include <cstring>

#include "framework/core/streams.h"
#include "platform/file.h"
#include "setup_engine/file_utils.h"
#include "setup_engine/kstn_compress.h"

namespace setup {

namespace {

// Whether the file ends in a tail's signature (its parts not yet checked).
bool HasSignature(const std::string& path) {
  try {
    TFileStream in(path, fmOpenRead | fmShareDenyNone);
    if (in.Size() < kTailSize) return false;
    uint8_t raw[kTailSize];
    in.SetPosition(in.Size() - kTailSize);
    in.ReadBuffer(raw, kTailSize);
    return raw[0] == 14 && std::memcmp(raw + 1, "SELFEXTRACTING", 14) == 0;
  } catch (const EStreamError&) {
    return false;
  }
}

std::string LastPart(const std::string& name) {
  size_t cut = name.find_last_of("\\/:");
  return cut == std::string::npos ? name : name.substr(cut + 1);
}

}  // namespace

TLoaderPlan PlanLoader(const std::string& loaderPath, const std::vector<std::string>& arguments) {
  TLoaderPlan plan;
  bool toDisk = false;
  for (const std::string& a : arguments) {
    if (a == "*TODISK")
      toDisk = true;
    else
      throw IEInstall("Invalid parameter <%s>. The only parameter is *TODISK", {a});
  }
  std::string folder = ExtractFileDir(loaderPath);
  if (HasSignature(loaderPath)) {
    TSelfExtractorTail tail;
    ReadExtractionInfo(loaderPath, tail);
    plan.Archive = loaderPath;
    plan.Offset = tail.setupStart;
    plan.Arguments = {"-e" + LastPart(loaderPath), "-s" + folder, "-c"};
  } else {
    plan.Archive = platform::JoinPath(folder, "setup.1");
    plan.Arguments = {"-s" + folder, "-c"};
  }
  if (toDisk) plan.Arguments.push_back("-f");
  return plan;
}

void UnpackSetupPart(const TLoaderPlan& plan, const std::string& folder) {
  if (!platform::IsFile(plan.Archive)) throw IEInstall("Cannot find the setup part %s", {plan.Archive});
  TKstnCompress list;
  list.SetCompressedFile(plan.Archive);
  list.Offset = plan.Offset;
  int count = list.FileCount();
  if (count <= 0) throw IEInstall("The setup part %s holds no files", {plan.Archive});
  for (int i = 0; i < count; ++i) {
    TlzhFileStats stats;
    list.GetFileStats(i, stats);
    TKstnCompress one;
    one.SetCompressedFile(plan.Archive);
    one.Offset = plan.Offset;
    one.ExtractDirectory = folder;
    one.ExtractName = LastPart(stats.header.name);
    std::vector<std::string> names{stats.header.name};
    one.SetFilesToProcess(names);
    one.ExtractFile();
    if (one.Abort || !platform::IsFile(platform::JoinPath(folder, LastPart(stats.header.name))))
      throw IEInstall("Cannot unpack %s from the setup part %s", {stats.header.name, plan.Archive});
  }
}

std::string LoaderCommandLine(const std::string& program, const std::vector<std::string>& arguments) {
  std::string line = "\"" + program + "\"";
  for (const std::string& a : arguments) line += " \"" + a + "\"";
  return line;
}

}  // namespace setup
