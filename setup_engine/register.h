#pragma once
// Registers the setup engine's classes that a form text may name (the translator, the
// path specifiers). Called from the programs' and the tests' main, before any form is read.
namespace setup {

void RegisterSetupEngineClasses();
// Those and the shortcut groups, shortcuts, registry writers and the uninstaller. Their
// constructors hold containment rules (a main link group first), so a fresh instance of
// each needs the objects before it.
void RegisterShortcutAndRegistryClasses();

}  // namespace setup
