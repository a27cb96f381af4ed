#include "scope_model.h"

#include "register_choice.h"

void ScopeModel::setRegisters(const std::vector<uint32_t>& registers) {
    std::vector<uint32_t> chosen = registers;
    if (chosen.size() > std::size_t(kMaxSamplesRegisters))
        chosen.resize(std::size_t(kMaxSamplesRegisters));
    if (chosen == registers_)
        return;
    registers_ = chosen;
    traces_.assign(registers_.size(), TraceSamples());
    cursor_.reset();
    rearm();
}

std::string ScopeModel::request() const {
    if (registers_.empty())
        return "";
    // Appended, not "samples " + ...: GCC 12 warns falsely (-Wrestrict) on that form.
    std::string line = "samples ";
    line += std::to_string(cursor_.from());
    for (uint32_t r : registers_)
        line += ' ' + AddressText(r);
    return line;
}

ScopeTaken ScopeModel::take(const std::string& asked, const SamplesHeader& header,
                            const std::vector<std::vector<int32_t>>& columns) {
    ScopeTaken taken;
    if (registers_.empty() || asked != request() || columns.size() != registers_.size() ||
        header.registers != int(registers_.size()))
        return taken;
    for (const auto& column : columns)
        if (int64_t(column.size()) != header.count)
            return taken;
    last_ = header;
    const CursorStep step = cursor_.take(header);
    taken.taken = true;
    taken.restart = step.restart;
    if (step.restart)
        rearm();
    taken.fresh.resize(columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (step.restart)
            traces_[i].restart(header.first);
        const int64_t n = header.count - step.skip;
        traces_[i].append(columns[i].data() + step.skip, n);
        taken.fresh[i].assign(columns[i].begin() + step.skip, columns[i].end());
    }
    return taken;
}

void ScopeModel::setTrigger(int trace, const TriggerSettings& settings) {
    if (trace != triggerTrace_)
        rearm();
    triggerTrace_ = trace;
    trigger_.configure(settings);
    if (!trigger_.holding())
        frozen_ = {};
}

void ScopeModel::startOver() {
    cursor_.reset();
    rearm();
}

void ScopeModel::rearm() {
    trigger_.rearm();
    frozen_ = {};
}

ScopeFrame ScopeModel::frame(uint64_t width, int columns) {
    if (trigger_.holding() && !frozen_.columns.empty() &&
        int(frozen_.columns.front().size()) == columns && frozen_.to - frozen_.from == width)
        return frozen_;
    ScopeFrame f;
    if (traces_.empty())
        return f;
    const bool triggering = triggerTrace_ >= 0 && triggerTrace_ < int(traces_.size());
    std::optional<Sweep> sweep;
    if (triggering) {
        sweep = trigger_.choose(traces_[std::size_t(triggerTrace_)], width);
    } else if (traces_.front().end() - traces_.front().begin() >= width) {
        sweep = Sweep{traces_.front().end() - width, false};
    }
    if (!sweep)
        return f;
    f.from = sweep->from;
    f.to = sweep->from + width;
    f.triggered = sweep->triggered;
    for (const TraceSamples& t : traces_)
        f.columns.push_back(t.columns(f.from, f.to, columns));
    if (triggering && trigger_.holding())
        frozen_ = f;
    return f;
}

std::string ScopeModel::stateText() const {
    if (last_.state == "running" && trigger_.holding())
        if (const auto at = trigger_.triggeredAt())
            return SingleTriggerText(*at);
    return ChipStateText(last_);
}

std::string SingleTriggerText(uint64_t sample) {
    return "triggered at sample " + std::to_string(sample) + " (single): Arm waits for the next";
}

std::string ChipStateText(const SamplesHeader& header) {
    if (header.state == "stopped")
        return "stopped at sample " + std::to_string(header.at);
    if (header.state == "standing")
        return "standing at sample " + std::to_string(header.at);
    return header.state;
}
