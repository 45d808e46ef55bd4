#pragma once
// The setup engine's exception classes and the seam through which the language service
// translates their messages.
//
// How it works: component errors derive from IException. Their English message (or
// format text) goes through TranslateText before FormatTolerant fills it, so a translated
// format text still receives the same arguments, and one that asks for others still
// comes out. TranslateText asks the global text translator;
// the language service registers itself there when it is created and leaves when it is
// destroyed, and while none is registered every text stays English. The archive's own
// errors (EKstnCompress) are raised in English: the install driver translates them when
// it shows them.
#include <cstdint>
#include <string>
#include <vector>

#include "framework/core/exception.h"
#include "framework/core/exceptions.h"
#include "framework/core/sysutils.h"

namespace setup {

// The language service as the setup engine sees it: an English text in, the text in the
// chosen language out (unchanged when the language has no translation for it).
class ITextTranslator {
 public:
  virtual ~ITextTranslator() = default;
  virtual std::string TranslateText(const std::string& english) = 0;
};

// The global translator; null when none is registered.
ITextTranslator* GlobalTextTranslator();
void SetGlobalTextTranslator(ITextTranslator* translator);

// The text in the global translator's language; the text itself without a translator.
std::string TranslateText(const std::string& english);

}  // namespace setup

class ECustomKestrinAbnormal : public Exception {
 public:
  using Exception::Exception;
};
class EKestrinAbnormal : public ECustomKestrinAbnormal {
 public:
  using ECustomKestrinAbnormal::ECustomKestrinAbnormal;
};

class IException : public ECustomKestrinAbnormal {
 public:
  explicit IException(const std::string& message)
      : ECustomKestrinAbnormal(setup::TranslateText(message)) {}
  IException(const std::string& format, const std::vector<TFormatArg>& args)
      : ECustomKestrinAbnormal(FormatTolerant(setup::TranslateText(format), args)) {}
};
class IEInstall : public IException {
 public:
  using IException::IException;
};
