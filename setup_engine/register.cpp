#include "setup_engine/register.h"

#include "setup_engine/path_specifier.h"
#include "setup_engine/translator.h"

namespace setup {

void RegisterSetupEngineClasses() {
  RegisterClass(TTranslator::StaticClass());
  RegisterClass(TpsContainerDestDir::StaticClass());
}

}  // namespace setup
