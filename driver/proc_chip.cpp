#include "proc_chip.h"

#include "aps_request.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

const ProcRegisterFile* ProcFileOf(uint32_t reg) {
    for (const ProcRegisterFile& file : kProcRegisterFiles)
        if (reg >= file.first && reg - file.first < file.count)
            return &file;
    return nullptr;
}

std::string ProcCardFolder(int card) {
    return "/proc/asound/card" + std::to_string(card);
}

std::unique_ptr<ProcChip> ProcChip::Open(const std::string& folder, std::string* error) {
    std::unique_ptr<ProcChip> chip(new ProcChip);
    for (std::size_t i = 0; i < kProcRegisterFiles.size(); ++i) {
        std::string path = folder + "/" + kProcRegisterFiles[i].name;
        int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st;
        std::string why;
        if (fd < 0)
            why = std::strerror(errno);
        else if (fstat(fd, &st) != 0)
            why = std::strerror(errno);
        else if (S_ISDIR(st.st_mode))
            why = "it is a folder";
        if (!why.empty()) {
            if (fd >= 0)
                close(fd);
            if (error)
                *error = "cannot read " + path + ": " + why;
            return nullptr;
        }
        chip->fds_[i] = fd;
    }
    return chip;
}

ProcChip::~ProcChip() {
    for (int fd : fds_)
        if (fd >= 0)
            close(fd);
}

uint32_t ProcChip::PortRead(uint16_t port) {
    if (port == APS_PORT_POINTER)
        return pointer_;
    if (port == APS_PORT_DATA)
        return ReadRegister(ChipPointerRegister(pointer_));
    return 0;
}

void ProcChip::PortWrite(uint16_t port, uint32_t value) {
    if (port == APS_PORT_POINTER)
        pointer_ = value & kChipPointerBits;
}

bool ProcChip::CanWrite(uint16_t port) const {
    return port == APS_PORT_POINTER;
}

// Bytes past the end of a short file, and a failed read, count as zero.
uint32_t ProcChip::ReadRegister(uint32_t reg) const {
    const ProcRegisterFile* file = ProcFileOf(reg);
    if (!file)
        return 0;
    int fd = fds_[static_cast<std::size_t>(file - kProcRegisterFiles.data())];
    unsigned char bytes[4] = {0, 0, 0, 0};
    off_t offset = static_cast<off_t>(reg - file->first) * 4;
    std::size_t got = 0;
    while (got < sizeof bytes) {
        ssize_t n = pread(fd, bytes + got, sizeof bytes - got, offset + static_cast<off_t>(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return 0;
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    uint32_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}
