// SPDX-License-Identifier: MIT
#ifndef OSTRELSCAN_INSTANCE_SINGLE_INSTANCE_GUARD_H
#define OSTRELSCAN_INSTANCE_SINGLE_INSTANCE_GUARD_H

#include <QSharedMemory>
#include <QString>
#include <QSystemSemaphore>

/// Refuses a second running copy of the application: a system semaphore (the guard lock)
/// makes the test for a running copy and the claim one step across processes, and a one-byte
/// shared-memory segment (the instance marker) exists while a copy runs.
///
/// Usage: lock(), then claim(), then unlock(); a copy whose claim() succeeded keeps the guard,
/// and with it the marker, until the process ends.
class SingleInstanceGuard {
public:
    /// Opens the guard lock (initial count 1, an existing semaphore keeps its count). The keys
    /// must differ: Qt guards the marker with a semaphore of the marker's own key.
    /// The keys "a" and "b" are kept: every running copy finds the guard by them.
    explicit SingleInstanceGuard(const QString& lockKey = QStringLiteral("a"),
                                 const QString& markerKey = QStringLiteral("b"));
    /// Releases the guard lock if it is still held; detaches from the marker.
    ~SingleInstanceGuard();

    SingleInstanceGuard(const SingleInstanceGuard&) = delete;
    SingleInstanceGuard& operator=(const SingleInstanceGuard&) = delete;

    /// Waits for the guard lock. A failed acquire goes unnoticed: start-up goes on.
    void lock();
    /// Creates the marker, 1 byte read-write. A marker left behind by a copy that did not end
    /// cleanly is removed first; one that a running copy holds is left alone. False when the
    /// marker exists or cannot be created for any other reason.
    bool claim();
    /// Releases the guard lock when lock() acquired it; otherwise does nothing.
    void unlock();

private:
    bool createMarker();
    void removeStaleMarker() const;

    QSystemSemaphore lock_;
    QSharedMemory marker_;
    bool locked_ = false;
};

#endif
