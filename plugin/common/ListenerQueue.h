#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <utility>

#include "plugin/platform/Mutex.h"

namespace corvane::larchmere::plugin::common {

// A listener's queue of deep-copied engine records, oldest first, filled on
// engine threads and drained by request threads. It is bounded: when full, a
// push drops the oldest entry, so a session that nobody polls cannot fill
// memory. Every operation takes the queue's own mutex for its whole duration
// and nothing else; predicates run under that mutex and must not call back
// into the queue or take other locks.
//
// Entries are shared: an entry returned by a Peek/Find stays queued, so the
// caller must treat it as read-only.
template <typename T>
class ListenerQueue {
 public:
  using Entry = std::shared_ptr<T>;

  // `capacity` must be at least 1.
  explicit ListenerQueue(std::size_t capacity) : capacity_(capacity < 1 ? 1 : capacity) {}

  ListenerQueue(const ListenerQueue&) = delete;
  ListenerQueue& operator=(const ListenerQueue&) = delete;

  // Appends at the back, dropping the oldest entries beyond the capacity.
  void Push(Entry entry) {
    MutexLock lock(mutex_);
    entries_.push_back(std::move(entry));
    while (entries_.size() > capacity_) {
      entries_.pop_front();
    }
  }

  // The newest entry, after which the queue is empty; null when it was empty.
  Entry TakeNewest() {
    MutexLock lock(mutex_);
    return TakeNewestLocked();
  }

  // Like TakeNewest, but only when `accept(newest)` holds; otherwise returns
  // null and leaves the queue as it was.
  template <typename Predicate>
  Entry TakeNewestIf(Predicate accept) {
    MutexLock lock(mutex_);
    if (entries_.empty() || !accept(static_cast<const T&>(*entries_.back()))) {
      return nullptr;
    }
    return TakeNewestLocked();
  }

  // The oldest entry, left queued; null when empty.
  Entry PeekOldest() const {
    MutexLock lock(mutex_);
    return entries_.empty() ? nullptr : entries_.front();
  }

  // Scanning from the oldest, the first entry for which `match` holds, left
  // queued; null when none does.
  template <typename Predicate>
  Entry FindOldest(Predicate match) const {
    MutexLock lock(mutex_);
    for (const Entry& entry : entries_) {
      if (match(static_cast<const T&>(*entry))) {
        return entry;
      }
    }
    return nullptr;
  }

  bool HasEntries() const {
    MutexLock lock(mutex_);
    return !entries_.empty();
  }

  std::size_t Size() const {
    MutexLock lock(mutex_);
    return entries_.size();
  }

  std::size_t Capacity() const { return capacity_; }

  void Clear() {
    std::deque<Entry> dropped;  // released after the lock, not under it
    {
      MutexLock lock(mutex_);
      dropped.swap(entries_);
    }
  }

 private:
  Entry TakeNewestLocked() KS_REQUIRES(mutex_) {
    if (entries_.empty()) {
      return nullptr;
    }
    Entry newest = std::move(entries_.back());
    entries_.clear();
    return newest;
  }

  const std::size_t capacity_;
  mutable Mutex mutex_;
  std::deque<Entry> entries_ KS_GUARDED_BY(mutex_);  // never holds null
};

}  // namespace corvane::larchmere::plugin::common
