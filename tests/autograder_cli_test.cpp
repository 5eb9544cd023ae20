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

// The question folder copied as PrairieLearn copies it into a grading job (tests/ to
// /grade/tests, the upload to /grade/student), run.sh run there, and results.json read
// against PrairieLearn's documented format: a correct, a wrong and a non-assembling
// submission.
TEST_F(AutograderCommand, PrairieLearnQuestionGradesInAFakeGradingJob) {
    if (shell("python3 -c 'import jsonschema'") != 0)
        GTEST_SKIP() << "needs python3-jsonschema (scripts/deps.sh test) to check results.json";
    ASSERT_EQ(shell("mkdir -p ex/data"), 0);
    write("cells.txt", "[0] = 5\n");
    ASSERT_EQ(isa4("ram cells.txt -o ex/data/in.ram").status, 0);
    write_exercise(*this);
    EXPECT_EQ(isa4("autograder ex/ex.suite --for prairielearn -o q").status, 2);
    const Outcome made =
        isa4("autograder ex/ex.suite --for prairielearn --image isa4-grader -o q/ex");
    ASSERT_EQ(made.status, 1) << "the folder above the question must exist: " << made.err;
    ASSERT_EQ(shell("mkdir q"), 0);
    const Outcome again =
        isa4("autograder ex/ex.suite --for prairielearn --image isa4-grader -o q/ex");
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_NE(again.out.find("q/ex: info.json, question.html, tests/run.sh, ex.suite and 1 RAM "
                             "image, the model"),
              std::string::npos)
        << again.out;
    EXPECT_EQ(read("q/ex/tests/suite/ex.suite"), read("ex/ex.suite"));
    EXPECT_EQ(read("q/ex/tests/suite/data/in.ram"), read("ex/data/in.ram"));
    EXPECT_EQ(read("q/ex/tests/suite/data/model.s"), read("ex/data/model.s"));
    EXPECT_TRUE(executable("q/ex/tests/run.sh"));
    EXPECT_NE(read("q/ex/question.html").find("<pl-file-upload file-names=\"program.s\">"),
              std::string::npos);
    EXPECT_EQ(shell("python3 -c 'import json, re, sys\n"
                    "i = json.load(open(\"q/ex/info.json\"))\n"
                    "o = i[\"externalGradingOptions\"]\n"
                    "sys.exit(not (re.fullmatch(\"[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-"
                    "[89ab][0-9a-f]{3}-[0-9a-f]{12}\", i[\"uuid\"]) and i[\"type\"] == \"v3\" "
                    "and i[\"gradingMethod\"] == \"External\" and o[\"enabled\"] and "
                    "o[\"image\"] == \"isa4-grader\" and "
                    "o[\"entrypoint\"] == \"/grade/tests/run.sh\"))'"),
              0)
        << read("q/ex/info.json");

    std::string bin = ISA4_BINARY;
    bin = bin.substr(0, bin.rfind('/'));
    const struct {
        const char* program;
        const char* expected;  // what results.json must hold
    } submissions[] = {
        {"ADDI r1, r0, 1\nADDI r2, r0, 0\nh: JZ @h\n",
         "r[\"gradable\"] and r[\"score\"] == 1 and [t[\"name\"] for t in r[\"tests\"]] == "
         "[\"loads its image\"] and r[\"tests\"][0][\"points\"] == 1"},
        {"ADDI r1, r0, 1\nADDI r2, r0, 1\nADDI r0, r0, 0\nh: JZ @h\n",
         "r[\"gradable\"] and abs(r[\"score\"] - 1 / 3) < 1e-9 and len(r[\"tests\"]) == 1 and "
         "\"not shown\" in r[\"message\"] and \"hidden\" not in json.dumps(r)"},
        {"MUL r1, r2\n",
         "not r[\"gradable\"] and \"score\" not in r and "
         "any(\"does not assemble\" in e for e in r[\"format_errors\"])"},
    };
    for (const auto& s : submissions) {
        ASSERT_EQ(shell("rm -rf grade && mkdir -p grade/student && cp -r q/ex/tests grade/tests"),
                  0);
        write("grade/student/program.s", s.program);
        EXPECT_EQ(shell("cd grade && GRADE_ROOT=\"$PWD\" PATH='" + bin +
                        "':\"$PATH\" tests/run.sh >run.txt 2>&1"),
                  0)
            << read("grade/run.txt");
        EXPECT_EQ(shell("python3 -c 'import json, jsonschema, sys\n"
                        "r = json.load(open(\"grade/results/results.json\"))\n"
                        "jsonschema.validate(r, json.load(open(\"" SOURCE_DIR
                        "/tests/prairielearn_results.schema.json\")))\n"
                        "sys.exit(not (" +
                        std::string(s.expected) + "))'"),
                  0)
            << read("grade/results/results.json");
    }
}

}  // namespace
