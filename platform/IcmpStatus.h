#pragma once

#include <cstdint>

// The status vocabulary of an echo outcome. Everything above the echo layer speaks these numbers; errno and ICMP
// type/code never travel further up than IcmpEcho.cpp.
namespace IcmpStatus {
constexpr std::uint32_t Success = 0;
constexpr std::uint32_t BufferTooSmall = 11001;
constexpr std::uint32_t DestNetUnreachable = 11002;
constexpr std::uint32_t DestHostUnreachable = 11003;
constexpr std::uint32_t DestProtocolUnreachable = 11004;
constexpr std::uint32_t DestPortUnreachable = 11005;
constexpr std::uint32_t NoResources = 11006;
constexpr std::uint32_t BadOption = 11007;
constexpr std::uint32_t HardwareError = 11008;
constexpr std::uint32_t PacketTooBig = 11009;
constexpr std::uint32_t RequestTimedOut = 11010;
constexpr std::uint32_t BadRequest = 11011;
constexpr std::uint32_t BadRoute = 11012;
constexpr std::uint32_t TtlExpiredTransit = 11013;
constexpr std::uint32_t TtlExpiredReassembly = 11014;
constexpr std::uint32_t ParameterProblem = 11015;
constexpr std::uint32_t SourceQuench = 11016;
constexpr std::uint32_t OptionTooBig = 11017;
constexpr std::uint32_t BadDestination = 11018;
constexpr std::uint32_t GeneralFailure = 11050;
} // namespace IcmpStatus
