#pragma once
// The tree view (SysTreeView32, ANSI notifications). Nodes are objects of the tree
// (TTreeNodes), mirrored into the window while it exists: a recreate puts them back with
// their expansion and the selection, and node operations work with or without a window.
// A node's images are asked for when shown (OnGetImageIndex, OnGetSelectedIndex, then the
// node's ImageIndex and SelectedIndex); its overlay is zero-based (-1 none).
//
// Deletion: every node that goes passes once through the virtual Delete (which fires
// OnDeletion while events are allowed), with the whole tree object alive: when its item
// leaves the window (TVN_DELETEITEM, also when Free destroys the window) or, without a
// window, when the node is deleted. Sorting calls the comparison inside the window's sort
// behind the callback guard, so its exception reaches the caller of CustomSort.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/controls/imglist.h"
#include "framework/win/controls.h"

class TCustomTreeView;
class TTreeNodes;

enum class TDragMode { dmManual, dmAutomatic };
const TTypeInfo& DragModeTypeInfo();

class TTreeNode {
 public:
  TTreeNode(const TTreeNode&) = delete;
  TTreeNode& operator=(const TTreeNode&) = delete;

  TCustomTreeView* TreeView() const { return tree_; }
  TTreeNode* Parent() const { return parent_; }
  int Count() const { return int(children_.size()); }
  TTreeNode* Item(int index) const { return children_.at(size_t(index)); }
  int Index() const;
  int Level() const;
  TTreeNode* GetFirstChild() const { return children_.empty() ? nullptr : children_.front(); }
  TTreeNode* GetLastChild() const { return children_.empty() ? nullptr : children_.back(); }
  TTreeNode* GetNextSibling() const;
  TTreeNode* GetPrevSibling() const;
  // The next node in depth-first order (children first); null after the last.
  TTreeNode* GetNext() const;
  HTREEITEM ItemId() const { return item_; }

  const std::string& Text() const { return text_; }
  void SetText(const std::string& text);
  void* Data() const { return data_; }
  void SetData(void* data) { data_ = data; }
  int ImageIndex() const { return image_; }
  void SetImageIndex(int i);
  int SelectedIndex() const { return selectedImage_; }
  void SetSelectedIndex(int i);
  int OverlayIndex() const { return overlay_; }
  void SetOverlayIndex(int i);
  int StateIndex() const { return stateIndex_; }
  void SetStateIndex(int i);
  bool HasChildren() const { return hasChildren_; }
  void SetHasChildren(bool v);
  bool Cut() const { return cut_; }
  void SetCut(bool v);
  bool DropTarget() const;
  void SetDropTarget(bool v);
  bool Expanded() const;
  void SetExpanded(bool v);
  void Expand(bool recurse = false);
  void Collapse(bool recurse = false);
  bool Selected() const;
  void SetSelected(bool v);
  // Whether the node is shown (its parents are expanded); false without a window.
  bool IsVisible() const;
  // The node's rectangle in client coordinates (the text part only with textOnly).
  TRect DisplayRect(bool textOnly) const;
  void MakeVisible();
  bool EditText();
  void EndEdit(bool cancel);
  void Delete();
  void DeleteChildren();
  // Orders the children; the comparison's exception reaches the caller.
  void CustomSort(const std::function<int(TTreeNode*, TTreeNode*)>& compare);
  void AlphaSort();

 private:
  friend class TTreeNodes;
  friend class TCustomTreeView;
  explicit TTreeNode(TCustomTreeView* tree) : tree_(tree) {}
  ~TTreeNode() = default;
  void SetState(UINT mask, UINT state);
  HWND Window() const;

  TCustomTreeView* tree_;
  TTreeNode* parent_ = nullptr;
  std::vector<TTreeNode*> children_;
  HTREEITEM item_ = nullptr;
  std::string text_;
  void* data_ = nullptr;
  int image_ = -1, selectedImage_ = -1, overlay_ = -1, stateIndex_ = -1;
  bool hasChildren_ = false, cut_ = false, expanded_ = false, dropTarget_ = false;
  bool deleted_ = false;  // passed through Delete
};

class TTreeNodes {
 public:
  explicit TTreeNodes(TCustomTreeView& tree) : tree_(tree) {}
  ~TTreeNodes();
  TTreeNodes(const TTreeNodes&) = delete;
  TTreeNodes& operator=(const TTreeNodes&) = delete;

  // A node after sibling's last sibling (a root for a null sibling).
  TTreeNode* Add(TTreeNode* sibling, const std::string& text);
  TTreeNode* AddObject(TTreeNode* sibling, const std::string& text, void* data);
  TTreeNode* AddChild(TTreeNode* parent, const std::string& text);
  TTreeNode* AddChildObject(TTreeNode* parent, const std::string& text, void* data);
  void Delete(TTreeNode* node);
  void Clear();
  TTreeNode* GetFirstNode() const { return roots_.empty() ? nullptr : roots_.front(); }
  int RootCount() const { return int(roots_.size()); }
  int Count() const;  // all nodes
  // The node of a window item; null when there is none.
  TTreeNode* GetNode(HTREEITEM item) const;
  void BeginUpdate();
  void EndUpdate();

 private:
  friend class TTreeNode;
  friend class TCustomTreeView;
  std::vector<TTreeNode*>& Siblings(TTreeNode* parent) { return parent ? parent->children_ : roots_; }
  void Insert(TTreeNode* node);
  void InsertAll(const std::vector<TTreeNode*>& nodes);
  void Release(TTreeNode* node, bool runDelete);

  TCustomTreeView& tree_;
  std::vector<TTreeNode*> roots_;
  int updates_ = 0;
};

using TTVChangedEvent = TEvent<void(TObject* Sender, TTreeNode* Node)>;
using TTVChangingEvent = TEvent<void(TObject* Sender, TTreeNode* Node, bool& AllowChange)>;
using TTVExpandingEvent = TEvent<void(TObject* Sender, TTreeNode* Node, bool& AllowExpansion)>;
using TTVCollapsingEvent = TEvent<void(TObject* Sender, TTreeNode* Node, bool& AllowCollapse)>;
using TTVExpandedEvent = TEvent<void(TObject* Sender, TTreeNode* Node)>;
using TTVEditingEvent = TEvent<void(TObject* Sender, TTreeNode* Node, bool& AllowEdit)>;
using TTVEditedEvent = TEvent<void(TObject* Sender, TTreeNode* Node, std::string& S)>;

class TCustomTreeView : public TWinControl {
  FW_CLASS(TCustomTreeView, TWinControl)

 public:
  explicit TCustomTreeView(TComponent* owner);
  ~TCustomTreeView() override;

  TTreeNodes& Items() { return items_; }
  TTreeNode* Selected() const;
  void SetSelected(TTreeNode* node);
  TTreeNode* DropTarget() const;
  TTreeNode* GetNodeAt(int x, int y) const;
  bool IsEditing() const;

  bool ShowRoot() const { return showRoot_; }
  void SetShowRoot(bool v);
  bool ShowButtons() const { return showButtons_; }
  void SetShowButtons(bool v);
  bool ShowLines() const { return showLines_; }
  void SetShowLines(bool v);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v);
  bool HideSelection() const { return hideSelection_; }
  void SetHideSelection(bool v);
  int Indent() const;
  void SetIndent(int v);
  TDragMode DragMode() const { return dragMode_; }
  void SetDragMode(TDragMode m);
  TImageList* Images() const { return images_.Get(); }
  void SetImages(TImageList* images);
  TImageList* StateImages() const { return stateImages_.Get(); }
  void SetStateImages(TImageList* images);

  TTVChangedEvent OnChange;
  TTVChangingEvent OnChanging;
  TTVExpandingEvent OnExpanding;
  TTVExpandedEvent OnExpanded;
  TTVCollapsingEvent OnCollapsing;
  TTVExpandedEvent OnCollapsed;
  TTVEditingEvent OnEditing;
  TTVEditedEvent OnEdited;
  TTVExpandedEvent OnDeletion;
  TTVExpandedEvent OnGetImageIndex;
  TTVExpandedEvent OnGetSelectedIndex;

 protected:
  friend class TTreeNode;
  friend class TTreeNodes;
  void CreateParams(TCreateParams& params) override;
  void CreateWindowHandle() override;
  void DestroyWnd() override;
  void BeforeDestruction() override;
  void CNNotify(TMessage& m) override;
  // Each node that goes, once (see the header).
  virtual void Delete(TTreeNode* node);
  virtual bool CanChange(TTreeNode* node);
  virtual void Change(TTreeNode* node);
  virtual bool CanExpand(TTreeNode* node);
  virtual void Expand(TTreeNode* node);
  virtual bool CanCollapse(TTreeNode* node);
  virtual void Collapse(TTreeNode* node);
  virtual bool CanEdit(TTreeNode* node);
  // The end of a label edit with text S: OnEdited may change it; the node takes it.
  virtual void Edit(TTreeNode* node, std::string& S);
  void SetStyle(DWORD bit, bool on);
  // Whether notifications are ours to act on (not while the window is being remade).
  bool Recreating() const { return recreating_; }

 private:
  void ApplyImageLists();
  TTreeNodes items_{*this};
  bool showRoot_ = true, showButtons_ = true, showLines_ = true, readOnly_ = false, hideSelection_ = true;
  int indent_ = 19;
  TDragMode dragMode_ = TDragMode::dmManual;
  TLink<TImageList> images_{this};
  TLink<TImageList> stateImages_{this};
  bool recreating_ = false;
  TTreeNode* savedSelection_ = nullptr;
};

class TTreeView : public TCustomTreeView {
  FW_CLASS(TTreeView, TCustomTreeView)

 public:
  explicit TTreeView(TComponent* owner) : TCustomTreeView(owner) {}
};
