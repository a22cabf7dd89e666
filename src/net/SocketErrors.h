#pragma once

#include <cstdint>
#include <string>

namespace quillet {

// Error codes of the socket layer. They follow the Windows Sockets numbering, which the rest of
// the program relies on (0 success, 10054 peer closed, 10060 nothing arrived in time); the
// platform's errno values and resolver results are mapped onto it.
namespace sockerr {
inline constexpr std::int32_t NoError = 0;
inline constexpr std::int32_t Interrupted = 10004;
inline constexpr std::int32_t InvalidArgument = 10022;
inline constexpr std::int32_t WouldBlock = 10035;
inline constexpr std::int32_t InProgress = 10036;
inline constexpr std::int32_t NotSocket = 10038;
inline constexpr std::int32_t AddressInUse = 10048;
inline constexpr std::int32_t NetworkDown = 10050;
inline constexpr std::int32_t NetworkUnreachable = 10051;
inline constexpr std::int32_t ConnectionAborted = 10053;
inline constexpr std::int32_t ConnectionReset = 10054;
inline constexpr std::int32_t NoBufferSpace = 10055;
inline constexpr std::int32_t NotConnected = 10057;
inline constexpr std::int32_t TimedOut = 10060;
inline constexpr std::int32_t ConnectionRefused = 10061;
inline constexpr std::int32_t HostUnreachable = 10065;
inline constexpr std::int32_t HostNotFound = 11001;
inline constexpr std::int32_t TryAgain = 11002;
inline constexpr std::int32_t NoRecovery = 11003;
inline constexpr std::int32_t NoData = 11004;
// An errno without a Windows Sockets counterpart is carried as this base plus the errno, so the
// code stays nonzero, distinct and clear of the Windows Sockets range.
inline constexpr std::int32_t UnmappedErrnoBase = 20000;
} // namespace sockerr

// The fixed English description of a code; empty for 0, "Other Winsock error (N)" for a code
// without a text of its own.
std::string SocketErrorDesc(std::int32_t code);

// Maps an errno value from a socket call onto the numbering above; 0 stays 0.
std::int32_t SocketErrorFromErrno(int err);

// Maps a getaddrinfo result onto the numbering above; `err` is errno, consulted for EAI_SYSTEM.
std::int32_t SocketErrorFromResolver(int eaiCode, int err);

} // namespace quillet
