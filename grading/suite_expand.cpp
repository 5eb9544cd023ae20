// Cases made rather than written: the cases of a `generate` line and the registers and
// RAM of a random start, every value drawn from a seed and the case's name, the same on every run.
#include <random>

#include "grading/suite_parser.h"

namespace {

// The same draws on every run and with every C++ library: the Mersenne Twister, whose
// output the language fixes, seeded from the seed and an FNV-1a hash of the case's name
// (std::seed_seq's mixing is fixed as well; the distributions are not, so none is used).
std::mt19937 seeded_draw(std::string_view name, std::uint64_t seed) {
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (const char ch : name) hash = (hash ^ static_cast<unsigned char>(ch)) * 0x100000001b3u;
    std::seed_seq seeds{static_cast<std::uint32_t>(hash), static_cast<std::uint32_t>(hash >> 32),
                        static_cast<std::uint32_t>(seed)};
    return std::mt19937(seeds);
}

}  // namespace

// The case's registers, z and pc at reset: zeros or values drawn from the seed and the
// case's name, then the file's `set` lines and the case's.
void SuiteParser::draw_start_state(SuiteCase& c) {
    c.start = case_start_.line != 0 ? case_start_ : file_start_;
    bool drawn[16] = {};
    if (c.start.random) {
        std::mt19937 draw = seeded_draw(c.name, c.start.seed);
        for (unsigned r = 1; r < 16; ++r) {
            c.registers[r] = static_cast<std::uint8_t>(draw() & 0xFF);
            drawn[r] = true;
        }
    }
    for (const std::vector<StateEntry>* scope : {&file_set_, &case_set_}) {
        for (const StateEntry& e : *scope) {
            if (e.target == StateEntry::pc) c.pc = e.values.front();
            if (e.target == StateEntry::z) c.z = e.values.front() != 0;
            if (e.target != StateEntry::reg) continue;
            for (std::size_t k = 0; k < e.values.size(); ++k) {
                c.registers[e.first + k] = e.values[k];
                drawn[e.first + k] = false;
            }
        }
    }
    for (unsigned r = 1; r < 16; ++r)
        if (drawn[r]) c.random_registers.push_back(r);
    // RAM from a stream of its own, so that the cells do not repeat the registers' values
    // when both are random with one seed.
    if (c.ram_start.random && c.ram_image < 0) {
        std::mt19937 draw = seeded_draw("ram " + c.name, c.ram_start.seed);
        for (unsigned a = 0; a < 256; ++a) {
            const std::uint8_t value = static_cast<std::uint8_t>(draw() & 0xFF);
            if (c.ram_set[a]) continue;
            c.ram[a] = value;
            c.random_cells[a] = true;
        }
    }
}

// The cases of a `generate` line: the case as written, once per draw, named "NAME 1" ..
// "NAME N", each drawing its cells from the line's seed and its own name.
void SuiteParser::expand_generated() {
    const Generate g = *generate_;
    for (const StateEntry& e : cells_.entries) {
        const unsigned last = e.first + static_cast<unsigned>(e.values.size()) - 1;
        for (const DrawnCells& d : g.cells) {
            if (d.first > last || e.first > d.last) continue;
            suite_.diagnostics.push_back({e.line, e.column,
                                          "these cells are drawn by the 'generate' line " +
                                              std::to_string(g.line) +
                                              ": set them or draw them, not both"});
            break;
        }
    }
    SuiteCase base = std::move(current());
    suite_.cases.pop_back();
    base.generate_line = g.line;
    base.generate_column = g.column;
    base.drawn = g.cells;
    for (const DrawnCells& d : g.cells)
        for (unsigned a = d.first; a <= d.last; ++a) base.ram_set[a] = true;
    if (suite_.cases.size() + g.count > max_suite_cases) {
        suite_.diagnostics.push_back({g.line, g.column,
                                      "these cases would make the suite more than " +
                                          std::to_string(max_suite_cases) + " cases"});
        return;
    }
    bool names_ok = true;
    for (unsigned k = 1; k <= g.count; ++k) {
        suite_.cases.push_back(base);
        SuiteCase& c = current();
        c.name = base.name + " " + std::to_string(k);
        std::mt19937 draw = seeded_draw(c.name, g.seed);
        for (const DrawnCells& d : g.cells)
            for (unsigned a = d.first; a <= d.last; ++a)
                c.ram[a] = static_cast<std::uint8_t>(d.lo + draw() % (d.hi - d.lo + 1));
        draw_start_state(c);
        if (names_ok) names_ok = unique_name(c, name_column_);
    }
    add_points(base, g.count);
}
