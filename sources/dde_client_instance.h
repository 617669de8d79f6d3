// The client-instance half of a DDE transport that every transport shares: the instance
// identifier, the callback, the string handles (atoms) and the last error. A transport
// adds the conversations.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "sources/dde_atom_table.h"
#include "sources/dde_transport.h"

namespace tarvedde {

class DdeClientInstance : public DdeTransport {
public:
    std::uint32_t Initialize(std::int32_t& instance, Callback callback) override;
    bool Uninitialize(std::int32_t instance) override;
    DdeHandle CreateStringHandle(std::int32_t instance, const std::string& text) override;
    bool FreeStringHandle(std::int32_t instance, DdeHandle handle) override;
    // As DdeGetLastError: reading the code resets it.
    std::uint32_t GetLastError(std::int32_t instance) override;

protected:
    // Ends every conversation of the instance; runs when the instance is uninitialised.
    virtual void EndConversations() = 0;
    bool Valid(std::int32_t instance) const { return instance_ != 0 && instance == instance_; }
    std::int32_t CurrentInstance() const { return instance_; }
    // The callback's answer, 0 without one. The callback may uninitialise the instance: it
    // is called on a copy.
    std::uint32_t Notify(const DdeNotification& notification);
    // The texts of a connect's service and topic handles, checked as DdeConnect checks
    // them; nullopt with the last error set when the instance or a handle is invalid.
    std::optional<std::pair<std::string, std::string>> ConnectNames(std::int32_t instance,
                                                                    DdeHandle service,
                                                                    DdeHandle topic);

    DdeAtomTable atoms_;
    std::uint32_t lastError_ = kDmlErrNoError;

private:
    std::int32_t instance_ = 0;
    std::int32_t nextInstance_ = 1;
    Callback callback_;
};

}  // namespace tarvedde
