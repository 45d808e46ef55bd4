#pragma once
// A server on a free loopback port that sends fixed bytes to its first caller, in the
// pieces given (so they arrive in several receives), and hangs up. It waits at most
// kAcceptWaitMs for the caller and stops sending when the caller has gone.
#include <string>
#include <thread>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <winsock.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include "mail/ip_misc.h"

namespace mailtest {

class LoopbackServer {
 public:
  static constexpr int kAcceptWaitMs = 30000;

  explicit LoopbackServer(std::vector<std::string> pieces) : pieces_(std::move(pieces)) {
    if (!tcpip_ready()) return;
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    Length len = sizeof a;
    ok_ = listener_ != kNone && bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
          listen(listener_, 1) == 0 &&
          getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len) == 0;
    port_ = ntohs(a.sin_port);
    if (ok_) thread_ = std::thread([this] { Serve(); });
  }
  explicit LoopbackServer(std::string payload)
      : LoopbackServer(std::vector<std::string>{std::move(payload)}) {}
  ~LoopbackServer() {
    if (thread_.joinable()) thread_.join();
    if (listener_ != kNone) CloseSocket(listener_);
  }
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  bool Ok() const { return ok_; }
  uint16_t Port() const { return port_; }

 private:
#ifdef _WIN32
  using Handle = SOCKET;
  using Length = int;
  static constexpr Handle kNone = INVALID_SOCKET;
  static constexpr int kSendFlags = 0;
  static void CloseSocket(Handle s) { closesocket(s); }
#else
  using Handle = int;
  using Length = socklen_t;
  static constexpr Handle kNone = -1;
  static constexpr int kSendFlags = MSG_NOSIGNAL;
  static void CloseSocket(Handle s) { close(s); }
#endif

  void Serve() {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(listener_, &set);
    timeval wait{kAcceptWaitMs / 1000, 0};
    if (select(int(listener_) + 1, &set, nullptr, nullptr, &wait) != 1) return;
    Handle s = accept(listener_, nullptr, nullptr);
    if (s == kNone) return;
    for (const std::string& piece : pieces_) {
      size_t sent = 0;
      while (sent < piece.size()) {
        int n = send(s, piece.data() + sent, int(piece.size() - sent), kSendFlags);
        if (n <= 0) break;
        sent += size_t(n);
      }
      if (sent < piece.size()) break;
    }
    CloseSocket(s);
  }

  std::vector<std::string> pieces_;
  Handle listener_ = kNone;
  bool ok_ = false;
  uint16_t port_ = 0;
  std::thread thread_;
};

}  // namespace mailtest
