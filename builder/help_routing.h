#pragma once
// How the patch builder opens help pages and web and mail links.
//
// Help pages are local HTML files in the "help" folder below the current directory:
// "index.html" for the contents, one page per form ("Form2.html") and one per page of the
// main window ("Form1_page_Expert.html"). Context help and the contents go to the web
// browser; web links to the browser the settings name, mail links to the system's mail
// command. Each command is a template in which "%1" stands for the address. This part
// only computes the command lines; help_hook.h starts them.
#include <functional>
#include <string>

#include "builder/settings.h"

// "Quiltor Snapmend 2.1f (check <update page> for updates!)"
std::string ApplicationTitle();
extern const char kMakerWebSite[];
extern const char kArtistMail[];

// Copies tmpl, putting address in place of every "%1"; a "%" before any other character
// is kept with that character. Without any "%1" the address follows after one blank.
std::string ExpandCommandTemplate(const std::string& tmpl, const std::string& address);

// The browser command template the settings choose: the system's http command, Internet
// Explorer with " -nohome ", Netscape Navigator with " -h ", or the custom browser with its
// arguments when its file exists. A chosen program that is not there falls back to the
// system's http command. Empty when there is no command at all.
std::string BrowserCommandTemplate(const TMainSettings& main, const TSystemCommands& system,
                                   const std::function<bool(const std::string&)>& fileExists);

// The help page of a form: currentDir + "\help\" + form name + ".html"; for the main
// window ("Form1") the page of its active page: "\help\Form1_" + page name + ".html".
std::string ContextHelpPage(const std::string& currentDir, const std::string& formName,
                            const std::string& mainPageName);
std::string ContentsPage(const std::string& currentDir);
