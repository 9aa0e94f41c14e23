#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

// One running copy of a program per user: a lock file in the user's runtime folder, taken
// before the program starts anything else, so that a second start in the first one's
// start-up (which may wait in a message box) is turned away too, with or without a session
// bus. The lock goes with the process, also when it is killed: a lock whose process has
// gone is taken over.
class SingleInstance {
public:
    // name: a file name, e.g. "orvessa-mini"; folder: where the lock lives (the user's
    // runtime folder when empty).
    explicit SingleInstance(const QString &name, const QString &folder = {});
    ~SingleInstance();
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // False when another running copy holds the lock. A lock that cannot be made at all (no
    // writable folder) does not keep the program from running.
    bool claimed() const { return m_claimed; }

private:
    std::unique_ptr<QLockFile> m_lock;
    bool m_claimed = true;
};
