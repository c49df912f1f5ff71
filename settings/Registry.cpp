#include "settings/Registry.h"

CRegistry::CRegistry(const std::filesystem::path& storeFile, const std::string& keyPath,
                     Access access)
{
    Open(storeFile, keyPath, access);
}

CRegistry::~CRegistry()
{
    Close();
}

void CRegistry::Open(const std::filesystem::path& storeFile, const std::string& keyPath,
                     Access access)
{
    Close();
    store_ = access == Access::ReadOnly
                 ? platform::RegistryStore::openForReading(storeFile, keyPath, openError_)
                 : platform::RegistryStore::createKey(storeFile, keyPath, openError_);
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

template <typename Write> bool CRegistry::Stage(const Write& write)
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
    const bool written = write();
    transactionFailed_ = !written && transactionBegun_;
    return written;
}

bool CRegistry::WriteValue(const char* name, std::uint32_t type, const void* data,
                           std::uint32_t size)
{
    return Stage([&] { return store_->setValue(name, type, data, size) == platform::RegSuccess; });
}

bool CRegistry::WriteHistory(const std::function<bool(platform::UsageHistory&)>& write)
{
    platform::UsageHistory* history = History();
    return history && Stage([&] { return write(*history); });
}

CRegistry::Transaction::Transaction(CRegistry& key) : key_(key)
{
    ++key_.transactionDepth_;
}

CRegistry::Transaction::~Transaction()
{
    if (!ended_)
        End();
}

bool CRegistry::Transaction::End()
{
    ended_ = true;
    bool stored = !key_.transactionFailed_;
    if (--key_.transactionDepth_ != 0 || !key_.transactionBegun_)
        return stored;
    stored = stored && key_.store_->commit() == platform::RegSuccess;
    if (!stored) {
        key_.store_->rollback();
        ++key_.rollbacks_;
    }
    key_.transactionBegun_ = false;
    key_.transactionFailed_ = false;
    return stored;
}
