#pragma once
// Small COM objects written as C++ classes. TComObject<I, More...> implements IUnknown for
// the interfaces it derives from: a plain reference count that starts at 1 for the creator
// (the object deletes itself when it reaches 0) and QueryInterface over IUnknown and each
// interface's IID (__uuidof). Objects are made with new and handed out as interface
// pointers; ComNew wraps the creator's reference.
//
// Every method an object implements runs its body through ComGuard: COM callers are Win32
// or Wine frames, which a C++ exception must never unwind. An escaped exception is
// reported to the application like one at a window procedure and the method returns
// E_UNEXPECTED (an EOleError returns its own failure code); the caller goes on.
#include <exception>
#include <utility>

#include "framework/core/exceptions.h"
#include "framework/win/firewall.h"
#include "framework/win/winapi.h"

#include <ole2.h>

template <class F>
HRESULT ComGuard(F&& body) noexcept {
  try {
    return body();
  } catch (const EOleError& e) {
    HandleEntryException(std::current_exception(), nullptr);
    return FAILED(e.ErrorCode()) ? HRESULT(e.ErrorCode()) : E_UNEXPECTED;
  } catch (...) {
    HandleEntryException(std::current_exception(), nullptr);
    return E_UNEXPECTED;
  }
}

template <class I, class... More>
class TComObject : public I, public More... {
 public:
  TComObject(const TComObject&) = delete;
  TComObject& operator=(const TComObject&) = delete;

  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown))
      *out = static_cast<IUnknown*>(static_cast<I*>(this));
    else
      Find<I, More...>(iid, out);
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG RefCount() const { return refs_; }

 protected:
  TComObject() = default;
  virtual ~TComObject() = default;

 private:
  template <class J, class... Rest>
  void Find(REFIID iid, void** out) {
    if (IsEqualIID(iid, __uuidof(J))) {
      *out = static_cast<J*>(this);
      return;
    }
    if constexpr (sizeof...(Rest) > 0) Find<Rest...>(iid, out);
  }
  ULONG refs_ = 1;
};

// An interface reference that releases itself.
template <class I>
class TComPtr {
 public:
  TComPtr() = default;
  // Takes over a reference the caller owns.
  explicit TComPtr(I* p) : p_(p) {}
  TComPtr(const TComPtr& o) : p_(o.p_) {
    if (p_) p_->AddRef();
  }
  TComPtr& operator=(const TComPtr& o) {
    if (o.p_) o.p_->AddRef();
    Reset(o.p_);
    return *this;
  }
  ~TComPtr() { Reset(); }
  void Reset(I* p = nullptr) {
    I* old = std::exchange(p_, p);
    if (old) old->Release();
  }
  I* Get() const { return p_; }
  I* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  I* Detach() { return std::exchange(p_, nullptr); }

 private:
  I* p_ = nullptr;
};

// A new object of class T as a reference to interface I.
template <class I, class T, class... Args>
TComPtr<I> ComNew(Args&&... args) {
  return TComPtr<I>(static_cast<I*>(new T(std::forward<Args>(args)...)));
}
