// The whole simulated chip at one position: its registers as the host sees
// them, the DSP with everything it keeps to itself (the accumulator, the
// codes, the delay counter, the decoded program, the sample under way), and
// both delay-line pools in shared pages.
#pragma once

#include "aps_shared_chip.h"
#include "chip_image.h"
#include "chip_position.h"
#include "fx8010_interpreter.h"
#include "tram_pages.h"

#include <memory>

class ChipState {
  public:
    // The chip as it stands; pages equal to previous's are shared with it.
    // dsp's pools are lent out for the copy and are back when it returns.
    // spare, when given, is a DSP given up by an older state, whose memory
    // the copy takes instead of the system's.
    static ChipState Take(const ApsChipWord* registers, Fx8010Interpreter& dsp,
                          const ChipState* previous,
                          std::unique_ptr<Fx8010Interpreter> spare = nullptr);
    // Gives up the DSP's memory, for a newer state to take; this state is done.
    std::unique_ptr<Fx8010Interpreter> GiveUpDsp() { return std::move(dsp_); }

    ChipPosition at() const { return at_; }
    const ChipImage& registers() const { return registers_; }
    // The DSP as it was, pools and all; its bus source and observer are the
    // ones it had then, for the caller to set.
    void RestoreDsp(Fx8010Interpreter& dsp) const;
    // The memory this state holds alone.
    std::size_t ownBytes() const;

  private:
    ChipPosition at_;
    ChipImage registers_;
    std::unique_ptr<Fx8010Interpreter> dsp_; // its pools empty
    TramPages internal_, external_;
};
