// The page's operations on the home folder, run here in a scratch directory made the
// working directory: what is written, what is refused, and what the page is told.
#include "web/home_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/scratch_dir.h"

namespace {

using Lines = std::vector<std::string>;

class HomeFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(getcwd(previous_, sizeof previous_), nullptr);
        ASSERT_EQ(chdir(home.dir().c_str()), 0);
    }
    void TearDown() override { ASSERT_EQ(chdir(previous_), 0); }

    static Lines add(const std::string& name, const std::string& text) {
        return add_home_file(name, text, text.size());
    }

    ScratchDir home;

private:
    char previous_[4096] = {};
};

TEST_F(HomeFiles, AddsAFileAndReplacesItWhole) {
    EXPECT_EQ(add("data.ram", "\x01\x02\x03"), Lines{});
    EXPECT_EQ(read_file(home.path("data.ram")), (Bytes{1, 2, 3}));
    EXPECT_EQ(add("data.ram", "\x09"), Lines{});
    EXPECT_EQ(read_file(home.path("data.ram")), (Bytes{9}));
    EXPECT_EQ(home.names(), std::vector<std::string>{"data.ram"});
}

TEST_F(HomeFiles, RefusesNamesOutsideTheFolderAndFilesTooLarge) {
    struct Case {
        std::string name;
        std::size_t size;
        std::string line;
    };
    const Case cases[] = {
        {"", 1, "Open failed: (Not a plain file name)"},
        {".", 1, "Open failed: . (Not a plain file name)"},
        {"..", 1, "Open failed: .. (Not a plain file name)"},
        {"sub/x.ram", 1, "Open failed: sub/x.ram (Not a plain file name)"},
        {std::string("nul\0.ram", 8), 1, "Open failed: nul\\x00.ram (Not a plain file name)"},
        {"big.bin", max_home_file_size + 1, "Open failed: big.bin (File too large (over 1 MiB))"},
        {"esc\x1b.s", max_home_file_size + 1,
         "Open failed: esc\\x1b.s (File too large (over 1 MiB))"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(add_home_file(c.name, "", c.size), Lines{c.line}) << c.line;
    }
    EXPECT_TRUE(home.names().empty());
    // At the limit a file is taken.
    EXPECT_EQ(add("edge.bin", std::string(max_home_file_size, 'x')), Lines{});
}

TEST_F(HomeFiles, AssemblesASourceIntoTheImageBesideIt) {
    EXPECT_EQ(add("prog.s", "ADDI r1, r0, 3\nhalt: JZ @halt\n"),
              Lines{"prog.s: assembled into prog.rom"});
    const Bytes image = read_file(home.path("prog.rom"));
    ASSERT_EQ(image.size(), 768u);
    EXPECT_EQ(Bytes(image.begin(), image.begin() + 6), (Bytes{0x01, 0x10, 0x03, 0x02, 0x00, 0x01}));
}

TEST_F(HomeFiles, ASourceWithErrorsShowsThemAndWritesNoImage) {
    write_file(home.path("bad.rom"), Bytes{7, 7, 7});
    const Lines lines = add("bad.s", "ADDI r1, r0, 3\nJUMP 4\nADD r1, r2\n");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].rfind("bad.s:2:1: error: ", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind("bad.s:3:", 0), 0u) << lines[1];
    EXPECT_EQ(lines[2], "bad.s: 2 errors; no image written");
    EXPECT_EQ(read_file(home.path("bad.rom")), (Bytes{7, 7, 7}));
    // ".s" alone is a name, not a source without a stem.
    EXPECT_EQ(add(".s", "JUMP"), Lines{});
}

TEST_F(HomeFiles, DeletesOnlyRegularFiles) {
    write_file(home.path("old.ram"), Bytes{1});
    EXPECT_EQ(delete_home_file("old.ram"), Lines{});
    EXPECT_TRUE(home.names().empty());
    EXPECT_EQ(delete_home_file("old.ram"),
              Lines{"Delete failed: old.ram (No such file or directory)"});
    ASSERT_EQ(mkdir(home.path("examples").c_str(), 0755), 0);
    EXPECT_EQ(delete_home_file("examples"), Lines{"Delete failed: examples (Not a regular file)"});
    EXPECT_EQ(delete_home_file("../x"), Lines{"Delete failed: ../x (Not a plain file name)"});
}

TEST(StorageRefused, ReadsAsAFailedSave) {
    EXPECT_EQ(storage_refused_message("mine\x1b.ram", "QuotaExceededError"),
              "Save failed: mine\\x1b.ram (the browser's storage did not keep it: "
              "QuotaExceededError)");
}

}  // namespace
