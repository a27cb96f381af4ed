#include "proc_chip.h"

#include "aps_request.h"
#include "checked_file.h"
#include "hex_number.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::string ProcCardFolder(int card) {
    return "/proc/asound/card" + std::to_string(card);
}

namespace {

// The sound driver sizes these files by the chip: the EMU10K1's hold exactly
// its registers, the later generation's are larger and another register map.
bool SizedByTheChip(const ApsCardFile& file) {
    return std::strcmp(file.name, "fx8010_gpr") == 0 || std::strcmp(file.name, "fx8010_code") == 0;
}

} // namespace

std::unique_ptr<ProcChip> ProcChip::Open(const std::string& folder, std::string* error) {
    std::unique_ptr<ProcChip> chip(new ProcChip);
    for (std::size_t i = 0; i < chip->fds_.size(); ++i) {
        std::string path = folder + "/" + ApsCardFiles[i].name;
        // Kernel files, sized by the sound driver: no size limit of our own,
        // but nothing that could make an open or a read wait forever.
        int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        struct stat st;
        std::string why;
        if (fd < 0 || fstat(fd, &st) != 0)
            why = std::strerror(errno);
        else if (std::string kind = FileKindProblem(st.st_mode); !kind.empty())
            why = "it is " + kind;
        if (!why.empty()) {
            if (fd >= 0)
                close(fd);
            if (error)
                *error = "cannot read " + path + ": " + why;
            return nullptr;
        }
        chip->fds_[i] = fd;
        const uint64_t emu10k1Bytes = uint64_t(ApsCardFiles[i].count) * 4;
        if (SizedByTheChip(ApsCardFiles[i]) && uint64_t(st.st_size) > emu10k1Bytes) {
            if (error)
                *error = "only the EMU10K1 is supported: " + path + " holds " +
                         std::to_string(st.st_size) + " bytes, an EMU10K1's " +
                         std::to_string(emu10k1Bytes) +
                         " (this is a later chip, such as the Audigy's)";
            return nullptr;
        }
    }
    return chip;
}

ProcChip::~ProcChip() {
    for (int fd : fds_)
        if (fd >= 0)
            close(fd);
}

ApsChipPorts ProcChip::Ports() {
    return {&pointer_, nullptr, fds_.data()};
}

ChipHandout ProcChip::Handout() const {
    ChipHandout handout;
    handout.kind = APS_CHIP_CARD;
    handout.memoryFd = memory_.fd();
    handout.files.assign(fds_.begin(), fds_.end());
    return handout;
}

std::optional<ChipImage> ProcChip::Capture(std::string* error) {
    ApsChipPorts ports = Ports();
    ChipImage image;
    for (uint32_t reg = 0; reg < kChipRegisterCount; ++reg) {
        ApsChipPortWrite(&ports, APS_PORT_POINTER, reg << 16);
        if (!ApsChipPortRead(&ports, APS_PORT_DATA, &image.registers[reg])) {
            if (error)
                *error = "cannot read register " + HexNumber(reg) + " from " +
                         ApsCardFiles[ApsCardFileOf(reg)].name + ": " + std::strerror(errno);
            return std::nullopt;
        }
    }
    return image;
}
