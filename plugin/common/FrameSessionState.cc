#include "plugin/common/FrameSessionState.h"

#include <algorithm>

namespace corvane::larchmere::plugin::common {

namespace {

bool AnyActive(const std::map<std::string, MatchAttempt>& attempts) {
  return std::any_of(attempts.begin(), attempts.end(),
                     [](const auto& entry) { return entry.second.IsActive(); });
}

}  // namespace

SessionFlags FrameSessionState::ReadSessionFlags() const {
  MutexLock lock(sessionMutex);
  return SessionFlags{started, timeOutInProgress};
}

bool FrameSessionState::IsStarted() const { return ReadSessionFlags().started; }

bool FrameSessionState::IsTimeOutInProgress() const { return ReadSessionFlags().timeOutInProgress; }

void FrameSessionState::BeginSession(double startTime) {
  MutexLock lock(sessionMutex);
  started = true;
  startTimeMs = startTime;
  ++sessionsBegun;
}

std::uint64_t FrameSessionState::SessionsBegun() const {
  MutexLock lock(sessionMutex);
  return sessionsBegun;
}

double FrameSessionState::StartTimeMs() const {
  MutexLock lock(sessionMutex);
  return startTimeMs;
}

void FrameSessionState::EndSession(bool timingOut) {
  MutexLock lock(sessionMutex);
  started = false;
  timeOutInProgress = timingOut;
}

void FrameSessionState::SetTimeOutInProgress(bool timingOut) {
  MutexLock lock(sessionMutex);
  timeOutInProgress = timingOut;
}

bool FrameSessionState::AddCorrelationId(const std::string& correlationId) {
  MutexLock lock(sessionMutex);
  if (correlationIds.size() >= kMaxSessionIds) {
    return false;
  }
  return correlationIds.insert(correlationId).second;
}

bool FrameSessionState::HasCorrelationId(const std::string& correlationId) const {
  MutexLock lock(sessionMutex);
  return correlationIds.contains(correlationId);
}

CorrelationRelease FrameSessionState::ReleaseCorrelationId(const std::string& correlationId) {
  MutexLock lock(sessionMutex);
  if (!started) {
    return CorrelationRelease::kNotStarted;
  }
  if (timeOutInProgress) {
    return CorrelationRelease::kTimeOutInProgress;
  }
  if (correlationIds.erase(correlationId) == 0) {
    return CorrelationRelease::kUnknownId;
  }
  return correlationIds.empty() ? CorrelationRelease::kLastReleased
                                : CorrelationRelease::kOthersRemain;
}

std::set<std::string> FrameSessionState::CorrelationIds() const {
  MutexLock lock(sessionMutex);
  return correlationIds;
}

void FrameSessionState::ClearCorrelationIds() {
  MutexLock lock(sessionMutex);
  correlationIds.clear();
}

bool FrameSessionState::IsOperationStarted() const {
  MutexLock lock(operationMutex);
  return operationStarted;
}

void FrameSessionState::SetOperationStarted(bool isStarted) {
  MutexLock lock(operationMutex);
  operationStarted = isStarted;
}

bool FrameSessionState::TryMarkOperationStarted() {
  MutexLock lock(operationMutex);
  if (operationStarted) {
    return false;
  }
  operationStarted = true;
  return true;
}

MatchAttempt FrameSessionState::MatchAttemptOf(const std::string& correlationId) const {
  MutexLock lock(matchAttemptsMutex);
  const auto found = matchAttempts.find(correlationId);
  return found == matchAttempts.end() ? MatchAttempt(correlationId) : found->second;
}

void FrameSessionState::RecordFirstMatchStart(const std::string& correlationId) {
  MutexLock lock(matchAttemptsMutex);
  if (MatchAttempt* attempt = MatchAttemptLocked(correlationId)) {
    attempt->RecordFirstStart();
  }
}

bool FrameSessionState::TryRecordMatchRestart(const std::string& correlationId,
                                              std::int32_t maxEarlierStarts) {
  MutexLock lock(matchAttemptsMutex);
  MatchAttempt* attempt = MatchAttemptLocked(correlationId);
  return attempt != nullptr && attempt->TryRecordRestart(maxEarlierStarts);
}

void FrameSessionState::MarkMatchResultDelivered(const std::string& correlationId) {
  MutexLock lock(matchAttemptsMutex);
  if (MatchAttempt* attempt = MatchAttemptLocked(correlationId)) {
    attempt->MarkResultDelivered();
  }
}

bool FrameSessionState::HasActiveMatchAttempt() const {
  MutexLock lock(matchAttemptsMutex);
  return AnyActive(matchAttempts);
}

bool FrameSessionState::TryBeginFirstMatchAttempt(const std::string& correlationId) {
  MutexLock lock(matchAttemptsMutex);
  if (AnyActive(matchAttempts)) {
    return false;
  }
  MatchAttempt* attempt = MatchAttemptLocked(correlationId);
  if (attempt == nullptr) {
    return false;
  }
  attempt->RecordFirstStart();
  return true;
}

std::map<std::string, MatchAttempt> FrameSessionState::MatchAttempts() const {
  MutexLock lock(matchAttemptsMutex);
  return matchAttempts;
}

void FrameSessionState::ClearMatchAttempts() {
  MutexLock lock(matchAttemptsMutex);
  matchAttempts.clear();
}

void FrameSessionState::StoreProcessedFrames(const std::string& body) {
  MutexLock lock(processedFramesMutex);
  storedProcessedFrames = body;
}

std::string FrameSessionState::StoredProcessedFrames() const {
  MutexLock lock(processedFramesMutex);
  return storedProcessedFrames;
}

void FrameSessionState::ClearStoredProcessedFrames() {
  MutexLock lock(processedFramesMutex);
  storedProcessedFrames.clear();
}

Mutex& FrameSessionState::CaptureMutex() { return captureMutex; }

MatchAttempt* FrameSessionState::MatchAttemptLocked(const std::string& correlationId) {
  const auto found = matchAttempts.find(correlationId);
  if (found != matchAttempts.end()) {
    return &found->second;
  }
  if (matchAttempts.size() >= kMaxSessionIds) {
    return nullptr;
  }
  return &matchAttempts.emplace(correlationId, MatchAttempt(correlationId)).first->second;
}

}  // namespace corvane::larchmere::plugin::common
