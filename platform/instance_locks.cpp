#include "platform/instance_locks.h"

#include "platform/instance_lock.h"

namespace tarvedde {
namespace {

class SystemShare final : public InstanceLockShare {
public:
    explicit SystemShare(InstanceLock lock) : lock_(std::move(lock)) {}
    bool ExistedAlready() const override { return lock_.ExistedAlready(); }
    const std::string& ErrorMessage() const override { return lock_.ErrorMessage(); }

private:
    InstanceLock lock_;
};

class MemoryShare final : public InstanceLockShare {
public:
    explicit MemoryShare(int& holders) : holders_(holders), existedAlready_(holders > 0) {
        ++holders_;
    }
    ~MemoryShare() override { --holders_; }
    MemoryShare(const MemoryShare&) = delete;
    MemoryShare& operator=(const MemoryShare&) = delete;
    bool ExistedAlready() const override { return existedAlready_; }
    const std::string& ErrorMessage() const override { return noError_; }

private:
    int& holders_;
    bool existedAlready_;
    std::string noError_;
};

}  // namespace

std::unique_ptr<InstanceLockShare> SystemInstanceLocks::Acquire(const std::string& name) {
    return std::make_unique<SystemShare>(directory_.empty()
                                             ? InstanceLock::Acquire(name)
                                             : InstanceLock::AcquireIn(directory_, name));
}

// std::map keeps its nodes in place, so a share may hold a reference to its count.
std::unique_ptr<InstanceLockShare> MemoryInstanceLocks::Acquire(const std::string& name) {
    return std::make_unique<MemoryShare>(holders_[name]);
}

int MemoryInstanceLocks::Holders(const std::string& name) const {
    const auto it = holders_.find(name);
    return it == holders_.end() ? 0 : it->second;
}

}  // namespace tarvedde
