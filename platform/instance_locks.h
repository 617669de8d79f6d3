// The single-instance lock as the engine sees it: a named lock whose holder learns whether
// another holder already had it. The system's locks are flock files (instance_lock.h);
// the in-memory ones let tests and the scenario runner play several program lives in one
// process without touching the machine's lock directory.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>

namespace tarvedde {

// One holder's share of a named lock; the share ends with the object.
class InstanceLockShare {
public:
    virtual ~InstanceLockShare() = default;
    virtual bool ExistedAlready() const = 0;
    // Empty unless the lock could not be taken (the share then reports "did not exist").
    virtual const std::string& ErrorMessage() const = 0;
};

class InstanceLocks {
public:
    virtual ~InstanceLocks() = default;
    virtual std::unique_ptr<InstanceLockShare> Acquire(const std::string& name) = 0;
    // The lock of the file `path` for one holder only (exclusive_file_lock.h): the file is
    // removed when the share ends. ExistedAlready: another holder has it, this share none.
    virtual std::unique_ptr<InstanceLockShare> HoldExclusive(const std::string& path) = 0;
};

// flock files in `directory`; empty: the user's runtime directory (named mutexes on
// Windows).
class SystemInstanceLocks final : public InstanceLocks {
public:
    explicit SystemInstanceLocks(std::string directory = "") : directory_(std::move(directory)) {}
    std::unique_ptr<InstanceLockShare> Acquire(const std::string& name) override;
    std::unique_ptr<InstanceLockShare> HoldExclusive(const std::string& path) override;

private:
    std::string directory_;
};

// Locks that live in this object; it must outlive every share it handed out.
class MemoryInstanceLocks final : public InstanceLocks {
public:
    std::unique_ptr<InstanceLockShare> Acquire(const std::string& name) override;
    std::unique_ptr<InstanceLockShare> HoldExclusive(const std::string& path) override;
    int Holders(const std::string& name) const;

private:
    std::map<std::string, int> holders_;
    std::set<std::string> exclusive_;
};

}  // namespace tarvedde
