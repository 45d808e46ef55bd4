// BSD-socket side of the socket client (native build).
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>

#include "mail/socket_os.h"

namespace mail_os {

namespace {

// Waits until fd is readable (or writable); Done, TimedOut or Failed.
Io WaitFor(int fd, bool forWrite, int timeoutMs, int& error) {
  pollfd p{};
  p.fd = fd;
  p.events = forWrite ? POLLOUT : POLLIN;
  for (;;) {
    int r = ::poll(&p, 1, timeoutMs);
    if (r > 0) return Io::Done;
    if (r == 0) return Io::TimedOut;
    if (errno != EINTR) {
      error = errno;
      return Io::Failed;
    }
  }
}

bool WouldBlock(int e) { return e == EAGAIN || e == EWOULDBLOCK || e == EINTR; }

}  // namespace

bool Startup() { return true; }

bool ParseDotted(const std::string& text, uint32_t& address) {
  in_addr a{};
  if (::inet_aton(text.c_str(), &a) == 0) return false;
  address = a.s_addr;
  return true;
}

bool LookUpHost(const std::string& host, uint32_t& address) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0 || !list) return false;
  address = reinterpret_cast<const sockaddr_in*>(list->ai_addr)->sin_addr.s_addr;
  ::freeaddrinfo(list);
  return true;
}

bool LocalHostName(std::string& name) {
  char buffer[256] = {};
  if (::gethostname(buffer, sizeof buffer - 1) != 0) return false;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_flags = AI_CANONNAME;
  addrinfo* list = nullptr;
  if (::getaddrinfo(buffer, nullptr, &hints, &list) != 0 || !list) return false;
  bool ok = list->ai_canonname && *list->ai_canonname;
  if (ok) name = list->ai_canonname;
  ::freeaddrinfo(list);
  return ok;
}

Socket CreateStreamSocket(int& error) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = errno;
    return kNoSocket;
  }
  return fd;
}

Io Connect(Socket s, uint32_t address, uint16_t port, int timeoutMs, int& error) {
  int fd = int(s);
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = address;
  Io result = Io::Done;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
    if (errno != EINPROGRESS) {
      error = errno;
      result = Io::Failed;
    } else {
      result = WaitFor(fd, true, timeoutMs, error);
      if (result == Io::Done) {
        int soError = 0;
        socklen_t len = sizeof soError;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len) != 0) soError = errno;
        if (soError != 0) {
          error = soError;
          result = Io::Failed;
        }
      }
    }
  }
  return result;
}

Io Send(Socket s, const char* data, size_t count, int timeoutMs, size_t& sent, int& error) {
  for (;;) {
    Io ready = WaitFor(int(s), true, timeoutMs, error);
    if (ready != Io::Done) return ready;
    ssize_t n = ::send(int(s), data, count, MSG_NOSIGNAL);
    if (n > 0) {
      sent = size_t(n);
      return Io::Done;
    }
    if (n < 0 && WouldBlock(errno)) continue;
    error = n < 0 ? errno : EPIPE;
    return Io::Failed;
  }
}

Io Receive(Socket s, char* buffer, size_t size, int timeoutMs, size_t& received, int& error) {
  for (;;) {
    Io ready = WaitFor(int(s), false, timeoutMs, error);
    if (ready != Io::Done) return ready;
    ssize_t n = ::recv(int(s), buffer, size, 0);
    if (n > 0) {
      received = size_t(n);
      return Io::Done;
    }
    if (n == 0) return Io::Closed;
    if (WouldBlock(errno)) continue;
    error = errno;
    return Io::Failed;
  }
}

void Close(Socket s) { ::close(int(s)); }

int PeerState(Socket s) {
  sockaddr_in peer{};
  socklen_t len = sizeof peer;
  if (::getpeername(int(s), reinterpret_cast<sockaddr*>(&peer), &len) == 0) return 2;
  return errno == ENOTCONN ? 1 : 3;
}

std::string ErrorText(int error) {
  switch (error) {
    case ECONNREFUSED: return "connection refused";
    case ECONNRESET: return "connection reset by the server";
    case EPIPE: return "connection closed by the server";
    case ETIMEDOUT: return "connection timed out";
    case ENETUNREACH: return "network unreachable";
    case EHOSTUNREACH: return "host unreachable";
    case ECONNABORTED: return "connection aborted";
    default: return "socket error " + std::to_string(error);
  }
}

platform::LocalTime Now() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  platform::LocalTime out;
  out.year = tm.tm_year + 1900;
  out.month = tm.tm_mon + 1;
  out.day = tm.tm_mday;
  out.hour = tm.tm_hour;
  out.minute = tm.tm_min;
  out.second = tm.tm_sec;
  return out;
}

int TimeZoneBias() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  return int(-tm.tm_gmtoff / 60);
}

}  // namespace mail_os
