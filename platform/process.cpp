#include "platform/process.h"

namespace platform {

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
  std::vector<std::string> args;
  std::string current;
  bool inArgument = false, quoted = false;
  for (size_t i = 0; i < commandLine.size();) {
    char c = commandLine[i];
    if (!quoted && (c == ' ' || c == '\t')) {
      if (inArgument) args.push_back(current);
      current.clear();
      inArgument = false;
      ++i;
      continue;
    }
    inArgument = true;
    if (c == '\\') {
      size_t n = 0;
      while (i < commandLine.size() && commandLine[i] == '\\') ++n, ++i;
      if (i < commandLine.size() && commandLine[i] == '"') {
        current.append(n / 2, '\\');
        if (n % 2) {
          current += '"';
          ++i;
        }
      } else {
        current.append(n, '\\');
      }
      continue;
    }
    if (c == '"') {
      quoted = !quoted;
      ++i;
      continue;
    }
    current += c;
    ++i;
  }
  if (inArgument) args.push_back(current);
  return args;
}

std::string QuoteArgument(const std::string& argument) {
  std::string out = "\"";
  size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
    } else {
      if (c == '"') out.append(backslashes + 1, '\\');
      backslashes = 0;
    }
    out += c;
  }
  out.append(backslashes, '\\');
  return out + "\"";
}

}  // namespace platform
