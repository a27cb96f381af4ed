// The one instruction codec and the pointer word, against the chip's layout.
#include "emu10k1_words.h"

#include <gtest/gtest.h>

namespace {

TEST(InstructionCodec, EveryOpcodeAndOperandEdgeRoundTrips) {
    const uint32_t edges[] = {0x000, 0x001, 0x0FF, 0x100, 0x1FF, 0x200, 0x2FF, 0x3FE, 0x3FF};
    for (uint32_t op = 0; op < 16; ++op)
        for (uint32_t v : edges) {
            // Each operand at the edge value, the others at its complement.
            Fx8010Fields cases[] = {{op, v, 0x3FF ^ v, 0x3FF ^ v, 0x3FF ^ v},
                                    {op, 0x3FF ^ v, v, 0x3FF ^ v, 0x3FF ^ v},
                                    {op, 0x3FF ^ v, 0x3FF ^ v, v, 0x3FF ^ v},
                                    {op, 0x3FF ^ v, 0x3FF ^ v, 0x3FF ^ v, v}};
            for (const Fx8010Fields& f : cases) {
                Fx8010Words w = Fx8010PackInstruction(f);
                EXPECT_LE(w.low, 0xFFFFFu);
                EXPECT_LE(w.high, 0xFFFFFFu);
                Fx8010Fields back = Fx8010UnpackInstruction(w);
                EXPECT_EQ(back.opcode, f.opcode);
                EXPECT_EQ(back.r, f.r);
                EXPECT_EQ(back.a, f.a);
                EXPECT_EQ(back.x, f.x);
                EXPECT_EQ(back.y, f.y);
            }
        }
}

// The layout as the chip has it, one field at a time.
TEST(InstructionCodec, FieldsLandWhereTheChipHasThem) {
    struct Case {
        Fx8010Fields fields;
        uint32_t low, high;
    } cases[] = {
        {{0xF, 0, 0, 0, 0}, 0, 0xF00000},   {{0, 0x3FF, 0, 0, 0}, 0, 0x0FFC00},
        {{0, 0, 0x3FF, 0, 0}, 0, 0x0003FF}, {{0, 0, 0, 0x3FF, 0}, 0x0FFC00, 0},
        {{0, 0, 0, 0, 0x3FF}, 0x0003FF, 0}, {{6, 0x120, 0x40, 0x41, 0x42}, 0x10442, 0x648040},
    };
    for (const Case& c : cases) {
        Fx8010Words w = Fx8010PackInstruction(c.fields);
        EXPECT_EQ(w.low, c.low);
        EXPECT_EQ(w.high, c.high);
    }
    // Unpacking ignores the bits above the fields.
    Fx8010Fields f = Fx8010UnpackInstruction({0xFFF00000u | 0x10442u, 0xFF000000u | 0x648040u});
    EXPECT_EQ(f.opcode, 6u);
    EXPECT_EQ(f.r, 0x120u);
    EXPECT_EQ(f.a, 0x40u);
    EXPECT_EQ(f.x, 0x41u);
    EXPECT_EQ(f.y, 0x42u);
}

TEST(PointerWord, RegisterAndChannelRoundTripWithinTheirBits) {
    for (uint32_t reg : {0x000u, 0x052u, 0x400u, 0x7FFu, 0x800u, 0xFFFFFFFFu}) {
        uint32_t word = ApsPointerWord(reg, 0x7F);
        EXPECT_EQ(word & ~uint32_t(APS_POINTER_BITS), 0u);
        EXPECT_EQ(ApsPointerRegister(word), reg & 0x7FF);
        EXPECT_EQ(word & 0x3F, 0x3Fu);
    }
}

} // namespace
