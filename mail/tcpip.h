#pragma once
// The TCP client under the SMTP client.
//
// How it works: T_TcpIp resolves Hostname, opens one stream socket to it and exchanges
// text lines and raw bytes over it, reporting each step through OnTrace (kind 0 a command
// line sent, 2 a socket event, 3 a status text). Every wait — connect, send, receive — is
// bounded by Timeout, and a derived client bounds whole exchanges (a reply, a mail) with
// deadlines over all their waits, so a peer that trickles data cannot hold it either.
// Every failure raises ESocketError with a message that names the host, the port, the
// cause and what the client was doing, so callers never hang and never mistake a broken
// connection for an answer. Sends are looped until every byte is out. The system calls
// sit behind socket_os.h: BSD sockets in the native build, Windows Sockets 1.1 in the
// Windows build, with the same class and messages.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/core/exception.h"
#include "framework/core/object.h"
#include "framework/core/streams.h"
#include "mail/socket_os.h"

// The error class of the socket client and everything built on it.
class ETcpIpError : public Exception {
 public:
  using Exception::Exception;
};

// A socket that could not be made, connected, written or read; carries the error code
// (0 for a closed connection or a timeout).
class ESocketError : public ETcpIpError {
 public:
  explicit ESocketError(int code, std::string message = "Error creating socket")
      : ETcpIpError(std::move(message)), code_(code) {}
  int Code() const { return code_; }

 private:
  int code_;
};

// "1 second", "20 seconds", "5 minutes", "1500 milliseconds".
std::string DurationText(int milliseconds);

// Sender, text, kind.
using TTraceEvent = TEvent<void(TObject* Sender, const std::string& Text, int Kind)>;

class T_TcpIp : public TComponent {
  FW_CLASS(T_TcpIp, TComponent)

 public:
  enum TraceKind { kTraceCommand = 0, kTraceSocket = 2, kTraceStatus = 3 };
  static constexpr size_t kBufferSize = 32512;
  static constexpr int kDefaultTimeoutMs = 120000;
  // A line longer than this is not an answer of a sane server.
  static constexpr size_t kMaxLineLength = 65536;

  explicit T_TcpIp(TComponent* owner);

  const std::string& Hostname() const { return hostname_; }
  void SetHostname(std::string host) { hostname_ = std::move(host); }
  uint16_t Port() const { return port_; }
  void SetPort(uint16_t port) { port_ = port; }
  // The longest wait for the server, in milliseconds, for each step.
  int Timeout() const { return timeoutMs_; }
  void SetTimeout(int milliseconds) { timeoutMs_ = milliseconds > 0 ? milliseconds : 1; }
  // What the base Action read, rewound.
  TMemoryStream& Data() { return data_; }

  // Connects to Hostname at the port, closing an earlier connection first.
  virtual void Login();
  virtual void Logout();
  // Sends text + CR LF.
  virtual void SendCommand(const std::string& text);
  // True when the connection delivered its last byte or is no longer connected.
  virtual bool Eof();
  // Logs in and reads everything the server sends until it closes the connection.
  virtual void Action();

  TTraceEvent OnTrace;

 protected:
  ~T_TcpIp() override;
  virtual void OpenConnection();
  void Trace(const std::string& text, int kind);
  void SendBytes(const char* data, size_t count);
  // Receives what arrives into buffer; 0 when the server closed the connection.
  size_t Receive(char* buffer, size_t size);
  // One line without its CR LF (a bare LF also ends it; a CR elsewhere is dropped); raises
  // when the connection ends before the line does or the line grows past kMaxLineLength.
  std::string ReadLine();
  bool Connected() const { return connected_; }
  // "host H port P".
  std::string Where() const;
  // What the client is doing, for the messages of socket errors ("waiting for ..."); empty
  // when nothing in particular.
  const std::string& Activity() const { return activity_; }
  void SetActivity(std::string activity) { activity_ = std::move(activity); }
  // The message followed by " (activity)" when there is one.
  std::string WithActivity(const std::string& message) const;

  // A bound on the total time of the waits made while it lives: the wait that reaches its
  // end stops there and raises ESocketError (code 0) with the message it then makes.
  // Deadlines nest, the nearest one counts; they end in the reverse order of their start.
  class TDeadline {
   public:
    TDeadline(T_TcpIp& client, int milliseconds, std::function<std::string()> message);
    ~TDeadline();
    TDeadline(const TDeadline&) = delete;
    TDeadline& operator=(const TDeadline&) = delete;

   private:
    friend class T_TcpIp;
    T_TcpIp& client_;
    std::chrono::steady_clock::time_point end_;
    std::function<std::string()> message_;
  };

 private:
  // The limit of the next wait: Timeout, or what is left of the nearest deadline (then
  // set in by); raises when that deadline has passed.
  int NextWait(const TDeadline*& by);
  [[noreturn]] void RaiseDeadline(const TDeadline& deadline);
  // A timed-out wait that a deadline shortened raises that deadline's message.
  [[noreturn]] void RaiseIoError(mail_os::Io result, int error, bool sending,
                                 const TDeadline* deadline = nullptr);
  void CloseSocket();
  std::string TimeoutText() const;

  std::string hostname_;
  mail_os::Socket socket_ = mail_os::kNoSocket;
  uint16_t port_ = 0;
  uint32_t address_ = 0xFFFFFFFFu;
  int timeoutMs_ = kDefaultTimeoutMs;
  bool end_ = false;
  bool connected_ = false;
  std::string activity_;
  std::vector<const TDeadline*> deadlines_;
  TMemoryStream data_;
  std::vector<char> buffer_;
  size_t bufferPos_ = 0, bufferEnd_ = 0;  // bytes received but not yet read as lines
};
