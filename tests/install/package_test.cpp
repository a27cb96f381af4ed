// make package's .deb, made from this build: what it holds and what it
// depends on.
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sys/wait.h>

namespace {

std::string Output(const std::string& command, int* status) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return out;
    char buf[4096];
    while (std::size_t n = fread(buf, 1, sizeof buf, p))
        out.append(buf, n);
    int raw = pclose(p);
    *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return out;
}

TEST(Package, TheDebHoldsTheProgramFolderMenuEntryManualPagesAndUnits) {
    TempDir out;
    int status = -1;
    std::string log = Output("cd '" + std::string(VELMORA_BUILD_DIR) + "' && cpack -G DEB -B '" +
                                 out.path() + "' 2>&1",
                             &status);
    ASSERT_EQ(status, 0) << log;
    std::string deb;
    for (const auto& entry : std::filesystem::directory_iterator(out.path()))
        if (entry.path().extension() == ".deb")
            deb = entry.path().string();
    ASSERT_FALSE(deb.empty()) << log;

    std::string listing = Output("dpkg-deb -c '" + deb + "'", &status);
    ASSERT_EQ(status, 0);
    for (const char* path :
         {"./usr/lib/velmora/velmora", "./usr/lib/velmora/libzendra.so",
          "./usr/lib/velmora/emuapsd", "./usr/lib/velmora/chipimage", "./usr/lib/velmora/fxlib",
          "./usr/lib/velmora/Symbols/8010.d", "./usr/lib/velmora/readme.txt",
          "./usr/bin/velmora -> ../lib/velmora/velmora", "./usr/share/emuaps/eapsfx.dll",
          "./usr/share/applications/org.velmora.Velmora.desktop",
          "./usr/share/man/man1/velmora.1.gz", "./usr/share/man/man1/emuapsd.1.gz",
          "./usr/share/man/man1/chipimage.1.gz", "./usr/share/man/man1/fxlib.1.gz",
          "./usr/lib/systemd/user/emuapsd.socket", "./usr/lib/systemd/user/emuapsd.service"})
        EXPECT_NE(listing.find(path), std::string::npos) << path << "\n" << listing;

    // The libraries as dpkg-shlibdeps found them, the fonts named, and what
    // Help > Readme... starts.
    std::string depends = Output("dpkg-deb -f '" + deb + "' Depends", &status);
    for (const char* package : {"libqt6widgets6", "libqscintilla2-qt6-", "libasound2",
                                "fonts-liberation2", "fonts-wine", "xdg-utils"})
        EXPECT_NE(depends.find(package), std::string::npos) << package << " in " << depends;
    std::string unit = Output("dpkg-deb --fsys-tarfile '" + deb +
                                  "' | tar -xO ./usr/lib/systemd/user/emuapsd.service",
                              &status);
    EXPECT_NE(unit.find("ExecStart=/usr/lib/velmora/emuapsd $EMUAPSD_OPTIONS"), std::string::npos)
        << unit;
}

} // namespace
