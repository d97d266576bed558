// SPDX-License-Identifier: MIT
#include "single_instance_guard.h"

SingleInstanceGuard::SingleInstanceGuard(const QString& lockKey, const QString& markerKey)
    : lock_(lockKey, 1, QSystemSemaphore::Open), marker_(markerKey) {}

SingleInstanceGuard::~SingleInstanceGuard() {
    unlock();
}

void SingleInstanceGuard::lock() {
    if (!locked_) {
        locked_ = lock_.acquire();
    }
}

bool SingleInstanceGuard::claim() {
    if (createMarker()) {
        return true;
    }
    if (marker_.error() != QSharedMemory::AlreadyExists) {
        return false;
    }
    // On System V IPC the segment outlives a copy that crashed or was killed.
    removeStaleMarker();
    return createMarker();
}

void SingleInstanceGuard::unlock() {
    if (locked_) {
        lock_.release();
        locked_ = false;
    }
}

bool SingleInstanceGuard::createMarker() {
    return marker_.create(1, QSharedMemory::ReadWrite);
}

// Every running copy stays attached to its marker. Detaching removes the segment (and its key
// file) only when nobody else is attached, so this clears an orphan and leaves a live marker.
// The guard lock keeps a starting copy from creating a marker between the two steps.
void SingleInstanceGuard::removeStaleMarker() const {
    QSharedMemory existing(marker_.key());
    if (existing.attach(QSharedMemory::ReadOnly)) {
        existing.detach();
    }
}
