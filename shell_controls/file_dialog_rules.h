#pragma once
// The open and save dialogs' rules without a window: the options, the names typed into the
// file-name edit (quoted lists, combining with the shown folder, the checks that refuse a
// name), the default extension, the file check with its messages and questions, the
// filter's type entries and the state a dialog keeps between runs.
//
// Validate turns the edit's text into full paths the way the dialog closes: every refusal
// is one message through the host and leaves nothing in the result; a typed folder makes
// the host move there instead. The host is what the dialog form does with the shell (is a
// path a shell folder, what a shortcut points to, which list items carry a name) and the
// file system, so the rules run natively against a fake.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/core/streams.h"

using TQsOpenOptions = uint32_t;
constexpr TQsOpenOptions qsofAllowMultiselect = 1u << 0, qsofCreatePrompt = 1u << 1,
                         qsofExtensionDifferent = 1u << 2, qsofFileMustExist = 1u << 3,
                         qsofHideReadOnly = 1u << 4, qsofNoChangeDir = 1u << 5, qsofNoDereferenceLinks = 1u << 6,
                         qsofNoReadOnlyReturn = 1u << 7, qsofNoTestFileCreate = 1u << 8, qsofNoValidate = 1u << 9,
                         qsofOverwritePrompt = 1u << 10, qsofReadOnly = 1u << 11, qsofPathMustExist = 1u << 12,
                         qsofShareAware = 1u << 13, qsofShowHelp = 1u << 14, qsofAllowTree = 1u << 15,
                         qsofShowTree = 1u << 16, qsofShowHints = 1u << 17,
                         qsofHideFoldersInListWhenTreeVisible = 1u << 18, qsofOleDrag = 1u << 19,
                         qsofOleDrop = 1u << 20;
constexpr TQsOpenOptions kDefaultOpenOptions =
    qsofHideReadOnly | qsofAllowTree | qsofShowHints | qsofOleDrag | qsofOleDrop;
// The option names in declaration order (bit i has name i).
const std::vector<std::string>& OpenOptionNames();

namespace shell {

// The dialog's message texts (shell string table).
constexpr int kMsgReplace = 52480, kMsgNotFound = 52489, kMsgNoPath = 52490, kMsgInvalidName = 52491,
              kMsgReadOnly = 52494, kMsgDeviceName = 52495, kMsgCreate = 52498, kMsgAmbiguous = 52499,
              kMsgTypeName = 52538;
// How a message is asked: a warning with OK, a warning or a question with Yes and No.
enum class TMessageKind { WarningOk, WarningYesNo, QuestionYesNo };
TMessageKind MessageKindOf(int id);

// The names of a text with double quotes: between names blanks and tabs are skipped, a
// quote opens a quoted name (up to the next quote), anything else a plain name (up to a
// quote, which opens a quoted one). Double-byte characters are copied whole.
std::vector<std::string> ScanQuotedNames(const std::string& text);
// The text up to and without its last "\" (or up to and with a drive's ":"), and the rest;
// double-byte aware.
std::string FolderPartOf(const std::string& path);
std::string FilePartOf(const std::string& path);
bool HasWildcard(const std::string& s);
// 0 when a typed name may be combined, else kMsgInvalidName: "/", "<", ">", "|" or a control
// character anywhere; two adjacent backslashes except the pair that starts a UNC name; a
// colon other than a drive's (a letter, ":", then "\" or nothing); "*" or "?" outside the
// file part.
int CheckTypedName(const std::string& name);
// The name combined with the shown folder: a drive path or UNC name as it is, "\x" below
// the folder's root, "D:" as "D:\", otherwise each component applied in turn ("..." climbs
// two levels, never above the root). A bare drive comes out with its backslash.
std::string CombinePath(const std::string& folder, const std::string& name);
// 0 when the combined path may be used, else kMsgInvalidName (over 259 characters, or a
// name part over 255) or kMsgDeviceName (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9 in any
// case, with any extension).
int CheckCombinedPath(const std::string& full);

// The default extension: none appends "." + ext (and clears qsofExtensionDifferent); a
// registered one is kept (and sets it); any other also gets "." + ext.
struct TDefaultExt {
  std::string Path;
  bool ExtensionDifferent = false;
};
TDefaultExt ApplyDefaultExt(const std::string& path, const std::string& ext,
                            const std::function<bool(const std::string& ext)>& registered);

enum class TFileState { Missing, File, ReadOnlyFile, Folder };

// What the dialog form provides to the validation.
class TFileDialogHost {
 public:
  virtual ~TFileDialogHost() = default;
  // The list's folder, a file-system path ("" when it has none).
  virtual std::string ShownFolder() = 0;
  // full names a shell item with the folder attribute that is not an existing file.
  virtual bool IsShellFolder(const std::string& full) = 0;
  // Moves the dialog into that folder (combo and list) and selects the edit's text.
  virtual void EnterFolder(const std::string& full) = 0;
  virtual TFileState StateOf(const std::string& full) = 0;
  // The target of a shortcut file, "" when it has none.
  virtual std::string ShortcutTarget(const std::string& full) = 0;
  virtual bool ExtensionRegistered(const std::string& ext) = 0;
  // The path of the list's selected item when it is not a folder and its display name is
  // text; "" otherwise.
  virtual std::string SelectedItemPath(const std::string& text) = 0;
  // The combo (and list) move to a folder.
  virtual void MoveToFolder(const std::string& folder) = 0;
  // The paths of the list items whose caption is name, in list order; SelectItem focuses
  // and selects the first of them and focuses the list.
  virtual std::vector<std::string> ItemsNamed(const std::string& name) = 0;
  virtual void SelectItemNamed(const std::string& name) = 0;
  // Shows message id with its argument; true for Yes.
  virtual bool Message(int id, const std::string& argument) = 0;
};

struct TValidation {
  bool Ok = false;
  std::vector<std::string> Files;
};

// Validates the edit's text. options may gain or lose qsofExtensionDifferent.
// filledFromList: the list wrote the edit.
TValidation Validate(TFileDialogHost& host, const std::string& text, TQsOpenOptions& options,
                     const std::string& defaultExt, bool filledFromList);

// The wildcard step of closing: when the text's file part holds "*" or "?", the folder
// part (moved into when it names a folder, else kMsgNoPath) and the mask; Mask is empty
// when there is no wildcard. Entered is false when the message was shown.
struct TWildcard {
  std::string Mask;
  bool Entered = true;
};
TWildcard ApplyWildcard(TFileDialogHost& host, const std::string& text);

// The file check of one full path.
bool CheckFile(TFileDialogHost& host, const std::string& full, TQsOpenOptions options);

// The edit's text for the list's selection: several selected items give the non-folders,
// each in quotes, from the focused one on and then from the top, wrapping; one gives its
// name when it is not a folder. Empty when nothing was collected.
struct TListEntry {
  std::string Name;
  bool Folder = false;
  bool Selected = false;
};
std::string SelectionText(const std::vector<TListEntry>& items, int focused);

// The filter's type entries: split at every "|" into description and mask, alternately.
struct TFilterEntry {
  std::string Description, Mask;
};
std::vector<TFilterEntry> SplitFilter(const std::string& filter);
// The entry a FilterIndex selects (-1: none) and whether its mask applies.
struct TFilterChoice {
  int Index = -1;
  bool Apply = false;
};
TFilterChoice ChooseFilter(int filterIndex, int count);

// What a dialog keeps between runs: 14 bytes, little-endian, no header (the last two
// fields for file dialogs only).
struct TQsDialogState {
  int32_t FormWidth = -1, FormHeight = -1;
  uint8_t WindowState = 0;
  bool ShowTree = false;
  int32_t SplitterPos = -1;
};
void WriteDialogState(TStream& stream, const TQsDialogState& state, bool fileDialog);
// EReadError on a short stream.
TQsDialogState ReadDialogState(TStream& stream, bool fileDialog);

}  // namespace shell
