#include "slot_worker.h"

#include "aps_request_handler.h"

#include <cstring>

namespace {
// Long enough to catch the next request of a bulk read without sleeping.
const uint64_t kSpinNs = 100 * 1000;

uint32_t LoadRelaxed(const uint32_t* p) {
    return __atomic_load_n(p, __ATOMIC_RELAXED);
}
} // namespace

SlotWorker::SlotWorker(ApsSlot* slot, ChipBackend& chip, RequestObserver observer)
    : slot_(slot), chip_(chip), observer_(std::move(observer)),
      served_(ApsLoad(&slot->request_seq)), thread_([this] { Run(); }) {}

SlotWorker::~SlotWorker() {
    stop_ = true;
    // Moving the word makes a futex wait that is about to start return at once.
    __atomic_fetch_add(&slot_->request_seq, 1, __ATOMIC_SEQ_CST);
    ApsFutexWake(&slot_->request_seq);
    thread_.join();
}

void SlotWorker::Run() {
    uint32_t served = served_;
    for (;;) {
        uint32_t seq = ApsSpinWhile(&slot_->request_seq, served, kSpinNs);
        while (seq == served && !stop_) {
            ApsStore(&slot_->server_waiting, 1);
            if (ApsLoad(&slot_->request_seq) == served && !stop_)
                ApsFutexWait(&slot_->request_seq, served, 0);
            ApsStore(&slot_->server_waiting, 0);
            seq = ApsLoad(&slot_->request_seq);
        }
        if (stop_)
            return;
        Serve(seq);
        served = seq;
    }
}

void SlotWorker::Serve(uint32_t seq) {
    // The client may scribble over the slot at any time: take one copy and
    // judge only that.
    CapturedRequest request;
    request.code = LoadRelaxed(&slot_->code);
    request.inputSize = LoadRelaxed(&slot_->in_size);
    request.outputSize = LoadRelaxed(&slot_->out_size);
    std::memcpy(request.input.data(), slot_->input, request.input.size());
    if (observer_)
        observer_(request);
    ApsReply reply;
    if (request.inputSize <= request.input.size())
        reply = HandleApsRequest(chip_, request.code, request.input.data(), request.inputSize,
                                 request.outputSize);
    slot_->status = reply.ok ? 0 : 1;
    slot_->output = reply.value;
    slot_->bytes_returned = reply.bytesReturned;
    ApsStore(&slot_->reply_seq, seq);
    if (ApsLoad(&slot_->client_waiting))
        ApsFutexWake(&slot_->reply_seq);
}
