#pragma once
// Registers the setup engine's classes that a form text may name (the translator, the
// path specifiers). Called from the programs' and the tests' main, before any form is read.
namespace setup {

void RegisterSetupEngineClasses();

}  // namespace setup
