#include "builder/help_routing.h"

#include "framework/core/sysutils.h"

const char kMakerWebSite[] = "http://www.norvale.example/quiltor/";
const char kArtistMail[] = "mailto:artwork@norvale.example";

std::string ApplicationTitle() {
  return std::string("Quiltor Snapmend 2.1f") + " (check " + kMakerWebSite + " for updates!)";
}

std::string ExpandCommandTemplate(const std::string& tmpl, const std::string& address) {
  std::string out;
  bool placed = false;
  for (size_t i = 0; i < tmpl.size(); ++i) {
    if (tmpl[i] == '%' && i + 1 < tmpl.size() && tmpl[i + 1] == '1') {
      out += address;
      placed = true;
      ++i;
    } else {
      out += tmpl[i];
    }
  }
  return placed ? out : out + " " + address;
}

std::string BrowserCommandTemplate(const TMainSettings& main, const TSystemCommands& system,
                                   const std::function<bool(const std::string&)>& fileExists) {
  switch (main.DefaultBrowser) {
    case 1:
      if (!system.InternetExplorerProgram.empty()) return system.InternetExplorerProgram + " -nohome ";
      break;
    case 2:
      if (!system.NetscapeProgram.empty()) return system.NetscapeProgram + " -h ";
      break;
    case 3:
      if (!main.CustomBrowserPath.empty() && fileExists(main.CustomBrowserPath))
        return main.CustomBrowserPath + " " + main.CustomBrowserArgs;
      break;
    default:
      break;
  }
  return system.BrowserCommand;
}

std::string ContextHelpPage(const std::string& currentDir, const std::string& formName,
                            const std::string& mainPageName) {
  const std::string help = ExcludeTrailingBackslash(currentDir) + "\\help\\";
  if (formName == "Form1") return help + "Form1_" + mainPageName + ".html";
  return help + formName + ".html";
}

std::string ContentsPage(const std::string& currentDir) {
  return ExcludeTrailingBackslash(currentDir) + "\\help\\index.html";
}
