#pragma once
// The system's file open dialog (GetOpenFileNameA) as a component: Filter is
// "Text|*.txt|All|*.*", Options map to the OFN_ flags. Execute goes through one replaceable
// function, so a test answers the dialog without a window (SetExecuteFunction).
#include <cstdint>
#include <functional>
#include <string>

#include "framework/core/object.h"
#include "framework/win/winapi.h"

#include <commdlg.h>

enum class TOpenOption { ofNoValidate, ofNoChangeDir, ofFileMustExist, ofHideReadOnly };
using TOpenOptions = uint32_t;  // bit i is TOpenOption(i)
constexpr TOpenOptions OpenOptionBit(TOpenOption o) { return 1u << unsigned(o); }

class TOpenDialog : public TComponent {
  FW_CLASS(TOpenDialog, TComponent)

 public:
  explicit TOpenDialog(TComponent* owner) : TComponent(owner) {}
  std::string FileName;
  std::string Filter;
  int FilterIndex = 1;
  std::string InitialDir;
  std::string Title;
  std::string DefaultExt;
  TOpenOptions Options = OpenOptionBit(TOpenOption::ofHideReadOnly);

  // Shows the dialog owned by the active window; true when a file was chosen (FileName).
  bool Execute();

  // The function behind every Execute; it gets the filled record (its file buffer holds
  // FileName) and returns what GetOpenFileNameA would. Returns the previous one.
  using TExecuteFunction = std::function<bool(OPENFILENAMEA&)>;
  static TExecuteFunction SetExecuteFunction(TExecuteFunction fn);
};
