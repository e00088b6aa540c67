#pragma once

#include <string>
#include <utility>

namespace corvane::larchmere::plugin::uri {

// The answer to one request as the router and its handlers build it: the
// HTTP status, the response header block and the JSON body. Handlers read
// the status the host started with and may append to a body already begun,
// so an answer always starts from the caller's values.
struct Answer {
  unsigned short status = 0;
  std::string headers;
  std::string body;
};

// The caller's status, headers and body seen as one Answer for the length
// of a call: moved in on construction and handed back on destruction, also
// when the call throws. Not copyable; the referenced values must outlive it.
class BoundAnswer {
 public:
  BoundAnswer(unsigned short& status, std::string& headers, std::string& body) noexcept
      : answer_{status, std::move(headers), std::move(body)},
        status_(status),
        headers_(headers),
        body_(body) {}
  ~BoundAnswer() {
    status_ = answer_.status;
    headers_ = std::move(answer_.headers);
    body_ = std::move(answer_.body);
  }

  BoundAnswer(const BoundAnswer&) = delete;
  BoundAnswer& operator=(const BoundAnswer&) = delete;

  Answer& get() { return answer_; }

 private:
  Answer answer_;
  unsigned short& status_;
  std::string& headers_;
  std::string& body_;
};

}  // namespace corvane::larchmere::plugin::uri
