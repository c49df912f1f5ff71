#include "settings/Registry.h"

CRegistry::CRegistry(const std::filesystem::path& storeFile, const std::string& keyPath)
{
    Open(storeFile, keyPath);
}

CRegistry::~CRegistry()
{
    Close();
}

void CRegistry::Open(const std::filesystem::path& storeFile, const std::string& keyPath)
{
    Close();
    store_ = platform::RegistryStore::createKey(storeFile, keyPath);
    open_ = store_ != nullptr;
}

void CRegistry::Close()
{
    store_.reset();
    open_ = false;
}

bool CRegistry::ReadValue(const char* name, std::uint32_t expectedType, void* data,
                          std::uint32_t& size)
{
    if (!open_)
        return false;
    std::uint32_t storedType = 0;
    if (store_->queryValue(name, storedType, data, size) != platform::RegSuccess)
        return false;
    return storedType == expectedType;
}

bool CRegistry::WriteValue(const char* name, std::uint32_t type, const void* data,
                           std::uint32_t size)
{
    return open_ && store_->setValue(name, type, data, size) == platform::RegSuccess;
}
