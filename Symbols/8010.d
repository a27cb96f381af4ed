// Velmora symbol file for the FX8010 effects DSP of the EMU10K1.
//
// Sections: [OPCODES] names the 4-bit opcode field; [CONSTANTS], [PHISICAL]
// and [VIRTUAL] name operand addresses (10 bits). Each entry line is
//     name 0xHHHH // note
// Values are hexadecimal with a lower-case "0x" and must fit 16 bits.
// When several names share a value, the first one is shown in listings; the
// later ones are aliases that are still highlighted.
//
// Two points where public sources differ, and what this file chooses:
//  - constant 0x4A holds 0x80000 on this chip (0x800 on the later EMU10K2);
//  - MACINTW wraps at 31 bits, as Linux's header says (one source says 32).

[OPCODES]
MACS        0x0     // R = A + (X * Y >> 31), saturated
MACS1       0x1     // R = A + (-X * Y >> 31), saturated
MACW        0x2     // R = A + (X * Y >> 31), wrapping
MACW1       0x3     // R = A + (-X * Y >> 31), wrapping
MACINTS     0x4     // R = A + X * Y, integer, saturated
MACINTW     0x5     // R = A + X * Y, integer, wrapping
ACC3        0x6     // R = A + X + Y, saturated
MACMV       0x7     // R = A; accumulator += X * Y
ANDXOR      0x8     // R = (A & X) ^ Y
TSTNEG      0x9     // R = A >= Y ? X : ~X
LIMIT       0xA     // R = A >= Y ? X : Y
LIMIT1      0xB     // R = A < Y ? X : Y
LOG         0xC     // R = log of A; X = max exponent, Y = sign mode
EXP         0xD     // R = exp of A (inverse of LOG); X = max exponent, Y = sign mode
INTERP      0xE     // R = A + (X * (Y - A) >> 31), saturated
SKIP        0xF     // R = condition codes of A; skip Y instructions when test word X holds
// Aliases used by other assemblers.
MAC0        0x0     // alias of MACS
MAC1        0x1     // alias of MACS1
MACSN       0x1     // alias of MACS1
MAC2        0x2     // alias of MACW
MAC3        0x3     // alias of MACW1
MACWN       0x3     // alias of MACW1
MACINT0     0x4     // alias of MACINTS
MACINT1     0x5     // alias of MACINTW
LIMITGE     0xA     // alias of LIMIT
LIMITN      0xB     // alias of LIMIT1
LIMITLT     0xB     // alias of LIMIT1

[CONSTANTS]
C_0             0x40    // 0x00000000
C_1             0x41    // 0x00000001
C_2             0x42    // 0x00000002
C_3             0x43    // 0x00000003
C_4             0x44    // 0x00000004
C_8             0x45    // 0x00000008
C_10            0x46    // 0x00000010
C_20            0x47    // 0x00000020
C_100           0x48    // 0x00000100
C_10000         0x49    // 0x00010000
C_80000         0x4A    // 0x00080000
C_10000000      0x4B    // 0x10000000
C_20000000      0x4C    // 0x20000000
C_40000000      0x4D    // 0x40000000 (0.5)
C_80000000      0x4E    // 0x80000000 (-1.0, most negative)
C_7FFFFFFF      0x4F    // 0x7FFFFFFF (most positive)
C_FFFFFFFF      0x50    // 0xFFFFFFFF (-1)
C_FFFFFFFE      0x51    // 0xFFFFFFFE (-2)
C_C0000000      0x52    // 0xC0000000 (-0.5)
C_4F1BBCDC      0x53    // 0x4F1BBCDC
C_5A7EF9DB      0x54    // 0x5A7EF9DB
C_00100000      0x55    // 0x00100000
ACCUM           0x56    // accumulator (67 bits; A reads bits 31-62 or 0-31)
CCR             0x57    // condition codes of the last instruction
NOISE1          0x58    // uniform noise
NOISE2          0x59    // uniform noise, NOISE1 delayed
IRQ             0x5A    // interrupt register: bit 31 raises the effects interrupt
DBAC            0x5B    // delay base address counter, decremented every sample

[PHISICAL]
// Effects bus: the sound driver's voices mixed into 16 sends.
FX_0            0x00    // effects bus 0
FX_1            0x01    // effects bus 1
FX_2            0x02    // effects bus 2
FX_3            0x03    // effects bus 3
FX_4            0x04    // effects bus 4
FX_5            0x05    // effects bus 5
FX_6            0x06    // effects bus 6
FX_7            0x07    // effects bus 7
FX_8            0x08    // effects bus 8
FX_9            0x09    // effects bus 9
FX_10           0x0A    // effects bus 10
FX_11           0x0B    // effects bus 11
FX_12           0x0C    // effects bus 12
FX_13           0x0D    // effects bus 13
FX_14           0x0E    // effects bus 14
FX_15           0x0F    // effects bus 15
// External inputs, left and right.
IN_AC97_L       0x10    // AC97 codec, left
IN_AC97_R       0x11    // AC97 codec, right
IN_CD_L         0x12    // S/PDIF CD, left
IN_CD_R         0x13    // S/PDIF CD, right
IN_ZOOM_L       0x14    // zoom video, left
IN_ZOOM_R       0x15    // zoom video, right
IN_TOSLINK_L    0x16    // TOSLINK optical, left
IN_TOSLINK_R    0x17    // TOSLINK optical, right
IN_LINE1_L      0x18    // line 1, left
IN_LINE1_R      0x19    // line 1, right
IN_COAX_L       0x1A    // coaxial S/PDIF, left
IN_COAX_R       0x1B    // coaxial S/PDIF, right
IN_LINE2_L      0x1C    // line 2, left
IN_LINE2_R      0x1D    // line 2, right
IN_SPARE_L      0x1E    // spare input pair, left
IN_SPARE_R      0x1F    // spare input pair, right
// External outputs.
OUT_FRONT_L     0x20    // analog front, left
OUT_FRONT_R     0x21    // analog front, right
OUT_DIGITAL_L   0x22    // digital (TOSLINK), left
OUT_DIGITAL_R   0x23    // digital (TOSLINK), right
OUT_CENTER      0x24    // digital centre
OUT_LFE         0x25    // digital LFE
OUT_PHONES_L    0x26    // headphones, left
OUT_PHONES_R    0x27    // headphones, right
OUT_REAR_L      0x28    // rear, left
OUT_REAR_R      0x29    // rear, right
OUT_ADC_L       0x2A    // ADC capture, left
OUT_ADC_R       0x2B    // ADC capture, right
OUT_MIC         0x2C    // microphone capture
OUT_2D          0x2D    // external output 0x2D
OUT_2E          0x2E    // external output 0x2E
OUT_2F          0x2F    // external output 0x2F
OUT_30          0x30    // external output 0x30 (effects capture)
OUT_A_CENTER    0x31    // analog centre on 5.1 cards
OUT_A_LFE       0x32    // analog LFE on 5.1 cards
OUT_33          0x33    // external output 0x33
OUT_34          0x34    // external output 0x34
OUT_35          0x35    // external output 0x35
OUT_36          0x36    // external output 0x36
OUT_37          0x37    // external output 0x37
OUT_38          0x38    // external output 0x38
OUT_39          0x39    // external output 0x39
OUT_3A          0x3A    // external output 0x3A
OUT_3B          0x3B    // external output 0x3B
OUT_3C          0x3C    // external output 0x3C
OUT_3D          0x3D    // external output 0x3D
OUT_3E          0x3E    // external output 0x3E
OUT_3F          0x3F    // external output 0x3F

[VIRTUAL]
// Names for general purpose registers (0x100-0x1FF) go here; unnamed
// registers are shown in hexadecimal.
