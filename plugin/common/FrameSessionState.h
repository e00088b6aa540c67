#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "plugin/common/MatchAttempt.h"
#include "plugin/platform/Mutex.h"

namespace corvane::larchmere::plugin::common {

// The session flags read together at one instant.
struct SessionFlags {
  bool started = false;
  bool timeOutInProgress = false;
};

// Outcome of ReleaseCorrelationId.
enum class CorrelationRelease {
  kNotStarted,         // no capture session runs; nothing changed
  kTimeOutInProgress,  // the display time-out clean-up runs; nothing changed
  kUnknownId,          // the id is not part of the session; nothing changed
  kOthersRemain,       // the id was removed; other ids still poll the session
  kLastReleased,       // the id was removed and was the last one
};

// The capture session shared by the frame endpoints, the request framework,
// the frame listener's display time-out and the packet-signing endpoint.
//
// Every operation is thread-safe and locks only the mutex of its own group,
// for a short critical section (no engine call, no sleep, no callback), so
// the engine's frame thread can use them while request threads wait on the
// engine.
//
// Locking rules for code that calls the engine:
//  - Never call the engine or sleep while inside any operation here; the
//    group mutexes are leaves and are never nested with each other.
//  - Request threads that start or stop the engine's capture, or start an
//    enrollment or match, hold the capture lock (CaptureLock) across the
//    whole sequence (flag checks, engine calls, flag updates). It is taken
//    before (briefly, one at a time) the group mutexes via the operations
//    below, and before the listener queues.
//  - The engine's frame thread never takes the capture lock: an engine stop
//    may wait for the frame notification in progress, so a frame thread that
//    waited for it would deadlock.
class FrameSessionState {
 public:
  // Most correlation ids a session holds, and most match-attempt records:
  // far more pages than ever share one camera. A new id beyond it is not
  // recorded, so that fresh ids cannot grow the session without end (nor
  // keep it alive: only a recorded id restarts the session stopwatch).
  static constexpr std::size_t kMaxSessionIds = 64;

  FrameSessionState() = default;
  FrameSessionState(const FrameSessionState&) = delete;
  FrameSessionState& operator=(const FrameSessionState&) = delete;

  // --- Session group (sessionMutex) ---
  SessionFlags ReadSessionFlags() const;
  bool IsStarted() const;
  bool IsTimeOutInProgress() const;
  // Marks a capture session as started at `startTime` (wall clock, whole
  // seconds in milliseconds, see Clock::WallClockWholeSecondsMs).
  void BeginSession(double startTime);
  // How many sessions have begun so far; tells a request that paused
  // whether another one began a session meanwhile.
  std::uint64_t SessionsBegun() const;
  // Meaningful only once a session has started.
  double StartTimeMs() const;
  // started = false and timeOutInProgress = `timingOut`, together.
  void EndSession(bool timingOut);
  void SetTimeOutInProgress(bool timingOut);
  // Adds the id to the session; true when it was not there yet and the
  // session had room for it.
  bool AddCorrelationId(const std::string& correlationId);
  bool HasCorrelationId(const std::string& correlationId) const;
  // The frame-stop check, done as one step: refuses while no session runs or
  // while the time-out clean-up runs, else removes the id if present.
  CorrelationRelease ReleaseCorrelationId(const std::string& correlationId);
  std::set<std::string> CorrelationIds() const;
  void ClearCorrelationIds();

  // --- Operation group (operationMutex) ---
  bool IsOperationStarted() const;
  void SetOperationStarted(bool isStarted);
  // Sets operationStarted when it was false; true when this call set it, so
  // that exactly one of several concurrent polls starts the operation.
  bool TryMarkOperationStarted();

  // --- Match-attempt group (matchAttemptsMutex) ---
  // The id's attempt; one not started when none is recorded.
  MatchAttempt MatchAttemptOf(const std::string& correlationId) const;
  // The first start of a session's match for the id (created when there is
  // room, else nothing changes).
  void RecordFirstMatchStart(const std::string& correlationId);
  // Records a further start for the id when MatchAttempt::TryRecordRestart
  // allows it; false when it does not or a new id finds no room.
  bool TryRecordMatchRestart(const std::string& correlationId, std::int32_t maxEarlierStarts);
  // The id's result was answered: no further start for it.
  void MarkMatchResultDelivered(const std::string& correlationId);
  // True when any correlation id's match was started or answered.
  bool HasActiveMatchAttempt() const;
  // When no correlation id's match is active and the id has a record or room
  // for one, records the id's first start and returns true; otherwise
  // changes nothing.
  bool TryBeginFirstMatchAttempt(const std::string& correlationId);
  std::map<std::string, MatchAttempt> MatchAttempts() const;
  void ClearMatchAttempts();

  // --- Processed-frames group (processedFramesMutex) ---
  void StoreProcessedFrames(const std::string& body);
  std::string StoredProcessedFrames() const;
  void ClearStoredProcessedFrames();

  // --- Capture serialisation (request threads only, see above) ---
  // The capture lock itself; take it through CaptureLock.
  Mutex& CaptureMutex() KS_RETURN_CAPABILITY(captureMutex);

 private:
  // Declared first: it is acquired before every group mutex below.
  Mutex captureMutex KS_ACQUIRED_BEFORE(sessionMutex, operationMutex, matchAttemptsMutex,
                                        processedFramesMutex);

  mutable Mutex sessionMutex;
  bool started KS_GUARDED_BY(sessionMutex) = false;
  double startTimeMs KS_GUARDED_BY(sessionMutex) = 0;
  std::uint64_t sessionsBegun KS_GUARDED_BY(sessionMutex) = 0;
  bool timeOutInProgress KS_GUARDED_BY(sessionMutex) = false;
  std::set<std::string> correlationIds KS_GUARDED_BY(sessionMutex);

  mutable Mutex operationMutex;
  bool operationStarted KS_GUARDED_BY(operationMutex) = false;

  mutable Mutex matchAttemptsMutex;
  std::map<std::string, MatchAttempt> matchAttempts KS_GUARDED_BY(matchAttemptsMutex);

  mutable Mutex processedFramesMutex;
  std::string storedProcessedFrames KS_GUARDED_BY(processedFramesMutex);

  // The id's record, created not started when there is room; null when not.
  MatchAttempt* MatchAttemptLocked(const std::string& correlationId)
      KS_REQUIRES(matchAttemptsMutex);
};

}  // namespace corvane::larchmere::plugin::common
