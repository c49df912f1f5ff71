#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

class CRegistry;

// One named value of the settings key with its fixed type.
class CRegEntry {
public:
    CRegEntry(CRegistry& key, const char* valueName, std::uint32_t type);

    const char* Name() const { return name_; }

protected:
    bool Read(void* data, std::uint32_t& size);
    bool Write(const void* data, std::uint32_t size);

private:
    CRegistry& key_;
    const char* name_;
    std::uint32_t type_;
};

// A 32-bit unsigned setting: read once at construction, written through on every Set.
class CRegDWORD : public CRegEntry {
public:
    CRegDWORD(CRegistry& key, const char* valueName, std::uint32_t defaultValue);

    std::uint32_t Get() const { return value_; }
    bool Set(std::uint32_t value);

private:
    std::uint32_t value_ = 0;
};

// A text setting of at most 255 bytes of UTF-8, zero-terminated in its own buffer; a longer text
// is cut at the last whole character that fits.
class CRegSZ : public CRegEntry {
public:
    static constexpr std::size_t MaxLength = 255;

    CRegSZ(CRegistry& key, const char* valueName, const char* defaultText);

    const char* Get() const { return buffer_.data(); }
    bool Set(const char* text);

private:
    std::array<char, MaxLength + 1> buffer_{};
};

// Length of the longest prefix of `text` of at most `maxBytes` bytes that does not end inside a
// UTF-8 character.
std::size_t Utf8PrefixLength(const char* text, std::size_t length, std::size_t maxBytes);
