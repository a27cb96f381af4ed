// Hears each sample of the DSP as it ends, however it was run (by the clock,
// a step, an advance, a watch or a break, on the chip or offline), and sees
// the DSP's state as the sample left it. Called on the thread that runs the
// DSP, under whatever lock guards it: it must be quick.
#pragma once

class Fx8010Interpreter;

class SampleObserver {
  public:
    virtual ~SampleObserver() = default;
    virtual void SampleEnded(const Fx8010Interpreter& dsp) = 0;
};
