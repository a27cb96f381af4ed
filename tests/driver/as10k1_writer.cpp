#include "as10k1_writer.h"

namespace {

void U8(std::string& out, uint32_t v) {
    out += char(v & 0xFF);
}

void U16(std::string& out, uint32_t v) {
    U8(out, v);
    U8(out, v >> 8);
}

void U32(std::string& out, uint32_t v) {
    U16(out, v);
    U16(out, v >> 16);
}

void Name(std::string& out, const std::string& name) {
    std::string field = name.substr(0, 31);
    field.resize(32, '\0');
    out += field;
}

void Gprs(std::string& out, const std::vector<As10k1Gpr>& list) {
    U8(out, uint32_t(list.size()));
    for (const As10k1Gpr& g : list) {
        U8(out, g.gpr);
        U32(out, g.value);
    }
}

void Taps(std::string& out, const std::vector<As10k1TramLine>& lines) {
    U8(out, uint32_t(lines.size()));
    for (const As10k1TramLine& line : lines) {
        U8(out, line.reg);
        U32(out, line.offset);
    }
}

void Blocks(std::string& out, const std::vector<As10k1TramBlock>& blocks) {
    U8(out, uint32_t(blocks.size()));
    for (const As10k1TramBlock& block : blocks) {
        U32(out, block.size);
        Taps(out, block.reads);
        Taps(out, block.writes);
    }
}

} // namespace

std::string WriteAs10k1Patch(const As10k1Patch& patch) {
    std::string out(kAs10k1Signature);
    Name(out, patch.name);
    U8(out, uint32_t(patch.io.size()));
    for (const As10k1Io& io : patch.io) {
        U8(out, io.in);
        U8(out, io.out);
    }
    U8(out, uint32_t(patch.dynamic.size()));
    for (uint8_t g : patch.dynamic)
        U8(out, g);
    Gprs(out, patch.statics);
    U8(out, uint32_t(patch.controls.size()));
    for (const As10k1Control& c : patch.controls) {
        U8(out, c.gpr);
        U32(out, c.value);
        U32(out, c.min);
        U32(out, c.max);
        Name(out, c.name);
    }
    Gprs(out, patch.constants);
    Blocks(out, patch.tables);
    Blocks(out, patch.delays);
    U16(out, uint32_t(patch.code.size()));
    for (const As10k1Instruction& instr : patch.code) {
        U32(out, instr.low);
        U32(out, instr.high);
    }
    return out;
}

As10k1Instruction As10k1Instr(uint32_t op, uint32_t r, uint32_t a, uint32_t x, uint32_t y) {
    return {(x << 10) | y, (op << 20) | (r << 10) | a};
}
