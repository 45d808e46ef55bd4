#pragma once
// The shell list: the contents of one shell folder in a list view, as the Explorer's right
// pane shows them (its rules without the shell are in shell_list_rules.h).
//
// Filling binds Folder's list (through the shell seam), asks the folder for IShellDetails,
// builds the columns, enumerates every item (hidden ones too) and keeps those the include
// rule, the file filter and OnAddItem let through, each with a TQsShListData; the texts of
// the columns are computed when the list view first asks for them. A fill that fails puts
// the previous folder back whole. With dynamic refresh the shown folder is watched; a
// change re-arms a timer (400 ms with the focus, 2000 ms without) whose refresh in place
// drops the items that went and appends the new ones. While a drag out of the list runs or
// a label is edited, a refresh only marks itself pending and runs afterwards.
//
// The list shows the shell's context menus (with our Send To entries), runs verbs for its
// keys, opens folders and shortcuts to folders in place, renames through the folder and
// makes new folders. Dragging items out hands a data object to DoDragDrop; a drop onto an
// item or the list passes to the shell's drop target of that item or of the shown folder,
// with the effect limited to what the dropped items allow.
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "framework/win/com_object.h"
#include "framework/win/timer.h"
#include "shell_controls/change_thread_win32.h"
#include "shell_controls/drag_objects_win32.h"
#include "shell_controls/shell_combo_win32.h"
#include "shell_controls/shell_menus_win32.h"
#include "shell_controls/tree_list_win32.h"

class TQsCustomShellList;
class TQsCustomShellTree;

class TQsShListData : public TObject {
 public:
  // Takes over relative (a list of the shell allocator).
  TQsShListData(TQsCustomShellList* owner, LPITEMIDLIST relative);
  ~TQsShListData() override;
  TQsShListData(const TQsShListData&) = delete;
  TQsShListData& operator=(const TQsShListData&) = delete;

  TQsCustomShellList* Owner() const { return owner_; }
  LPCITEMIDLIST RelativeIdList() const { return relative_; }
  // A renamed item takes its new list (taken over) and forgets what it had computed.
  void SetRelativeIdList(LPITEMIDLIST relative);
  // The list's folder list joined with the relative list, made once.
  LPCITEMIDLIST GetAbsIdList();
  // The read-only bit is left out for an item on a removable drive.
  ULONG GetAttributes(ULONG mask);
  bool IsFolder();
  bool IsShortcut();
  // The folder confirms the item and, when it has a file-system path, the path exists.
  bool IsValid();
  bool CanRename();
  std::string GetPath();
  std::string GetFileName();
  std::string GetDisplayName();
  // The small system icon, asked once.
  int GetImageIndex();
  // The computed details: 1 size, 2 type, 3 modified; others empty.
  std::string GetDetailText(int column);

 private:
  void ComputeDetails();
  TQsCustomShellList* owner_;
  LPITEMIDLIST absolute_ = nullptr;
  LPITEMIDLIST relative_;
  std::string displayName_;
  bool hasDisplayName_ = false;
  int image_ = -1;
  bool detailsDone_ = false;
  std::string size_, type_, modified_;
};

using TQsShellListOptions = uint32_t;
constexpr TQsShellListOptions qssloAutoFill = 1 << 0, qssloNonFilesystemAncestors = 1 << 1,
                              qssloDesignInteractive = 1 << 2, qssloDefaultKeyHandling = 1 << 3,
                              qssloContextMenus = 1 << 4, qssloDontChangeFolder = 1 << 5,
                              qssloDontGoBelowBase = 1 << 6, qssloDynamicRefresh = 1 << 7,
                              qssloHideFoldersWhenLinkedToTree = 1 << 8, qssloOleDrag = 1 << 9,
                              qssloOleDrop = 1 << 10, qssloFolderContextMenu = 1 << 11;
constexpr TQsShellListOptions kDefaultShellListOptions =
    qssloAutoFill | qssloNonFilesystemAncestors | qssloDefaultKeyHandling | qssloContextMenus |
    qssloDynamicRefresh | qssloOleDrag | qssloOleDrop | qssloFolderContextMenu;

using TQsShAddItemEvent = TEvent<void(TObject* Sender, IShellFolder* Folder, LPCITEMIDLIST FolderIdList,
                                      LPCITEMIDLIST Item, ULONG Attributes, int32_t& Allow)>;
using TQsShListDeleteItemEvent = TEvent<void(TObject* Sender, TListItem* Item, TQsShListData* Data)>;
using TQsShPopupHintEvent = TEvent<void(TObject* Sender, const std::string& Hint)>;
using TQsShDblClickOpenEvent = TEvent<void(TObject* Sender, bool& Handled)>;
using TQsShLvCustomDrawEvent =
    TEvent<void(TObject* Sender, TQsCustomDraw* Context, TListItem* Item, TQsShListData* Data)>;

// The private messages of the list.
constexpr UINT kShellChangedMessage = 0x465;
constexpr UINT kEditNewFolderMessage = 0x466;
constexpr UINT kGetShellBrowserMessage = 0x407;

class TQsCustomShellList : public TQsCustomListView, public TQsDropHandler {
  FW_CLASS(TQsCustomShellList, TQsCustomListView)

 public:
  explicit TQsCustomShellList(TComponent* owner);
  ~TQsCustomShellList() override;

  TQsShellLocator& Folder() { return folder_; }
  void SetFolder(const TQsShellLocator& folder) { folder_.Assign(&folder); }
  TQsShellListOptions Options() const { return options_; }
  void SetOptions(TQsShellListOptions o) { options_ = o; }
  const std::string& FileFilter() const { return fileFilter_; }
  void SetFileFilter(const std::string& filter);
  int SortColumn() const { return sortColumn_; }
  void SetSortColumn(int column);

  void Refresh();
  void FlushPendingRefresh(bool syncLinked);
  TQsShListData* GetSelectedData();
  TQsShListData* GetItemData(int index);
  TQsShListData* GetItemDataOf(TListItem* item);
  bool CreateNewFolder(bool edit);
  void GoUp(int levels);
  void OpenItem(TListItem* item);
  void OpenSelected();
  void SelectAll();
  void InvokeSelectionVerb(const std::string& verb);
  void InvokeFolderVerb(const std::string& verb);

  TQsCustomShellCombo* ShellCombo() const { return combo_.Get(); }
  void SetShellCombo(TQsCustomShellCombo* combo);
  TQsCustomShellTree* ShellTree() const;
  void SetShellTree(TQsCustomShellTree* tree);
  // Linked to a combo or a tree: the folder comes from there and is not stored.
  bool IsLinked() const;

  IShellFolder* ShellFolder() const { return shellFolder_; }
  LPCITEMIDLIST FolderIdList() const { return folderList_; }
  bool HasShellDetails() const { return details_ != nullptr; }
  bool DraggingOut() const { return dragOut_; }
  bool RefreshPending() const { return refreshPending_; }
  // The data object of the selected items (EOleError when none is selected) and the
  // effects they allow together.
  TComPtr<IDataObject> SelectionDataObject();
  DWORD SelectionEffects();
  // Drags the selection out with mouse button 0 (left) or 1 (right).
  void DragOut(int button);
  // A context menu of the selection at the client point (what a right click shows).
  void ShowShellMenu(TPoint client);

  // TQsDropHandler
  void DragEnter(IDataObject* data, DWORD keys, POINTL point, DWORD& effect) override;
  void DragOver(DWORD keys, POINTL point, DWORD& effect) override;
  void DragLeave() override;
  void Drop(IDataObject* data, DWORD keys, POINTL point, DWORD& effect) override;

  void WndProc(TMessage& m) override;

  TQsShAddItemEvent OnAddItem;
  TQsShListDeleteItemEvent OnDeleteItem;
  TQsShPopupHintEvent OnPopupHint;
  TQsShDblClickOpenEvent OnDblClickOpen;
  TQsShLvCustomDrawEvent OnCustomDrawSh;
  TQsShLvCustomDrawEvent OnCustomDrawShEx;
  TNotifyEvent OnFillComplete;

 protected:
  virtual bool DoAddItem(IShellFolder* folder, LPCITEMIDLIST folderList, LPCITEMIDLIST item, ULONG attributes);
  virtual void DoDblClickOpen(bool& handled);
  virtual void FillFromFolder(IShellFolder* folder, LPCITEMIDLIST folderList);
  virtual void DoFillComplete();
  virtual HRESULT GetSelectionUIObject(REFIID iid, void** out);
  virtual void DoCustomDrawSh(TQsCustomDraw* context, TListItem* item, bool itemStage);
  virtual void StartChangeNotify();
  virtual void PrepareFileFilter();
  virtual bool MatchesFileFilter(const std::string& name, ULONG attributes);
  virtual void ClearFileFilter();

  void CreateWindowHandle() override;
  void KeyDown(uint16_t& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  bool CanEdit(TListItem* item) override;
  void ColClick(TListColumn* column) override;
  void Delete(TListItem* item) override;
  void Edit(TListItem* item, std::string& S) override;
  void DblClick() override;
  TQsCustomDraw* CustomDraw(NMCUSTOMDRAW* notification, LRESULT* result) override;
  void ContextMenuRequest(TListItem* item, TPoint point, TPopupMenu*& menu) override;
  void GetDisplayInfo(TListItem* item, int subItem, std::string* text, int* image) override;
  void CNNotify(TMessage& m) override;
  void WMGetDlgCode(TMessage& m) override;
  void BeforeDestruction() override;

 private:
  friend class TQsShListData;
  void FolderChanged();
  void BuildColumns();
  void SaveColumnLayout();
  bool IncludeItem(IShellFolder* folder, LPCITEMIDLIST folderList, LPCITEMIDLIST item, ULONG& attributes);
  TListItem* AddItemFor(TQsShListData* data, ULONG attributes);
  void Sort();
  void RefreshInPlace();
  void ChangeNotified();
  void TimerFired();
  void Navigate(LPCITEMIDLIST absolute);
  std::vector<TQsShListData*> SelectedData();
  TComPtr<IDropTarget> FolderDropTarget();
  TComPtr<IDropTarget> ChooseTarget(TListItem* item, DWORD keys, DWORD& effect, bool& decided, bool forDrop);
  void Highlight(TListItem* item);
  void AutoScroll(POINTL screen, DWORD& effect);
  void EditNewFolder();
  LRESULT ShellBrowser();
  std::string DetailsOf(TQsShListData* data, int column);

  TQsShellLocator folder_;
  TQsShellListOptions options_ = kDefaultShellListOptions;
  IShellFolder* shellFolder_ = nullptr;
  LPITEMIDLIST folderList_ = nullptr;
  IShellDetails* details_ = nullptr;
  std::string fileFilter_;
  std::vector<std::string> masks_;
  std::unique_ptr<std::set<std::string>> matching_;
  TTimer* timer_;
  TLink<TQsCustomShellCombo> combo_{this};
  TLink<TQsCustomShellTree> tree_{this};
  std::unique_ptr<TQsShellMenu> menu_;
  int sortColumn_ = 1;
  int changing_ = 0;
  bool ignoreNext_ = false;
  std::unique_ptr<TChangeHandlerThread> changes_;
  std::string newFolder_;
  bool refreshPending_ = false;
  bool columnsBuilt_ = false;
  TImageList* smallImages_;
  TImageList* largeImages_;
  // Drag and drop.
  TDropTarget_shlv* dropTarget_ = nullptr;
  bool dragOut_ = false;
  DWORD scrollTick_ = 0;
  IDataObject* over_ = nullptr;
  DWORD dragKeys_ = 0;
  TListItem* highlighted_ = nullptr;
};

class TQsShellList : public TQsCustomShellList {
  FW_CLASS(TQsShellList, TQsCustomShellList)

 public:
  explicit TQsShellList(TComponent* owner) : TQsCustomShellList(owner) {}
};
