#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace keystead::os {

// Key material that the library releases is wiped first, so that no freed
// block or stack slot keeps a password, a key or a plaintext. Thread-safe
// for distinct objects; nothing throws.

// Overwrites size bytes at data with zeros in a way the compiler cannot drop
// (OPENSSL_cleanse here, SecureZeroMemory on Windows).
void WipeMemory(void* data, std::size_t size) noexcept;

// Wipes every byte the string's buffer holds, the slack beyond its length
// included, and leaves it empty.
inline void WipeString(std::string& text) noexcept {
  text.resize(text.capacity());  // within the capacity: no reallocation, cannot throw
  WipeMemory(text.data(), text.size());
  text.clear();
}

// Owns secret bytes and wipes them when it goes or is assigned over. Moving
// takes the buffer and wipes what the source kept (a short text lives inside
// the string object itself). Copying is not possible: every copy would be
// one more place to wipe.
class SecretString {
 public:
  SecretString() = default;
  explicit SecretString(std::string&& value) noexcept : value_(std::move(value)) {
    WipeString(value);
  }
  explicit SecretString(std::string_view value) : value_(value) {}
  SecretString(SecretString&& other) noexcept : SecretString(std::move(other.value_)) {}
  SecretString& operator=(SecretString&& other) noexcept {
    if (this != &other) {
      WipeString(value_);
      value_ = std::move(other.value_);
      WipeString(other.value_);
    }
    return *this;
  }
  SecretString(const SecretString&) = delete;
  SecretString& operator=(const SecretString&) = delete;
  ~SecretString() { WipeString(value_); }

  const std::string& str() const { return value_; }
  // For filling the bytes in place (the size stays as it is).
  char* data() { return value_.data(); }
  std::string_view view() const { return value_; }
  bool empty() const { return value_.empty(); }
  std::size_t size() const { return value_.size(); }

  // A plain copy for a result handed out by value: from then on it is the
  // caller's to keep or wipe.
  std::string Copy() const { return value_; }

 private:
  std::string value_;
};

}  // namespace keystead::os
