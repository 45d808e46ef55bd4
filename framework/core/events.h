#pragma once
// Events are assignable, readable delegates. The form reader binds one by handler name and
// keeps that name, so the slot can be saved, replaced and restored like any value. Veto
// and var arguments are references (bool& CanClose, uint16_t& Key); an unassigned event
// does nothing and, when it has a result, gives the default value.
#include <functional>
#include <string>
#include <utility>

class TObject;

template <class Sig>
class TEvent;

template <class R, class... A>
class TEvent<R(A...)> {
 public:
  TEvent() = default;
  TEvent(std::function<R(A...)> fn, std::string handler = {})
      : fn_(std::move(fn)), handler_(std::move(handler)) {}
  explicit operator bool() const noexcept { return bool(fn_); }
  R operator()(A... a) const {
    if (fn_) return fn_(a...);
    return R();
  }
  const std::string& HandlerName() const noexcept { return handler_; }

 private:
  std::function<R(A...)> fn_;
  std::string handler_;
};

using TNotifyEvent = TEvent<void(TObject* Sender)>;
using TCloseQueryEvent = TEvent<void(TObject* Sender, bool& CanClose)>;
