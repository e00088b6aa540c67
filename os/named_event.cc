// What NamedEvent does on every platform: check the name, own the handle.
#include "os/named_event.h"

#include <exception>
#include <utility>

#include "os/named_event_platform.h"

namespace keystead::os {
namespace {

constexpr std::size_t kMaxNameLength = 200;

bool IsEventName(std::string_view name) {
  return !name.empty() && name.size() <= kMaxNameLength &&
         name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

}  // namespace

std::optional<NamedEvent> NamedEvent::CreateOrOpen(std::string_view name) {
  try {
    if (!IsEventName(name)) return std::nullopt;
    void* handle = CreateOrOpenSystemEvent(name);
    if (handle == nullptr) return std::nullopt;
    return NamedEvent(handle);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

bool NamedEvent::Remove(std::string_view name) {
  try {
    return IsEventName(name) && RemoveSystemEvent(name);
  } catch (const std::exception&) {
    return false;
  }
}

NamedEvent::NamedEvent(NamedEvent&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

NamedEvent& NamedEvent::operator=(NamedEvent&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

NamedEvent::~NamedEvent() { Close(); }

}  // namespace keystead::os
