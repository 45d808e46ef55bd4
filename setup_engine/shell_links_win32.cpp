// Shell links through the shell's link object (IShellLinkA) saved by its IPersistFile.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "platform/file.h"
#include "setup_engine/shell_links.h"

namespace setup {

namespace {

// Releases a COM interface when it goes.
template <class I>
class TComPtr {
 public:
  TComPtr() = default;
  TComPtr(const TComPtr&) = delete;
  TComPtr& operator=(const TComPtr&) = delete;
  ~TComPtr() {
    if (p_) p_->Release();
  }
  I** Out() { return &p_; }
  I* operator->() const { return p_; }

 private:
  I* p_ = nullptr;
};

class TWinShellLinks : public IShellLinkWriter {
 public:
  int32_t InitializeCom() override { return int32_t(CoInitialize(nullptr)); }

  int32_t Save(const TShellLinkData& data, const std::string& file) override {
    TComPtr<IShellLinkA> link;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  reinterpret_cast<void**>(link.Out()));
    if (FAILED(hr)) return int32_t(hr);
    if (FAILED(hr = link->SetPath(data.Path.c_str()))) return int32_t(hr);
    if (FAILED(hr = link->SetHotkey(data.HotKey))) return int32_t(hr);
    if (FAILED(hr = link->SetArguments(data.Arguments.c_str()))) return int32_t(hr);
    if (FAILED(hr = link->SetWorkingDirectory(data.WorkingDirectory.c_str()))) return int32_t(hr);
    TComPtr<IPersistFile> persist;
    hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(persist.Out()));
    if (FAILED(hr)) return int32_t(hr);
    WCHAR wide[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH)) return int32_t(E_INVALIDARG);
    return int32_t(persist->Save(wide, TRUE));
  }

  std::string ErrorText(int32_t code) override { return platform::SystemErrorTextOf(uint32_t(code)); }
};

}  // namespace

IShellLinkWriter& DefaultShellLinkWriter() {
  static TWinShellLinks writer;
  return writer;
}

}  // namespace setup
