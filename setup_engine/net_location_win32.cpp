// The Internet library of the Windows build: WININET.DLL, loaded by name on first use and
// kept for the life of the process, its entry points bound one by one (a missing one
// stays unbound, and the location names it).
#include <windows.h>
#include <wininet.h>

#include <cstring>

#include "setup_engine/net_location.h"

namespace setup {
namespace {

template <class F>
F Entry(HMODULE lib, const char* name) {
  FARPROC p = GetProcAddress(lib, name);
  F f = nullptr;
  static_assert(sizeof f == sizeof p);
  if (p) memcpy(&f, &p, sizeof f);
  return f;
}

HINTERNET H(TInetHandle h) { return reinterpret_cast<HINTERNET>(h); }
TInetHandle T(HINTERNET h) { return reinterpret_cast<TInetHandle>(h); }

}  // namespace

bool LoadSystemInternetLibrary(TInternetCalls& calls) {
  static HMODULE lib = LoadLibraryA("WININET.DLL");
  if (!lib) return false;
  using TLastResponse = BOOL(WINAPI*)(LPDWORD, LPSTR, LPDWORD);
  using TOpen = HINTERNET(WINAPI*)(LPCSTR, DWORD, LPCSTR, LPCSTR, DWORD);
  using TConnect = HINTERNET(WINAPI*)(HINTERNET, LPCSTR, INTERNET_PORT, LPCSTR, LPCSTR, DWORD, DWORD, DWORD_PTR);
  using TSetDir = BOOL(WINAPI*)(HINTERNET, LPCSTR);
  using TClose = BOOL(WINAPI*)(HINTERNET);
  using TAvailable = BOOL(WINAPI*)(HINTERNET, LPDWORD, DWORD, DWORD_PTR);
  using TRead = BOOL(WINAPI*)(HINTERNET, LPVOID, DWORD, LPDWORD);
  using TFtpOpen = HINTERNET(WINAPI*)(HINTERNET, LPCSTR, DWORD, DWORD, DWORD_PTR);
  using THttpOpen = HINTERNET(WINAPI*)(HINTERNET, LPCSTR, LPCSTR, LPCSTR, LPCSTR, LPCSTR*, DWORD, DWORD_PTR);
  using TSend = BOOL(WINAPI*)(HINTERNET, LPCSTR, DWORD, LPVOID, DWORD);
  using TQuery = BOOL(WINAPI*)(HINTERNET, DWORD, LPVOID, LPDWORD, LPDWORD);

  if (auto f = Entry<TLastResponse>(lib, "InternetGetLastResponseInfoA"))
    calls.InternetGetLastResponseInfo = [f](uint32_t& error, std::string& text) {
      DWORD e = 0, size = 0;
      f(&e, nullptr, &size);
      std::string buffer(size + 1, '\0');
      size = DWORD(buffer.size());
      if (!f(&e, buffer.data(), &size)) return false;
      error = e;
      text.assign(buffer.data(), size < buffer.size() ? size : buffer.size());
      return !text.empty();
    };
  if (auto f = Entry<TOpen>(lib, "InternetOpenA"))
    calls.InternetOpen = [f](const std::string& agent) {
      return T(f(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    };
  if (auto f = Entry<TConnect>(lib, "InternetConnectA"))
    calls.InternetConnect = [f](TInetHandle session, const std::string& host, int port, const char* user,
                                const char* password, int service) {
      return T(f(H(session), host.c_str(), INTERNET_PORT(port), user, password, DWORD(service), 0, 0));
    };
  if (auto f = Entry<TSetDir>(lib, "FtpSetCurrentDirectoryA"))
    calls.FtpSetCurrentDirectory = [f](TInetHandle c, const std::string& dir) { return f(H(c), dir.c_str()) != 0; };
  if (auto f = Entry<TClose>(lib, "InternetCloseHandle"))
    calls.InternetCloseHandle = [f](TInetHandle h) { return f(H(h)) != 0; };
  if (auto f = Entry<TAvailable>(lib, "InternetQueryDataAvailable"))
    calls.InternetQueryDataAvailable = [f](TInetHandle h, uint32_t& available) {
      DWORD n = 0;
      bool ok = f(H(h), &n, 0, 0) != 0;
      available = n;
      return ok;
    };
  if (auto f = Entry<TRead>(lib, "InternetReadFile"))
    calls.InternetReadFile = [f](TInetHandle h, void* buffer, uint32_t size, uint32_t& read) {
      DWORD n = 0;
      bool ok = f(H(h), buffer, size, &n) != 0;
      read = n;
      return ok;
    };
  if (auto f = Entry<TFtpOpen>(lib, "FtpOpenFileA"))
    calls.FtpOpenFile = [f](TInetHandle c, const std::string& name) {
      return T(f(H(c), name.c_str(), GENERIC_READ, FTP_TRANSFER_TYPE_BINARY, 0));
    };
  if (auto f = Entry<THttpOpen>(lib, "HttpOpenRequestA"))
    calls.HttpOpenRequest = [f](TInetHandle c, const std::string& verb, const std::string& object, uint32_t flags) {
      return T(f(H(c), verb.c_str(), object.c_str(), nullptr, nullptr, nullptr, flags, 0));
    };
  if (auto f = Entry<TSend>(lib, "HttpSendRequestA"))
    calls.HttpSendRequest = [f](TInetHandle r, const std::string& headers) {
      return f(H(r), headers.c_str(), DWORD(headers.size()), nullptr, 0) != 0;
    };
  if (auto f = Entry<TQuery>(lib, "HttpQueryInfoA"))
    calls.HttpQueryInfo = [f](TInetHandle r, uint32_t query, char* buffer, uint32_t& size) {
      DWORD n = size;
      bool ok = f(H(r), query, buffer, &n, nullptr) != 0;
      size = n;
      return ok;
    };
  calls.LastError = [] { return uint32_t(GetLastError()); };
  return true;
}

}  // namespace setup
