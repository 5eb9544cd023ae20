// `isa4 autograder` through the real binary: the zip unpacked as Gradescope unpacks it, in
// a fake /autograder tree in the scratch folder, and run_autograder run there on
// submissions that pass and fail.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "tests/isa4_process.h"

namespace {

class AutograderCommand : public Isa4InScratch {
public:
    // A shell command in the scratch folder; its exit status.
    int shell(const std::string& command) const {
        const int raw = std::system(("cd '" + scratch.dir() + "' && " + command).c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    bool executable(const std::string& name) const {
        struct stat st {};
        return stat(scratch.path(name).c_str(), &st) == 0 && (st.st_mode & 0111) == 0111;
    }
};

// The exercise: the teacher's model, a visible case that loads a RAM image from a
// folder below the suite, and a hidden one worth 2 points that compares with the model.
void write_exercise(const AutograderCommand& t) {
    t.write("ex/data/model.s", "ADDI r1, r0, 1\nADDI r2, r0, 0\nh: JZ @h\n");
    t.write("ex/ex.suite",
            "model data/model.s\n"
            "case loads its image\n  ram data/in.ram\n  expect [0x00] = 5\n  expect r1 = 1\n"
            "case hidden\n  hidden\n  points 2\n  compare r2\n");
}

TEST_F(AutograderCommand, GradesSubmissionsInAFakeAutograderTree) {
    if (shell("command -v unzip >/dev/null") != 0)
        GTEST_SKIP() << "needs unzip (scripts/deps.sh test) to unpack as Gradescope does";
    ASSERT_EQ(shell("mkdir -p ex/data"), 0);
    write("cells.txt", "[0] = 5\n");
    ASSERT_EQ(isa4("ram cells.txt -o ex/data/in.ram").status, 0);
    write_exercise(*this);
    const Outcome made = isa4("autograder ex/ex.suite -o ag.zip");
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_NE(made.out.find("ag.zip: setup.sh, run_autograder, ex.suite and 1 RAM image, the "
                            "model"),
              std::string::npos)
        << made.out;
    EXPECT_EQ(shell("python3 -m zipfile -t ag.zip >/dev/null && unzip -tq ag.zip >/dev/null"), 0);

    ASSERT_EQ(shell("mkdir -p autograder && unzip -q ag.zip -d autograder/source"), 0);
    EXPECT_EQ(read("autograder/source/suite/ex.suite"), read("ex/ex.suite"));
    EXPECT_EQ(read("autograder/source/suite/data/in.ram"), read("ex/data/in.ram"));
    EXPECT_EQ(read("autograder/source/suite/data/model.s"), read("ex/data/model.s"));
    EXPECT_TRUE(executable("autograder/source/setup.sh"));
    EXPECT_TRUE(executable("autograder/source/run_autograder"));
    // Without a package, setup.sh on an image without isa4 stops and says what to do.
    EXPECT_EQ(shell("env PATH=/nonexistent /bin/bash autograder/source/setup.sh 2>setup.txt"), 1);
    EXPECT_NE(read("setup.txt").find("holds no isa4 package"), std::string::npos);

    // run_autograder finds isa4 on the path. Until `isa4 test --submission-dir` is in this
    // build, a stand-in on the path grades the folder's one file in its place.
    std::string bin = ISA4_BINARY;
    bin = bin.substr(0, bin.rfind('/'));
    if (isa4("test --help").out.find("--submission-dir") == std::string::npos) {
        ASSERT_EQ(shell("mkdir bin"), 0);
        write("bin/isa4",
              "#!/bin/sh\n"
              "if [ \"$1\" = test ] && [ \"$2\" = --submission-dir ]; then\n"
              "    dir=$3; shift 3; exec '" ISA4_BINARY
              "' test \"$@\" \"$dir\"/*\n"
              "fi\n"
              "exec '" ISA4_BINARY "' \"$@\"\n");
        ASSERT_EQ(shell("chmod +x bin/isa4"), 0);
        bin = scratch.path("bin");
    }
    const struct {
        const char* program;
        const char* score;
    } submissions[] = {
        {"ADDI r1, r0, 1\nADDI r2, r0, 0\nh: JZ @h\n", "\"score\": 3,"},
        {"ADDI r1, r0, 1\nADDI r2, r0, 1\nADDI r0, r0, 0\nh: JZ @h\n", "\"score\": 0,"},
    };
    for (const auto& s : submissions) {
        ASSERT_EQ(shell("rm -rf autograder/submission autograder/results && "
                        "mkdir autograder/submission"),
                  0);
        write("autograder/submission/multiply.s", s.program);
        // Gradescope runs it from /autograder; here the tree is AUTOGRADER_ROOT.
        EXPECT_EQ(shell("cd autograder && AUTOGRADER_ROOT=\"$PWD\" PATH='" + bin +
                        "':\"$PATH\" source/run_autograder >run.txt 2>&1"),
                  0)
            << read("autograder/run.txt");
        const std::string results = read("autograder/results/results.json");
        EXPECT_NE(results.find(s.score), std::string::npos) << results;
    }
}

TEST_F(AutograderCommand, CarriesThePackageForSetupToInstall) {
    ASSERT_EQ(shell("mkdir -p ex/data"), 0);
    write("ex/data/in.ram", '\x05' + std::string(255, '\x80'));
    write_exercise(*this);
    // An ar archive that begins as a Debian package does.
    const std::string deb =
        "!<arch>\ndebian-binary   0           0     0     100644  4         `\n"
        "2.0\n";
    write("isa4_0.1.0_amd64.deb", deb);
    const Outcome made = isa4("autograder ex/ex.suite -o ag.zip --package isa4_0.1.0_amd64.deb");
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_NE(made.out.find("setup.sh installs isa4 from isa4_0.1.0_amd64.deb"), std::string::npos)
        << made.out;
    ASSERT_EQ(shell("python3 -m zipfile -e ag.zip source"), 0);
    EXPECT_EQ(read("source/isa4.deb"), deb);
    EXPECT_NE(
        read("source/setup.sh").find("apt-get install -y -q --no-install-recommends ./isa4.deb"),
        std::string::npos);
}

}  // namespace
