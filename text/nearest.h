// The name a user most likely meant by a word that is none of a list's names: one slip
// (a letter added, dropped, changed, or two swapped) in a short name, two in a longer one,
// and never most of the word. Suites' keywords, isa4's subcommands and the debugger's
// commands all suggest through it ("did you mean 'expect'?").
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

// The nearest of `names` to `word` (compared in lower case), or "" when none is near.
std::string nearest_name(std::string_view word, const std::vector<std::string_view>& names);

// " (did you mean 'NAME'?)" for the nearest name, or "" when none is near.
std::string did_you_mean(std::string_view word, const std::vector<std::string_view>& names);
