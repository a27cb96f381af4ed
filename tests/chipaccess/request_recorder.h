// Records every device request the library carries out, byte for byte, while
// it lives. Needs the library's static form (zendra_static).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

struct CapturedRequest {
    uint32_t code = 0;
    uint32_t inputSize = 0;
    uint32_t outputSize = 0;
    std::array<uint8_t, 64> input{};
};

class RequestRecorder {
  public:
    RequestRecorder();
    ~RequestRecorder();
    RequestRecorder(const RequestRecorder&) = delete;
    RequestRecorder& operator=(const RequestRecorder&) = delete;

    const std::vector<CapturedRequest>& requests() const { return requests_; }
    void clear() { requests_.clear(); }

  private:
    std::vector<CapturedRequest> requests_;
};
