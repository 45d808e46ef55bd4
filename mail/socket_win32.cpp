// Windows Sockets 1.1 side of the socket client (Windows build, WSOCK32).
#include <winsock.h>

#include <cstring>

#include "mail/ip_misc.h"
#include "mail/socket_os.h"

namespace mail_os {

namespace {

// The process-wide start-up: the library counts as ready only when WSAStartup returned 0.
class SocketLibrary {
 public:
  SocketLibrary() {
    WSADATA data;
    ready_ = WSAStartup(MAKEWORD(1, 1), &data) == 0;
  }
  ~SocketLibrary() {
    if (ready_) {
      WSACancelBlockingCall();
      WSACleanup();
    }
  }
  SocketLibrary(const SocketLibrary&) = delete;
  SocketLibrary& operator=(const SocketLibrary&) = delete;
  bool Ready() const { return ready_; }

 private:
  bool ready_ = false;
};

timeval ToTimeval(int timeoutMs) {
  timeval tv;
  tv.tv_sec = timeoutMs / 1000;
  tv.tv_usec = (timeoutMs % 1000) * 1000;
  return tv;
}

Io WaitFor(SOCKET s, bool forWrite, int timeoutMs, int& error) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval tv = ToTimeval(timeoutMs);
  int r = select(0, forWrite ? nullptr : &set, forWrite ? &set : nullptr, nullptr, &tv);
  if (r > 0) return Io::Done;
  if (r == 0) return Io::TimedOut;
  error = WSAGetLastError();
  return Io::Failed;
}

}  // namespace

bool Startup() {
  static SocketLibrary library;
  return library.Ready();
}

bool ParseDotted(const std::string& text, uint32_t& address) {
  unsigned long a = inet_addr(text.c_str());
  if (a == INADDR_NONE) return false;
  address = uint32_t(a);
  return true;
}

bool LookUpHost(const std::string& host, uint32_t& address) {
  hostent* h = gethostbyname(host.c_str());
  if (!h || h->h_addrtype != AF_INET || h->h_length != 4 || !h->h_addr_list[0]) return false;
  std::memcpy(&address, h->h_addr_list[0], 4);
  return true;
}

bool LocalHostName(std::string& name) {
  char buffer[256] = {};
  if (gethostname(buffer, sizeof buffer - 1) != 0) return false;
  hostent* h = gethostbyname(buffer);
  if (!h || !h->h_name || !*h->h_name) return false;
  name = h->h_name;
  return true;
}

Socket CreateStreamSocket(int& error) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) {
    error = WSAGetLastError();
    return kNoSocket;
  }
  return Socket(s);
}

Io Connect(Socket s, uint32_t address, uint16_t port, int timeoutMs, int& error) {
  SOCKET so = SOCKET(s);
  u_long on = 1;
  ioctlsocket(so, FIONBIO, &on);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = address;
  Io result = Io::Done;
  if (connect(so, reinterpret_cast<const sockaddr*>(&to), sizeof to) == SOCKET_ERROR) {
    int e = WSAGetLastError();
    if (e != WSAEWOULDBLOCK) {
      error = e;
      result = Io::Failed;
    } else {
      fd_set writable, failed;
      FD_ZERO(&writable);
      FD_ZERO(&failed);
      FD_SET(so, &writable);
      FD_SET(so, &failed);
      timeval tv = ToTimeval(timeoutMs);
      int r = select(0, nullptr, &writable, &failed, &tv);
      if (r == 0) {
        result = Io::TimedOut;
      } else if (r < 0) {
        error = WSAGetLastError();
        result = Io::Failed;
      } else if (FD_ISSET(so, &failed) || !FD_ISSET(so, &writable)) {
        int soError = 0;
        int len = sizeof soError;
        getsockopt(so, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &len);
        error = soError ? soError : WSAECONNREFUSED;
        result = Io::Failed;
      }
    }
  }
  return result;
}

Io Send(Socket s, const char* data, size_t count, int timeoutMs, size_t& sent, int& error) {
  for (;;) {
    Io ready = WaitFor(SOCKET(s), true, timeoutMs, error);
    if (ready != Io::Done) return ready;
    int n = send(SOCKET(s), data, count > 65536 ? 65536 : int(count), 0);
    if (n > 0) {
      sent = size_t(n);
      return Io::Done;
    }
    int e = n == 0 ? WSAECONNRESET : WSAGetLastError();
    if (e == WSAEWOULDBLOCK) continue;
    error = e;
    return Io::Failed;
  }
}

Io Receive(Socket s, char* buffer, size_t size, int timeoutMs, size_t& received, int& error) {
  for (;;) {
    Io ready = WaitFor(SOCKET(s), false, timeoutMs, error);
    if (ready != Io::Done) return ready;
    int n = recv(SOCKET(s), buffer, size > 65536 ? 65536 : int(size), 0);
    if (n > 0) {
      received = size_t(n);
      return Io::Done;
    }
    if (n == 0) return Io::Closed;
    int e = WSAGetLastError();
    if (e == WSAEWOULDBLOCK) continue;
    error = e;
    return Io::Failed;
  }
}

void Close(Socket s) { closesocket(SOCKET(s)); }

int PeerState(Socket s) {
  sockaddr_in peer{};
  int len = sizeof peer;
  if (getpeername(SOCKET(s), reinterpret_cast<sockaddr*>(&peer), &len) == 0) return 2;
  return WSAGetLastError() == WSAENOTCONN ? 1 : 3;
}

std::string ErrorText(int error) {
  switch (error) {
    case WSAECONNREFUSED: return "connection refused";
    case WSAECONNRESET: return "connection reset by the server";
    case WSAESHUTDOWN: return "connection closed by the server";
    case WSAETIMEDOUT: return "connection timed out";
    case WSAENETUNREACH: return "network unreachable";
    case WSAEHOSTUNREACH: return "host unreachable";
    case WSAECONNABORTED: return "connection aborted";
    default: return "socket error " + std::to_string(error);
  }
}

platform::LocalTime Now() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  platform::LocalTime out;
  out.year = st.wYear;
  out.month = st.wMonth;
  out.day = st.wDay;
  out.hour = st.wHour;
  out.minute = st.wMinute;
  out.second = st.wSecond;
  return out;
}

int TimeZoneBias() {
  TIME_ZONE_INFORMATION info;
  DWORD r = GetTimeZoneInformation(&info);
  ipmisc::ZoneAnswer answer = ipmisc::ZoneAnswer::Invalid;
  if (r == TIME_ZONE_ID_UNKNOWN) answer = ipmisc::ZoneAnswer::Unknown;
  if (r == TIME_ZONE_ID_STANDARD) answer = ipmisc::ZoneAnswer::Standard;
  if (r == TIME_ZONE_ID_DAYLIGHT) answer = ipmisc::ZoneAnswer::Daylight;
  return ipmisc::BiasFromZoneInfo(answer, info.Bias, info.StandardBias, info.DaylightBias);
}

}  // namespace mail_os
