#pragma once

#include "platform/RegistryStore.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

// The one open key of the settings. When it cannot be opened every read and write fails quietly,
// so the program runs on its defaults without persistence.
class CRegistry {
public:
    CRegistry(const std::filesystem::path& storeFile, const std::string& keyPath);
    ~CRegistry();
    CRegistry(const CRegistry&) = delete;
    CRegistry& operator=(const CRegistry&) = delete;

    void Open(const std::filesystem::path& storeFile, const std::string& keyPath);
    void Close();
    bool IsOpen() const { return open_; }

    // True when the value exists, fits `size` bytes and has `expectedType`; `size` then holds the
    // number of bytes read.
    bool ReadValue(const char* name, std::uint32_t expectedType, void* data, std::uint32_t& size);
    bool WriteValue(const char* name, std::uint32_t type, const void* data, std::uint32_t size);

private:
    bool open_ = false;
    std::unique_ptr<platform::RegistryStore> store_;
};
