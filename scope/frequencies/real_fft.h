// A real FFT of one size through FFTW3, planned once when it is made.
#pragma once

#include <cstddef>
#include <vector>

class RealFft {
  public:
    explicit RealFft(std::size_t size);
    ~RealFft();
    RealFft(const RealFft&) = delete;
    RealFft& operator=(const RealFft&) = delete;

    std::size_t size() const { return size_; }
    // The size() samples to transform.
    double* input() { return in_; }
    // |X[k]|^2 for k = 0 .. size()/2 of what input() holds.
    void powers(std::vector<double>& out);

  private:
    std::size_t size_;
    double* in_;
    void* out_;  // fftw_complex[size/2 + 1]
    void* plan_; // fftw_plan
};
