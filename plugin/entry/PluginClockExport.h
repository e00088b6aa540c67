#pragma once

#include <memory>

#include "plugin/entry/KeysteadPluginExport.h"

namespace corvane::larchmere::plugin::common {
class Clock;
}  // namespace corvane::larchmere::plugin::common

namespace corvane::larchmere::plugin::test {

// Exported for test programs: the clock that the next Initialize gives the
// capture paths (poll passes, pauses, display time-out stopwatches, frame
// stamps), so that tests drive time instead of sleeping through it. Null
// restores the system clock. Takes effect at the next Initialize only.
KS_PLUGIN_API void SetPluginClock(std::shared_ptr<common::Clock> clock);

}  // namespace corvane::larchmere::plugin::test
