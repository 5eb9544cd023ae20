#include "grading/feedback_page.h"

#include <algorithm>
#include <set>

#include "machine/image_file.h"
#include "text/message.h"
#include "text/source_text.h"
#include "trace/page.h"
#include "trace/recording.h"

namespace {

std::vector<std::string> path_parts(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    while (from <= path.size()) {
        std::size_t to = path.find('/', from);
        if (to == std::string::npos) to = path.size();
        const std::string part = path.substr(from, to - from);
        if (!part.empty() && part != ".") parts.push_back(part);
        from = to + 1;
    }
    return parts;
}

// The last `depth` parts, lower case, joined by '/'.
std::string ending_of(const std::vector<std::string>& parts, std::size_t depth) {
    std::string key;
    for (std::size_t i = parts.size() - std::min(depth, parts.size()); i < parts.size(); ++i)
        key += (key.empty() ? "" : "/") + lower(parts[i]);
    return key;
}

std::string safe_name(const std::vector<std::string>& parts, std::size_t depth) {
    std::string name;
    for (std::size_t i = parts.size() - std::min(depth, parts.size()); i < parts.size(); ++i) {
        if (!name.empty()) name += '-';
        for (const char c : parts[i]) {
            const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                              (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
            name += kept ? c : '_';
        }
    }
    if (name.size() > 200) name.resize(200);
    if (name.empty()) name = "program";
    if (name[0] == '.') name[0] = '_';
    return name;
}

std::string numbers(const std::vector<unsigned>& values) {
    std::string out = "[";
    for (std::size_t i = 0; i < values.size(); ++i)
        out += (i == 0 ? "" : ",") + std::to_string(values[i]);
    return out + "]";
}

std::string strings(const std::vector<std::string>& values) {
    std::string out = "[";
    for (std::size_t i = 0; i < values.size(); ++i)
        out += (i == 0 ? "" : ",") + json_text(printable(values[i]));
    return out + "]";
}

std::string bound_text(const SuiteCase& c) {
    std::string text;
    for (const StepBound& b : c.bounds) text += (text.empty() ? "" : ", ") + b.text();
    return text;
}

// The run of a case that failed, recorded again from reset, with the values its end
// should have had.
std::string case_trace(const ProgramResult& program, const SuiteCase& c, const CaseResult& result,
                       const ProgramListing& listing) {
    // As the grader started it: RAM, registers, z and pc of the case.
    Isa4 arch = case_start(c, program.rom);
    RunLimits limits;
    limits.max_steps = c.limit;
    const Recording recording = record_run(arch, limits, feedback_recorded_steps);
    TraceSection section;
    section.name = c.name;
    section.listing = &listing;
    section.recording = &recording;
    if (recording.steps.size() == result.steps)
        section.expected = check_state(c.expect, recording.end).mismatches;
    return trace_json(section);
}

}  // namespace

std::string student_page(const GradedBatch& batch, const ProgramResult& program) {
    const ProgramListing listing = program.source.empty()
                                       ? image_listing(program.rom, nullptr)
                                       : source_listing(program.source, program.word_lines);
    std::string cases = "[";
    std::string traces = "[";
    int trace_count = 0;
    for (std::size_t i = 0; i < batch.suite.cases.size(); ++i) {
        const SuiteCase& c = batch.suite.cases[i];
        const CaseResult& r = program.cases[i];
        cases += i == 0 ? "{" : ",{";
        cases += "\"number\":" + std::to_string(i + 1) + ",\"verdict\":\"" +
                 verdict_name(r.verdict) + "\",\"points\":" + std::to_string(r.points) +
                 ",\"max\":" + std::to_string(c.points);
        if (c.hidden()) {
            cases += ",\"hidden\":true}";
            continue;
        }
        cases += ",\"hidden\":false,\"name\":" + json_text(printable(c.name)) +
                 ",\"steps\":" + std::to_string(r.steps) + ",\"problems\":[";
        for (std::size_t k = 0; k < r.problems.size(); ++k) {
            const Diagnostic& p = r.problems[k];
            cases += (k == 0 ? "{" : ",{") + std::string("\"line\":") + std::to_string(p.line) +
                     ",\"column\":" + std::to_string(p.column) +
                     ",\"text\":" + json_text(printable(p.message)) + "}";
        }
        cases += "],\"trace\":";
        // A trace shows what the end should have been: only where the case tells all.
        if (program.graded && r.verdict != Verdict::pass && c.feedback == Feedback::full) {
            traces += (trace_count == 0 ? "" : ",") + case_trace(program, c, r, listing);
            cases += std::to_string(trace_count++);
        } else {
            cases += "-1";
        }
        cases += '}';
    }
    return page_html("{\"kind\":\"feedback\",\"title\":" + json_text(printable(program.path)) +
                     ",\"program\":" + json_text(printable(program.path)) +
                     ",\"suite\":" + json_text(printable(batch.suite_path)) +
                     ",\"graded\":" + (program.graded ? "true" : "false") +
                     ",\"failure\":" + json_text(printable(program.failure)) + ",\"reasons\":" +
                     strings(program.reasons) + ",\"passed\":" + std::to_string(program.passed()) +
                     ",\"points\":" + std::to_string(program.points()) +
                     ",\"maxPoints\":" + std::to_string(batch.suite.total_points()) +
                     ",\"cases\":" + cases + "],\"traces\":" + traces + "]}");
}

std::string class_page(const GradedBatch& batch, const std::vector<std::string>& names,
                       const std::vector<ProgramSummary>& all) {
    std::string cases = "[";
    for (std::size_t i = 0; i < batch.suite.cases.size(); ++i) {
        const SuiteCase& c = batch.suite.cases[i];
        cases += (i == 0 ? "{" : ",{") + std::string("\"name\":") + json_text(printable(c.name)) +
                 ",\"points\":" + std::to_string(c.points) +
                 ",\"hidden\":" + (c.hidden() ? "true" : "false") + ",\"bound\":" +
                 json_text(c.feedback == Feedback::full ? bound_text(c) : std::string()) + "}";
    }
    std::string programs = "[";
    for (std::size_t i = 0; i < all.size(); ++i) {
        const ProgramSummary& p = all[i];
        std::vector<std::string> verdicts;
        std::vector<unsigned> steps;
        for (std::size_t k = 0; k < p.verdicts.size(); ++k) {
            verdicts.push_back(verdict_name(p.verdicts[k]));
            steps.push_back(p.steps[k]);
        }
        programs += (i == 0 ? "{" : ",{") + std::string("\"path\":") +
                    json_text(printable(p.path)) + ",\"page\":" + json_text(names[i]) +
                    ",\"passed\":" + std::to_string(p.passed) +
                    ",\"points\":" + std::to_string(p.points) +
                    ",\"verdicts\":" + strings(verdicts) + ",\"steps\":" + numbers(steps) + "}";
    }
    return page_html("{\"kind\":\"class\",\"title\":" + json_text(printable(batch.suite_path)) +
                     ",\"suite\":" + json_text(printable(batch.suite_path)) +
                     ",\"maxPoints\":" + std::to_string(batch.suite.total_points()) +
                     ",\"cases\":" + cases + "],\"programs\":" + programs + "]}");
}

std::vector<std::string> feedback_page_names(const std::vector<std::string>& programs) {
    std::vector<std::vector<std::string>> parts;
    for (const std::string& p : programs) parts.push_back(path_parts(p));
    std::set<std::string> used = {"index.html"};
    std::vector<std::string> names;
    for (std::size_t i = 0; i < programs.size(); ++i) {
        std::size_t depth = 1;
        for (std::size_t j = 0; j < programs.size(); ++j) {
            if (parts[j] == parts[i]) continue;
            while (depth < parts[i].size() &&
                   ending_of(parts[i], depth) == ending_of(parts[j], depth))
                ++depth;
        }
        const std::string base = safe_name(parts[i], depth);
        std::string name = base + ".html";
        for (int n = 2; used.count(lower(name)) != 0; ++n)
            name = base + "-" + std::to_string(n) + ".html";
        used.insert(lower(name));
        names.push_back(name);
    }
    return names;
}
