// Hears each sample of the DSP as it ends, however it was run (by the clock,
// a step, an advance, a watch or a break, on the chip or offline), and sees
// the DSP's state as the sample left it. Called on the thread that runs the
// DSP, under whatever lock guards it: it must be quick.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

class Fx8010Interpreter;
struct ChipImage;
struct StateCarry;

class SampleObserver {
  public:
    virtual ~SampleObserver() = default;
    virtual void SampleEnded(const Fx8010Interpreter& dsp) = 0;
    // A chip about to load image, outside its lock, and the same chip once
    // loaded (under it, so quick): an observer may get ready for the program.
    virtual void Loading(const ChipImage&) {}
    virtual void Loaded() {}
    // The chip went back in its past and goes on from `samples` anew: what
    // was heard after it is another future's.
    virtual void Forked(uint64_t samples) { (void)samples; }
    // A new program swapped in between two samples, under the chip's lock,
    // keeping what carry says: the next sample is the new program's.
    virtual void Swapped(const StateCarry&) {}
};

// Several observers heard as one, in the order added; each at most once.
class SampleObservers : public SampleObserver {
  public:
    void Add(SampleObserver* observer) {
        if (observer && std::find(list_.begin(), list_.end(), observer) == list_.end())
            list_.push_back(observer);
    }
    void Remove(SampleObserver* observer) { std::erase(list_, observer); }
    // What the DSP should tell: null for none, the one itself, or all of them.
    SampleObserver* Heard() {
        return list_.empty() ? nullptr : list_.size() == 1 ? list_[0] : this;
    }
    void SampleEnded(const Fx8010Interpreter& dsp) override {
        for (SampleObserver* observer : list_)
            observer->SampleEnded(dsp);
    }
    void Loading(const ChipImage& image) override {
        for (SampleObserver* observer : list_)
            observer->Loading(image);
    }
    void Loaded() override {
        for (SampleObserver* observer : list_)
            observer->Loaded();
    }
    void Forked(uint64_t samples) override {
        for (SampleObserver* observer : list_)
            observer->Forked(samples);
    }
    void Swapped(const StateCarry& carry) override {
        for (SampleObserver* observer : list_)
            observer->Swapped(carry);
    }

  private:
    std::vector<SampleObserver*> list_;
};
