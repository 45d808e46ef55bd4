#pragma once
// The framework's exception classes over the common base in exception.h. EAbort is the
// silent one: the application's exception display shows nothing for it.
#include <cstdint>
#include <string>
#include <utility>

#include "framework/core/exception.h"

class EAbort : public Exception {
 public:
  EAbort() : Exception("Operation aborted") {}
  using Exception::Exception;
};
// A cooperative cancel (TWorkControl): the worker unwinds through its normal failure path.
class ECancelled : public EAbort {
 public:
  ECancelled() : EAbort("Operation cancelled") {}
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
FW_EXCEPTION(EThread, Exception)
FW_EXCEPTION(EInvalidOperation, Exception)
#undef FW_EXCEPTION

// A failed OLE or shell call: the message is the system's text for the code.
class EOleError : public Exception {
 public:
  EOleError(std::string message, int32_t errorCode) : Exception(std::move(message)), errorCode_(errorCode) {}
  int32_t ErrorCode() const noexcept { return errorCode_; }  // the HRESULT

 private:
  int32_t errorCode_;
};
