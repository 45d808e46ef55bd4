#include "mail/tcpip.h"

#include "mail/ip_misc.h"

const TClassInfo& T_TcpIp::StaticClass() {
  using P = TProps<T_TcpIp>;
  static const TClassInfo info{
      "T_TcpIp", &TComponent::StaticClass(), Factory<T_TcpIp>(),
      {P::Str("Hostname", [](const T_TcpIp& c) { return c.Hostname(); }, &T_TcpIp::SetHostname),
       P::Event("OnTrace", &T_TcpIp::OnTrace)}};
  return info;
}

T_TcpIp::T_TcpIp(TComponent* owner) : TComponent(owner), buffer_(kBufferSize) {}

T_TcpIp::~T_TcpIp() {
  OnTrace = {};
  if (socket_ != mail_os::kNoSocket) Logout();
}

void T_TcpIp::Trace(const std::string& text, int kind) { OnTrace(this, text, kind); }

std::string DurationText(int milliseconds) {
  auto count = [](int n, const char* unit) {
    return std::to_string(n) + " " + unit + (n == 1 ? "" : "s");
  };
  if (milliseconds >= 60000 && milliseconds % 60000 == 0)
    return count(milliseconds / 60000, "minute");
  if (milliseconds % 1000 == 0) return count(milliseconds / 1000, "second");
  return count(milliseconds, "millisecond");
}

std::string T_TcpIp::TimeoutText() const { return DurationText(timeoutMs_); }

T_TcpIp::TDeadline::TDeadline(T_TcpIp& client, int milliseconds,
                              std::function<std::string()> message)
    : client_(client),
      end_(std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds)),
      message_(std::move(message)) {
  client_.deadlines_.push_back(this);
}

T_TcpIp::TDeadline::~TDeadline() { client_.deadlines_.pop_back(); }

int T_TcpIp::NextWait(const TDeadline*& by) {
  by = nullptr;
  int wait = timeoutMs_;
  const auto now = std::chrono::steady_clock::now();
  for (const TDeadline* d : deadlines_) {
    if (d->end_ <= now) RaiseDeadline(*d);
    // Rounded up, so a wait never ends before its deadline.
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(d->end_ - now).count();
    if (left < wait) {
      wait = int(left);
      by = d;
    }
  }
  return wait;
}

void T_TcpIp::RaiseDeadline(const TDeadline& deadline) {
  end_ = true;
  throw ESocketError(0, deadline.message_());
}

std::string T_TcpIp::WithActivity(const std::string& message) const {
  return activity_.empty() ? message : message + " (" + activity_ + ")";
}

std::string T_TcpIp::Where() const {
  return "host " + hostname_ + " port " + std::to_string(port_);
}

void T_TcpIp::Login() {
  if (connected_) Logout();
  if (!tcpip_ready()) throw ETcpIpError("Windows Sockets are not available on this computer");
  if (hostname_.find_first_not_of(" \t") == std::string::npos)
    throw ETcpIpError("No host name given");
  ipmisc::CheckHeaderValue("host name", hostname_);
  address_ = ipmisc::Resolve(hostname_);
  if (address_ == ipmisc::kNoAddress) throw ETcpIpError("Couldn't resolve hostname " + hostname_);
  OpenConnection();
  end_ = false;
  bufferPos_ = bufferEnd_ = 0;
  connected_ = true;
}

void T_TcpIp::OpenConnection() {
  CloseSocket();
  const TDeadline* deadline = nullptr;
  const int wait = NextWait(deadline);
  int error = 0;
  mail_os::Socket s = mail_os::CreateStreamSocket(error);
  if (s == mail_os::kNoSocket)
    throw ESocketError(error, "Error creating socket for " + Where() + ": " +
                                  mail_os::ErrorText(error));
  const std::string target =
      std::to_string(port_) + " to host " + ipmisc::DottedAddress(address_);
  mail_os::Io result = mail_os::Connect(s, address_, port_, wait, error);
  if (result != mail_os::Io::Done) {
    mail_os::Close(s);
    Trace("Failed to open output socket " + target, kTraceSocket);
    if (result == mail_os::Io::TimedOut && deadline) RaiseDeadline(*deadline);
    std::string cause = result == mail_os::Io::TimedOut ? "no answer within " + TimeoutText()
                                                        : mail_os::ErrorText(error);
    throw ESocketError(result == mail_os::Io::TimedOut ? 0 : error,
                       "Error creating socket for " + Where() + ": " + cause);
  }
  socket_ = s;
  Trace("Opened output socket " + target + " successfully; ID " + std::to_string(socket_),
        kTraceSocket);
}

void T_TcpIp::CloseSocket() {
  if (socket_ == mail_os::kNoSocket) return;
  mail_os::Close(socket_);
  Trace("Closed socket ID " + std::to_string(socket_), kTraceSocket);
  socket_ = mail_os::kNoSocket;
}

void T_TcpIp::Logout() {
  CloseSocket();
  connected_ = false;
}

void T_TcpIp::RaiseIoError(mail_os::Io result, int error, bool sending,
                           const TDeadline* deadline) {
  if (result == mail_os::Io::TimedOut && deadline) RaiseDeadline(*deadline);
  end_ = true;
  std::string message;
  int code = 0;
  if (result == mail_os::Io::Closed) {
    message = "The connection to " + Where() + " was closed by the server";
  } else if (result == mail_os::Io::TimedOut) {
    message = sending ? "The server at " + Where() + " took no data within " + TimeoutText()
                      : "No answer from " + Where() + " within " + TimeoutText();
  } else {
    code = error;
    message = std::string(sending ? "Sending to " : "Receiving from ") + Where() +
              " failed: " + mail_os::ErrorText(error);
  }
  throw ESocketError(code, WithActivity(message));
}

void T_TcpIp::SendBytes(const char* data, size_t count) {
  if (socket_ == mail_os::kNoSocket) throw ESocketError(0, "Not connected to " + Where());
  size_t total = 0;
  while (total < count) {
    size_t sent = 0;
    int error = 0;
    const TDeadline* deadline = nullptr;
    const int wait = NextWait(deadline);
    mail_os::Io result = mail_os::Send(socket_, data + total, count - total, wait, sent, error);
    if (result != mail_os::Io::Done) RaiseIoError(result, error, true, deadline);
    total += sent;
  }
  Trace("Sent " + std::to_string(total) + " bytes on socket ID " + std::to_string(socket_),
        kTraceSocket);
}

void T_TcpIp::SendCommand(const std::string& text) {
  std::string line = text + "\r\n";
  SendBytes(line.data(), line.size());
  Trace(text, kTraceCommand);
}

size_t T_TcpIp::Receive(char* buffer, size_t size) {
  if (socket_ == mail_os::kNoSocket || end_) return 0;
  size_t received = 0;
  int error = 0;
  const TDeadline* deadline = nullptr;
  const int wait = NextWait(deadline);
  mail_os::Io result = mail_os::Receive(socket_, buffer, size, wait, received, error);
  if (result == mail_os::Io::Closed) {
    end_ = true;
    return 0;
  }
  if (result != mail_os::Io::Done) RaiseIoError(result, error, false, deadline);
  Trace("Received " + std::to_string(received) + " bytes on socket ID " + std::to_string(socket_),
        kTraceSocket);
  return received;
}

std::string T_TcpIp::ReadLine() {
  std::string line;
  for (;;) {
    if (bufferPos_ == bufferEnd_) {
      bufferPos_ = 0;
      bufferEnd_ = Receive(buffer_.data(), buffer_.size());
      if (bufferEnd_ == 0) RaiseIoError(mail_os::Io::Closed, 0, false);
    }
    char c = buffer_[bufferPos_++];
    if (c == '\n') return line;
    if (c == '\r') continue;
    if (line.size() >= kMaxLineLength)
      throw ESocketError(0, WithActivity("The server at " + Where() +
                                         " sent a line of more than " +
                                         std::to_string(kMaxLineLength) + " characters"));
    line += c;
  }
}

bool T_TcpIp::Eof() {
  if (end_ || socket_ == mail_os::kNoSocket) return true;
  return bufferPos_ == bufferEnd_ && mail_os::PeerState(socket_) != 2;
}

void T_TcpIp::Action() {
  Login();
  data_.Clear();
  while (!Eof()) {
    size_t n = Receive(buffer_.data(), buffer_.size());
    data_.WriteBuffer(buffer_.data(), int32_t(n));
  }
  data_.SetPosition(0);
}
