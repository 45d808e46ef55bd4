#include "setup_engine/setup_exceptions.h"

namespace setup {

std::string FormatText(const std::string& format, const std::vector<std::string>& args) {
  std::string out;
  size_t next = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    char c = format[i];
    if (c == '%' && i + 1 < format.size()) {
      char k = format[i + 1];
      if (k == '%') {
        out += '%';
        ++i;
        continue;
      }
      if ((k == 's' || k == 'd') && next < args.size()) {
        out += args[next++];
        ++i;
        continue;
      }
    }
    out += c;
  }
  return out;
}

namespace {
ITextTranslator* globalTranslator = nullptr;
}  // namespace

ITextTranslator* GlobalTextTranslator() { return globalTranslator; }

void SetGlobalTextTranslator(ITextTranslator* translator) { globalTranslator = translator; }

std::string TranslateText(const std::string& english) {
  return globalTranslator ? globalTranslator->TranslateText(english) : english;
}

}  // namespace setup
