#include "form_fuzz_target.h"

#include <string>

#include "framework/core/form_reader.h"
#include "framework/core/form_writer.h"
#include "test_classes.h"

namespace {

std::string LoadAndWrite(const std::string& text) {
  TOwned<TTestForm> form(new TTestForm(nullptr));
  ReadForm(*form, text, "Fuzz");
  return WriteFormText(*form);
}

}  // namespace

void FuzzFormText(const uint8_t* data, size_t size) {
  RegisterTestClasses();
  Log().clear();
  std::string written;
  try {
    written = LoadAndWrite(std::string(reinterpret_cast<const char*>(data), size));
  } catch (const EFormError&) {
    return;
  }
  std::string again = LoadAndWrite(written);
  if (again != written) throw std::logic_error("round trip changed the text:\n" + written + "\n" + again);
}
