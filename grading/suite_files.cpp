// The files a suite names, found from the suite's folder and read once the whole suite
// is: the cases' RAM images, and where the model is (the grader reads and runs it).
#include <algorithm>

#include "formats/image_formats.h"
#include "grading/suite.h"
#include "machine/image_file.h"
#include "text/message.h"

std::string folder_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

std::string suite_file_path(const std::string& folder, const std::string& name) {
    return !name.empty() && name[0] == '/' ? name : folder + name;
}

namespace {

// The RAM image `file` names, or a mistake at its line.
std::optional<Isa4::Ram> load_ram_image(const SuiteFile& file, Diagnostic& fault) {
    const std::string shown = "cannot load the RAM image '" + escape_for_message(file.path) + "'";
    std::string bytes;
    const FileResult read = read_image_file(file.path, MemoryKind::ram, bytes);
    if (!read) {
        fault = {file.line, file.column, shown + " (" + read.reason + ")"};
        return std::nullopt;
    }
    ImageContent content;
    Diagnostic problem;
    if (!decode_image(bytes, MemoryKind::ram, content, problem)) {
        fault = {file.line, file.column,
                 shown + " (line " + std::to_string(problem.line) + ": " + problem.message + ")"};
        fault.notes = problem.notes;
        return std::nullopt;
    }
    Isa4::Ram ram{};
    take_image(content, ram);
    return ram;
}

}  // namespace

void resolve_suite_files(Suite& suite, const std::string& folder) {
    if (!suite.model.name.empty()) suite.model.path = suite_file_path(folder, suite.model.name);
    std::vector<std::optional<Isa4::Ram>> images;
    for (SuiteFile& file : suite.ram_images) {
        file.path = suite_file_path(folder, file.name);
        Diagnostic fault;
        images.push_back(load_ram_image(file, fault));
        if (images.back()) continue;
        // Among the parser's mistakes at the place of its line.
        const auto later = std::find_if(suite.diagnostics.begin(), suite.diagnostics.end(),
                                        [&](const Diagnostic& d) { return d.line > fault.line; });
        suite.diagnostics.insert(later, fault);
    }
    for (SuiteCase& c : suite.cases) {
        if (c.ram_image < 0 || !images[static_cast<std::size_t>(c.ram_image)]) continue;
        const Isa4::Ram& image = *images[static_cast<std::size_t>(c.ram_image)];
        for (unsigned a = 0; a < 256; ++a)
            if (!c.ram_set[a]) c.ram[a] = image[a];
    }
}
