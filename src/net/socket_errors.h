#pragma once
#include <string>

namespace vistrel {

// The socket layer reports errors with the classic WinSock numbers (10061 "Connection refused" ...),
// because the FTP and HTTP clients build their user-visible texts and their request results from
// them. errno and getaddrinfo codes are translated here and nowhere else.
namespace wsa {
constexpr int NoError = 0;
constexpr int Interrupted = 10004;
constexpr int BadFile = 10009;
constexpr int Access = 10013;
constexpr int Fault = 10014;
constexpr int InvalidArgument = 10022;
constexpr int TooManyFiles = 10024;
constexpr int WouldBlock = 10035;
constexpr int InProgress = 10036;
constexpr int Already = 10037;
constexpr int NotSocket = 10038;
constexpr int ConnAborted = 10053;
constexpr int ConnReset = 10054;
constexpr int NotConnected = 10057;
constexpr int TimedOut = 10060;
constexpr int ConnRefused = 10061;
constexpr int HostNotFound = 11001;
constexpr int TryAgain = 11002;
constexpr int NoRecovery = 11003;
constexpr int NoData = 11004;
} // namespace wsa

// The text for a socket error number; "Not a WinSock error" for numbers outside the table.
std::string SocketErrorDesc(int error);

// errno of a failed system call -> socket error number.
int SocketErrorFromErrno(int error);

// getaddrinfo() result -> socket error number (11001 for an unknown host, ...).
int SocketErrorFromResolver(int gaiError, int savedErrno);

} // namespace vistrel
