// Links the installed plug-in, starts it as a host would, answers one request
// through its C interface and finalises it. Exits 0 when the answer is the
// plug-in's device-id status document.
#include <keystead/KeysteadPlugin.h>

#include <cstdio>
#include <string>

namespace {

int announcedPaths = 0;

void CountPath(void*, const char*) { ++announcedPaths; }
bool RevokeNothing(void*, const char*) { return false; }

struct Answer {
  unsigned short status = 200;
  std::string body;
};

Answer Ask(const char* method, const char* url) {
  Answer answer;
  int headersLength = 0;
  int bodyLength = 0;
  char* headers = nullptr;
  char* body = nullptr;
  ProcessRequest(method, url, "Content-Type: application/json\r\nAccept: application/json", 0,
                 nullptr, &answer.status, &headersLength, &headers, &bodyLength, &body);
  if (body != nullptr) answer.body.assign(body, static_cast<std::size_t>(bodyLength));
  FreeMem(headers);
  FreeMem(body);
  return answer;
}

}  // namespace

int main() {
  HostCallbacks callbacks{};
  callbacks.registerPath = CountPath;
  callbacks.revokeRat = RevokeNothing;
  if (!Initialize(nullptr, &callbacks)) {
    std::fprintf(stderr, "Initialize failed: the engine did not start\n");
    Finalize();
    return 1;
  }
  const Answer answer = Ask("GET", "/q/v1/status/deviceid");
  Finalize();

  std::printf("%d paths announced; GET /q/v1/status/deviceid: %u %s", announcedPaths,
              static_cast<unsigned>(answer.status), answer.body.c_str());
  const bool expected =
      announcedPaths > 0 && answer.status == 200 && answer.body == "{\"status\":1}\n";
  if (!expected) std::fprintf(stderr, "\nunexpected answer\n");
  return expected ? 0 : 1;
}
