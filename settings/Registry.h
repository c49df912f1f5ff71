#pragma once

#include "platform/store/RegistryStore.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

// The one open key of the settings. When it cannot be opened every read and write fails quietly,
// so the program runs on its defaults without persistence.
class CRegistry {
public:
    // Read-only: the store must exist already, and every write fails.
    enum class Access { ReadWrite, ReadOnly };

    CRegistry(const std::filesystem::path& storeFile, const std::string& keyPath,
              Access access = Access::ReadWrite);
    ~CRegistry();
    CRegistry(const CRegistry&) = delete;
    CRegistry& operator=(const CRegistry&) = delete;

    void Open(const std::filesystem::path& storeFile, const std::string& keyPath,
              Access access = Access::ReadWrite);
    void Close();
    bool IsOpen() const { return open_; }
    // Why the key could not be opened, for the user; empty while it is open.
    const std::string& OpenError() const { return openError_; }

    // True when the value exists, fits `size` bytes and has `expectedType`; `size` then holds the
    // number of bytes read.
    bool ReadValue(const char* name, std::uint32_t expectedType, void* data, std::uint32_t& size);
    // Inside a transaction true means staged: stored when the transaction ends well.
    bool WriteValue(const char* name, std::uint32_t type, const void* data, std::uint32_t size);
    // How many transactions have been rolled back: what was staged in them is not in the store.
    std::uint64_t Rollbacks() const { return rollbacks_; }

    // The usage history in the same store, for reading; nullptr while the key is not open or the
    // store has no usable history.
    platform::UsageHistory* History() { return open_ ? store_->history() : nullptr; }
    // Runs `write` on the history as one more write of the current transaction; false, with the
    // transaction untouched, when there is no history.
    bool WriteHistory(const std::function<bool(platform::UsageHistory&)>& write);

    // While it lives, every write to the key belongs to one commit made when it ends: values that
    // only make sense together (the two halves of a sum) are stored together or not at all. Once
    // a write fails, the later ones are refused and nothing of the transaction is stored. Scopes
    // nest; the outermost one commits. A scope without writes never touches the store.
    class Transaction {
    public:
        explicit Transaction(CRegistry& key);
        ~Transaction();
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;

        // Ends the scope before its end: true when its writes are stored (an inner scope's: still
        // staged).
        bool End();

    private:
        CRegistry& key_;
        bool ended_ = false;
    };

private:
    // Runs one write of the store, as part of the current transaction when there is one.
    template <typename Write> bool Stage(const Write& write);

    bool open_ = false;
    std::string openError_;
    std::unique_ptr<platform::RegistryStore> store_;
    int transactionDepth_ = 0;
    bool transactionBegun_ = false;
    bool transactionFailed_ = false;
    std::uint64_t rollbacks_ = 0;
};
