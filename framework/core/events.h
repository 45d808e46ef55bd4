#pragma once
// Events are assignable, readable delegates. The form reader binds one by handler name and
// keeps that name, so the slot can be saved, replaced and restored like any value.
#include <functional>
#include <string>
#include <utility>

class TObject;

template <class Sig>
class TEvent;

template <class... A>
class TEvent<void(A...)> {
 public:
  TEvent() = default;
  TEvent(std::function<void(A...)> fn, std::string handler = {})
      : fn_(std::move(fn)), handler_(std::move(handler)) {}
  explicit operator bool() const noexcept { return bool(fn_); }
  void operator()(A... a) const {
    if (fn_) fn_(a...);
  }
  const std::string& HandlerName() const noexcept { return handler_; }

 private:
  std::function<void(A...)> fn_;
  std::string handler_;
};

using TNotifyEvent = TEvent<void(TObject* Sender)>;
using TCloseQueryEvent = TEvent<void(TObject* Sender, bool& CanClose)>;
