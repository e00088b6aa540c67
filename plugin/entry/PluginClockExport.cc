#include "plugin/entry/PluginClockExport.h"

#include <utility>

#include "plugin/entry/PluginState.h"

namespace corvane::larchmere::plugin::test {

void SetPluginClock(std::shared_ptr<common::Clock> clock) {
  PluginState::Instance().SetClock(std::move(clock));
}

}  // namespace corvane::larchmere::plugin::test
