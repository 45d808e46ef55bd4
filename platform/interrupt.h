#pragma once
// Putting files right when the process is interrupted: natively by SIGINT or SIGTERM,
// under Windows by Ctrl+C, Ctrl+Break, the closing of its console, logoff or shutdown.
//
// A program lists the files it holds only for a while: temporary files, which are
// removed, and earlier files it has moved aside, which are renamed back to where they
// were. When an interruption ends the process, that is done first; the process then ends
// as the interruption would have ended it. Removing or renaming a listed file with
// RemoveFile or RenameFile (file.h) takes it off the list. Every change of the list
// happens together with its file operation, so an interruption sees the files either
// before or after it, whichever thread it arrives on; once an interruption has begun,
// the two calls below, RemoveFile and RenameFile fail without doing anything. The
// handlers are installed when the first file is listed, natively only where the signal's
// disposition is still the default one: a program that ignores or handles a signal
// itself keeps it that way.
#include <string>

namespace platform {

// CreateUniqueFile (file.h), and the new file is removed on interruption.
bool CreateTemporaryFile(const std::string& dir, const std::string& prefix, std::string& name);

// Renames path to aside (replacing a file of that name, typically a temporary file made
// to reserve it); on interruption aside is renamed back to path. False when path cannot
// be renamed.
bool MoveAside(const std::string& path, const std::string& aside);

}  // namespace platform
