#include "setup_engine/setup_exceptions.h"

namespace setup {

namespace {
ITextTranslator* globalTranslator = nullptr;
}  // namespace

ITextTranslator* GlobalTextTranslator() { return globalTranslator; }

void SetGlobalTextTranslator(ITextTranslator* translator) { globalTranslator = translator; }

std::string TranslateText(const std::string& english) {
  return globalTranslator ? globalTranslator->TranslateText(english) : english;
}

}  // namespace setup
