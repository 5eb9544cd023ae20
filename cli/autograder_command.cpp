#include "cli/autograder_command.h"

#include <sys/stat.h>
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <random>
#include <set>
#include <vector>

#include "cli/cli_io.h"
#include "cli/zip_archive.h"
#include "grading/grader.h"
#include "grading/report_text.h"
#include "grading/suite.h"
#include "machine/image_file.h"
#include "text/message.h"

namespace {

// A package of isa4 is tens of megabytes at most; this bounds what is read.
constexpr std::size_t max_package_size = 256u << 20;

// `text` in single quotes for the shell.
std::string shell_quoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// The name below the suite's folder, with "." and empty parts left out; "" when it
// climbs out of the folder or starts at the root.
std::string name_inside(const std::string& name) {
    if (name.empty() || name[0] == '/') return "";
    std::string out;
    std::size_t start = 0;
    while (start <= name.size()) {
        const std::size_t slash = std::min(name.find('/', start), name.size());
        const std::string part = name.substr(start, slash - start);
        if (part == "..") return "";
        if (!part.empty() && part != ".") out += (out.empty() ? "" : "/") + part;
        start = slash + 1;
    }
    return out;
}

// True when `bytes` begin as a Debian binary package does: an ar archive whose first
// member is debian-binary.
bool debian_package(const std::string& bytes) {
    return bytes.compare(0, 8, "!<arch>\n") == 0 && bytes.compare(8, 13, "debian-binary") == 0;
}

std::string setup_script(bool with_package) {
    std::string s =
        "#!/usr/bin/env bash\n"
        "# Gradescope runs this once, as root, when it builds the autograder's image.\n";
    if (with_package)
        return s +
               "# It installs isa4 from the Debian package beside it; apt adds the C and C++\n"
               "# runtimes it depends on.\n"
               "set -euo pipefail\n"
               "cd \"$(dirname \"$0\")\"\n"
               "apt-get update -q\n"
               "DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "
               "./isa4.deb\n"
               "isa4 --version\n";
    return s +
           "# This autograder holds no isa4 package (it was made without --package), so isa4\n"
           "# must be on the image already.\n"
           "set -euo pipefail\n"
           "if ! command -v isa4 >/dev/null; then\n"
           "    echo \"setup.sh: isa4 is not installed, and this autograder holds no isa4 "
           "package.\" >&2\n"
           "    echo \"setup.sh: make the autograder again with --package "
           "isa4_VERSION_ARCH.deb (see the README).\" >&2\n"
           "    exit 1\n"
           "fi\n"
           "isa4 --version\n";
}

std::string run_script(const std::string& suite_name) {
    return "#!/usr/bin/env bash\n"
           "# Gradescope runs this for every submission, from /autograder: it grades the one\n"
           "# program in submission/ against the suite and writes results/results.json.\n"
           "# AUTOGRADER_ROOT puts the tree elsewhere, for a trial run.\n"
           "set -uo pipefail\n"
           "root=${AUTOGRADER_ROOT:-/autograder}\n"
           "mkdir -p \"$root/results\"\n"
           "isa4 test --submission-dir \"$root/submission\" "
           "--gradescope \"$root/results/results.json\" \\\n"
           "    \"$root/source/suite/\"" +
           shell_quoted(suite_name) +
           "\n"
           "status=$?\n"
           "# isa4 exits 1 when a case fails; the score is in results.json all the same.\n"
           "[ -s \"$root/results/results.json\" ] && exit 0\n"
           "exit \"$status\"\n";
}

// PrairieLearn runs this for every submission: it copies the question's tests/ folder to
// /grade/tests and the student's files to /grade/student, and reads the results from
// /grade/results/results.json.
std::string entrypoint_script(const std::string& suite_name) {
    return "#!/usr/bin/env bash\n"
           "# PrairieLearn runs this for every submission, in an image that has isa4's Debian\n"
           "# package installed: it grades the one program in /grade/student against the suite\n"
           "# and writes /grade/results/results.json. GRADE_ROOT puts the tree elsewhere, for a\n"
           "# trial run.\n"
           "set -uo pipefail\n"
           "root=${GRADE_ROOT:-/grade}\n"
           "mkdir -p \"$root/results\"\n"
           "isa4 test --submission-dir \"$root/student\" "
           "--prairielearn \"$root/results/results.json\" \\\n"
           "    \"$root/tests/suite/\"" +
           shell_quoted(suite_name) +
           "\n"
           "status=$?\n"
           "# isa4 exits 1 when a case fails; the score is in results.json all the same.\n"
           "[ -s \"$root/results/results.json\" ] && exit 0\n"
           "exit \"$status\"\n";
}

// A random (version 4) UUID: PrairieLearn tells questions apart by it.
std::string random_uuid() {
    std::random_device device;
    std::uint8_t bytes[16];
    for (std::uint8_t& b : bytes) b = static_cast<std::uint8_t>(device());
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);
    std::string out;
    for (int i = 0; i < 16; ++i)
        out += std::string(i == 4 || i == 6 || i == 8 || i == 10 ? "-" : "") +
               printf_text("%02x", bytes[i]);
    return out;
}

// The name of the exercise: the suite's file name without its extension.
std::string exercise_name(const std::string& suite_name) {
    const std::size_t slash = suite_name.rfind('/');
    std::string name = suite_name.substr(slash == std::string::npos ? 0 : slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name;
}

std::string info_json(const std::string& title, const std::string& image) {
    return "{\n"
           "  \"uuid\": \"" +
           random_uuid() +
           "\",\n"
           "  \"type\": \"v3\",\n"
           "  \"title\": " +
           json_text(printable(title)) +
           ",\n"
           "  \"topic\": \"isa4\",\n"
           "  \"gradingMethod\": \"External\",\n"
           "  \"singleVariant\": true,\n"
           "  \"externalGradingOptions\": {\n"
           "    \"enabled\": true,\n"
           "    \"image\": " +
           json_text(printable(image)) +
           ",\n"
           "    \"entrypoint\": \"/grade/tests/run.sh\",\n"
           "    \"timeout\": 30\n"
           "  }\n"
           "}\n";
}

std::string question_html(const std::string& title) {
    return "<pl-question-panel>\n"
           "  <p>Hand in your isa4 program for <b>" +
           xml_escaped(printable(title)) +
           "</b> as <code>program.s</code>. Every case runs it from reset on a fresh "
           "machine.</p>\n"
           "  <pl-file-upload file-names=\"program.s\"></pl-file-upload>\n"
           "</pl-question-panel>\n"
           "\n"
           "<pl-submission-panel>\n"
           "  <pl-file-preview></pl-file-preview>\n"
           "  <pl-external-grader-results></pl-external-grader-results>\n"
           "</pl-submission-panel>\n";
}

// Reads `path` whole into `bytes`; false with "cannot read the file (REASON)".
bool read_whole(const std::string& path, std::size_t limit, std::string& bytes) {
    const FileResult read = read_file(path.c_str(), bytes, limit);
    if (!read) complain(path, "cannot read the file (" + read.reason + ")");
    return static_cast<bool>(read);
}

}  // namespace

CLI::App* add_autograder_command(CLI::App& app, AutograderArgs& args) {
    const CLI::Validator named(name_check, "", "");
    CLI::App* cmd = app.add_subcommand(
        "autograder",
        "Write a Gradescope autograder (a zip to upload) or a PrairieLearn question folder for "
        "the exercise of a suite");
    cmd->add_option("SUITE", args.suite, "the exercise: cases, inputs and expectations")
        ->required()
        ->check(named)
        ->type_name("FILE");
    cmd->add_option("-o,--output", args.output,
                    "the zip to write, or with --for prairielearn the question folder")
        ->required()
        ->check(named)
        ->type_name("ZIP|DIR");
    cmd->add_option("--for", args.platform, "the grading platform (default gradescope)")
        ->check(CLI::IsMember({"gradescope", "prairielearn"}))
        ->type_name("PLATFORM");
    cmd->add_option("--image", args.image,
                    "with --for prairielearn: the Docker image that has isa4's Debian package "
                    "installed, for info.json")
        ->check(named)
        ->type_name("IMAGE");
    cmd->add_option("--package", args.package,
                    "isa4's Debian package (isa4_VERSION_ARCH.deb), for setup.sh to install")
        ->check(named)
        ->type_name("DEB");
    cmd->footer(
        "The zip holds setup.sh and run_autograder at its root, and the suite, the RAM "
        "images its cases load and its model below suite/. Gradescope runs setup.sh once "
        "when it builds the image (it installs the package given with --package; without it "
        "isa4 must be on the image already) and run_autograder for each submission, which "
        "grades the one program in /autograder/submission into "
        "/autograder/results/results.json.\n"
        "With --for prairielearn, DIR gets info.json, question.html and, below tests/, run.sh "
        "(the entrypoint) and the suite with its files below tests/suite/; PrairieLearn runs "
        "run.sh in the image given with --image, which grades the file the student uploads "
        "into /grade/results/results.json.\n"
        "Exit status: 0 the zip is written, 1 a file cannot be read or written, 2 bad usage, "
        "a suite with mistakes, a RAM image outside the suite's folder or a package that is "
        "not a Debian package.");
    return cmd;
}

int run_autograder(const AutograderArgs& args) {
    const bool prairielearn = args.platform == "prairielearn";
    if (prairielearn && args.image.empty()) {
        std::cerr << "isa4 autograder: error: --for prairielearn needs --image, the Docker image "
                     "that has isa4's Debian package installed\n";
        return exit_usage;
    }
    if (!prairielearn && !args.image.empty()) {
        std::cerr << "isa4 autograder: error: --image is for --for prairielearn\n";
        return exit_usage;
    }
    if (prairielearn && !args.package.empty()) {
        std::cerr << "isa4 autograder: error: --package is for Gradescope; PrairieLearn runs the "
                     "image given with --image, which must have isa4 installed\n";
        return exit_usage;
    }
    const auto text = read_text_input(args.suite);
    if (!text) return exit_failed;
    const std::string folder = folder_of(args.suite);
    const Suite suite = read_suite(*text, folder);
    if (!suite.ok()) {
        for (const Diagnostic& d : suite.diagnostics) print_diagnostic(args.suite, d);
        std::cerr << escape_for_message(args.suite) << ": " << suite.diagnostics.size()
                  << (suite.diagnostics.size() == 1 ? " error" : " errors")
                  << "; no autograder written\n";
        return exit_usage;
    }

    const std::string suite_name = args.suite.substr(folder.size());
    std::vector<ZipEntry> entries = {
        {"setup.sh", setup_script(!args.package.empty()), 0755},
        {"run_autograder", run_script(suite_name), 0755},
        {"suite/" + suite_name, *text, 0644},
    };
    std::vector<std::string> inputs = {args.suite, args.package};
    std::set<std::string> taken = {suite_name};
    // The suite names each file from its own folder, and so it will in the archive.
    struct Taken {
        std::string path;
        std::string what;
        bool image;
    };
    std::vector<Taken> files;
    for (const SuiteFile& image : suite.ram_images)
        files.push_back({image.path, "the RAM image ", true});
    if (!suite.model.path.empty()) files.push_back({suite.model.path, "the model ", false});
    std::size_t images = 0;
    for (const auto& [path, what, image] : files) {
        const bool below = path.compare(0, folder.size(), folder) == 0;
        const std::string name = below ? name_inside(path.substr(folder.size())) : "";
        if (name.empty()) {
            complain(args.suite, what + quote_for_message(path) +
                                     " is outside the suite's folder; name it from there, "
                                     "without '..', to take it into an autograder");
            return exit_usage;
        }
        inputs.push_back(path);
        if (!taken.insert(name).second) continue;
        images += image ? 1 : 0;
        entries.push_back({"suite/" + name, "", 0644});
        if (!read_whole(path, max_text_file_size, entries.back().bytes)) return exit_failed;
    }
    if (prairielearn) {
        // The question folder: everything in it is written all or none. The suite's files
        // sit below tests/suite/ as they do below suite/ in a Gradescope zip.
        const std::string dir = args.output.back() == '/' ? args.output : args.output + "/";
        const std::string title = exercise_name(suite_name);
        std::vector<Output> outputs;
        std::vector<std::string> bytes;
        const auto add = [&](const std::string& name, std::string content) {
            const unsigned depth =
                1 + static_cast<unsigned>(std::count(name.begin(), name.end(), '/'));
            outputs.push_back({"-o", dir + name, "the question", depth});
            bytes.push_back(std::move(content));
        };
        add("info.json", info_json(title, args.image));
        add("question.html", question_html(title));
        add("tests/run.sh", entrypoint_script(suite_name));
        for (const ZipEntry& e : entries)
            if (e.name.compare(0, 6, "suite/") == 0) add("tests/" + e.name, e.bytes);
        if (const int status = check_outputs(outputs, inputs)) return status;
        if (!write_outputs(outputs, bytes)) return exit_failed;
        const std::string run_sh = dir + "tests/run.sh";
        if (chmod(run_sh.c_str(), 0755) != 0) {
            complain(run_sh,
                     std::string("cannot make it executable (") + std::strerror(errno) + ")");
            return exit_failed;
        }
        std::cout << escape_for_message(args.output) << ": info.json, question.html, tests/run.sh, "
                  << escape_for_message(suite_name) << " and " << images
                  << (images == 1 ? " RAM image" : " RAM images")
                  << (suite.model.path.empty() ? "" : ", the model") << "; PrairieLearn runs "
                  << escape_for_message(args.image) << ", which needs isa4 installed\n";
        return exit_ok;
    }

    const std::vector<Output> outputs = {{"-o", args.output, "the autograder"}};
    if (const int status = check_outputs(outputs, inputs)) return status;

    if (!args.package.empty()) {
        entries.push_back({"isa4.deb", "", 0644});
        if (!read_whole(args.package, max_package_size, entries.back().bytes)) return exit_failed;
        if (!debian_package(entries.back().bytes)) {
            complain(args.package, "not a Debian package (make isa4's with cpack, see the README)");
            return exit_usage;
        }
    }

    std::string zip, why;
    if (!zip_archive(entries, zip, why)) {
        complain(args.output, "cannot write the autograder (" + why + ")");
        return exit_failed;
    }
    if (!write_outputs(outputs, {zip})) return exit_failed;
    std::cout << escape_for_message(args.output) << ": setup.sh, run_autograder, "
              << escape_for_message(suite_name) << " and " << images
              << (images == 1 ? " RAM image" : " RAM images")
              << (suite.model.path.empty() ? "" : ", the model") << "; "
              << (args.package.empty()
                      ? "setup.sh needs isa4 on the image (no --package)"
                      : "setup.sh installs isa4 from " + escape_for_message(args.package))
              << "\n";
    return exit_ok;
}
