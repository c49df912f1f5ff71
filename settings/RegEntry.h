#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

class CRegistry;

// One named value of the settings key with its fixed type.
class CRegEntry {
public:
    CRegEntry(CRegistry& key, const char* valueName, std::uint32_t type);

    const char* Name() const { return name_; }

protected:
    bool Read(void* data, std::uint32_t& size);
    bool Write(const void* data, std::uint32_t size);
    // The last write succeeded and no transaction has been rolled back since: its data is in the
    // store, or will be once the open transaction commits.
    bool Written() const;

private:
    CRegistry& key_;
    const char* name_;
    std::uint32_t type_;
    // The key's count of rollbacks at the last successful write.
    std::optional<std::uint64_t> writtenAt_;
};

// A 32-bit unsigned setting: read once at construction, written through on every Set.
class CRegDWORD : public CRegEntry {
public:
    CRegDWORD(CRegistry& key, const char* valueName, std::uint32_t defaultValue);

    std::uint32_t Get() const { return value_; }
    bool Set(std::uint32_t value);
    // Writes only a value the store may not hold yet, so that one which rarely changes costs
    // nothing where it is set again and again; a write that was rolled back is made again.
    bool SetIfChanged(std::uint32_t value);

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

// Raw bytes, at most MaxSize: read once at construction (a missing, larger or other value reads as
// none; nothing is written for it then), written through on every Set.
class CRegBinary : public CRegEntry {
public:
    static constexpr std::size_t MaxSize = 2048;

    CRegBinary(CRegistry& key, const char* valueName);

    std::span<const unsigned char> Get() const { return {bytes_.data(), size_}; }
    // False, nothing written, for more than MaxSize bytes.
    bool Set(std::span<const unsigned char> bytes);
    // Writes only bytes the store may not hold yet; a write that was rolled back is made again.
    bool SetIfChanged(std::span<const unsigned char> bytes);

private:
    std::array<unsigned char, MaxSize> bytes_{};
    std::size_t size_ = 0;
    // Until the first write the bytes are the ones read, which the store holds.
    bool set_ = false;
};

// Length of the longest prefix of `text` of at most `maxBytes` bytes that does not end inside a
// UTF-8 character.
std::size_t Utf8PrefixLength(const char* text, std::size_t length, std::size_t maxBytes);
