#include "framework/controls/register.h"

#include "framework/controls/buttons.h"
#include "framework/controls/comctrls.h"
#include "framework/controls/dialogs.h"
#include "framework/controls/extctrls.h"
#include "framework/controls/graphctrls.h"
#include "framework/controls/imglist.h"
#include "framework/controls/listview.h"
#include "framework/controls/scrollbar.h"
#include "framework/controls/scrollbox.h"
#include "framework/controls/treeview.h"
#include "framework/controls/stdctrls.h"
#include "framework/controls/tabctrl.h"
#include "framework/win/forms.h"
#include "framework/win/menus.h"
#include "framework/win/timer.h"

void RegisterFrameworkClasses() {
  for (const TClassInfo* c :
       {&TForm::StaticClass(), &TTimer::StaticClass(), &TButton::StaticClass(), &TCheckBox::StaticClass(),
        &TRadioButton::StaticClass(), &TGroupBox::StaticClass(), &TRadioGroup::StaticClass(), &TScrollBar::StaticClass(),
        &TLabel::StaticClass(), &TEdit::StaticClass(), &TMemo::StaticClass(), &TListBox::StaticClass(),
        &TComboBox::StaticClass(), &TPanel::StaticClass(), &TPageControl::StaticClass(),
        &TTabSheet::StaticClass(), &TProgressBar::StaticClass(), &TPopupMenu::StaticClass(),
        &TMenuItem::StaticClass(), &TImageList::StaticClass(), &TTreeView::StaticClass(),
        &TListView::StaticClass(), &TBitBtn::StaticClass(), &TScrollBox::StaticClass(),
        &TSpeedButton::StaticClass(), &TTabControl::StaticClass(), &TBevel::StaticClass(),
        &TImage::StaticClass(), &TGauge::StaticClass(), &TOpenDialog::StaticClass()})
    RegisterClass(*c);
}
