#pragma once
// The operating-system primitives under the socket client and the Internet helpers:
// socket_posix.cpp serves the native build (BSD sockets), socket_win32.cpp the Windows
// build (Windows Sockets 1.1). A connected socket does not block: every wait is bounded by
// a timeout through select/poll, and a send takes only what fits, so a silent peer can
// never hold the caller forever.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/file.h"

namespace mail_os {

using Socket = intptr_t;
constexpr Socket kNoSocket = -1;

enum class Io { Done, Closed, TimedOut, Failed };

// Starts the socket library once per process; true only when the start-up succeeded.
bool Startup();

// Address text in dotted form to an IPv4 address (network order); false when not dotted.
bool ParseDotted(const std::string& text, uint32_t& address);
// First IPv4 address of a host name (network order); false when it cannot be resolved.
bool LookUpHost(const std::string& host, uint32_t& address);
// This computer's name, as the resolver states it officially; false when unknown.
bool LocalHostName(std::string& name);

// A new stream socket, or kNoSocket with the error code in error.
Socket CreateStreamSocket(int& error);
// Connects within timeoutMs and leaves the socket non-blocking; Done, TimedOut or Failed
// (error set).
Io Connect(Socket s, uint32_t address, uint16_t port, int timeoutMs, int& error);
// Sends as many of count bytes as the socket takes once it takes data within timeoutMs;
// Done with sent > 0, TimedOut or Failed.
Io Send(Socket s, const char* data, size_t count, int timeoutMs, size_t& sent, int& error);
// Receives up to size bytes arriving within timeoutMs: Done with received > 0, Closed
// when the peer ended the connection, TimedOut or Failed.
Io Receive(Socket s, char* buffer, size_t size, int timeoutMs, size_t& received, int& error);
void Close(Socket s);
// 1 not connected, 2 connected, 3 any other error.
int PeerState(Socket s);
// A short English cause for an error code, the same wording in both builds.
std::string ErrorText(int error);

platform::LocalTime Now();
// Minutes to add to the local time to get UTC.
int TimeZoneBias();

}  // namespace mail_os
