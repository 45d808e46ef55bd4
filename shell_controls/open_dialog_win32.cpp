#include "shell_controls/open_dialog_win32.h"

#include <algorithm>

#include "framework/core/registry.h"
#include "framework/core/sysutils.h"
#include "framework/win/application.h"
#include "framework/win/registry_win32.h"
#include "shell_controls/shell_seam_win32.h"
#include "shell_controls/shell_startup_win32.h"

namespace {

const TTypeInfo kWindowStates{{"wsNormal", "wsMinimized", "wsMaximized"}, {}};

const TTypeInfo& OpenOptionsType() {
  static const TTypeInfo info{OpenOptionNames(), {}};
  return info;
}

class TCursorScope {
 public:
  TCursorScope() : old_(Screen ? Screen->Cursor() : crDefault) {
    if (Screen) Screen->SetCursor(crHourGlass);
  }
  ~TCursorScope() { Restore(); }
  void Restore() {
    if (Screen && !restored_) Screen->SetCursor(old_);
    restored_ = true;
  }

 private:
  TCursor old_;
  bool restored_ = false;
};

// The glyphs of the five speed buttons, 16 x 16 on the button face.
enum TGlyph { gUp, gNewFolder, gTree, gList, gDetails };

void DrawFolder(TCanvas& c, int x, int y) {
  c.Pen().SetColor(clBlack);
  c.Brush().SetColor(0x00C0FFFF);
  c.Polygon({{x, y + 2}, {x + 4, y + 2}, {x + 5, y + 3}, {x + 11, y + 3}, {x + 11, y + 10}, {x, y + 10}});
}

void MakeGlyph(TBitmap& b, TGlyph g) {
  b.SetSize(16, 16);
  TCanvas& c = b.Canvas();
  c.Brush().SetColor(clBtnFace);
  c.Brush().SetStyle(TBrushStyle::bsSolid);
  c.FillRect({0, 0, 16, 16});
  c.Pen().SetColor(clBlack);
  switch (g) {
    case gUp:
      DrawFolder(c, 1, 3);
      c.Pen().SetColor(clBlack);
      c.MoveTo(8, 11);
      c.LineTo(8, 5);
      c.LineTo(14, 5);
      c.MoveTo(6, 7);
      c.LineTo(8, 4);
      c.LineTo(11, 8);
      break;
    case gNewFolder:
      DrawFolder(c, 1, 4);
      c.Pen().SetColor(0x0000C0C0);
      for (int i = -2; i <= 2; ++i) {
        c.MoveTo(13 + i, 1);
        c.LineTo(13 - i, 6);
      }
      c.MoveTo(10, 3);
      c.LineTo(16, 3);
      break;
    case gTree:
      c.MoveTo(3, 2);
      c.LineTo(3, 13);
      for (int y : {4, 8, 12}) {
        c.MoveTo(3, y);
        c.LineTo(7, y);
        c.Brush().SetColor(0x00C0FFFF);
        c.Rectangle(7, y - 2, 14, y + 2);
      }
      break;
    case gList:
      for (int col : {1, 9})
        for (int y : {2, 6, 10}) {
          c.Brush().SetColor(clNavy);
          c.FillRect({col, y, col + 3, y + 3});
          c.MoveTo(col + 4, y + 1);
          c.LineTo(col + 7, y + 1);
        }
      break;
    case gDetails:
      for (int y : {2, 6, 10}) {
        c.Brush().SetColor(clNavy);
        c.FillRect({1, y, 4, y + 3});
        c.MoveTo(5, y + 1);
        c.LineTo(15, y + 1);
      }
      break;
  }
}

}  // namespace

void MakeUpFolderGlyph(TBitmap& bitmap) { MakeGlyph(bitmap, gUp); }

// ---- TQsDialog

const TClassInfo& TQsDialog::StaticClass() {
  static const TClassInfo info{"TQsDialog", &TComponent::StaticClass(), nullptr, {}};
  return info;
}

bool TQsDialog::Execute() {
  if (executing_) throw Exception(std::string(ClassName()) + " already executing");
  executing_ = true;
  struct Clear {
    bool& f;
    ~Clear() { f = false; }
  } clear{executing_};
  return DoExecute();
}

void TQsDialog::DoInitialized() {
  if (!(ComponentState() & (csLoading | csDestroying))) OnInitialized(this);
}

shell::TQsDialogState TQsDialog::State() const {
  shell::TQsDialogState s;
  s.FormWidth = formWidth_;
  s.FormHeight = formHeight_;
  s.WindowState = uint8_t(formState_);
  return s;
}

void TQsDialog::TakeState(const shell::TQsDialogState& s) {
  formWidth_ = s.FormWidth;
  formHeight_ = s.FormHeight;
  formState_ = s.WindowState <= 2 ? TWindowState(s.WindowState) : TWindowState::wsNormal;
}

void TQsDialog::LoadState(TStream& stream) { TakeState(shell::ReadDialogState(stream, false)); }

void TQsDialog::SaveState(TStream& stream) { shell::WriteDialogState(stream, State(), false); }

// ---- TQsFileDlg

const TClassInfo& TQsFileDlg::StaticClass() {
  static const TClassInfo info{"TQsFileDlg", &TQsDialog::StaticClass(), nullptr, {}};
  return info;
}

template <class T>
static std::vector<TPropInfo> FileDialogProps() {
  using P = TProps<T>;
  return {P::Str("Title", &T::Title, &T::SetTitle).WithDefault(std::string()),
          P::Set("Options", &OpenOptionsType(), &T::Options, &T::SetOptions).WithDefault(int64_t(kDefaultOpenOptions)),
          P::Str("Filter", &T::Filter, &T::SetFilter).WithDefault(std::string()),
          P::Int("FilterIndex", &T::FilterIndex, &T::SetFilterIndex).WithDefault(int64_t(1)),
          P::Int("FormWidth", &T::FormWidth, &T::SetFormWidth).WithDefault(int64_t(-1)),
          P::Int("FormHeight", &T::FormHeight, &T::SetFormHeight).WithDefault(int64_t(-1)),
          P::template Enum<TWindowState>("FormWindowState", &kWindowStates, &T::FormWindowState, &T::SetFormWindowState)
              .WithDefault(int64_t(0)),
          P::Int("FormSplitterPos", &T::FormSplitterPos, &T::SetFormSplitterPos).WithDefault(int64_t(-1)),
          P::Int("HelpContext", &T::HelpContext, &T::SetHelpContext).WithDefault(int64_t(0)),
          P::Str("InitialDir", &T::InitialDir, &T::SetInitialDir).WithDefault(std::string()),
          P::Str("DefaultExt", &T::DefaultExt, &T::SetDefaultExt).WithDefault(std::string()),
          P::Event("OnAddListItem", &T::OnAddListItem),
          P::Event("OnAddTreeItem", &T::OnAddTreeItem),
          P::Event("OnAddComboItem", &T::OnAddComboItem),
          P::Event("OnInitialized", &T::OnInitialized),
          P::Event("OnLvCustomDrawSh", &T::OnLvCustomDrawSh),
          P::Event("OnLvCustomDrawShEx", &T::OnLvCustomDrawShEx),
          P::Event("OnTvCustomDrawSh", &T::OnTvCustomDrawSh),
          P::Event("OnTvCustomDrawShEx", &T::OnTvCustomDrawShEx)};
}

const TClassInfo& TQsOpenDlg::StaticClass() {
  static const TClassInfo info{"TQsOpenDlg", &TQsFileDlg::StaticClass(), Factory<TQsOpenDlg>(),
                               FileDialogProps<TQsOpenDlg>()};
  return info;
}

const TClassInfo& TQsSaveDlg::StaticClass() {
  static const TClassInfo info{"TQsSaveDlg", &TQsFileDlg::StaticClass(), Factory<TQsSaveDlg>(),
                               FileDialogProps<TQsSaveDlg>()};
  return info;
}

TQsFileDlg::TQsFileDlg(TComponent* owner)
    : TQsDialog(owner), history_(std::make_unique<TStringList>()), files_(std::make_unique<TStringList>()) {}

TQsFileDlg::~TQsFileDlg() = default;

std::string TQsFileDlg::GetFileName() const { return files_->Count() > 0 ? files_->Get(0) : fileName_; }

void TQsFileDlg::LoadState(TStream& stream) {
  shell::TQsDialogState s = shell::ReadDialogState(stream, true);
  TakeState(s);
  if (s.ShowTree)
    options_ |= qsofShowTree;
  else
    options_ &= ~qsofShowTree;
  splitterPos_ = s.SplitterPos;
}

void TQsFileDlg::SaveState(TStream& stream) {
  shell::TQsDialogState s = State();
  s.ShowTree = options_ & qsofShowTree;
  s.SplitterPos = splitterPos_;
  shell::WriteDialogState(stream, s, true);
}

TQsFrmOpenDlg* TQsFileDlg::CreateForm() {
  auto* form = static_cast<TQsFrmOpenDlg*>(TQsFrmOpenDlg::StaticClass().Create(Application));
  try {
    form->Setup(*this);
  } catch (...) {
    form->Free();
    throw;
  }
  return form;
}

bool TQsFileDlg::DoExecute() {
  if (form_) throw Exception(Format("%s already executing", {Name()}));
  TCursorScope cursor;
  files_->Clear();
  struct Done {
    TQsFileDlg& d;
    ~Done() {
      if (d.form_) d.form_->Free();
      d.form_ = nullptr;
    }
  } done{*this};
  form_ = CreateForm();
  // The hourglass covers the making of the form, not the user's time in it.
  cursor.Restore();
  bool ok = form_->ShowModal() == mrOk;
  for (const std::string& f : form_->Results()) files_->Add(f);
  if (!IsSaveDialog()) {
    if (form_->ReadOnlyChk->Checked())
      options_ |= qsofReadOnly;
    else
      options_ &= ~qsofReadOnly;
  }
  TRect normal = form_->NormalBounds();
  SetFormWidth(normal.Width());
  SetFormHeight(normal.Height());
  filterIndex_ = form_->FileTypesCbx->ItemIndex() + 1;
  SetFormWindowState(form_->WindowState());
  // A hidden tree keeps the width it had when it was shown.
  if (form_->TreeShown()) splitterPos_ = form_->QsSplitter1->Position();
  return ok;
}

// ---- TQsFrmOpenDlg

const TClassInfo& TQsFrmOpenDlg::StaticClass() {
  static const TClassInfo info{"TQsFrmOpenDlg", &TForm::StaticClass(), Factory<TQsFrmOpenDlg>(), {}, "TQSFRMOPENDLG"};
  return info;
}

const TMethodTable* TQsFrmOpenDlg::Methods() const {
  using F = TQsFrmOpenDlg;
  static const TMethodTable t = TMethodTable::Of<F>()
                                    .Field("LookInTxt", &F::LookInTxt)
                                    .Field("QsShellCombo1", &F::QsShellCombo1)
                                    .Field("UpOneLevelBtn", &F::UpOneLevelBtn)
                                    .Field("CreateNewFolderBtn", &F::CreateNewFolderBtn)
                                    .Field("ShowTreeBtn", &F::ShowTreeBtn)
                                    .Field("ListBtn", &F::ListBtn)
                                    .Field("DetailsBtn", &F::DetailsBtn)
                                    .Field("QsSplitter1", &F::QsSplitter1)
                                    .Field("QsSplitter1_pane1", &F::QsSplitter1_pane1)
                                    .Field("QsSplitter1_pane2", &F::QsSplitter1_pane2)
                                    .Field("QsShellTree1", &F::QsShellTree1)
                                    .Field("QsShellList1", &F::QsShellList1)
                                    .Field("Panel1", &F::Panel1)
                                    .Field("FileNameTxt", &F::FileNameTxt)
                                    .Field("FilesOfTypeTxt", &F::FilesOfTypeTxt)
                                    .Field("FileNameEdt", &F::FileNameEdt)
                                    .Field("FileNameCbx", &F::FileNameCbx)
                                    .Field("FileTypesCbx", &F::FileTypesCbx)
                                    .Field("OpenBtn", &F::OpenBtn)
                                    .Field("CancelBtn", &F::CancelBtn)
                                    .Field("HelpBtn", &F::HelpBtn)
                                    .Field("ReadOnlyChk", &F::ReadOnlyChk)
                                    .Field("LvPopup", &F::LvPopup)
                                    .Field("View1Mitm", &F::View1Mitm)
                                    .Field("LargeIcons1Mitm", &F::LargeIcons1Mitm)
                                    .Field("Smallicons1MItm", &F::Smallicons1MItm)
                                    .Field("List1Mitm", &F::List1Mitm)
                                    .Field("Details1Mitm", &F::Details1Mitm)
                                    .Field("Paste1Mitm", &F::Paste1Mitm)
                                    .Field("New1Mitm", &F::New1Mitm)
                                    .Field("Folder1Mitm", &F::Folder1Mitm)
                                    .Field("Properties1Mitm", &F::Properties1Mitm)
                                    .Handler<TNotifyEvent>("ViewBtnClick", &F::ViewBtnClick)
                                    .Handler<TNotifyEvent>("FormResize", &F::FormResize)
                                    .Handler<TLVChangeEvent>("QsShellList1Change", &F::QsShellList1Change)
                                    .Handler<TNotifyEvent>("UpOneLevelBtnClick", &F::UpOneLevelBtnClick)
                                    .Handler<TNotifyEvent>("ShowTreeBtnClick", &F::ShowTreeBtnClick)
                                    .Handler<TNotifyEvent>("FormDestroy", &F::FormDestroy)
                                    .Handler<TKeyEvent>("FormKeyDown", &F::FormKeyDown)
                                    .Handler<TCloseQueryEvent>("FormCloseQuery", &F::FormCloseQuery)
                                    .Handler<TTVChangedEvent>("QsShellTree1Change", &F::QsShellTree1Change)
                                    .Handler<TNotifyEvent>("FileTypesCbxSelEndOk", &F::FileTypesCbxSelEndOk)
                                    .Handler<TNotifyEvent>("CreateNewFolderBtnClick", &F::CreateNewFolderBtnClick)
                                    .Handler<TNotifyEvent>("FileNameEdtChange", &F::FileNameEdtChange)
                                    .Handler<TNotifyEvent>("Paste1MitmClick", &F::Paste1MitmClick)
                                    .Handler<TNotifyEvent>("Properties1MitmClick", &F::Properties1MitmClick)
                                    .Handler<TNotifyEvent>("HelpBtnClick", &F::HelpBtnClick);
  return &t;
}

TQsFrmOpenDlg::TQsFrmOpenDlg(TComponent* owner) : TForm(owner) {}

void TQsFrmOpenDlg::MakeGlyphs() {
  MakeGlyph(UpOneLevelBtn->Glyph(), gUp);
  MakeGlyph(CreateNewFolderBtn->Glyph(), gNewFolder);
  MakeGlyph(ShowTreeBtn->Glyph(), gTree);
  MakeGlyph(ListBtn->Glyph(), gList);
  MakeGlyph(DetailsBtn->Glyph(), gDetails);
}

void TQsFrmOpenDlg::Setup(TQsFileDlg& dialog) {
  dialog_ = &dialog;
  options_ = dialog.Options();
  MakeGlyphs();
  SetMinTrackSize({459, 274});
  QsShellList1->OnDblClickOpen = TQsShDblClickOpenEvent([this](TObject*, bool& handled) {
    SetModalResult(mrOk);
    handled = true;
  });
  if (options_ & qsofOleDrag) {
    QsShellList1->SetOptions(QsShellList1->Options() | qssloOleDrag);
    QsShellTree1->SetOptions(QsShellTree1->Options() | qsstoOleDrag);
  }
  if (options_ & qsofOleDrop) {
    QsShellList1->SetOptions(QsShellList1->Options() | qssloOleDrop);
    QsShellTree1->SetOptions(QsShellTree1->Options() | qsstoOleDrop);
  }
  SetShowHint(options_ & qsofShowHints);
  if (!dialog.Title().empty()) SetCaption(dialog.Title());
  if (dialog.FormWidth() > 0) SetWidth(dialog.FormWidth());
  if (dialog.FormHeight() > 0) SetHeight(dialog.FormHeight());
  SetWindowState(dialog.FormWindowState());
  if (!(options_ & qsofAllowTree)) {
    ShowTreeBtn->SetVisible(false);
    int shift = ListBtn->Left() - ShowTreeBtn->Left();
    ListBtn->SetLeft(ListBtn->Left() - shift);
    DetailsBtn->SetLeft(DetailsBtn->Left() - shift);
  }
  if (options_ & qsofHideFoldersInListWhenTreeVisible)
    QsShellList1->SetOptions(QsShellList1->Options() | qssloHideFoldersWhenLinkedToTree);
  QsShellList1->OnAddItem = dialog.OnAddListItem;
  QsShellTree1->OnAddItem = dialog.OnAddTreeItem;
  QsShellCombo1->OnAddItem = dialog.OnAddComboItem;

  for (const shell::TFilterEntry& e : shell::SplitFilter(dialog.Filter())) {
    FileTypesCbx->Items().Add(e.Description);
    masks_.push_back(e.Mask);
  }
  shell::TFilterChoice choice = shell::ChooseFilter(dialog.FilterIndex(), FileTypesCbx->Items().Count());
  if (choice.Index >= 0) FileTypesCbx->SetItemIndex(choice.Index);
  if (choice.Apply) FileTypesCbxSelEndOk(FileTypesCbx);

  QsShellList1->SetMultiSelect(options_ & qsofAllowMultiselect);
  ReadOnlyChk->SetVisible(!(options_ & qsofHideReadOnly));
  ReadOnlyChk->SetChecked(options_ & qsofReadOnly);
  HelpBtn->SetVisible(options_ & qsofShowHelp);
  std::string folder = dialog.InitialDir();
  if (folder.empty()) folder = ExcludeTrailingBackslash(ExtractFilePath(dialog.GetFileName()));
  if (folder.empty()) {
    char cwd[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, cwd);
    folder = cwd;
  }
  QsShellCombo1->GetFolder().SetPath(folder);

  int bottom = 0;
  for (TControl* c : Panel1->ControlList())
    if (c->Visible()) bottom = std::max(bottom, c->Top() + c->Height());
  Panel1->SetHeight(bottom + 4);
  Realign();
  FormResize(this);  // the splitter has its size before the tree takes its width
  ShowTree(options_ & qsofShowTree);
  SendMessageA(FileTypesCbx->Handle(), CB_SETEXTENDEDUI, 1, 0);
  QsShellList1->OnCustomDrawSh = dialog.OnLvCustomDrawSh;
  QsShellList1->OnCustomDrawShEx = dialog.OnLvCustomDrawShEx;
  QsShellTree1->OnCustomDrawSh = dialog.OnTvCustomDrawSh;
  QsShellTree1->OnCustomDrawShEx = dialog.OnTvCustomDrawShEx;
  ApplyTexts();
  settingText_ = true;
  // A preset name in the folder shown needs only its file part; one in another folder keeps
  // its folder, which would be lost otherwise.
  const std::string preset = dialog.GetFileName();
  const std::string presetFolder = ExcludeTrailingBackslash(ExtractFilePath(preset));
  FileNameEdt->SetText(presetFolder.empty() || SameText(presetFolder, ExcludeTrailingBackslash(folder))
                           ? ExtractFileName(preset)
                           : preset);
  settingText_ = false;
  FormResize(this);
  dialog.DoInitialized();
}

void TQsFrmOpenDlg::ApplyTexts() {
  Font().SetName(LoadShString(52594));
  CancelBtn->SetCaption(LoadShString(52507));
  HelpBtn->SetCaption(LoadShString(52508));
  UpOneLevelBtn->SetHint(LoadShString(52500));
  CreateNewFolderBtn->SetHint(LoadShString(52501));
  ListBtn->SetHint(LoadShString(52583) + "|" + LoadShString(52579));
  DetailsBtn->SetHint(LoadShString(52584) + "|" + LoadShString(52580));
  ReadOnlyChk->SetCaption(LoadShString(52509));
  FileNameTxt->SetCaption(LoadShString(52504));
  ShowTreeBtn->SetHint(LoadShString(52586));
  bool save = dialog_ && dialog_->IsSaveDialog();
  LookInTxt->SetCaption(LoadShString(save ? 52481 : 52503));
  FilesOfTypeTxt->SetCaption(LoadShString(save ? 52485 : 52505));
  OpenBtn->SetCaption(LoadShString(save ? 52482 : 52506));
  if (!dialog_ || dialog_->Title().empty()) SetCaption(LoadShString(save ? 52483 : 52484));
  struct Item {
    TMenuItem* item;
    UINT caption, hint;
  };
  for (const Item& i : {Item{View1Mitm, 52521, 52576}, Item{LargeIcons1Mitm, 52511, 52577},
                        Item{Smallicons1MItm, 52512, 52578}, Item{List1Mitm, 52513, 52579},
                        Item{Details1Mitm, 52514, 52580}, Item{Paste1Mitm, 52517, 52573},
                        Item{New1Mitm, 52527, 52575}, Item{Folder1Mitm, 52528, 52531},
                        Item{Properties1Mitm, 52520, 52570}}) {
    i.item->SetCaption(LoadShString(i.caption));
    i.item->SetHint(LoadShString(i.hint));
  }
  // The edits and the combo start after the longer label, their right edges kept.
  auto labelRight = [](TLabel* l) {
    std::string text;
    for (char ch : l->Caption())
      if (ch != '&') text += ch;
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, l->Font().Handle());
    SIZE size{};
    GetTextExtentPoint32A(dc, text.c_str(), int(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return l->Left() + int(size.cx);
  };
  int c = std::max(labelRight(FileNameTxt), labelRight(FilesOfTypeTxt)) + 8;
  for (TControl* ctl : std::initializer_list<TControl*>{FileTypesCbx, FileNameEdt, ReadOnlyChk}) {
    int right = ctl->Left() + ctl->Width();
    ctl->SetBounds(c, ctl->Top(), right - c, ctl->Height());
  }
  int comboLeft = labelRight(LookInTxt) + 8;
  int comboRight = QsShellCombo1->Left() + QsShellCombo1->Width();
  QsShellCombo1->SetBounds(comboLeft, QsShellCombo1->Top(), comboRight - comboLeft, QsShellCombo1->Height());
}

bool TQsFrmOpenDlg::TreeShown() const {
  return QsShellCombo1->ShellTree() == QsShellTree1 && QsSplitter1->Position() > -QsSplitter1->SplitterWidth();
}

void TQsFrmOpenDlg::ShowTree(bool on) {
  int width = QsSplitter1->SplitterWidth();
  if (on) {
    if (TreeShown()) return;
    ShowTreeBtn->SetDown(true);
    try {
      if (QsShellCombo1->ShellTree() == QsShellTree1) {
        QsShellTree1->SetShellList(QsShellList1);
      } else {
        TCursorScope hourglass;
        QsShellTree1->CurrentFolder().Assign(&QsShellCombo1->GetFolder());
        QsShellCombo1->SetShellList(nullptr);
        QsShellList1->SetShellCombo(nullptr);
        QsShellCombo1->SetShellTree(QsShellTree1);
        QsShellTree1->SetShellList(QsShellList1);
        QsSplitter1->SetPaneMinSize(0, 4);
      }
      int pos = dialog_ ? dialog_->FormSplitterPos() : -1;
      QsSplitter1->SetPosition(pos < 0 ? 200 : pos);
    } catch (...) {
      ShowTreeBtn->SetDown(false);
      throw;
    }
    options_ |= qsofShowTree;
    if (dialog_) dialog_->SetOptions(dialog_->Options() | qsofShowTree);
    QsShellTree1->SetTabStop(true);
  } else {
    ShowTreeBtn->SetDown(false);
    if (QsShellTree1->Focused()) QsShellList1->SetFocus();
    QsShellTree1->SetTabStop(false);
    QsShellTree1->SetShellList(nullptr);
    QsShellCombo1->SetShellTree(nullptr);
    QsShellCombo1->SetShellList(QsShellList1);
    if (dialog_ && QsSplitter1->Position() >= 0 && QsShellCombo1->ShellTree() == nullptr &&
        QsSplitter1->Position() > -width && (options_ & qsofShowTree))
      dialog_->SetFormSplitterPos(QsSplitter1->Position());
    QsSplitter1->SetPaneMinSize(0, -width);
    QsSplitter1->SetPosition(-width);
    options_ &= ~qsofShowTree;
    if (dialog_) dialog_->SetOptions(dialog_->Options() & ~qsofShowTree);
  }
  if (QsShellList1->Visible() && (QsShellList1->Options() & qssloHideFoldersWhenLinkedToTree)) QsShellList1->Refresh();
}

void TQsFrmOpenDlg::ShowTreeBtnClick(TObject*) { ShowTree(!TreeShown()); }

void TQsFrmOpenDlg::FormResize(TObject*) {
  if (!QsSplitter1 || !Panel1) return;
  int top = QsShellCombo1->Top() + QsShellCombo1->Height() + 4;
  QsSplitter1->SetBounds(4, top, std::max(0, ClientWidth() - 8), std::max(0, Panel1->Top() - top));
  int x = ClientWidth() - OpenBtn->Width() - 4;
  for (TButton* b : {OpenBtn, CancelBtn, HelpBtn}) b->SetLeft(x);
  for (TControl* c : std::initializer_list<TControl*>{FileNameEdt, FileNameCbx, FileTypesCbx})
    c->SetWidth(std::max(0, x - 8 - c->Left()));
}

void TQsFrmOpenDlg::SetView(int tag) {
  static const TViewStyle styles[4] = {TViewStyle::vsIcon, TViewStyle::vsSmallIcon, TViewStyle::vsList,
                                       TViewStyle::vsReport};
  if (tag < 0 || tag > 3) return;
  QsShellList1->SetViewStyle(styles[tag]);
  for (TSpeedButton* b : {ListBtn, DetailsBtn}) b->SetDown(b->Tag() == tag);
  for (TMenuItem* m : {LargeIcons1Mitm, Smallicons1MItm, List1Mitm, Details1Mitm}) m->SetChecked(m->Tag() == tag);
}

void TQsFrmOpenDlg::ViewBtnClick(TObject* sender) {
  if (auto* c = dynamic_cast<TComponent*>(sender)) SetView(c->Tag());
}

void TQsFrmOpenDlg::QsShellList1Change(TObject*, TListItem*, TItemChange change) {
  if (change != TItemChange::ctState) return;
  std::vector<shell::TListEntry> entries;
  int focused = -1;
  bool several = QsShellList1->SelCount() > 1;
  for (int i = 0; i < QsShellList1->Items().Count(); ++i) {
    TListItem* item = QsShellList1->Items()[i];
    TQsShListData* d = QsShellList1->GetItemData(i);
    if (!d) continue;
    if (item == QsShellList1->ItemFocused()) focused = int(entries.size());
    bool selected = item->Selected();
    entries.push_back({selected ? (several ? d->GetFileName() : d->GetDisplayName()) : std::string(),
                       selected && d->IsFolder(), selected});
  }
  std::string text = shell::SelectionText(entries, focused);
  if (text.empty()) return;
  settingText_ = true;
  FileNameEdt->SetText(text);
  settingText_ = false;
  filledFromList_ = true;
}

void TQsFrmOpenDlg::FileNameEdtChange(TObject*) {
  if (!settingText_) filledFromList_ = false;
}

void TQsFrmOpenDlg::QsShellTree1Change(TObject*, TTreeNode*) {
  settingText_ = true;
  FileNameEdt->SetText("");
  settingText_ = false;
  filledFromList_ = false;
}

void TQsFrmOpenDlg::ApplyFilter(int index) {
  if (index < 0 || size_t(index) >= masks_.size()) return;
  QsShellList1->SetFileFilter(masks_[size_t(index)]);
  QsShellList1->Refresh();
}

void TQsFrmOpenDlg::FileTypesCbxSelEndOk(TObject*) {
  if (!mask_.empty()) {
    settingText_ = true;
    FileNameEdt->SetText("");
    settingText_ = false;
    mask_.clear();
  }
  ApplyFilter(FileTypesCbx->ItemIndex());
}

void TQsFrmOpenDlg::UpOneLevelBtnClick(TObject*) { QsShellCombo1->GoUpLevels(1); }

void TQsFrmOpenDlg::CreateNewFolderBtnClick(TObject*) {
  if (QsShellTree1->Focused() || (TreeShown() && (options_ & qsofHideFoldersInListWhenTreeVisible)))
    QsShellTree1->CreateNewFolder();
  else
    QsShellList1->CreateNewFolder(true);
}

void TQsFrmOpenDlg::Paste1MitmClick(TObject*) { QsShellList1->InvokeFolderVerb("paste"); }

void TQsFrmOpenDlg::Properties1MitmClick(TObject*) {
  if (QsShellList1->SelCount() > 0)
    QsShellList1->InvokeSelectionVerb("properties");
  else
    QsShellList1->InvokeFolderVerb("properties");
}

void TQsFrmOpenDlg::HelpBtnClick(TObject*) {
  if (Application && dialog_) Application->HelpContext(dialog_->HelpContext());
}

void TQsFrmOpenDlg::FormDestroy(TObject*) { masks_.clear(); }

void TQsFrmOpenDlg::FormKeyDown(TObject*, uint16_t& key, TShiftState shift) {
  if (shift & (ssShift | ssCtrl | ssAlt)) return;
  if (key == VK_F4) {
    if (!QsShellCombo1->DroppedDown()) {
      QsShellCombo1->SetDroppedDown(true);
    } else {
      QsShellCombo1->SetDroppedDown(false);
      QsShellList1->SetFocus();
      SendMessageA(Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(QsShellCombo1->Handle()), CBN_SELENDOK),
                   reinterpret_cast<LPARAM>(QsShellCombo1->Handle()));
    }
    key = 0;
  } else if (key == VK_F5) {
    if (!QsShellCombo1->Focused()) QsShellCombo1->Rebuild();
    if (!QsShellList1->Focused()) QsShellList1->Refresh();
    if (QsShellTree1->ShellList() == QsShellList1 && !QsShellTree1->Focused()) QsShellTree1->RefreshInPlace();
    if (!QsShellList1->Focused() && !QsShellTree1->Focused()) key = 0;
  } else if (key == VK_F12) {
    if (options_ & qsofAllowTree) ShowTree(!TreeShown());
    key = 0;
  }
}

bool TQsFrmOpenDlg::Validate(const std::string& text) {
  TQsOpenOptions options = dialog_ ? dialog_->Options() : options_;
  shell::TValidation v = shell::Validate(*this, text, options, dialog_ ? dialog_->DefaultExt() : std::string(),
                                         filledFromList_);
  if (dialog_) dialog_->SetOptions(options);
  results_ = v.Files;
  return v.Ok;
}

void TQsFrmOpenDlg::FormCloseQuery(TObject*, bool& canClose) {
  if (ModalResult() == mrOk) {
    std::string text = FileNameEdt->Text();
    shell::TWildcard w = shell::ApplyWildcard(*this, text);
    if (!w.Mask.empty() || !w.Entered) {
      canClose = false;
      if (w.Entered) {
        mask_ = w.Mask;
        QsShellList1->SetFileFilter(mask_);
        QsShellList1->Refresh();
        settingText_ = true;
        FileNameEdt->SetText(mask_);
        settingText_ = false;
        FileNameEdt->SelectAll();
      }
      return;
    }
    canClose = Validate(text);
  }
  // The current directory follows the folder the list shows.
  if (canClose && !(options_ & qsofNoChangeDir)) {
    std::string dir = QsShellList1->Folder().GetPath();
    if (!dir.empty()) SetCurrentDirectoryA(dir.c_str());
  }
}

// ---- the validation's host

std::string TQsFrmOpenDlg::ShownFolder() { return PidlToPath(QsShellList1->FolderIdList()); }

bool TQsFrmOpenDlg::IsShellFolder(const std::string& full) {
  DWORD a = GetFileAttributesA(full.c_str());
  if (a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY)) return false;
  TPidl list;
  if (FAILED(PathToPidl(full, list.Out()))) return false;
  SHFILEINFOA fi{};
  fi.dwAttributes = SFGAO_FOLDER;
  if (!SHGetFileInfoA(reinterpret_cast<LPCSTR>(list.Get()), 0, &fi, sizeof fi, SHGFI_PIDL | SHGFI_ATTRIBUTES))
    return false;
  return fi.dwAttributes & SFGAO_FOLDER;
}

void TQsFrmOpenDlg::EnterFolder(const std::string& full) {
  TPidl list;
  OleCheck(PathToPidl(full, list.Out()));
  TComRef<IShellFolder> folder;
  OleCheck(QsShell().BindFolder(list.Get(), *folder.Out()));
  QsShellCombo1->GetFolder().SetIdList(list.Get());
  FileNameEdt->SelectAll();
}

shell::TFileState TQsFrmOpenDlg::StateOf(const std::string& full) {
  DWORD a = GetFileAttributesA(full.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return shell::TFileState::Missing;
  if (a & FILE_ATTRIBUTE_DIRECTORY) return shell::TFileState::Folder;
  return (a & FILE_ATTRIBUTE_READONLY) ? shell::TFileState::ReadOnlyFile : shell::TFileState::File;
}

std::string TQsFrmOpenDlg::ShortcutTarget(const std::string& full) {
  TQsShortcut link;
  if (FAILED(ReadShortcut(full, link, false))) return {};
  return link.Path;
}

bool TQsFrmOpenDlg::ExtensionRegistered(const std::string& ext) {
  try {
    TRegistry reg(SystemRegistry(), TRootKey::hkClassesRoot);
    return reg.KeyExists("\\" + ext);
  } catch (const Exception&) {
    return false;
  }
}

std::string TQsFrmOpenDlg::SelectedItemPath(const std::string& text) {
  TQsShListData* d = QsShellList1->GetSelectedData();
  if (!d || d->IsFolder() || d->GetDisplayName() != text) return {};
  return d->GetPath();
}

void TQsFrmOpenDlg::MoveToFolder(const std::string& folder) {
  TPidl list;
  OleCheck(PathToPidl(folder, list.Out()));
  QsShellCombo1->GetFolder().SetIdList(list.Get());
}

std::vector<std::string> TQsFrmOpenDlg::ItemsNamed(const std::string& name) {
  std::vector<std::string> paths;
  for (int i = 0; i < QsShellList1->Items().Count(); ++i)
    if (TQsShListData* d = QsShellList1->GetItemData(i))
      if (AnsiSameText(d->GetDisplayName(), name)) paths.push_back(d->GetPath());
  return paths;
}

void TQsFrmOpenDlg::SelectItemNamed(const std::string& name) {
  for (int i = 0; i < QsShellList1->Items().Count(); ++i)
    if (TQsShListData* d = QsShellList1->GetItemData(i))
      if (AnsiSameText(d->GetDisplayName(), name)) {
        for (int k = 0; k < QsShellList1->Items().Count(); ++k) QsShellList1->Items()[k]->SetSelected(k == i);
        QsShellList1->Items()[i]->SetFocused(true);
        QsShellList1->SetFocus();
        return;
      }
}

bool TQsFrmOpenDlg::Message(int id, const std::string& argument) {
  std::string text = FormatTolerant(LoadShString(UINT(id)), {argument});
  UINT flags = MB_OK | MB_ICONWARNING;
  switch (shell::MessageKindOf(id)) {
    case shell::TMessageKind::WarningYesNo:
      flags = MB_YESNO | MB_ICONWARNING;
      break;
    case shell::TMessageKind::QuestionYesNo:
      flags = MB_YESNO | MB_ICONQUESTION;
      break;
    case shell::TMessageKind::WarningOk:
      break;
  }
  return Application->MessageBox(text, Caption(), flags) == IDYES;
}

void RegisterOpenDialogClasses() {
  for (const TClassInfo* c : {&TQsOpenDlg::StaticClass(), &TQsSaveDlg::StaticClass(), &TQsFrmOpenDlg::StaticClass()})
    if (!FindClass(c->Name())) RegisterClass(*c);
}
