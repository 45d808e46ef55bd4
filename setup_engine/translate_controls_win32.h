#pragma once
// The setup's controls that the translator gives their captions by number (GLID), and the
// window system's part of the translator: the control steps of its walk and the form
// fonts of each language (Windows build only).
//
// How it works: RegisterSetupControlClasses registers the two controls for form text and
// installs the control steps, so TranslateComponent hides each control while it works on
// it (switching a label's AutoSize off), translates memo lines, list view column captions
// and list, combo and radio items, and then puts back what it changed and realigns.
// SetFormFont gives a form and every control on it the target language's font: the font
// set for the language when it overrides, else the table's charset and font at no less
// than its minimum size.
#include "framework/controls/buttons.h"
#include "framework/controls/stdctrls.h"
#include "setup_engine/translator.h"

class TTranslateLabel : public TLabel, public IGlidControl {
  FW_CLASS(TTranslateLabel, TLabel)

 public:
  explicit TTranslateLabel(TComponent* owner) : TLabel(owner) {}
  int GLID() const override { return glid_; }
  void SetGLID(int glid) { glid_ = glid; }
  std::string GlidCaption() const override { return Caption(); }
  void SetGlidCaption(const std::string& caption) override { SetCaption(caption); }

 private:
  int glid_ = 0;
};

class TTranslateBitBtn : public TBitBtn, public IGlidControl {
  FW_CLASS(TTranslateBitBtn, TBitBtn)

 public:
  explicit TTranslateBitBtn(TComponent* owner) : TBitBtn(owner) {}
  int GLID() const override { return glid_; }
  void SetGLID(int glid) { glid_ = glid; }
  std::string GlidCaption() const override { return Caption(); }
  void SetGlidCaption(const std::string& caption) override { SetCaption(caption); }

 private:
  int glid_ = 0;
};

namespace setup {

// Registers TTranslateLabel and TTranslateBitBtn and installs the control steps.
void RegisterSetupControlClasses();

// The global translator's target language font on form and its controls (nothing without
// a translator or a target); a target without strings gives English's unless force.
void SetFormFont(TWinControl& form, bool force);
// The same with the target set to target for the call (and put back, also on failure).
void SetFormFontFor(TKstnLanguage target, TWinControl& form, bool force);

}  // namespace setup
