// The in-memory DDE server and its transport; see in_memory_dde_server.h.
#include "sources/in_memory_dde_server.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace tarvedde {
namespace {

std::string TransactionName(std::uint32_t type) {
    switch (type) {
        case kXtypAdvStart:
            return "AdvStart";
        case kXtypAdvStop:
            return "AdvStop";
        case kXtypRequest:
            return "Request";
        default:
            return "Type" + std::to_string(type);
    }
}

}  // namespace

std::string InMemoryDdeServer::TopicKey(const std::string& service, const std::string& topic) {
    return DdeNameKey(service) + '|' + DdeNameKey(topic);
}

InMemoryDdeServer::Item& InMemoryDdeServer::ItemOf(const std::string& service,
                                                   const std::string& topic,
                                                   const std::string& item) {
    return topics_[TopicKey(service, topic)].items[DdeNameKey(item)];
}

void InMemoryDdeServer::AddTopic(const std::string& service, const std::string& topic) {
    topics_[TopicKey(service, topic)];
}

void InMemoryDdeServer::ServeItems(const std::string& service, const std::string& topic,
                                   const std::vector<std::string>& items) {
    AddTopic(service, topic);
    for (const std::string& item : items) {
        SetRequestText(service, topic, item, "");
    }
}

int InMemoryDdeServer::Publish(const std::string& service, const std::string& topic,
                               const std::string& item, const std::string& text) {
    const std::string topicKey = TopicKey(service, topic);
    const std::string itemKey = DdeNameKey(item);
    topics_[topicKey].items[itemKey].value = text;
    std::vector<DdeHandle> targets;
    for (const auto& [handle, conversation] : conversations_) {
        if (conversation.topicKey == topicKey && conversation.links.count(itemKey) > 0) {
            targets.push_back(handle);
        }
    }
    std::string data = text + '\0';
    int acknowledged = 0;
    for (DdeHandle handle : targets) {
        // A callback before this one may have ended the conversation or its link.
        auto found = conversations_.find(handle);
        if (found == conversations_.end() || found->second.links.count(itemKey) == 0) {
            continue;
        }
        auto onData = found->second.sink.onData;
        if (onData && (onData(item, data) & kDdeFack) != 0) {
            ++acknowledged;
        }
    }
    return acknowledged;
}

void InMemoryDdeServer::SetRequestText(const std::string& service, const std::string& topic,
                                       const std::string& item, const std::string& text) {
    ItemOf(service, topic, item).requestText = text;
}

void InMemoryDdeServer::SetDown(bool down) {
    down_ = down;
    if (!down) {
        return;
    }
    std::map<DdeHandle, Conversation> ended;
    ended.swap(conversations_);
    for (auto& [handle, conversation] : ended) {
        if (conversation.sink.onDisconnect) {
            conversation.sink.onDisconnect();
        }
    }
}

int InMemoryDdeServer::LinkCount(const std::string& service, const std::string& topic,
                                 const std::string& item) const {
    std::string topicKey = TopicKey(service, topic);
    int count = 0;
    for (const auto& [handle, conversation] : conversations_) {
        if (conversation.topicKey == topicKey && conversation.links.count(DdeNameKey(item)) > 0) {
            ++count;
        }
    }
    return count;
}

DdeHandle InMemoryDdeServer::Connect(const std::string& service, const std::string& topic,
                                     Sink sink, std::uint32_t& error) {
    std::string topicKey = TopicKey(service, topic);
    if (down_ || topics_.count(topicKey) == 0) {
        error = kDmlErrNoConvEstablished;
        return 0;
    }
    DdeHandle handle = nextConversation_++;
    conversations_.emplace(handle, Conversation{topicKey, {}, std::move(sink)});
    error = kDmlErrNoError;
    return handle;
}

void InMemoryDdeServer::Disconnect(DdeHandle conversation) {
    conversations_.erase(conversation);
}

std::uint32_t InMemoryDdeServer::Transact(DdeHandle conversation, const std::string& item,
                                          std::uint32_t type, std::string& data) {
    auto found = conversations_.find(conversation);
    if (found == conversations_.end()) {
        return kDmlErrNoConvEstablished;
    }
    Conversation& conv = found->second;
    std::string itemKey = DdeNameKey(item);
    const auto& items = topics_[conv.topicKey].items;
    auto known = items.find(itemKey);
    switch (type) {
        case kXtypAdvStart:
            if (stalled_) {
                return kDmlErrAdvAckTimeout;
            }
            if (known == items.end()) {
                return kDmlErrNotProcessed;
            }
            conv.links.insert(itemKey);
            if (known->second.value) {
                data = *known->second.value + '\0';
            }
            return kDmlErrNoError;
        case kXtypAdvStop:
            if (stalled_) {
                return kDmlErrAdvAckTimeout;
            }
            return conv.links.erase(itemKey) > 0 ? kDmlErrNoError : kDmlErrNotProcessed;
        case kXtypRequest:
            if (stalled_) {
                return kDmlErrDataAckTimeout;
            }
            if (known == items.end() || (!known->second.requestText && !known->second.value)) {
                return kDmlErrNotProcessed;
            }
            data = known->second.requestText.value_or(*known->second.value) + '\0';
            return kDmlErrNoError;
        default:
            return kDmlErrNotProcessed;
    }
}

bool InMemoryDdeServer::AwaitLinkAnswer(int timeoutMs) {
    if (delayClock_ == nullptr) {
        return true;
    }
    delayClock_->AdvanceMs(std::min(linkAnswerDelayMs_, timeoutMs));
    return linkAnswerDelayMs_ < timeoutMs;
}

InMemoryDdeTransport::~InMemoryDdeTransport() {
    for (const auto& [conversation, topic] : conversationTopics_) {
        server_.Disconnect(conversation);
    }
}

std::uint32_t InMemoryDdeTransport::Initialize(std::int32_t& instance, Callback callback) {
    if (initializeFailure_) {
        instance = initializeFailure_->instance;
        return initializeFailure_->error;
    }
    return DdeClientInstance::Initialize(instance, std::move(callback));
}

bool InMemoryDdeTransport::Uninitialize(std::int32_t instance) {
    Watch("Uninitialize");
    return DdeClientInstance::Uninitialize(instance);
}

DdeHandle InMemoryDdeTransport::Connect(std::int32_t instance, DdeHandle service, DdeHandle topic) {
    const auto names = ConnectNames(instance, service, topic);
    if (!names) {
        return 0;
    }
    Watch("Connect " + names->first + " " + names->second);
    auto conversation = std::make_shared<DdeHandle>(0);
    InMemoryDdeServer::Sink sink;
    sink.onData = [this, conversation, topic](const std::string& item, const std::string& data) {
        return Notify(
            {kXtypAdvData, kCfText, *conversation, topic, atoms_.ForNotification(item), data});
    };
    sink.onDisconnect = [this, conversation, topic] {
        Notify({kXtypDisconnect, 0, *conversation, topic, 0, {}});
        conversationTopics_.erase(*conversation);
    };
    std::uint32_t error = kDmlErrNoError;
    *conversation = server_.Connect(names->first, names->second, std::move(sink), error);
    if (*conversation == 0) {
        lastError_ = error;
        return 0;
    }
    conversationTopics_[*conversation] = topic;
    return *conversation;
}

bool InMemoryDdeTransport::Disconnect(DdeHandle conversation) {
    Watch("Disconnect");
    if (conversationTopics_.erase(conversation) == 0) {
        lastError_ = kDmlErrNoConvEstablished;
        return false;
    }
    server_.Disconnect(conversation);
    return true;
}

std::optional<std::string> InMemoryDdeTransport::ClientTransaction(DdeHandle conversation,
                                                                   DdeHandle item,
                                                                   std::uint32_t format,
                                                                   std::uint32_t type,
                                                                   int timeoutMs) {
    auto itemText = atoms_.Text(item);
    Watch(TransactionName(type) + " " + itemText.value_or("?") + " " + std::to_string(timeoutMs));
    if (!itemText || format != kCfText) {
        lastError_ = kDmlErrInvalidParameter;
        return std::nullopt;
    }
    if (conversationTopics_.count(conversation) == 0) {
        lastError_ = kDmlErrNoConvEstablished;
        return std::nullopt;
    }
    if (type == kXtypAdvStart && !server_.AwaitLinkAnswer(timeoutMs)) {
        Lose(conversation);
        lastError_ = kDmlErrAdvAckTimeout;
        return std::nullopt;
    }
    std::string data;
    std::uint32_t error = server_.Transact(conversation, *itemText, type, data);
    if (error == kDmlErrAdvAckTimeout) {
        Lose(conversation);
    }
    if (error != kDmlErrNoError) {
        lastError_ = error;
        return std::nullopt;
    }
    if (type != kXtypAdvStart) {
        return data;
    }
    if (!data.empty()) {
        SendLinkValue(conversation, *itemText, data);
    }
    return std::string();
}

void InMemoryDdeTransport::Lose(DdeHandle conversation) {
    server_.Disconnect(conversation);
    // The handle stays valid until the callback returns, as for a server's end.
    Notify({kXtypDisconnect, 0, conversation, conversationTopics_[conversation], 0, {}});
    conversationTopics_.erase(conversation);
}

void InMemoryDdeTransport::SendLinkValue(DdeHandle conversation, const std::string& item,
                                         const std::string& data) {
    auto deliver = [weak = std::weak_ptr(self_), conversation, item, data] {
        auto self = weak.lock();
        if (!self) {
            return;
        }
        InMemoryDdeTransport& transport = **self;
        auto found = transport.conversationTopics_.find(conversation);
        if (found != transport.conversationTopics_.end()) {
            transport.Notify({kXtypAdvData, kCfText, conversation, found->second,
                              transport.atoms_.ForNotification(item), data});
        }
    };
    if (loop_ == nullptr) {
        deliver();
        return;
    }
    loop_->Post(std::move(deliver));
}

void InMemoryDdeTransport::Watch(const std::string& call) const {
    if (watcher_) {
        watcher_(call);
    }
}

void InMemoryDdeTransport::EndConversations() {
    for (const auto& [conversation, topic] : conversationTopics_) {
        server_.Disconnect(conversation);
    }
    conversationTopics_.clear();
}

}  // namespace tarvedde
