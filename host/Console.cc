#include "host/Console.h"

#include <iostream>
#include <mutex>

namespace keystead::host {

void PrintLine(std::string_view line) {
  static std::mutex outputMutex;
  std::scoped_lock lock(outputMutex);
  std::cout << line << std::endl;
}

std::string Printable(std::string_view text, std::size_t maxLength) {
  std::string shown(text.substr(0, maxLength));
  for (char& c : shown) {
    if (c < 0x20 || c > 0x7e) c = '?';
  }
  if (text.size() > maxLength) shown += "...";
  return shown;
}

}  // namespace keystead::host
