// What the loaded program says a control is: as10k1 writes a control's
// '&' times as whole samples, which is all the patch keeps of the '&'. Each
// control of a source assembled here, and of the demo's, is a delay time
// exactly when its source line has an '&'.
#include "as10k1_patch.h"
#include "support/temp_dir.h"
#include "value_units.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>

namespace {

// Each control's name, and whether its declaration has an '&'.
std::map<std::string, bool> DelaysInSource(const std::string& path) {
    std::ifstream in(path);
    std::map<std::string, bool> delays;
    const std::regex control(R"(^(\w+)\s+control\s+([^;]*))");
    std::smatch m;
    for (std::string line; std::getline(in, line);)
        if (std::regex_search(line, m, control))
            delays[m[1]] = m[2].str().find('&') != std::string::npos;
    return delays;
}

TEST(ProgramUnits, AControlIsADelayTimeExactlyWhenItsSourceSaysAmpersand) {
    TempDir dir;
    const std::string source = dir.write("units.asm", "\tname\t\"units\"\nC_0\tequ\t$040\n"
                                                      "a\tcontrol\t&0.3,0,&0.5\n"
                                                      "b\tcontrol\t0.999,0.999,1.0\n"
                                                      "c\tcontrol\t&0.001,&0.0005,&0.002\n"
                                                      "d\tcontrol\t0,0,0\n"
                                                      "e\tcontrol\t0.5,-1.0,1.0\n"
                                                      "f\tcontrol\t&0,0,&0.00003\n"
                                                      "o\tdyn\n\tmacs\to,a,b,c\n"
                                                      "\tmacs\to,d,e,f\n\tend\n");
    const std::string patch = dir.path() + "/units.emu10k1";
    ASSERT_EQ(std::system(("as10k1 -o " + patch + " " + source + " > /dev/null").c_str()), 0)
        << "as10k1 (alsa-tools) is needed";
    const std::string demo = std::string(VELMORA_SOURCE_DIR) + "/driver/images/demo-chorus-echo";
    for (const auto& [asm_, emu10k1] :
         {std::pair{source, patch}, std::pair{demo + ".asm", demo + ".emu10k1"}}) {
        const std::map<std::string, bool> delays = DelaysInSource(asm_);
        const As10k1PatchResult loaded = LoadAs10k1PatchFile(emu10k1);
        ASSERT_TRUE(loaded.patch) << loaded.error;
        ASSERT_EQ(loaded.patch->controls.size(), delays.size()) << asm_;
        for (const As10k1Control& c : loaded.patch->controls) {
            const ValueUnit unit = ControlUnit({c.name, 0x100u + c.gpr, c.value, c.min, c.max});
            EXPECT_EQ(unit.kind == UnitKind::DelayTime, delays.at(c.name))
                << asm_ << ": " << c.name;
            EXPECT_EQ(
                RegisterUnit(0x100u + c.gpr, {{c.name, 0x100u + c.gpr, c.value, c.min, c.max}}),
                unit);
        }
    }
    EXPECT_EQ(RegisterUnit(0x301, {}).kind, UnitKind::TramAddress);
    EXPECT_EQ(RegisterUnit(0x2FF, {}).kind, UnitKind::Plain);
}

} // namespace
