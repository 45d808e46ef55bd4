#pragma once
// The commands of the setup_core_run test driver over the translator, the setup's
// exceptions and the install object tree:
//
//   setup_core_run [--lang LANGUAGE=FILE]... [--into LANGUAGE] [--type TYPE] COMMAND
//     parse FILE                  each string of FILE as GLID<TAB>text, each memo as
//                                 #GLID<TAB>n and its n lines after a TAB each, in file order
//     text TEXT...                TranslateText of each, one per line
//     raise CLASS FORMAT [ARG...] "CLASS: message" of that exception class made from
//                                 FORMAT and the ARGs (texts); EIRCannotWriteValue takes
//                                 the key as FORMAT and, for its string form, the value
//                                 name and the value as ARGs
//     form FILE                   a form text rooted at TDataModule, translated from
//                                 English, written back
//     tree FILE                   a definition of TTreeProbes rooted at TDataModule: the
//                                 tree ("NAME KIND", children two blanks deeper), then the
//                                 trace of processing every probe without a Container
//
// --lang reads FILE into the Strings of LANGUAGE (a TKstnLanguage identifier), --into
// sets the target language (default klUser), --type the install type of the tree.
// Returns 0, or 1 with the message written to err.
#include <ostream>
#include <string>
#include <vector>

namespace setup {

// The classes the driver's form texts may name.
void RegisterSetupCoreClasses();
int RunSetupCoreCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace setup
