// A DDE server in memory for engine tests: string handles are atoms (same text without
// regard to case, same handle), any service and topic connect unless told otherwise,
// advise links are accepted except for items named as unknown, and a test sends data and
// disconnects through the registered callback. Every transaction is recorded.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "sources/dde_transport.h"

namespace tarvedde::testing {

class FakeDdeTransport : public DdeTransport {
public:
    struct Transaction {
        std::uint32_t type;
        std::string item;
        int timeoutMs;
    };

    std::uint32_t initializeResult = kDmlErrNoError;
    std::int32_t instanceToGive = 1;
    bool serverRunning = true;
    bool disconnectSucceeds = true;
    bool freeSucceeds = true;
    bool uninitializeSucceeds = true;
    std::uint32_t lastError = kDmlErrNoConvEstablished;
    std::set<std::string> unknownItems;  // upper case

    std::uint32_t Initialize(std::int32_t& instance, Callback callback) override {
        instance = instanceToGive;
        callback_ = std::move(callback);
        return initializeResult;
    }
    bool Uninitialize(std::int32_t) override {
        ++uninitializeCalls;
        return uninitializeSucceeds;
    }
    DdeHandle CreateStringHandle(std::int32_t, const std::string& text) override {
        const std::string key = Upper(text);
        auto found = atoms_.find(key);
        if (found == atoms_.end()) {
            found = atoms_.emplace(key, static_cast<DdeHandle>(atoms_.size() + 100)).first;
            texts_[found->second] = key;
        }
        return found->second;
    }
    bool FreeStringHandle(std::int32_t, DdeHandle handle) override {
        freed.push_back(handle);
        return freeSucceeds;
    }
    DdeHandle Connect(std::int32_t, DdeHandle service, DdeHandle topic) override {
        ++connectCalls;
        if (!serverRunning) {
            return 0;
        }
        connectedService = texts_[service];
        connectedTopic = texts_[topic];
        conversation = ++nextConversation_;
        return conversation;
    }
    bool Disconnect(DdeHandle handle) override {
        ++disconnectCalls;
        if (handle != conversation || !disconnectSucceeds) {
            return false;
        }
        conversation = 0;
        return true;
    }
    std::optional<std::string> ClientTransaction(DdeHandle handle, DdeHandle item,
                                                 std::uint32_t format, std::uint32_t type,
                                                 int timeoutMs) override {
        transactions.push_back({type, texts_[item], timeoutMs});
        if (handle == 0 || handle != conversation || format != kCfText ||
            unknownItems.count(texts_[item]) > 0) {
            return std::nullopt;
        }
        return std::string();
    }
    std::uint32_t GetLastError(std::int32_t) override { return lastError; }

    // The server's side: new data for an item name, or the end of the conversation.
    std::uint32_t SendData(const std::string& itemName, const std::string& bytes) {
        const DdeHandle handle = atoms_.count(Upper(itemName)) ? atoms_[Upper(itemName)] : 999;
        return Send({kXtypAdvData, kCfText, conversation, 0, handle, bytes});
    }
    std::uint32_t Send(const DdeNotification& notification) {
        return callback_ ? callback_(notification) : 0;
    }
    void ServerDisconnects() {
        const DdeHandle ended = conversation;
        Send({kXtypDisconnect, 0, ended, 0, 0, {}});
    }
    int AdviseStarts() const {
        return static_cast<int>(
            std::count_if(transactions.begin(), transactions.end(),
                          [](const Transaction& t) { return t.type == kXtypAdvStart; }));
    }

    DdeHandle conversation = 0;
    std::string connectedService;
    std::string connectedTopic;
    int connectCalls = 0;
    int disconnectCalls = 0;
    int uninitializeCalls = 0;
    std::vector<DdeHandle> freed;
    std::vector<Transaction> transactions;

private:
    static std::string Upper(std::string text) {
        for (char& c : text) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        return text;
    }

    Callback callback_;
    std::map<std::string, DdeHandle> atoms_;
    std::map<DdeHandle, std::string> texts_;
    DdeHandle nextConversation_ = 0;
};

}  // namespace tarvedde::testing
