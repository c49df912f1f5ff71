#include "net/SntpPacket.h"

namespace net {

namespace {

constexpr std::uint8_t ModeClient = 3;
constexpr std::uint8_t ModeServer = 4;
constexpr std::uint8_t VersionSent = 4;
constexpr std::uint8_t LeapAlarm = 3;
constexpr std::uint8_t MaxStratum = 15;

constexpr std::size_t ReferenceIdOffset = 12;
constexpr std::size_t OriginateOffset = 24;
constexpr std::size_t ReceiveOffset = 32;
constexpr std::size_t TransmitOffset = 40;

// Seconds from 1900-01-01 (the NTP epoch) to 1970-01-01.
constexpr std::int64_t NtpToUnixSeconds = 2'208'988'800;
constexpr std::int64_t EraSeconds = std::int64_t{1} << 32;

NtpTimestamp ReadTimestamp(std::span<const std::uint8_t> packet, std::size_t offset)
{
    NtpTimestamp value = 0;
    for (std::size_t i = 0; i < 8; ++i)
        value = value << 8 | packet[offset + i];
    return value;
}

// The reference id's four ASCII letters; anything unprintable shows as "?" in the protocol.
std::string KissCode(std::span<const std::uint8_t> packet)
{
    std::string code;
    for (std::size_t i = 0; i < 4; ++i) {
        const std::uint8_t c = packet[ReferenceIdOffset + i];
        code += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    }
    return code;
}

} // namespace

std::array<std::uint8_t, SntpPacketSize> SntpRequest(NtpTimestamp transmit)
{
    std::array<std::uint8_t, SntpPacketSize> packet{};
    packet[0] = VersionSent << 3 | ModeClient;
    for (std::size_t i = 0; i < 8; ++i)
        packet[TransmitOffset + i] = static_cast<std::uint8_t>(transmit >> (56 - 8 * i));
    return packet;
}

SntpReply CheckSntpReply(std::span<const std::uint8_t> packet, NtpTimestamp sentTransmit)
{
    if (packet.size() < SntpPacketSize)
        return {};
    const std::uint8_t leap = packet[0] >> 6;
    const std::uint8_t version = (packet[0] >> 3) & 7;
    const std::uint8_t mode = packet[0] & 7;
    const std::uint8_t stratum = packet[1];
    // Only an echo of our random transmit timestamp proves the packet answers our request.
    if (mode != ModeServer || (version != 3 && version != 4) ||
        ReadTimestamp(packet, OriginateOffset) != sentTransmit)
        return {};
    if (stratum == 0)
        return {SntpVerdict::KissOfDeath, 0, 0, KissCode(packet)};
    SntpReply reply{SntpVerdict::Accepted,
                    ReadTimestamp(packet, ReceiveOffset),
                    ReadTimestamp(packet, TransmitOffset),
                    {}};
    // A zero timestamp is a server that does not know the time, not 7 February 2036.
    if (stratum > MaxStratum || leap == LeapAlarm || reply.receive == 0 || reply.transmit == 0)
        return {};
    return reply;
}

std::chrono::system_clock::duration ClockOffset(std::chrono::system_clock::time_point sent,
                                                const SntpReply& reply,
                                                std::chrono::system_clock::time_point received)
{
    return ((FromNtp(reply.receive) - sent) + (FromNtp(reply.transmit) - received)) / 2;
}

std::chrono::system_clock::time_point FromNtp(NtpTimestamp timestamp)
{
    const std::int64_t seconds = static_cast<std::int64_t>(timestamp >> 32);
    const std::int64_t era = (seconds & 0x8000'0000) ? 0 : 1;
    const auto fraction = std::chrono::nanoseconds(
        static_cast<std::int64_t>(((timestamp & 0xFFFF'FFFF) * 1'000'000'000) >> 32));
    return std::chrono::system_clock::time_point(
        std::chrono::seconds(seconds + era * EraSeconds - NtpToUnixSeconds) + fraction);
}

NtpTimestamp ToNtp(std::chrono::system_clock::time_point time)
{
    const auto sinceEpoch =
        std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch());
    const auto seconds = std::chrono::floor<std::chrono::seconds>(sinceEpoch);
    const auto fraction = static_cast<std::uint64_t>((sinceEpoch - seconds).count());
    const auto ntpSeconds = static_cast<std::uint64_t>(seconds.count() + NtpToUnixSeconds);
    return (ntpSeconds & 0xFFFF'FFFF) << 32 | ((fraction << 32) / 1'000'000'000);
}

} // namespace net
