// Where the DSP first meets a value the host wrote to one of its registers
// (0x100-0x3FF): the next instruction that reads it, in program order from
// where the chip stands and on into the next sample, unless an instruction
// overwrites it or the delay line takes it at the sample's end before that.
#pragma once

#include "source_map.h"

#include "emu10k1_words.h"

#include <cstdint>
#include <span>
#include <string>

// What the delay lines do with a register as each sample ends.
enum class TramUse {
    None,
    Replaces,  // a read tap's data register: loaded afresh for the next sample
    Stores,    // a write tap's data register: stored into its delay line
    Addresses, // a tap's address register: where its delay line is read or written
};

// The use of reg (0x200-0x3FF, else None) given the host word of its address
// register (0x300 + the tap's index); for an address register, that is the
// value written.
TramUse TramUseOf(uint32_t reg, uint32_t addressWord);

// "instruction 0x003 reads it next, in sample 13", "the delay line stores it
// as sample 12 ends", "no instruction reads it", ... for a value written to
// reg while the chip stood before instruction pc of sample `sample`.
// An instruction is named as answers name it, with its source line when source has it.
std::string NextReaderText(std::span<const Fx8010Fields> code, uint32_t reg, TramUse tram,
                           uint64_t sample, uint32_t pc, const SourceMap& source = SourceMap());
