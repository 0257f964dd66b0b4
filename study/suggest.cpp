#include "suggest.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>

namespace {

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::vector<const CLI::App*> commandsOf(const CLI::App* app) {
  return app->get_subcommands([](const CLI::App*) { return true; });
}

const CLI::App* commandNamed(const CLI::App* app, const std::string& name) {
  for (const CLI::App* sub : commandsOf(app))
    if (sub->get_name() == name) return sub;
  return nullptr;
}

std::string join(const std::vector<std::string>& words, const std::string& between) {
  std::string s;
  for (const std::string& w : words) s += (s.empty() ? "" : between) + w;
  return s;
}

std::vector<std::string> commandNames(const CLI::App* app) {
  std::vector<std::string> names;
  for (const CLI::App* sub : commandsOf(app)) names.push_back(sub->get_name());
  return names;
}

std::vector<std::string> optionNames(const CLI::App* app) {
  std::vector<std::string> names;
  for (const CLI::Option* o : app->get_options())
    for (const std::string& n : o->get_lnames()) names.push_back("--" + n);
  return names;
}

}  // namespace

std::size_t editDistance(const std::string& a, const std::string& b) {
  const std::size_t n = a.size(), m = b.size();
  std::vector<std::vector<std::size_t>> d(n + 1, std::vector<std::size_t>(m + 1));
  for (std::size_t i = 0; i <= n; ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= m; ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= n; ++i)
    for (std::size_t j = 1; j <= m; ++j) {
      const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  return d[n][m];
}

std::string closest(const std::string& word, const std::vector<std::string>& names) {
  const std::string w = lower(word);
  std::string best;
  std::size_t bestDistance = std::max<std::size_t>(1, w.size() / 3) + 1;
  for (const std::string& name : names) {
    const std::string n = lower(name);
    const std::size_t d = n.rfind(w, 0) == 0 && w.size() >= 3 ? 0 : editDistance(w, n);
    if (d < bestDistance) {
      bestDistance = d;
      best = name;
    }
  }
  return best;
}

std::string parseHint(const CLI::App& app, int argc, const char* const* argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const CLI::App* current = &app;
  std::vector<std::string> path;  // the commands met so far
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--") break;
    if (a.size() > 1 && a[0] == '-') {
      const std::string name = a.substr(0, a.find('='));
      if (name == "-h" || name == "--help" || (current == &app && name == "--version")) continue;
      if (current == &app) {
        // An option before the command: show the line with the command first.
        std::vector<std::string> commands, rest;
        const CLI::App* c = &app;
        for (const std::string& b : args)
          if (const CLI::App* sub = commandNamed(c, b)) {
            commands.push_back(b);
            c = sub;
          } else {
            rest.push_back(b);
          }
        if (commands.empty())
          return name + " is an option of a command; options go after the command (" +
                 join(commandNames(&app), ", ") + ")";
        return name + " comes before the command; options go after it: pbsim-study " +
               join(commands, " ") + " " + join(rest, " ");
      }
      const CLI::Option* option = current->get_option_no_throw(name);
      if (!option) {
        const std::string near = closest(name, optionNames(current));
        return "unknown option " + name + " of '" + join(path, " ") + "'" +
               (near.empty() ? "" : "; did you mean " + near + "?");
      }
      if (a.find('=') == std::string::npos && option->get_type_size() != 0) ++i;  // its value
      continue;
    }
    if (const CLI::App* sub = commandNamed(current, a)) {
      current = sub;
      path.push_back(a);
      continue;
    }
    const std::vector<std::string> names = commandNames(current);
    if (names.empty()) return "";
    const std::string near = closest(a, names);
    return "unknown command '" + a + "'" +
           (path.empty() ? "" : " after '" + join(path, " ") + "'") +
           (near.empty() ? "" : "; did you mean '" + near + "'?") +
           " (commands: " + join(names, ", ") + ")";
  }
  return "";
}
