#include "settings/RegEntry.h"

#include "platform/store/RegistryStore.h"
#include "settings/Registry.h"

#include <algorithm>
#include <cstring>

CRegEntry::CRegEntry(CRegistry& key, const char* valueName, std::uint32_t type)
    : key_(key), name_(valueName), type_(type)
{
}

bool CRegEntry::Read(void* data, std::uint32_t& size)
{
    return key_.ReadValue(name_, type_, data, size);
}

bool CRegEntry::Write(const void* data, std::uint32_t size)
{
    const bool written = key_.WriteValue(name_, type_, data, size);
    writtenAt_ = written ? std::optional(key_.Rollbacks()) : std::nullopt;
    return written;
}

bool CRegEntry::Written() const
{
    return writtenAt_ == key_.Rollbacks();
}

CRegDWORD::CRegDWORD(CRegistry& key, const char* valueName, std::uint32_t defaultValue)
    : CRegEntry(key, valueName, platform::RegDword)
{
    unsigned char bytes[4] = {};
    std::uint32_t size = sizeof bytes;
    // Fewer than four bytes would leave part of the number undefined: treat it as unusable.
    if (Read(bytes, size) && size == sizeof bytes)
        value_ = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | std::uint32_t(bytes[3]) << 24;
    else
        Set(defaultValue);
}

bool CRegDWORD::Set(std::uint32_t value)
{
    value_ = value;
    const unsigned char bytes[4] = {static_cast<unsigned char>(value), //
                                    static_cast<unsigned char>(value >> 8),
                                    static_cast<unsigned char>(value >> 16),
                                    static_cast<unsigned char>(value >> 24)};
    return Write(bytes, sizeof bytes);
}

bool CRegDWORD::SetIfChanged(std::uint32_t value)
{
    return (value == value_ && Written()) || Set(value);
}

CRegSZ::CRegSZ(CRegistry& key, const char* valueName, const char* defaultText)
    : CRegEntry(key, valueName, platform::RegSz)
{
    std::uint32_t size = buffer_.size();
    if (Read(buffer_.data(), size)) {
        // Data without a terminating zero still ends inside the buffer, on a whole character.
        const std::size_t stored = strnlen(buffer_.data(), size);
        const std::size_t length = Utf8PrefixLength(buffer_.data(), stored, MaxLength);
        std::fill(buffer_.begin() + length, buffer_.end(), '\0');
    } else {
        Set(defaultText);
    }
}

bool CRegSZ::Set(const char* text)
{
    const std::size_t length = Utf8PrefixLength(text, std::strlen(text), MaxLength);
    buffer_.fill('\0');
    std::memcpy(buffer_.data(), text, length);
    return Write(buffer_.data(), static_cast<std::uint32_t>(length + 1));
}

CRegBinary::CRegBinary(CRegistry& key, const char* valueName)
    : CRegEntry(key, valueName, platform::RegBinary)
{
    std::uint32_t size = bytes_.size();
    size_ = Read(bytes_.data(), size) ? size : 0;
}

bool CRegBinary::Set(std::span<const unsigned char> bytes)
{
    if (bytes.size() > bytes_.size())
        return false;
    std::copy(bytes.begin(), bytes.end(), bytes_.begin());
    size_ = bytes.size();
    set_ = true;
    return Write(bytes_.data(), static_cast<std::uint32_t>(size_));
}

bool CRegBinary::SetIfChanged(std::span<const unsigned char> bytes)
{
    return (std::ranges::equal(bytes, Get()) && (!set_ || Written())) || Set(bytes);
}

std::size_t Utf8PrefixLength(const char* text, std::size_t length, std::size_t maxBytes)
{
    if (length <= maxBytes)
        return length;
    std::size_t cut = maxBytes;
    // Step back over continuation bytes (10xxxxxx) to the start of the character that was cut.
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return cut;
}
