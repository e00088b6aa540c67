#pragma once

#include <cstddef>
#include <memory>

#include "plugin/common/LMListener.h"
#include "plugin/common/ListenerQueue.h"

namespace corvane::larchmere::plugin::common {

// What the listeners that keep one kind of engine record share: their bounded
// queue of deep copies, the queries of the polling handlers, and the push that
// wakes those polls. Thread-safe (see LMListener). LMListener stays a virtual
// base, so the most-derived listener passes it the ArrivalSignal.
template <typename Record>
class LMQueueListener : public virtual LMListener {
 public:
  // The newest entry, after which the queue is empty; null when empty.
  std::shared_ptr<Record> TakeNewest() { return queue_.TakeNewest(); }
  bool HasEntries() const { return queue_.HasEntries(); }
  std::size_t Size() const { return queue_.Size(); }
  void EmptyQueue() override { queue_.Clear(); }

 protected:
  LMQueueListener() : queue_(kMaxQueuedEntries) {}
  ~LMQueueListener() override = default;

  // Queues a deep copy of the engine's record, then wakes the waiting polls.
  void QueueCopy(const Record& record) {
    queue_.Push(std::make_shared<Record>(record));
    SignalArrival();
  }

  // For the listener's own read-only queries (entries stay queued).
  const ListenerQueue<Record>& Queue() const { return queue_; }

 private:
  ListenerQueue<Record> queue_;
};

}  // namespace corvane::larchmere::plugin::common
