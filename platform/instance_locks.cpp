#include "platform/instance_locks.h"

#include "platform/exclusive_file_lock.h"
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

class ExclusiveShare final : public InstanceLockShare {
public:
    explicit ExclusiveShare(std::string path) : lock_(std::move(path)) {}
    bool ExistedAlready() const override { return lock_.HeldElsewhere(); }
    const std::string& ErrorMessage() const override { return lock_.ErrorMessage(); }

private:
    ExclusiveFileLock lock_;
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

class MemoryExclusiveShare final : public InstanceLockShare {
public:
    MemoryExclusiveShare(std::set<std::string>& held, std::string path)
        : held_(held), path_(std::move(path)), owns_(held_.insert(path_).second) {}
    ~MemoryExclusiveShare() override {
        if (owns_) {
            held_.erase(path_);
        }
    }
    MemoryExclusiveShare(const MemoryExclusiveShare&) = delete;
    MemoryExclusiveShare& operator=(const MemoryExclusiveShare&) = delete;
    bool ExistedAlready() const override { return !owns_; }
    const std::string& ErrorMessage() const override { return noError_; }

private:
    std::set<std::string>& held_;
    std::string path_;
    bool owns_;
    std::string noError_;
};

}  // namespace

std::unique_ptr<InstanceLockShare> SystemInstanceLocks::Acquire(const std::string& name) {
    return std::make_unique<SystemShare>(directory_.empty()
                                             ? InstanceLock::Acquire(name)
                                             : InstanceLock::AcquireIn(directory_, name));
}

std::unique_ptr<InstanceLockShare> SystemInstanceLocks::HoldExclusive(const std::string& path) {
    return std::make_unique<ExclusiveShare>(path);
}

// std::map keeps its nodes in place, so a share may hold a reference to its count.
std::unique_ptr<InstanceLockShare> MemoryInstanceLocks::Acquire(const std::string& name) {
    return std::make_unique<MemoryShare>(holders_[name]);
}

std::unique_ptr<InstanceLockShare> MemoryInstanceLocks::HoldExclusive(const std::string& path) {
    return std::make_unique<MemoryExclusiveShare>(exclusive_, path);
}

int MemoryInstanceLocks::Holders(const std::string& name) const {
    const auto it = holders_.find(name);
    return it == holders_.end() ? 0 : it->second;
}

}  // namespace tarvedde
