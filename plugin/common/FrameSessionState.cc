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
  std::scoped_lock lock(sessionMutex);
  return SessionFlags{started, timeOutInProgress};
}

bool FrameSessionState::IsStarted() const {
  std::scoped_lock lock(sessionMutex);
  return started;
}

bool FrameSessionState::IsTimeOutInProgress() const {
  std::scoped_lock lock(sessionMutex);
  return timeOutInProgress;
}

void FrameSessionState::BeginSession(double startTime) {
  std::scoped_lock lock(sessionMutex);
  started = true;
  startTimeMs = startTime;
  ++sessionsBegun;
}

std::uint64_t FrameSessionState::SessionsBegun() const {
  std::scoped_lock lock(sessionMutex);
  return sessionsBegun;
}

double FrameSessionState::StartTimeMs() const {
  std::scoped_lock lock(sessionMutex);
  return startTimeMs;
}

void FrameSessionState::EndSession(bool timingOut) {
  std::scoped_lock lock(sessionMutex);
  started = false;
  timeOutInProgress = timingOut;
}

void FrameSessionState::SetTimeOutInProgress(bool timingOut) {
  std::scoped_lock lock(sessionMutex);
  timeOutInProgress = timingOut;
}

bool FrameSessionState::AddCorrelationId(const std::string& correlationId) {
  std::scoped_lock lock(sessionMutex);
  if (correlationIds.size() >= kMaxSessionIds) {
    return false;
  }
  return correlationIds.insert(correlationId).second;
}

bool FrameSessionState::HasCorrelationId(const std::string& correlationId) const {
  std::scoped_lock lock(sessionMutex);
  return correlationIds.contains(correlationId);
}

CorrelationRelease FrameSessionState::ReleaseCorrelationId(const std::string& correlationId) {
  std::scoped_lock lock(sessionMutex);
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
  std::scoped_lock lock(sessionMutex);
  return correlationIds;
}

void FrameSessionState::ClearCorrelationIds() {
  std::scoped_lock lock(sessionMutex);
  correlationIds.clear();
}

bool FrameSessionState::IsOperationStarted() const {
  std::scoped_lock lock(operationMutex);
  return operationStarted;
}

void FrameSessionState::SetOperationStarted(bool isStarted) {
  std::scoped_lock lock(operationMutex);
  operationStarted = isStarted;
}

bool FrameSessionState::TryMarkOperationStarted() {
  std::scoped_lock lock(operationMutex);
  if (operationStarted) {
    return false;
  }
  operationStarted = true;
  return true;
}

MatchAttempt FrameSessionState::MatchAttemptOf(const std::string& correlationId) const {
  std::scoped_lock lock(matchAttemptsMutex);
  const auto found = matchAttempts.find(correlationId);
  return found == matchAttempts.end() ? MatchAttempt(correlationId) : found->second;
}

void FrameSessionState::RecordFirstMatchStart(const std::string& correlationId) {
  std::scoped_lock lock(matchAttemptsMutex);
  if (MatchAttempt* attempt = MatchAttemptLocked(correlationId)) {
    attempt->RecordFirstStart();
  }
}

bool FrameSessionState::TryRecordMatchRestart(const std::string& correlationId,
                                              std::int32_t maxEarlierStarts) {
  std::scoped_lock lock(matchAttemptsMutex);
  MatchAttempt* attempt = MatchAttemptLocked(correlationId);
  return attempt != nullptr && attempt->TryRecordRestart(maxEarlierStarts);
}

void FrameSessionState::MarkMatchResultDelivered(const std::string& correlationId) {
  std::scoped_lock lock(matchAttemptsMutex);
  if (MatchAttempt* attempt = MatchAttemptLocked(correlationId)) {
    attempt->MarkResultDelivered();
  }
}

bool FrameSessionState::HasActiveMatchAttempt() const {
  std::scoped_lock lock(matchAttemptsMutex);
  return AnyActive(matchAttempts);
}

bool FrameSessionState::TryBeginFirstMatchAttempt(const std::string& correlationId) {
  std::scoped_lock lock(matchAttemptsMutex);
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
  std::scoped_lock lock(matchAttemptsMutex);
  return matchAttempts;
}

void FrameSessionState::ClearMatchAttempts() {
  std::scoped_lock lock(matchAttemptsMutex);
  matchAttempts.clear();
}

void FrameSessionState::StoreProcessedFrames(const std::string& body) {
  std::scoped_lock lock(processedFramesMutex);
  storedProcessedFrames = body;
}

std::string FrameSessionState::StoredProcessedFrames() const {
  std::scoped_lock lock(processedFramesMutex);
  return storedProcessedFrames;
}

void FrameSessionState::ClearStoredProcessedFrames() {
  std::scoped_lock lock(processedFramesMutex);
  storedProcessedFrames.clear();
}

std::mutex& FrameSessionState::CaptureMutex() { return captureMutex; }

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
