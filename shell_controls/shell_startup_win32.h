#pragma once
// The shell controls' start-up, one explicit call before any of them is used, in this
// order: the texts; the utilities (the Windows version, the shell allocator, the comctl32
// version block); the shell32 binding (COM, then SHGetDataFromIDListA); then the controls'
// own state (the "Shell IDList Array" clipboard format, the column-layout stream and the
// saved Explorer column widths) and OLE. StopShellControls undoes it in reverse.
#include <cstdint>

#include "framework/core/streams.h"

void StartShellControls();
void StopShellControls();

// Starts the shell controls for a scope.
class TShellControlsSession {
 public:
  TShellControlsSession() { StartShellControls(); }
  ~TShellControlsSession() { StopShellControls(); }
  TShellControlsSession(const TShellControlsSession&) = delete;
  TShellControlsSession& operator=(const TShellControlsSession&) = delete;
};

// The shell lists' shared column layout: the widths written when a list's columns go, and
// the last "DirectoryCols" value read (22 bytes) with its byte count.
struct TQsColumnLayout {
  TMemoryStream Stream;
  uint8_t ExplorerCols[22] = {};
  int ExplorerColsSize = 0;
};
TQsColumnLayout& QsColumnLayout();

// Whether StartShellControls ran and OLE started.
bool ShellControlsStarted();
