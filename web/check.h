// "Check" in the page: a program of the home folder graded against a suite the student
// opened, by the grader of `isa4 test`, and shown as the page `isa4 test --feedback`
// writes for that program. A suite given to students holds only the cases they may see,
// so the page grades exactly what the file holds.
//
// Usage:
//   const CheckOutcome out = check_program("multiply.suite", "multiply.s");
//   // out.page: out.text is the feedback page; else out.text says why there is none
#pragma once

#include <string>

struct CheckOutcome {
    bool page = false;  // `text` is the feedback page's HTML
    std::string text;   // else the lines that say why nothing was graded
};

// Grades `program_path` (a source or an image, told apart as `isa4 test` does) against
// the suite file `suite_path`, both named as `isa4 test` would be given them; the page
// is the one `isa4 test SUITE PROGRAM --feedback DIR` writes for the program, byte for
// byte. A program that cannot be read or assembled still gets its page (every case an
// error, with the reasons); a suite that cannot be read or has mistakes gets none.
CheckOutcome check_program(const std::string& suite_path, const std::string& program_path);
