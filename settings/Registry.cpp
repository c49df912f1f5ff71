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
    store_ = platform::RegistryStore::createKey(storeFile, keyPath, openError_);
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
    // After a failure SQLite may have ended the transaction by itself; a later write would then
    // be committed on its own, half a pair.
    if (!open_ || transactionFailed_)
        return false;
    // The first write begins the transaction, so a scope that writes nothing costs nothing.
    if (transactionDepth_ > 0 && !transactionBegun_) {
        transactionBegun_ = true;
        transactionFailed_ = store_->begin() != platform::RegSuccess;
        if (transactionFailed_)
            return false;
    }
    const bool written = store_->setValue(name, type, data, size) == platform::RegSuccess;
    transactionFailed_ = !written && transactionBegun_;
    return written;
}

CRegistry::Transaction::Transaction(CRegistry& key) : key_(key)
{
    ++key_.transactionDepth_;
}

CRegistry::Transaction::~Transaction()
{
    if (--key_.transactionDepth_ != 0 || !key_.transactionBegun_)
        return;
    if (key_.transactionFailed_ || key_.store_->commit() != platform::RegSuccess)
        key_.store_->rollback();
    key_.transactionBegun_ = false;
    key_.transactionFailed_ = false;
}
