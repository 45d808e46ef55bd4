#pragma once
// The setup engine's registry helpers: the roots as the installer numbers them, values
// written and read in one call, key trees deleted, the RunOnce entry.
//
// How it works: every routine makes its own TRegistry over the one process-wide backend:
// the system registry in the Windows build, an in-memory registry natively (tests may
// install another). Reads never throw and give their default; string and integer writes
// throw EIRCannotWriteValue.
#include <string>

#include "framework/core/registry.h"
#include "framework/core/published.h"

namespace setup {

// The installer's numbering of the registry roots.
enum class TRootKeys { hkClassesRoot, hkCurrentConfig, hkCurrentUser, hkDynData, hkLocalMachine, hkUsers };
// Their identifiers in that order, for form text.
const TTypeInfo& RootKeysTypeInfo();
TRootKey ToRootKey(TRootKeys root);
TRootKeys ToRootKeys(TRootKey root);

// The backend every routine uses.
IRegistryBackend& SetupRegistry();
// Installs a backend (null puts the build's own back); returns the one before.
IRegistryBackend* SetSetupRegistry(IRegistryBackend* backend);
// The build's own: the system registry in the Windows build, a TMemRegistry natively.
IRegistryBackend& DefaultSetupRegistry();

// Creates the key when missing. EIRCannotWriteValue with key, name and value on failure.
void WriteRegString(TRootKeys root, const std::string& key, const std::string& name,
                    const std::string& value);
// Creates the key when missing. EIRCannotWriteValue with the key on failure.
void WriteRegInteger(TRootKeys root, const std::string& key, const std::string& name, int value);
// The default when the key or the value is missing or of another type.
std::string ReadRegString(TRootKeys root, const std::string& key, const std::string& name,
                          const std::string& def);
int ReadRegInteger(TRootKeys root, const std::string& key, const std::string& name, int def);
// Deletes the key with all its subkeys, deepest first; errors are ignored.
void DeleteRegTree(TRootKeys root, const std::string& key);

// The RunOnce key of HKEY_LOCAL_MACHINE.
extern const char* const kRunOnceKey;
// Writes data as value name under the RunOnce key (created when missing); with unique,
// under the first of name, name + "1", name + "2", ... that does not exist yet, and flushes
// the key to disk. False when the key cannot be opened, the value not written or the key
// not flushed.
bool SetRunOnceValue(const std::string& name, const std::string& data, bool unique);

}  // namespace setup
