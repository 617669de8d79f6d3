#include "sources/dde_client_instance.h"

namespace tarvedde {

std::uint32_t DdeClientInstance::Initialize(std::int32_t& instance, Callback callback) {
    if (instance_ != 0) {
        Uninitialize(instance_);
    }
    instance_ = nextInstance_++;
    callback_ = std::move(callback);
    instance = instance_;
    lastError_ = kDmlErrNoError;
    return kDmlErrNoError;
}

bool DdeClientInstance::Uninitialize(std::int32_t instance) {
    if (!Valid(instance)) {
        return false;
    }
    EndConversations();
    instance_ = 0;
    callback_ = nullptr;
    return true;
}

DdeHandle DdeClientInstance::CreateStringHandle(std::int32_t instance, const std::string& text) {
    if (!Valid(instance)) {
        lastError_ = kDmlErrDllNotInitialized;
        return 0;
    }
    const DdeHandle handle = atoms_.Add(text);
    if (handle == 0) {
        lastError_ = kDmlErrInvalidParameter;
    }
    return handle;
}

bool DdeClientInstance::FreeStringHandle(std::int32_t instance, DdeHandle handle) {
    return Valid(instance) && atoms_.Release(handle);
}

std::uint32_t DdeClientInstance::GetLastError(std::int32_t instance) {
    if (!Valid(instance)) {
        return kDmlErrDllNotInitialized;
    }
    const std::uint32_t error = lastError_;
    lastError_ = kDmlErrNoError;
    return error;
}

std::uint32_t DdeClientInstance::Notify(const DdeNotification& notification) {
    if (!callback_) {
        return 0;
    }
    Callback callback = callback_;
    return callback(notification);
}

std::optional<std::pair<std::string, std::string>> DdeClientInstance::ConnectNames(
    std::int32_t instance, DdeHandle service, DdeHandle topic) {
    if (!Valid(instance)) {
        lastError_ = kDmlErrDllNotInitialized;
        return std::nullopt;
    }
    auto serviceText = atoms_.Text(service);
    auto topicText = atoms_.Text(topic);
    if (!serviceText || !topicText) {
        lastError_ = kDmlErrInvalidParameter;
        return std::nullopt;
    }
    return std::pair{std::move(*serviceText), std::move(*topicText)};
}

}  // namespace tarvedde
