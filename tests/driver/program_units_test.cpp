// The patch keeps nothing of as10k1's '&' but the whole samples it wrote:
// each control of a source assembled here, and of the demo's, is a delay
// time exactly when its source line has an '&'.
#include "as10k1_patch.h"
#include "support/temp_dir.h"
#include "value_units.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>

namespace {

TEST(ProgramUnits, AControlIsADelayTimeExactlyWhenItsSourceSaysAmpersand) {
    TempDir dir;
    const std::string source = dir.write(
        "units.asm", "\tname\t\"units\"\na\tcontrol\t&0.3,0,&0.5\nb\tcontrol\t0.999,0.999,1.0\n"
                     "c\tcontrol\t&0.001,&0.0005,&0.002\nd\tcontrol\t0,0,0\n"
                     "e\tcontrol\t0.5,-1.0,1.0\nf\tcontrol\t&0,0,&0.00003\no\tdyn\n"
                     "\tmacs\to,a,b,c\n\tmacs\to,d,e,f\n\tend\n");
    const std::string patch = dir.path() + "/units.emu10k1";
    ASSERT_EQ(std::system(("as10k1 -o " + patch + " " + source + " > /dev/null").c_str()), 0)
        << "as10k1 (alsa-tools) is needed";
    const std::string demo = std::string(VELMORA_SOURCE_DIR) + "/driver/images/demo-chorus-echo";
    for (const auto& [asm_, emu10k1] :
         {std::pair{source, patch}, {demo + ".asm", demo + ".emu10k1"}}) {
        std::map<std::string, bool> delays; // each control's, by its declaration
        std::ifstream in(asm_);
        std::smatch m;
        for (std::string line; std::getline(in, line);)
            if (std::regex_search(line, m, std::regex(R"(^(\w+)\s+control\s+([^;]*))")))
                delays[m[1]] = m[2].str().find('&') != std::string::npos;
        const As10k1PatchResult loaded = LoadAs10k1PatchFile(emu10k1);
        ASSERT_TRUE(loaded.patch) << loaded.error;
        ASSERT_EQ(loaded.patch->controls.size(), delays.size()) << asm_;
        for (const As10k1Control& c : loaded.patch->controls) {
            const ControlInfo info{c.name, 0x100u + c.gpr, c.value, c.min, c.max};
            const bool delay = RegisterUnit(info.address, {info}).kind == UnitKind::DelayTime;
            EXPECT_EQ(delay, delays.at(c.name)) << asm_ << ": " << c.name;
        }
    }
}

} // namespace
