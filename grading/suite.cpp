#include "grading/suite.h"

bool StepBound::holds(std::uint64_t taken) const {
    switch (compare) {
        case less: return taken < steps;
        case at_most: return taken <= steps;
        case equal: return taken == steps;
        case at_least: return taken >= steps;
        case more: return taken > steps;
    }
    return false;
}

std::string StepBound::text() const {
    static const char* const names[] = {"<", "<=", "==", ">=", ">"};
    std::string text = std::string("steps ") + names[compare] + " " + std::to_string(steps);
    if (model_factor == 1) text += " (model)";
    if (model_factor > 1) text += " (" + std::to_string(model_factor) + " * model)";
    return text;
}

const char* visibility_name(Visibility v) {
    switch (v) {
        case Visibility::visible: return "visible";
        case Visibility::hidden: return "hidden";
        case Visibility::after_due_date: return "after_due_date";
        case Visibility::after_published: return "after_published";
    }
    return "hidden";
}

const char* feedback_name(Feedback f) {
    switch (f) {
        case Feedback::full: return "full";
        case Feedback::brief: return "brief";
        case Feedback::score: return "score";
    }
    return "score";
}

std::uint64_t Suite::total_points() const {
    std::uint64_t total = 0;
    for (const SuiteCase& c : cases) total += c.points;
    return total;
}
