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

// The setup engine's own bases take a message, or a format text and its arguments
// (FormatTolerant, so a message always comes out).
class ECustomKestrinAbnormal : public Exception {
 public:
  explicit ECustomKestrinAbnormal(const std::string& message) : Exception(message) {}
  ECustomKestrinAbnormal(const std::string& format, const std::vector<TFormatArg>& args)
      : Exception(FormatTolerant(format, args)) {}
};

#define SETUP_EXCEPTION(Name, Base) \
  class Name : public Base {        \
   public:                          \
    using Base::Base;               \
  };

SETUP_EXCEPTION(EKestrinAbnormal, ECustomKestrinAbnormal)
// Failures of the system routines (Windows version, temporary files, system folders).
SETUP_EXCEPTION(EAPIRoutines, EKestrinAbnormal)

// The base of the component errors: the English message or format text is translated
// first, then formatted.
class IException : public ECustomKestrinAbnormal {
 public:
  explicit IException(const std::string& message)
      : ECustomKestrinAbnormal(setup::TranslateText(message)) {}
  IException(const std::string& format, const std::vector<TFormatArg>& args)
      : ECustomKestrinAbnormal(setup::TranslateText(format), args) {}
};
SETUP_EXCEPTION(IEInstall, IException)
SETUP_EXCEPTION(IEInstallContainer, IException)
SETUP_EXCEPTION(IEFileRelated, IException)
SETUP_EXCEPTION(IEFileContainer, IException)
SETUP_EXCEPTION(IEfcDuplicateFile, IEFileContainer)
SETUP_EXCEPTION(IECustomInstallFile, IException)
SETUP_EXCEPTION(IECustomInstallFileList, IException)
SETUP_EXCEPTION(IEPathSpecifier, IException)
SETUP_EXCEPTION(IEPathSpecifierList, IException)
SETUP_EXCEPTION(IEInstallBDE, IException)
SETUP_EXCEPTION(IEbdeCannotFindKestrinPath, IEInstallBDE)
SETUP_EXCEPTION(IEObjectRepositoryEntry, IException)
SETUP_EXCEPTION(IEFileGroupSelectForm, IException)

// The base of the errors a user sees during a run.
class EAI : public Exception {
 public:
  explicit EAI(const std::string& message) : Exception(message) {}
  EAI(const std::string& format, const std::vector<TFormatArg>& args)
      : Exception(FormatTolerant(format, args)) {}
};
// The user cancelled the installation.
class EAIUserAbort : public EAI {
 public:
  EAIUserAbort() : EAI("Installation aborted by the user") {}
  using EAI::EAI;
};
SETUP_EXCEPTION(EAICannotExpandContainerDirMV, EAI)
SETUP_EXCEPTION(EAICannotExpandInstallDirMV, EAI)

#undef SETUP_EXCEPTION

// A registry write failed: a string write names the key, the value name and the value; an
// integer write the key alone.
class EIRCannotWriteValue : public Exception {
 public:
  explicit EIRCannotWriteValue(const std::string& key) : Exception(key) {}
  EIRCannotWriteValue(const std::string& key, const std::string& ident, const std::string& value)
      : Exception(FormatTolerant("Cannot install into registry. Key: %s Ident: %s Value %s",
                                 {key, ident, value})) {}
};
