// Where the socket lives: the path both sides compute, and the checks on
// the private fallback folder.
#include "socket_folder.h"
#include "socket_path.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class SocketPath : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* old = getenv("XDG_RUNTIME_DIR");
        saved = old ? old : "";
        hadOne = old != nullptr;
    }
    void TearDown() override {
        if (hadOne)
            setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
    }
    std::string saved;
    bool hadOne = false;
};

TEST_F(SocketPath, RuntimeFolderWhenSetElsePrivateTmpFolder) {
    char path[ZENDRA_SOCKET_PATH_MAX];
    int privateFolder = -1;
    setenv("XDG_RUNTIME_DIR", "/run/user/1234", 1);
    ASSERT_EQ(ZendraSocketPath(path, sizeof path, &privateFolder), 0);
    EXPECT_STREQ(path, "/run/user/1234/emuaps.vxd");
    EXPECT_EQ(privateFolder, 0);

    for (bool empty : {false, true}) {
        if (empty)
            setenv("XDG_RUNTIME_DIR", "", 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
        ASSERT_EQ(ZendraSocketPath(path, sizeof path, &privateFolder), 0);
        EXPECT_EQ(std::string(path), "/tmp/emuaps-" + std::to_string(getuid()) + "/emuaps.vxd");
        EXPECT_EQ(privateFolder, 1);
    }
}

TEST_F(SocketPath, PathThatCannotBeASocketAddressIsRefused) {
    char path[ZENDRA_SOCKET_PATH_MAX];
    setenv("XDG_RUNTIME_DIR", ("/" + std::string(100, 'r')).c_str(), 1);
    EXPECT_EQ(ZendraSocketPath(path, sizeof path, nullptr), 1);
    char small[8];
    setenv("XDG_RUNTIME_DIR", "/run", 1);
    EXPECT_EQ(ZendraSocketPath(small, sizeof small, nullptr), 1);
}

TEST(SocketFolder, PrivateFolderIsCreatedOwnerOnly) {
    TempDir dir;
    std::string folder = dir.path() + "/emuaps-test";
    EXPECT_EQ(PrepareSocketFolder(folder + "/emuaps.vxd", true), "");
    struct stat st;
    ASSERT_EQ(stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    // Once there, it is taken as it is.
    EXPECT_EQ(PrepareSocketFolder(folder + "/emuaps.vxd", true), "");
}

TEST(SocketFolder, LooseOrForeignOrFakeFolderIsRefused) {
    TempDir dir;
    std::string folder = dir.path() + "/loose";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
    EXPECT_NE(PrepareSocketFolder(folder + "/emuaps.vxd", true).find("mode"), std::string::npos);
    // The same folder is fine when the user chose it through XDG_RUNTIME_DIR.
    EXPECT_EQ(PrepareSocketFolder(folder + "/emuaps.vxd", false), "");

    std::string file = dir.write("plain", "x");
    EXPECT_NE(PrepareSocketFolder(file + "/emuaps.vxd", true).find("not a folder"),
              std::string::npos);
    std::string link = dir.path() + "/link";
    std::string target = dir.path() + "/target";
    ASSERT_EQ(mkdir(target.c_str(), 0700), 0);
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    EXPECT_NE(PrepareSocketFolder(link + "/emuaps.vxd", true), "");

    if (geteuid() == 0) {
        std::string foreign = dir.path() + "/foreign";
        ASSERT_EQ(mkdir(foreign.c_str(), 0700), 0);
        ASSERT_EQ(chown(foreign.c_str(), 65534, 65534), 0);
        EXPECT_NE(PrepareSocketFolder(foreign + "/emuaps.vxd", true).find("another user"),
                  std::string::npos);
    }
}

} // namespace
