// Text files as students' editors save them, through the isa4 binary: byte order marks,
// the three line ends, UTF-16 and UTF-32, empty and comments-only programs, in every
// reader that takes text.
#include <gtest/gtest.h>

#include <string>

#include "tests/isa4_process.h"

namespace {

const std::string multiply = multiply_source;

const std::string suite =
    "case six times seven\n"
    "    set    [0x00..0x01] = 6, 7\n"
    "    expect [0x02] = 42\n";

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

// ASCII text widened to UTF-16 or UTF-32, little- or big-endian, with a byte order mark.
std::string widened(const std::string& text, int width, bool big_endian, bool mark = true) {
    std::string out;
    const auto put = [&](unsigned char c) {
        std::string unit(static_cast<std::size_t>(width), '\0');
        unit[big_endian ? unit.size() - 1 : 0] = static_cast<char>(c);
        out += unit;
    };
    if (mark) {
        std::string bom = width == 2 ? "\xFE\xFF" : std::string("\0\0\xFE\xFF", 4);
        if (!big_endian) bom.assign(bom.rbegin(), bom.rend());
        out += bom;
    }
    for (const char c : text) put(static_cast<unsigned char>(c));
    return out;
}

class StudentFiles : public Isa4InScratch {};

struct ProgramFile {
    const char* name;
    std::string bytes;
    const char* verdict;  // what the table shows after the points
};

TEST_F(StudentFiles, EverySavedFormOfAProgramGetsItsVerdict) {
    const ProgramFile files[] = {
        {"bom.s", "\xEF\xBB\xBF" + multiply, "1/1"},
        {"crlf.s", replaced(multiply, "\n", "\r\n"), "1/1"},
        {"cr.s", replaced(multiply, "\n", "\r"), "1/1"},
        {"mixed.s", replaced(multiply, "ADD ", "\r\n        ADD "), "1/1"},
        {"bom-cr.s", "\xEF\xBB\xBF" + replaced(multiply, "\n", "\r"), "1/1"},
        {"utf16le.s", widened(multiply, 2, false), "UTF-16 text"},
        {"utf16be.s", widened(multiply, 2, true), "UTF-16 text"},
        {"utf16-nomark.s", widened(multiply, 2, false, false), "UTF-16 text"},
        {"utf32le.s", widened(multiply, 4, false), "UTF-32 text"},
        {"utf32be.s", widened(multiply, 4, true, false), "UTF-32 text"},
        {"empty.s", "", "empty program"},
        {"blank.s", "\n\r\n   \n", "empty program"},
        {"template.s", "\xEF\xBB\xBF; Multiply [0x00] by [0x01].\r\n# your code here\r\n",
         "empty program"},
    };
    write("class.suite", suite);
    std::string names;
    for (const ProgramFile& f : files) {
        write(f.name, f.bytes);
        names += std::string(" ") + f.name;
    }
    const Outcome run = isa4("test class.suite" + names + " --csv grades.csv");
    EXPECT_EQ(run.status, 1) << run.err;
    const std::string csv = read("grades.csv");
    for (const ProgramFile& f : files) {
        SCOPED_TRACE(f.name);
        const std::size_t row = run.out.find(std::string("\n") + f.name + " ");
        ASSERT_NE(row, std::string::npos) << run.out;
        const std::string line = run.out.substr(row + 1, run.out.find('\n', row + 1) - row - 1);
        EXPECT_NE(line.find(f.verdict), std::string::npos) << line;
        if (std::string(f.verdict) != "1/1") {
            EXPECT_EQ(line.find("did not halt"), std::string::npos) << line;
            EXPECT_NE(csv.find(std::string(f.name) + ",six times seven,visible,error"),
                      std::string::npos)
                << csv;
        }
    }
    EXPECT_NE(run.out.find("utf16le.s: error: UTF-16 text: save it as UTF-8"), std::string::npos);
    EXPECT_NE(run.out.find("template.s: error: no instructions"), std::string::npos);
}

// The other text readers: assembler, suite, expectation, RAM data and symbol files, and the
// Intel HEX and Logisim images, each once as an editor with CR line ends and a byte order
// mark saves it (accepted) and once as UTF-16 (refused, nothing written).
TEST_F(StudentFiles, EveryTextReaderTakesMarksAndLineEndsAndRefusesWideText) {
    const std::string bom = "\xEF\xBB\xBF";
    const auto saved = [&](const std::string& text) { return bom + replaced(text, "\n", "\r"); };
    write("p.s", multiply);
    ASSERT_EQ(isa4("asm p.s -o p.hex --format ihex --symbols p.sym").status, 0);
    ASSERT_EQ(isa4("convert p.hex -o p.logisim --to logisim").status, 0);
    write("p.hex", saved(read("p.hex")));
    write("p.logisim", saved(read("p.logisim")));
    write("p.sym", saved(read("p.sym")));
    write("in.data", saved("[0x00..0x01] = 6, 7\n"));
    write("good.expect", saved("[0x02] = 42\n"));
    write("class.suite", saved(suite));

    struct Reader {
        const char* args;  // FILE is the file under test
        const char* file;
    };
    const Reader readers[] = {
        {"asm FILE -o out.rom", "p.s"},
        {"ram FILE -o out.ram", "in.data"},
        {"run p.hex --ram in.ram --expect FILE --quiet", "good.expect"},
        {"dis FILE --symbols p.sym", "p.hex"},
        {"dis p.hex --symbols FILE", "p.sym"},
        {"run FILE --ram in.ram --expect good.expect --quiet", "p.logisim"},
        {"test FILE p.s", "class.suite"},
        {"test class.suite FILE", "p.hex"},
    };
    ASSERT_EQ(isa4("ram in.data -o in.ram").status, 0);
    for (const Reader& r : readers) {
        const std::string args = replaced(r.args, "FILE", r.file);
        SCOPED_TRACE(args);
        const Outcome good = isa4(args);
        EXPECT_EQ(good.status, 0) << good.out << good.err;

        const std::string kept = read(r.file);
        write(r.file, widened(replaced(kept.substr(bom.size()), "\r", "\n"), 2, false));
        std::remove(scratch.path("out.rom").c_str());
        std::remove(scratch.path("out.ram").c_str());
        const Outcome wide = isa4(args);
        EXPECT_NE(wide.status, 0);
        EXPECT_NE((wide.out + wide.err).find("UTF-16 text: save it as UTF-8"), std::string::npos)
            << wide.out << wide.err;
        EXPECT_TRUE(read("out.rom").empty() && read("out.ram").empty());
        write(r.file, kept);
    }
}

}  // namespace
