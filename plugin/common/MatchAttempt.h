#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace corvane::larchmere::plugin::common {

// Where the match of one correlation id stands: not started yet, started a
// number of times, or answered with its result, after which nothing starts
// it again. A plain value; FrameSessionState keeps one per id under its
// match-attempt lock.
class MatchAttempt {
 public:
  enum class Phase { kNotStarted, kStarted, kResultDelivered };

  MatchAttempt() = default;
  explicit MatchAttempt(std::string correlationId) : correlationId(std::move(correlationId)) {}

  const std::string& CorrelationId() const { return correlationId; }
  Phase GetPhase() const { return phase_; }
  // How many times the match was started; kept once the result is delivered.
  std::int32_t Starts() const { return starts_; }
  // Started, or answered: a match of the session is under way or done.
  bool IsActive() const { return phase_ != Phase::kNotStarted; }
  bool IsResultDelivered() const { return phase_ == Phase::kResultDelivered; }

  // The first start of a capture session: one start recorded, whatever came before.
  void RecordFirstStart() {
    phase_ = Phase::kStarted;
    starts_ = 1;
  }
  // A further start, allowed while no result was delivered and at most
  // `maxEarlierStarts` starts were recorded; true when recorded.
  bool TryRecordRestart(std::int32_t maxEarlierStarts) {
    if (phase_ == Phase::kResultDelivered || starts_ > maxEarlierStarts) {
      return false;
    }
    phase_ = Phase::kStarted;
    ++starts_;
    return true;
  }
  void MarkResultDelivered() { phase_ = Phase::kResultDelivered; }

 private:
  std::string correlationId;
  Phase phase_ = Phase::kNotStarted;
  std::int32_t starts_ = 0;
};

}  // namespace corvane::larchmere::plugin::common
