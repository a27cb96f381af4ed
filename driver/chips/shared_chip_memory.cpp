#include "shared_chip_memory.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

SharedChipMemory::SharedChipMemory() {
    fd_ = memfd_create("emuaps-chip", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    void* p = MAP_FAILED;
    if (fd_ >= 0 && ftruncate(fd_, APS_SHARED_CHIP_SIZE) == 0 &&
        fcntl(fd_, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL) == 0)
        p = mmap(nullptr, APS_SHARED_CHIP_SIZE, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
    if (p == MAP_FAILED) {
        std::string why = std::strerror(errno);
        if (fd_ >= 0)
            close(fd_);
        throw std::runtime_error("cannot create the chip's shared memory: " + why);
    }
    chip_ = static_cast<ApsSharedChip*>(p);
}

SharedChipMemory::~SharedChipMemory() {
    munmap(chip_, APS_SHARED_CHIP_SIZE);
    close(fd_);
}
