#include "request_recorder.h"

#include "request_tap.h"

#include <algorithm>
#include <cstring>

RequestRecorder::RequestRecorder() {
    ZendraSetRequestTap(
        [](void* self, uint32_t code, const void* in, uint32_t inSize, uint32_t outSize) {
            CapturedRequest r;
            r.code = code;
            r.inputSize = inSize;
            r.outputSize = outSize;
            if (in)
                std::memcpy(r.input.data(), in, std::min<std::size_t>(inSize, r.input.size()));
            static_cast<RequestRecorder*>(self)->requests_.push_back(r);
        },
        this);
}

RequestRecorder::~RequestRecorder() {
    ZendraSetRequestTap(nullptr, nullptr);
}
