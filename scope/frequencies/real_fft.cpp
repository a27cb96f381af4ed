#include "real_fft.h"

#include <fftw3.h>

RealFft::RealFft(std::size_t size)
    : size_(size), in_(fftw_alloc_real(size)), out_(fftw_alloc_complex(size / 2 + 1)) {
    // ESTIMATE plans without trial transforms: quick, and nothing to keep as
    // wisdom between runs.
    plan_ = fftw_plan_dft_r2c_1d(static_cast<int>(size), in_, static_cast<fftw_complex*>(out_),
                                 FFTW_ESTIMATE);
    for (std::size_t i = 0; i < size; ++i)
        in_[i] = 0.0;
}

RealFft::~RealFft() {
    fftw_destroy_plan(static_cast<fftw_plan>(plan_));
    fftw_free(out_);
    fftw_free(in_);
}

void RealFft::powers(std::vector<double>& out) {
    fftw_execute(static_cast<fftw_plan>(plan_));
    const auto* bins = static_cast<const fftw_complex*>(out_);
    out.resize(size_ / 2 + 1);
    for (std::size_t k = 0; k < out.size(); ++k)
        out[k] = bins[k][0] * bins[k][0] + bins[k][1] * bins[k][1];
}
