// ROM and RAM image files: the byte layout, what short and long files load, and that no
// failure touches the memory or the old file.
#include "machine/image_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "machine/instruction.h"
#include "machine/isa4.h"
#include "tests/scratch_dir.h"

namespace {

using namespace std::chrono_literals;

// A ROM and a RAM that no load below could produce by accident.
Isa4::Rom marked_rom() {
    Isa4::Rom rom{};
    for (std::size_t k = 0; k < rom.size(); ++k) rom[k] = 0xABC00 + k;
    return rom;
}

Isa4::Ram marked_ram() {
    Isa4::Ram ram{};
    ram.fill(0xEE);
    return ram;
}

// A test that would hang if the call blocked: fails instead, after a few seconds.
template <typename Call>
FileResult without_blocking(Call call) {
    auto pending = std::async(std::launch::async, call);
    if (pending.wait_for(5s) != std::future_status::ready) {
        std::fputs("the call blocked\n", stderr);
        std::_Exit(1);
    }
    return pending.get();
}

struct FailingCase {
    std::string path;
    const char* reason;
};

// Every load from each path fails with its reason and leaves both memories as they were.
void expect_loads_fail(const std::vector<FailingCase>& cases) {
    for (const FailingCase& c : cases) {
        SCOPED_TRACE(c.path);
        Isa4::Rom rom = marked_rom();
        Isa4::Ram ram = marked_ram();
        const FileResult from_rom =
            without_blocking([&] { return load_rom_image(c.path.c_str(), rom); });
        const FileResult from_ram =
            without_blocking([&] { return load_ram_image(c.path.c_str(), ram); });
        EXPECT_FALSE(from_rom);
        EXPECT_EQ(from_rom.reason, c.reason);
        EXPECT_FALSE(from_ram);
        EXPECT_EQ(from_ram.reason, c.reason);
        EXPECT_EQ(rom, marked_rom());
        EXPECT_EQ(ram, marked_ram());
    }
}

// Every save onto each path fails with its reason.
void expect_saves_fail(const std::vector<FailingCase>& cases) {
    for (const FailingCase& c : cases) {
        SCOPED_TRACE(c.path);
        const FileResult rom =
            without_blocking([&] { return save_rom_image(c.path.c_str(), marked_rom()); });
        const FileResult ram =
            without_blocking([&] { return save_ram_image(c.path.c_str(), marked_ram()); });
        EXPECT_FALSE(rom);
        EXPECT_EQ(rom.reason, c.reason);
        EXPECT_FALSE(ram);
        EXPECT_EQ(ram.reason, c.reason);
    }
}

// ---- Round trips and the byte layout -------------------------------------------------

TEST(ImageFile, RomSavesAs768BigEndianBytesAndLoadsBackIdentical) {
    ScratchDir scratch;
    const std::string path = scratch.path("prog.rom");
    Isa4::Rom rom{};
    for (std::size_t k = 0; k < rom.size(); ++k) rom[k] = static_cast<std::uint32_t>(k * 0x1003);
    rom[5] = 0x1A2FF;
    rom[255] = max_word;

    ASSERT_TRUE(save_rom_image(path.c_str(), rom));
    const Bytes bytes = read_file(path);
    ASSERT_EQ(bytes.size(), rom_image_size);
    EXPECT_EQ(bytes[15], 0x01);
    EXPECT_EQ(bytes[16], 0xA2);
    EXPECT_EQ(bytes[17], 0xFF);
    EXPECT_EQ(bytes[765], 0x0F);

    Isa4::Rom loaded{};
    ASSERT_TRUE(load_rom_image(path.c_str(), loaded));
    EXPECT_EQ(loaded, rom);
}

TEST(ImageFile, RamSavesAs256RawBytesAndLoadsBackIdentical) {
    ScratchDir scratch;
    const std::string path = scratch.path("data.ram");
    Isa4::Ram ram{};
    for (std::size_t k = 0; k < ram.size(); ++k) ram[k] = static_cast<std::uint8_t>(255 - k);

    ASSERT_TRUE(save_ram_image(path.c_str(), ram));
    const Bytes bytes = read_file(path);
    ASSERT_EQ(bytes.size(), ram_image_size);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[255], 0x00);

    Isa4::Ram loaded{};
    ASSERT_TRUE(load_ram_image(path.c_str(), loaded));
    EXPECT_EQ(loaded, ram);
}

TEST(ImageFile, ASaveReplacesTheOldImageAndLeavesNothingElseBehind) {
    ScratchDir scratch;
    const std::string path = scratch.path("prog.rom");
    write_file(path, counting_bytes(1000));
    ASSERT_TRUE(save_rom_image(path.c_str(), Isa4::Rom{}));
    EXPECT_EQ(read_file(path), Bytes(rom_image_size, 0));
    EXPECT_EQ(scratch.names(), std::vector<std::string>{"prog.rom"});
}

// ---- Short and long images -----------------------------------------------------------

TEST(ImageFile, AShortRomImageReplacesOnlyItsCompleteRecords) {
    ScratchDir scratch;
    const std::string path = scratch.path("short.rom");
    const Isa4::Rom before = marked_rom();

    struct Case {
        std::size_t bytes;
        std::size_t words;
    } cases[] = {{0, 0}, {2, 0}, {3, 1}, {5, 1}, {6, 2}, {100, 33}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        write_file(path, counting_bytes(c.bytes));
        Isa4::Rom rom = before;
        ASSERT_TRUE(load_rom_image(path.c_str(), rom));
        for (std::size_t k = 0; k < rom.size(); ++k) {
            const std::uint32_t b = static_cast<std::uint32_t>(3 * k + 1);
            const std::uint32_t word = (b & 0xFF) << 16 | ((b + 1) & 0xFF) << 8 | ((b + 2) & 0xFF);
            ASSERT_EQ(rom[k], k < c.words ? word : before[k]) << "word " << k;
        }
    }
}

TEST(ImageFile, ALongRomImageIsReadOnlyTo768Bytes) {
    ScratchDir scratch;
    const std::string path = scratch.path("long.rom");
    Bytes bytes = counting_bytes(770, 0);
    write_file(path, bytes);
    Isa4::Rom rom = marked_rom();
    ASSERT_TRUE(load_rom_image(path.c_str(), rom));
    EXPECT_EQ(rom[0], 0x000102u);
    EXPECT_EQ(rom[255], 0xFDFEFFu);

    // Whatever follows byte 768 plays no part.
    bytes.resize(5000, 0x77);
    write_file(path, bytes);
    Isa4::Rom again{};
    ASSERT_TRUE(load_rom_image(path.c_str(), again));
    EXPECT_EQ(again, rom);
}

TEST(ImageFile, ARecordOfThreeFFBytesKeepsBits23To20AndExecutesAsNothing) {
    ScratchDir scratch;
    const std::string path = scratch.path("ff.rom");
    write_file(path, Bytes{0xFF, 0xFF, 0xFF});
    Isa4 arch{};
    arch.registers[1] = 7;
    arch.z = true;
    ASSERT_TRUE(load_rom_image(path.c_str(), arch.rom));
    EXPECT_EQ(arch.rom[0], 0xFFFFFFu);
    EXPECT_EQ(decode_word(arch.rom[0]).opcode, 15u);

    arch.reset();
    Isa4 expected = arch;
    expected.pc = 0;
    EXPECT_TRUE(arch.step());
    EXPECT_EQ(arch, expected);

    // And it saves back as it came.
    ASSERT_TRUE(save_rom_image(path.c_str(), arch.rom));
    const Bytes saved = read_file(path);
    EXPECT_EQ(Bytes(saved.begin(), saved.begin() + 3), (Bytes{0xFF, 0xFF, 0xFF}));
}

TEST(ImageFile, ShortAndLongRamImages) {
    ScratchDir scratch;
    const std::string path = scratch.path("data.ram");
    const Isa4::Ram before = marked_ram();

    write_file(path, counting_bytes(10));
    Isa4::Ram ram = before;
    ASSERT_TRUE(load_ram_image(path.c_str(), ram));
    for (std::size_t k = 0; k < ram.size(); ++k)
        ASSERT_EQ(ram[k], k < 10 ? k + 1 : 0xEE) << "cell " << k;

    write_file(path, counting_bytes(300, 0));
    ASSERT_TRUE(load_ram_image(path.c_str(), ram));
    for (std::size_t k = 0; k < ram.size(); ++k) ASSERT_EQ(ram[k], k) << "cell " << k;

    write_file(path, Bytes{});
    ASSERT_TRUE(load_ram_image(path.c_str(), ram));
    EXPECT_EQ(ram[0], 0);
    EXPECT_EQ(ram[255], 255);
}

// ---- Loads that fail leave the memory as it was ---------------------------------------

TEST(ImageFile, LoadsThatFailChangeNothingAndSayWhy) {
    ScratchDir scratch;
    ASSERT_EQ(mkfifo(scratch.path("pipe").c_str(), 0644), 0);
    symlink("loop", scratch.path("loop").c_str());
    expect_loads_fail({
        {scratch.path("missing.rom"), "No such file or directory"},
        {scratch.path("no-dir/prog.rom"), "No such file or directory"},
        {scratch.dir(), "Is a directory"},
        {scratch.path("pipe"), "Not a regular file"},
        {scratch.path("loop"), "Too many levels of symbolic links"},
        {"", "Empty file name"},
    });
    struct stat st {};
    ASSERT_EQ(lstat(scratch.path("pipe").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST(ImageFile, LoadsRefuseDevices) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to make device nodes of its own";
    ScratchDir scratch;
    ASSERT_TRUE(make_device_node(scratch.path("full"), 1, 7));  // reads as endless zeros
    ASSERT_TRUE(make_device_node(scratch.path("null"), 1, 3));
    expect_loads_fail({
        {scratch.path("full"), "Not a regular file"},
        {scratch.path("null"), "Not a regular file"},
    });
}

TEST(ImageFile, LoadsFollowSymbolicLinks) {
    ScratchDir scratch;
    write_file(scratch.path("real.ram"), counting_bytes(256));
    ASSERT_EQ(symlink("real.ram", scratch.path("link.ram").c_str()), 0);
    Isa4::Ram ram{};
    ASSERT_TRUE(load_ram_image(scratch.path("link.ram").c_str(), ram));
    EXPECT_EQ(ram[0], 1);
    EXPECT_EQ(ram[255], 0);
}

// ---- Saves that fail leave the old file as it was -------------------------------------

TEST(ImageFile, SavesRefuseWhatIsNotARegularFileWithoutTouchingIt) {
    ScratchDir scratch;
    ASSERT_EQ(mkdir(scratch.path("dir").c_str(), 0755), 0);
    write_file(scratch.path("dir/inside"), Bytes{1, 2, 3});
    ASSERT_EQ(mkfifo(scratch.path("pipe").c_str(), 0644), 0);
    ASSERT_EQ(symlink("dir", scratch.path("dir-link").c_str()), 0);
    expect_saves_fail({
        {"", "Empty file name"},
        {scratch.path("dir"), "Is a directory"},
        {scratch.path("dir-link"), "Is a directory"},
        {scratch.path("new/"), "Is a directory"},
        {scratch.path("no-dir/prog.rom"), "No such file or directory"},
        {scratch.path("pipe"), "Not a regular file"},
    });

    // Everything is where and what it was, and no temporary file is left.
    EXPECT_EQ(scratch.names(), (std::vector<std::string>{"dir", "dir-link", "pipe"}));
    EXPECT_EQ(read_file(scratch.path("dir/inside")), (Bytes{1, 2, 3}));
    struct stat st {};
    ASSERT_EQ(lstat(scratch.path("pipe").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// A save that renamed over a device would replace the node; these are nodes of the
// test's own, never the system's.
TEST(ImageFile, SavesRefuseDevicesAndLeaveTheNodeInPlace) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to make a device node of its own";
    ScratchDir scratch;
    const std::string full = scratch.path("full");
    ASSERT_TRUE(make_device_node(full, 1, 7));
    ASSERT_EQ(symlink("full", scratch.path("full-link").c_str()), 0);
    expect_saves_fail({
        {full, "Not a regular file"},
        {scratch.path("full-link"), "Not a regular file"},
    });
    EXPECT_EQ(scratch.names(), (std::vector<std::string>{"full", "full-link"}));
    struct stat st {};
    ASSERT_EQ(lstat(full.c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_EQ(st.st_rdev, makedev(1, 7));
}

TEST(ImageFile, AWriteThatFailsKeepsTheOldFileAndRemovesTheTemporaryOne) {
    ScratchDir scratch;
    const std::string path = scratch.path("prog.rom");
    const Bytes old = counting_bytes(rom_image_size, 9);
    write_file(path, old);

    // Files may grow to 100 bytes only: the image's write fails part way, root or not.
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto saved_handler = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const FileResult rom = save_rom_image(path.c_str(), marked_rom());
    const FileResult ram = save_ram_image(path.c_str(), marked_ram());
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, saved_handler);

    EXPECT_FALSE(rom);
    EXPECT_EQ(rom.reason, "File too large");
    EXPECT_FALSE(ram);
    EXPECT_EQ(read_file(path), old);
    EXPECT_EQ(scratch.names(), std::vector<std::string>{"prog.rom"});
}

// ---- What a save keeps ----------------------------------------------------------------

TEST(ImageFile, ASaveKeepsThePermissionBitsOfTheOldFile) {
    ScratchDir scratch;
    const std::string path = scratch.path("prog.rom");
    write_file(path, Bytes{});
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(save_rom_image(path.c_str(), marked_rom()));
    EXPECT_EQ(permission_bits(path), 0640u);
    ASSERT_EQ(chmod(path.c_str(), 0604), 0);
    ASSERT_TRUE(save_ram_image(path.c_str(), marked_ram()));
    EXPECT_EQ(permission_bits(path), 0604u);

    // A new file gets what the umask leaves of rw-rw-rw-, not the temporary file's rw-------.
    const mode_t old_mask = umask(027);
    const FileResult fresh = save_ram_image(scratch.path("new.ram").c_str(), marked_ram());
    umask(old_mask);
    ASSERT_TRUE(fresh);
    EXPECT_EQ(permission_bits(scratch.path("new.ram")), 0640u);
}

TEST(ImageFile, ASaveThroughSymbolicLinksWritesTheFileTheyName) {
    ScratchDir scratch;
    ASSERT_EQ(mkdir(scratch.path("real").c_str(), 0755), 0);
    write_file(scratch.path("real/prog.rom"), Bytes{1});
    ASSERT_EQ(chmod(scratch.path("real/prog.rom").c_str(), 0600), 0);
    // link -> hop -> real/prog.rom, relative links resolved from where each one lies.
    ASSERT_EQ(symlink("real/hop", scratch.path("link").c_str()), 0);
    ASSERT_EQ(symlink("prog.rom", scratch.path("real/hop").c_str()), 0);

    ASSERT_TRUE(save_rom_image(scratch.path("link").c_str(), marked_rom()));
    EXPECT_EQ(read_file(scratch.path("real/prog.rom")).size(), rom_image_size);
    EXPECT_EQ(permission_bits(scratch.path("real/prog.rom")), 0600u);
    struct stat st {};
    ASSERT_EQ(lstat(scratch.path("link").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(lstat(scratch.path("real/hop").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(scratch.names(), (std::vector<std::string>{"link", "real"}));
    Isa4::Rom rom{};
    ASSERT_TRUE(load_rom_image(scratch.path("link").c_str(), rom));
    EXPECT_EQ(rom, marked_rom());

    // A link to a file not made yet makes it.
    ASSERT_EQ(symlink(scratch.path("later.ram").c_str(), scratch.path("dangling").c_str()), 0);
    ASSERT_TRUE(save_ram_image(scratch.path("dangling").c_str(), marked_ram()));
    EXPECT_EQ(read_file(scratch.path("later.ram")).size(), ram_image_size);
    ASSERT_EQ(lstat(scratch.path("dangling").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST(ImageFile, FailureMessagesNameTheOperationTheFileAndTheReason) {
    EXPECT_EQ(failure_message("Save ROM", "prog.rom", FileResult{false, "Permission denied"}),
              "Save ROM failed: prog.rom (Permission denied)");
    EXPECT_EQ(failure_message("Load RAM", "", FileResult{false, "Empty file name"}),
              "Load RAM failed: (Empty file name)");
}

}  // namespace

// A save keeps the old file's owner and group. Only root may give a file away.
TEST(SaveFile, KeepsOwnerAndGroup) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to give a file another owner";
    ScratchDir scratch;
    const std::string owned = scratch.path("owned.ram");
    write_file(owned, Bytes(256, 7));
    ASSERT_EQ(chown(owned.c_str(), 1234, 2345), 0);
    ASSERT_TRUE(save_file(owned.c_str(), std::string(256, 'x')));
    struct stat st {};
    ASSERT_EQ(stat(owned.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 1234u);
    EXPECT_EQ(st.st_gid, 2345u);
}

// Any name the directory takes saves, though the temporary name beside it would be longer.
TEST(SaveFile, SavesTheLongestNames) {
    ScratchDir scratch;
    for (const std::size_t length : {247u, 248u, 255u}) {
        const std::string name = scratch.path(std::string(length, 'n'));
        EXPECT_TRUE(save_file(name.c_str(), "data")) << length;
        EXPECT_EQ(read_file(name), Bytes({'d', 'a', 't', 'a'}));
        std::remove(name.c_str());
    }
    EXPECT_TRUE(scratch.names().empty());
}

// A staged save replaces nothing until its commit, and a discarded one leaves no trace;
// the staged target is the file the links name, also one that does not exist yet.
TEST(SaveFile, StagedSavesReplaceOnlyOnCommit) {
    ScratchDir scratch;
    write_file(scratch.path("old"), Bytes{'o', 'l', 'd'});
    ASSERT_EQ(symlink("new", scratch.path("link").c_str()), 0);
    StagedFile first, second;
    ASSERT_TRUE(stage_file(scratch.path("old").c_str(), "first", first));
    ASSERT_TRUE(stage_file(scratch.path("link").c_str(), "second", second));
    EXPECT_EQ(second.target, scratch.path("new"));
    EXPECT_EQ(read_file(scratch.path("old")), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(scratch.names().size(), 4u);  // old, link and the two temporary files

    discard_staged(second);
    EXPECT_TRUE(second.temporary.empty());
    ASSERT_TRUE(commit_staged(first));
    EXPECT_EQ(read_file(scratch.path("old")), (Bytes{'f', 'i', 'r', 's', 't'}));
    EXPECT_EQ(scratch.names(), (std::vector<std::string>{"link", "old"}));
    EXPECT_FALSE(commit_staged(first)) << "a commit renames once";
}
