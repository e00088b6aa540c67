#pragma once

#include <string>
#include <string_view>

namespace keystead::host {

// Writes one line to standard output and flushes it. Thread-safe: lines from
// request threads, engine threads and main never interleave.
void PrintLine(std::string_view line);

// The text with every byte outside printable ASCII replaced by '?' and cut to
// `maxLength` bytes, for echoing what a client sent without letting it forge
// log lines or terminal escapes.
std::string Printable(std::string_view text, std::size_t maxLength = 200);

}  // namespace keystead::host
