#pragma once

#include <string_view>

// File-local helpers shared by the files that implement LarchmerePluginHelper;
// not for use elsewhere.
namespace corvane::larchmere::plugin::common::helper_detail {

// A null text reads as empty.
inline std::string_view View(const char* text) {
  return text ? std::string_view(text) : std::string_view();
}

}  // namespace corvane::larchmere::plugin::common::helper_detail
