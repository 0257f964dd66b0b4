#pragma once

// Help for a command line that did not parse: "did you mean" for a mistyped
// command or option, and where options go.

#include <string>
#include <vector>

namespace CLI {
class App;
}

// The edit distance between a and b, a swap of two neighbours counting as one edit.
std::size_t editDistance(const std::string& a, const std::string& b);

// The name among `names` nearest to `word` (case aside) when it is near enough
// to be a typing slip or the start of that name; "" otherwise.
std::string closest(const std::string& word, const std::vector<std::string>& names);

// What a user should be told about argv for `app`, which refused it: an
// unknown command or option with the nearest name, or an option given
// before its command; "" when there is nothing to add to the parser's message.
std::string parseHint(const CLI::App& app, int argc, const char* const* argv);
