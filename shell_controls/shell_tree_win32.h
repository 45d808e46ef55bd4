#pragma once
// The shell tree: the shell namespace as a tree, as the Explorer's left pane shows it.
//
// The root is BaseFolder (the Desktop when it names nothing); a node's children are
// enumerated the first time it expands, sorted by its folder's CompareIDs. Each node holds
// a TQsShTreeData (its relative list; its absolute list and folder made on demand).
// Selecting a node makes it the current folder: a click (or a folder set by path) moves a
// linked list and combo at once, keyboard movement after 500 ms. A refresh in place keeps
// the nodes whose items are still valid (a file-system path must exist too), drops the
// others (a dropped selection goes to its parent) and adds new folders; with dynamic
// refresh every fixed, network and RAM drive is watched and a change refreshes after a
// delay (400 ms with the focus, 2000 ms without). While a drag out of the tree runs or a
// label is edited, a refresh only marks itself pending.
//
// Keys run the shell's verbs on the selected node, a right click shows its context menu
// with Send To, label editing renames through the parent folder, and nodes are dragged out
// as data objects and take drops through the shell's targets.
#include <memory>
#include <string>

#include "framework/win/timer.h"
#include "shell_controls/change_thread_win32.h"
#include "shell_controls/drag_objects_win32.h"
#include "shell_controls/shell_combo_win32.h"
#include "shell_controls/shell_list_win32.h"
#include "shell_controls/shell_menus_win32.h"
#include "shell_controls/tree_list_win32.h"

class TQsCustomShellTree;

class TQsShTreeData : public TObject {
 public:
  TQsShTreeData() = default;
  ~TQsShTreeData() override;
  TQsShTreeData(const TQsShTreeData&) = delete;
  TQsShTreeData& operator=(const TQsShTreeData&) = delete;

  // Takes over relative (nil for a root without list).
  void Init(TQsCustomShellTree* owner, TQsShTreeData* parent, LPITEMIDLIST relative);
  TQsShTreeData* Parent() const { return parent_; }
  LPCITEMIDLIST RelativeIdList() const { return relative_; }
  // Replaces the relative list (taken over) and forgets what was made from it.
  void SetIdList(LPITEMIDLIST relative);
  LPCITEMIDLIST GetAbsIdList();
  // The node's folder, bound from its parent's (the Desktop for a root without list).
  IShellFolder* GetFolder();
  IShellFolder* GetParentFolder();
  // The file-system path; empty when none. EInvalidOperation before Init.
  std::string GetPath();
  bool CanRename();
  void ClearCache();
  // A root given its own folder (bound by the tree).
  void SetFolder(IShellFolder* folder);

 private:
  TQsCustomShellTree* owner_ = nullptr;
  TQsShTreeData* parent_ = nullptr;
  LPITEMIDLIST relative_ = nullptr;
  LPITEMIDLIST absolute_ = nullptr;
  IShellFolder* folder_ = nullptr;
  bool initialised_ = false;
};

using TQsShellTreeOptions = uint32_t;
constexpr TQsShellTreeOptions qsstoAutoFill = 1 << 0, qsstoVirtualFolders = 1 << 1, qsstoDesignInteractive = 1 << 2,
                              qsstoDefaultKeyHandling = 1 << 3, qsstoContextMenus = 1 << 4,
                              qsstoDynamicRefresh = 1 << 5, qsstoIncludeNonFolders = 1 << 6, qsstoOleDrag = 1 << 7,
                              qsstoOleDrop = 1 << 8;
constexpr TQsShellTreeOptions kDefaultShellTreeOptions = qsstoAutoFill | qsstoVirtualFolders |
                                                         qsstoDefaultKeyHandling | qsstoContextMenus |
                                                         qsstoDynamicRefresh | qsstoOleDrag | qsstoOleDrop;

using TQsShTreeDeleteItemEvent = TEvent<void(TObject* Sender, TTreeNode* Node, TQsShTreeData* Data)>;
using TQsShTvCustomDrawEvent =
    TEvent<void(TObject* Sender, TQsCustomDraw* Context, TTreeNode* Node, TQsShTreeData* Data)>;

class TQsCustomShellTree : public TQsCustomTreeView, public TQsDropHandler {
  FW_CLASS(TQsCustomShellTree, TQsCustomTreeView)

 public:
  explicit TQsCustomShellTree(TComponent* owner);
  ~TQsCustomShellTree() override;

  TQsShellLocator& BaseFolder() { return base_; }
  void SetBaseFolder(const TQsShellLocator& base);
  TQsShellLocator& CurrentFolder() { return current_; }
  TQsShellTreeOptions Options() const { return options_; }
  void SetOptions(TQsShellTreeOptions o);
  TQsCustomShellList* ShellList() const { return list_.Get(); }
  void SetShellList(TQsCustomShellList* list);
  TQsCustomShellCombo* ShellCombo() const { return combo_.Get(); }
  void SetShellCombo(TQsCustomShellCombo* combo);

  void Rebuild();
  void RefreshInPlace();
  // Selects the node of an absolute list, expanding the way there (see the header).
  void SelectPidl(LPCITEMIDLIST list);
  void GoUp(int levels);
  // A new folder in the selected node's folder, its label then edited; false when the
  // node has no file-system path or the folder cannot be made.
  bool CreateNewFolder();
  void FlushPendingRefresh(bool syncLinked);
  std::string GetSelectedPath();
  // The combo's folder (or, while loading or nested, the list's).
  void SetFolderFrom(TQsShellLocator& locator);
  TQsShTreeData* NodeData(TTreeNode* node) const;
  bool DraggingOut() const { return dragOut_; }
  bool RefreshPending() const { return refreshPending_; }
  // The data object of a node (its parent folder's list and its own item).
  TComPtr<IDataObject> NodeDataObject(TTreeNode* node);
  void DragOut(TTreeNode* node, int button);
  void ShowShellMenu(TTreeNode* node, TPoint client);

  // TQsDropHandler
  void DragEnter(IDataObject* data, DWORD keys, POINTL point, DWORD& effect) override;
  void DragOver(DWORD keys, POINTL point, DWORD& effect) override;
  void DragLeave() override;
  void Drop(IDataObject* data, DWORD keys, POINTL point, DWORD& effect) override;

  void Loaded() override;
  void WndProc(TMessage& m) override;

  TQsShAddItemEvent OnAddItem;
  TQsShTreeDeleteItemEvent OnDeleteItem;
  TQsShPopupHintEvent OnPopupHint;
  TQsShTvCustomDrawEvent OnCustomDrawSh;
  TQsShTvCustomDrawEvent OnCustomDrawShEx;
  TNotifyEvent OnFillComplete;

 protected:
  virtual bool DoAddItem(IShellFolder* folder, LPCITEMIDLIST folderList, LPCITEMIDLIST item, ULONG attributes);
  virtual void DoDeleteItem(TTreeNode* node);
  virtual void FillChildren(TTreeNode* node);
  virtual void FillLevel(IShellFolder* folder, TTreeNode* node);
  virtual void DoFillComplete();
  virtual void AddWatchPath(const std::string& path);

  void CreateWindowHandle() override;
  void KeyDown(uint16_t& key, TShiftState shift) override;
  bool CanEdit(TTreeNode* node) override;
  bool CanExpand(TTreeNode* node) override;
  void Change(TTreeNode* node) override;
  void Edit(TTreeNode* node, std::string& S) override;
  void Delete(TTreeNode* node) override;
  void GetImageIndex(TTreeNode* node) override;
  void GetSelectedIndex(TTreeNode* node) override;
  void ContextMenuRequest(TTreeNode* node, TPoint point, TPopupMenu*& menu) override;
  TQsCustomDraw* CustomDraw(NMCUSTOMDRAW* notification, LRESULT* result) override;
  void CNNotify(TMessage& m) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void BeforeDestruction() override;

 private:
  void BaseChanged();
  void CurrentChanged();
  void SyncLinked(TTreeNode* node);
  void TimerFired();
  void StartWatching();
  void ChangeNotified();
  TTreeNode* AddNode(IShellFolder* folder, TQsShTreeData* parentData, TTreeNode* parent, LPITEMIDLIST item);
  void SortChildren(TTreeNode* node);
  void RefreshNode(TTreeNode* node, TTreeNode*& remembered);
  TTreeNode* RootNode();
  void InvokeNodeVerb(const std::string& verb);
  TComPtr<IDropTarget> NodeDropTarget(TTreeNode* node);
  void Highlight(TTreeNode* node);

  TQsShellLocator base_;
  TQsShellLocator current_;
  TTimer* timer_;
  int timerMode_ = 0;
  TLink<TQsCustomShellList> list_{this};
  TLink<TQsCustomShellCombo> combo_{this};
  TQsShellTreeOptions options_ = kDefaultShellTreeOptions;
  std::unique_ptr<TQsShellMenu> menu_;
  bool pathFlag_ = false;
  int changing_ = 0;
  bool refuseExpand_ = false;
  bool ignoreNext_ = false;
  std::unique_ptr<TChangeHandlerThread> changes_;
  bool dragOut_ = false;
  bool refreshPending_ = false;
  TDropTarget_shlv* dropTarget_ = nullptr;
  IDataObject* over_ = nullptr;
  DWORD dragKeys_ = 0;
  TTreeNode* highlighted_ = nullptr;
  TImageList* images_;
  std::string newFolder_;
};

class TQsShellTree : public TQsCustomShellTree {
  FW_CLASS(TQsShellTree, TQsCustomShellTree)

 public:
  explicit TQsShellTree(TComponent* owner) : TQsCustomShellTree(owner) {}
};

void RegisterShellTreeClasses();
