#include "builder/source_columns.h"

TColumnPlace ExpertColumnPlace(int tag, int sources, int firstLeft, int scrollHeight) {
  const bool extras = sources > 1;
  const int index = tag - 1;
  TColumnPlace p;
  p.ListWidth = extras ? 188 : 284;
  p.ComboWidth = extras ? 159 : 257;
  p.CheckWidth = p.ListWidth;
  p.Left = firstLeft + index * (extras ? 197 : 300);
  p.ListHeight = scrollHeight - (extras ? 87 : 72);
  p.CheckTop = p.ListHeight + 51;
  p.Ticked = tag < sources;
  p.ComboTab = 3 * index;
  p.ListTab = 3 * index + 1;
  p.CheckTab = 3 * index + 2;
  return p;
}

TColumnPlace WizardColumnPlace(int tag, int firstLeft) {
  TColumnPlace p;
  p.ListWidth = 173;
  p.ComboWidth = 144;
  p.CheckWidth = 190;
  p.Left = firstLeft + (tag - 1) * 194;
  p.ComboTab = 3 * (tag - 1);
  p.ListTab = p.ComboTab + 1;
  p.CheckTab = p.ComboTab + 2;
  return p;
}
