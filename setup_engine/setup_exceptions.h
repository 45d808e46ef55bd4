#pragma once
// The setup engine's exception classes and the message formatter they share.
//
// Component errors derive from IException: their English message (or format text) passes
// through TranslateExceptionMessage before it is formatted, which is the single place where
// the language service plugs in. Until it does, the English text stands as given. The
// archive's own errors (EKstnCompress) stay English, as the install driver translates them
// when it shows them.
#include <cstdint>
#include <string>
#include <vector>

#include "framework/core/exception.h"
#include "framework/core/exceptions.h"

namespace setup {

// Replaces each %s or %d of format, in order, by the next argument; "%%" gives "%".
std::string FormatText(const std::string& format, const std::vector<std::string>& args);

// The hook through which every IException message passes before it is formatted.
std::string TranslateExceptionMessage(const std::string& english);

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
      : ECustomKestrinAbnormal(setup::TranslateExceptionMessage(message)) {}
  IException(const std::string& format, const std::vector<std::string>& args)
      : ECustomKestrinAbnormal(
            setup::FormatText(setup::TranslateExceptionMessage(format), args)) {}
};
class IEInstall : public IException {
 public:
  using IException::IException;
};
