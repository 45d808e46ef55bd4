#include "framework/controls/dialogs.h"


#include <vector>

namespace {
const TTypeInfo kOpenOptions{{"ofNoValidate", "ofNoChangeDir", "ofFileMustExist", "ofHideReadOnly"}, {}};

TOpenDialog::TExecuteFunction& ExecuteFunction() {
  static TOpenDialog::TExecuteFunction fn = [](OPENFILENAMEA& ofn) { return GetOpenFileNameA(&ofn) != FALSE; };
  return fn;
}

template <std::string TOpenDialog::*Field>
TPropInfo StrField(const char* name) {
  return TProps<TOpenDialog>::Str(
      name, [](const TOpenDialog& d) { return d.*Field; }, [](TOpenDialog& d, std::string v) { d.*Field = std::move(v); })
      .WithDefault(std::string());
}
}  // namespace

const TClassInfo& TOpenDialog::StaticClass() {
  using P = TProps<TOpenDialog>;
  static const TClassInfo info{
      "TOpenDialog", &TComponent::StaticClass(), Factory<TOpenDialog>(),
      {StrField<&TOpenDialog::FileName>("FileName"), StrField<&TOpenDialog::Filter>("Filter"),
       P::Int("FilterIndex", [](const TOpenDialog& d) { return d.FilterIndex; },
              [](TOpenDialog& d, int v) { d.FilterIndex = v; })
           .WithDefault(int64_t(1)),
       StrField<&TOpenDialog::InitialDir>("InitialDir"), StrField<&TOpenDialog::Title>("Title"),
       StrField<&TOpenDialog::DefaultExt>("DefaultExt"),
       P::Set("Options", &kOpenOptions, [](const TOpenDialog& d) { return d.Options; },
              [](TOpenDialog& d, uint32_t v) { d.Options = v; })
           .WithDefault(int64_t(OpenOptionBit(TOpenOption::ofHideReadOnly)))}};
  return info;
}

TOpenDialog::TExecuteFunction TOpenDialog::SetExecuteFunction(TExecuteFunction fn) {
  TExecuteFunction old = std::move(ExecuteFunction());
  ExecuteFunction() = std::move(fn);
  return old;
}

bool TOpenDialog::Execute() {
  std::string filter = Filter;
  for (char& c : filter)
    if (c == '|') c = '\0';
  filter.append(2, '\0');
  std::vector<char> file(4096, '\0');
  FileName.copy(file.data(), file.size() - 1);
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = GetActiveWindow();
  ofn.lpstrFilter = Filter.empty() ? nullptr : filter.c_str();
  ofn.nFilterIndex = DWORD(FilterIndex);
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = DWORD(file.size());
  ofn.lpstrInitialDir = InitialDir.empty() ? nullptr : InitialDir.c_str();
  ofn.lpstrTitle = Title.empty() ? nullptr : Title.c_str();
  ofn.lpstrDefExt = DefaultExt.empty() ? nullptr : DefaultExt.c_str();
  ofn.Flags = OFN_EXPLORER | OFN_ENABLESIZING;
  if (Options & OpenOptionBit(TOpenOption::ofNoValidate)) ofn.Flags |= OFN_NOVALIDATE;
  if (Options & OpenOptionBit(TOpenOption::ofNoChangeDir)) ofn.Flags |= OFN_NOCHANGEDIR;
  if (Options & OpenOptionBit(TOpenOption::ofFileMustExist)) ofn.Flags |= OFN_FILEMUSTEXIST;
  if (Options & OpenOptionBit(TOpenOption::ofHideReadOnly)) ofn.Flags |= OFN_HIDEREADONLY;
  if (!ExecuteFunction()(ofn)) return false;
  FileName.assign(file.data());
  FilterIndex = int(ofn.nFilterIndex);
  return true;
}
