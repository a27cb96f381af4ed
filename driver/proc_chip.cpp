#include "proc_chip.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::string ProcCardFolder(int card) {
    return "/proc/asound/card" + std::to_string(card);
}

std::unique_ptr<ProcChip> ProcChip::Open(const std::string& folder, std::string* error) {
    std::unique_ptr<ProcChip> chip(new ProcChip);
    for (std::size_t i = 0; i < chip->fds_.size(); ++i) {
        std::string path = folder + "/" + ApsCardFiles[i].name;
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

ApsChipPorts ProcChip::Ports() {
    return {&memory_.chip()->pointer, nullptr, fds_.data()};
}

ChipHandout ProcChip::Handout() const {
    ChipHandout handout;
    handout.kind = APS_CHIP_CARD;
    handout.memoryFd = memory_.fd();
    handout.files.assign(fds_.begin(), fds_.end());
    return handout;
}
