// pbsim-study stability spring run as a user runs it: its CSV read back and
// judged against closed forms worked by hand.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "columns.h"

namespace {

struct Result {
  int status = -1;
  std::string out, err;
};

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

Result run(const std::string& args) {
  char dir[] = "/tmp/pbsim-stability-test-XXXXXX";
  if (!mkdtemp(dir)) return {};
  const std::string out = std::string(dir) + "/out", err = std::string(dir) + "/err";
  const int raw = std::system((std::string("'") + PBSIM_STUDY_PATH + "' " + args + " >'" + out +
                               "' 2>'" + err + "' </dev/null")
                                  .c_str());
  Result r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = slurp(out);
  r.err = slurp(err);
  std::system(("rm -rf '" + std::string(dir) + "'").c_str());
  return r;
}

std::vector<std::string> split(const std::string& line) {
  std::vector<std::string> cells;
  std::stringstream s(line);
  std::string cell;
  while (std::getline(s, cell, ',')) cells.push_back(cell);
  if (!line.empty() && line.back() == ',') cells.emplace_back();
  return cells;
}

// The CSV's rows by scheme, each cell by its column's name.
std::map<std::string, std::map<std::string, std::string>> readCsv(const std::string& text) {
  std::istringstream in(text);
  std::string line;
  std::getline(in, line);
  const std::vector<std::string> header = split(line);
  std::map<std::string, std::map<std::string, std::string>> rows;
  while (std::getline(in, line)) {
    const std::vector<std::string> cells = split(line);
    EXPECT_EQ(cells.size(), header.size()) << line;
    std::map<std::string, std::string> row;
    for (std::size_t i = 0; i < header.size() && i < cells.size(); ++i) row[header[i]] = cells[i];
    rows[row["scheme"]] = row;
  }
  return rows;
}

TEST(StudyStabilityCli, CsvOfTheStiffSpringAgreesWithClosedForms) {
  const Result r = run("stability spring --ks 10000 --mass 1 --kd 1 --dt 0.01 --csv -");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  std::string names;
  for (const Field<StabilityRow>& f : kStabilityFields)
    names += (names.empty() ? "" : ",") + std::string(f.name);
  EXPECT_EQ(r.out.substr(0, r.out.find('\n')), names);
  auto rows = readCsv(r.out);
  // The default schemes: every fixed-step one.
  EXPECT_EQ(rows.size(), 7u);
  // k = 1e4, c = 1: Euler 2a/(a²+ω²) = kd/ks; symplectic Euler's eigenvalue
  // -1 at h²k + 2hc - 4 = 0.
  const std::map<std::string, double> closed{
      {"euler", 1e-4}, {"symplectic-euler", (-1.0 + std::sqrt(4e4 + 1)) / 1e4}};
  for (const char* s : {"euler", "midpoint", "rk4", "symplectic-euler", "verlet"}) {
    SCOPED_TRACE(s);
    auto& row = rows[s];
    ASSERT_FALSE(row.empty());
    EXPECT_EQ(row["kind"], "explicit");
    const double measured = std::stod(row["measured_dt"]), theory = std::stod(row["theory_dt"]);
    EXPECT_LT(std::fabs(measured / theory - 1.0), 0.01);
    EXPECT_LT(std::fabs(std::stod(row["relative_difference"])), 0.01);
    if (closed.count(s)) {
      EXPECT_NEAR(theory, closed.at(s), 1e-6 * closed.at(s));
    }
    // dt 0.01 lies between midpoint's limit (3.5e-3) and RK4's (2.8e-2).
    const bool above = std::string(s) == "euler" || std::string(s) == "midpoint";
    EXPECT_EQ(row["unstable_at_dt"], above ? "1" : "0");
  }
  EXPECT_EQ(rows["verlet"]["bound"], "spectral radius = 1");
  EXPECT_EQ(rows["rk4"]["bound"], "|R(hλ)| = 1");
  for (const char* s : {"backward-euler", "implicit-midpoint"}) {
    SCOPED_TRACE(s);
    EXPECT_EQ(rows[s]["measured_dt"], "");
    EXPECT_EQ(rows[s]["theory_dt"], "");
    EXPECT_EQ(rows[s]["unstable_at_dt"], "0");
    EXPECT_GT(std::stod(rows[s]["searched_to"]), 1e3);
  }

  // The readable table names the bounds and what was measured.
  const Result table = run("stability spring --ks 10000 --mass 1 --kd 1 --schemes rk4,dopri5");
  ASSERT_EQ(table.status, 0) << table.err;
  EXPECT_NE(table.out.find("|R(hλ)| = 1"), std::string::npos) << table.out;
  EXPECT_NE(table.out.find("dopri5: not applicable"), std::string::npos) << table.out;
  EXPECT_NE(table.out.find("a = 0.5 1/s"), std::string::npos) << table.out;
}

TEST(StudyStabilityCli, RefusesWhatHasNoLimitWithTheEnginesWords) {
  for (const auto& [args, words] :
       std::vector<std::pair<std::string, std::string>>{{"--ks 0", "--ks must be greater than 0"},
                                                        {"--kd -1", "--kd must be 0 or more"},
                                                        {"--gravity 0", "--gravity must not be 0"},
                                                        {"--mass 0", "--mass"}}) {
    const Result r = run("stability spring " + args + " --csv -");
    EXPECT_EQ(r.status, 1) << args;
    EXPECT_EQ(r.out, "") << args;
    EXPECT_NE(r.err.find(words), std::string::npos) << args << ": " << r.err;
  }
  EXPECT_NE(run("stability").status, 0);
}

}  // namespace
