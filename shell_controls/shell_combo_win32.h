#pragma once
// The shell locator and the shell path combo.
//
// TQsShellLocator names a folder for every shell control: an item-ID list (kind 0; nil is
// the Desktop) or a special-folder id (kind 1, looked up once when its list is asked for).
// It changes only through SetIdList, SetPath, Assign and its stored form, and fires
// OnChange when the folder it names changes. Its stored form is the binary property
// "Pidl" (locator_codec.h); a value that does not read fails the form with a clear error.
//
// TQsShellCombo is the look-in drop-down: the Desktop, its first-level folders, the drives
// under My Computer and the chain of folders down to the locator's folder, each indented
// by its depth with its small system icon. Choosing an entry moves the locator; a change of
// the locator rebuilds the entries. Each entry's TQsShComboData (the parent folder and the
// entry's lists) goes with its entry.
#include <cstdint>
#include <string>
#include <vector>

#include "framework/controls/imglist.h"
#include "shell_controls/image_combo_win32.h"
#include "shell_controls/shell_utils_win32.h"

class TQsShellLocator : public TPersistent {
  FW_CLASS(TQsShellLocator, TPersistent)

 public:
  TQsShellLocator() = default;
  ~TQsShellLocator() override;

  uint8_t Kind() const { return kind_; }
  uint8_t SpecialFolder() const { return id_; }
  // Kind 0: the stored list (nil: the Desktop); kind 1: the special folder's, looked up once.
  LPCITEMIDLIST GetIdList();
  // Kind 0 with a copy (nil for nil or the empty list); fires Changed when the folder differs.
  void SetIdList(LPCITEMIDLIST list);
  std::string GetPath();
  // A path that does not parse gives the Desktop.
  void SetPath(const std::string& path);
  // Another locator's value (nothing when equal); nil makes the Desktop.
  void Assign(const TPersistent& src) override;
  void Assign(const TQsShellLocator* src);
  bool Equals(const TQsShellLocator& other) const;

  // The "Pidl" bytes; reading takes exactly one valid value or throws EReadError.
  std::vector<uint8_t> PidlBytes() const;
  void SetPidlBytes(const std::vector<uint8_t>& bytes);
  bool PidlStored() const;

  TNotifyEvent OnChange;

 protected:
  virtual void Changed();

 private:
  uint8_t kind_ = 0;
  LPITEMIDLIST list_ = nullptr;
  uint8_t id_ = 28;
};

class TQsCustomShellCombo;
class TQsCustomShellList;
class TQsCustomShellTree;

class TQsShComboData : public TObject {
 public:
  TQsShComboData(TQsCustomShellCombo* owner, IShellFolder* parent, LPCITEMIDLIST parentList, LPCITEMIDLIST relative);
  ~TQsShComboData() override;
  TQsCustomShellCombo* const Owner;
  IShellFolder* ParentFolder() const { return parent_; }
  LPCITEMIDLIST ParentIdList() const { return parentList_; }
  LPCITEMIDLIST RelativeIdList() const { return relative_; }
  LPCITEMIDLIST AbsoluteIdList() const { return absolute_; }
  // A further interface the entry holds, released with it.
  IUnknown* Extra = nullptr;

 private:
  IShellFolder* parent_;
  LPITEMIDLIST parentList_, relative_, absolute_;
};

using TQsShellComboOptions = uint32_t;
constexpr TQsShellComboOptions qsscoAutofill = 1, qsscoNonFilesystemAncestors = 2;

class TQsCustomShellCombo : public TQsCustomImageCombo {
  FW_CLASS(TQsCustomShellCombo, TQsCustomImageCombo)

 public:
  explicit TQsCustomShellCombo(TComponent* owner);

  TQsShellLocator& GetFolder() { return locator_; }
  TQsShellComboOptions Options() const { return options_; }
  void SetOptions(TQsShellComboOptions o) { options_ = o; }
  // Moves to the entry n levels above the selected one; nothing without a selection.
  void GoUpLevels(int n);
  // The data of entry index, null when it holds none.
  TQsShComboData* EntryData(int index) const;
  void Rebuild();
  // The list that shows the combo's folder (it follows the combo, and the combo it); the
  // list is told its combo.
  TQsCustomShellList* ShellList() const;
  void SetShellList(TQsCustomShellList* list);
  // The tree that shows the combo's folder; a combo has a tree or a list, never both (a
  // link is refused while the other is set).
  TQsCustomShellTree* ShellTree() const;
  void SetShellTree(TQsCustomShellTree* tree);
  // The tree selected the folder of absolute.
  virtual void TreeNodeChanged(LPCITEMIDLIST absolute);

  // Set by the file dialogs from their OnAddComboItem.
  TEvent<void(TObject* Sender, IShellFolder* Folder, LPCITEMIDLIST FolderIdList, LPCITEMIDLIST Item,
              ULONG Attributes, int32_t& Allow)>
      OnAddItem;

 protected:
  // Asks OnAddItem (allow starts true) whether an entry of folder (whose absolute list is
  // parentList) comes in.
  virtual bool CanAddItem(IShellFolder* folder, LPCITEMIDLIST parentList, LPCITEMIDLIST relative, ULONG attributes);
  virtual void LocatorChanged();
  virtual void AddLevel(IShellFolder* folder, LPCITEMIDLIST parentList, shell::TQsIdListArray& path, int level);
  void Loaded() override;
  void CreateWindowHandle() override;
  void CNCommand(TMessage& m) override;
  void DeleteItem(void* data) override;
  void BeforeDestruction() override;

 private:
  TQsImageComboItem* AddEntry(const std::string& caption, int image, int indent, ULONG attributes,
                              TQsShComboData* data);
  HWND FormWindow();
  int changeCount_ = 0;
  bool pathDone_ = false;
  TLink<TQsCustomShellList> list_{this};
  TLink<TQsCustomShellTree> tree_{this};
  TQsShellLocator locator_;
  TQsShellComboOptions options_ = qsscoAutofill | qsscoNonFilesystemAncestors;
  TImageList* images_;
};

class TQsShellCombo : public TQsCustomShellCombo {
  FW_CLASS(TQsShellCombo, TQsCustomShellCombo)

 public:
  explicit TQsShellCombo(TComponent* owner) : TQsCustomShellCombo(owner) {}
};

// Sorts relative lists of folder with its CompareIDs; "Recursive call to SortPidls" when
// entered again from inside the comparison.
void SortPidls(IShellFolder* folder, std::vector<LPITEMIDLIST>& lists);

// Registers the shell controls' classes for the form reader.
void RegisterShellControlClasses();
