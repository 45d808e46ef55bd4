// The Program Manager's conversation over DDEML: a client-only instance, one conversation,
// commands as XTYP_EXECUTE and item lists as CF_TEXT requests.
#include <windows.h>
#include <ddeml.h>

#include "setup_engine/program_manager.h"

namespace setup {

namespace {

constexpr DWORD kTimeoutMs = 10000;

HDDEDATA CALLBACK DdeCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return nullptr; }

class TDdemlTransport : public IDdeTransport {
 public:
  TDdemlTransport() = default;
  TDdemlTransport(const TDdemlTransport&) = delete;
  TDdemlTransport& operator=(const TDdemlTransport&) = delete;
  ~TDdemlTransport() override {
    Disconnect();
    if (instance_) DdeUninitialize(instance_);
  }

  bool Connect(const std::string& service, const std::string& topic) override {
    Disconnect();
    if (!instance_ && DdeInitializeA(&instance_, DdeCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) {
      instance_ = 0;
      return false;
    }
    HSZ s = DdeCreateStringHandleA(instance_, service.c_str(), CP_WINANSI);
    HSZ t = DdeCreateStringHandleA(instance_, topic.c_str(), CP_WINANSI);
    conversation_ = DdeConnect(instance_, s, t, nullptr);
    if (s) DdeFreeStringHandle(instance_, s);
    if (t) DdeFreeStringHandle(instance_, t);
    return conversation_ != nullptr;
  }

  void Disconnect() override {
    if (conversation_) DdeDisconnect(conversation_);
    conversation_ = nullptr;
  }

  bool Execute(const std::string& command) override {
    if (!conversation_) return false;
    DWORD result = 0;
    HDDEDATA data = DdeClientTransaction(
        reinterpret_cast<LPBYTE>(const_cast<char*>(command.c_str())), DWORD(command.size() + 1), conversation_,
        nullptr, 0, XTYP_EXECUTE, kTimeoutMs, &result);
    if (!data) return false;
    DdeFreeDataHandle(data);
    return true;
  }

  bool Request(const std::string& item, std::string& text) override {
    text.clear();
    if (!conversation_) return false;
    HSZ name = DdeCreateStringHandleA(instance_, item.c_str(), CP_WINANSI);
    if (!name) return false;
    DWORD result = 0;
    HDDEDATA data = DdeClientTransaction(nullptr, 0, conversation_, name, CF_TEXT, XTYP_REQUEST, kTimeoutMs, &result);
    DdeFreeStringHandle(instance_, name);
    if (!data) return false;
    DWORD size = 0;
    LPBYTE bytes = DdeAccessData(data, &size);
    if (bytes) {
      DWORD n = 0;
      while (n < size && bytes[n]) ++n;
      text.assign(reinterpret_cast<const char*>(bytes), n);
      DdeUnaccessData(data);
    }
    DdeFreeDataHandle(data);
    return bytes != nullptr;
  }

 private:
  DWORD instance_ = 0;
  HCONV conversation_ = nullptr;
};

}  // namespace

IDdeTransport& DefaultDdeTransport() {
  static TDdemlTransport transport;
  return transport;
}

}  // namespace setup
