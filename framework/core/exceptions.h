#pragma once
// The framework's exception classes over the common base in exception.h. EAbort is the
// silent one: the application's exception display shows nothing for it.
#include <string>

#include "framework/core/exception.h"

class EAbort : public Exception {
 public:
  EAbort() : Exception("Operation aborted") {}
  using Exception::Exception;
};
#define FW_EXCEPTION(Name, Base) \
  class Name : public Base {     \
   public:                       \
    using Base::Base;            \
  };
FW_EXCEPTION(EConvertError, Exception)
FW_EXCEPTION(EInvalidCast, Exception)
FW_EXCEPTION(EListError, Exception)
FW_EXCEPTION(EInOutError, Exception)
FW_EXCEPTION(EFormError, Exception)
FW_EXCEPTION(EComponentError, Exception)
FW_EXCEPTION(ERegistryException, Exception)
FW_EXCEPTION(EOutOfResources, Exception)
#undef FW_EXCEPTION
