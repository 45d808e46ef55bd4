#include "setup_engine/install_services.h"

namespace setup {

TInstallServices& InstallServices() {
  static TInstallServices services = DefaultInstallServices();
  return services;
}

std::vector<std::string> SplitParameters(const std::string& commandLine) {
  std::vector<std::string> out;
  std::string current;
  bool quoted = false, inParameter = false;
  for (char c : commandLine) {
    if (c == '"') {
      quoted = !quoted;
      inParameter = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (inParameter) out.push_back(current);
      current.clear();
      inParameter = false;
    } else {
      current += c;
      inParameter = true;
    }
  }
  if (inParameter) out.push_back(current);
  return out;
}

}  // namespace setup
