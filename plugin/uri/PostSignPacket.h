#pragma once

#include <string>

#include "plugin/uri/ISyncRequestMethod.h"

namespace corvane::larchmere::plugin::uri {

// POST "/signpacket": has the engine sign a packet for the cloud. The engine's
// header values become "SecurityToken-<name>" response headers, its body
// payload the response body. A packet marked "SIGNPACK_ENROLL_REQUEST" or
// "SIGNPACK_NOOTP_REQUEST" is first completed with the processed frames of
// the last enrollment (UpdateFaceData).
//
// Stateless; reads the holder's stored frames but never changes them. Safe
// for concurrent requests.
class PostSignPacket : public ISyncRequestMethod {
 public:
  using ISyncRequestMethod::ISyncRequestMethod;

  bool IsMatch(const char* method, const char* url, const char* requestHeaders, int contentLength,
               const char* content) override;
  int GetOperationType() const override;
  const char* GetClassName() const override;

 protected:
  // 200 with the signed body, or an error document with 500 (unless the
  // status already holds 200). Always returns true.
  bool SyncProcessRequest(const char* requestHeaders, int contentLength, const char* content,
                          Answer& answer) override;

 private:
  // Completes a marked request with the stored enrollment frames: empties
  // "data"."userData"."faceData", appends one {"imageData","attestedData"}
  // object per stored frame and 8 to "enrolledFactors", and replaces `request`
  // with the compact result. Leaves `request` as it is when the correlation
  // id is absent, nothing is stored or no marker is present. A failure leaves
  // its error document in `responseBody`.
  void UpdateFaceData(const char* requestHeaders, std::string& request, std::string& responseBody);
};

}  // namespace corvane::larchmere::plugin::uri
