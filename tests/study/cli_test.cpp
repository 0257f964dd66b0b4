// pbsim-study run as a user runs it: arguments in, tables, CSV and figures
// out, read back and checked.

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cfloat>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ballisticssetup.h"
#include "ballisticssim.h"
#include "columns.h"
#include "parameters.h"
#include "schemes.h"
#include "springmasssetup.h"
#include "springmasssim.h"

namespace {

struct Result {
  int status = -1;  // exit status; -1 when killed or not run
  std::string out, err;
};

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// A fresh directory for one test; the program runs inside it.
class StudyCli : public testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/pbsim-study-test-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir_ = name;
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  // Starts pbsim-study with `args` in the test's directory, standard input
  // from /dev/null; standard output and error go to the files `out` and
  // `err`, or to the descriptors outFd and errFd when those are given.
  pid_t start(std::vector<std::string> args, const std::string& out, const std::string& err,
              int outFd = -1, int errFd = -1) {
    const pid_t pid = fork();
    if (pid == 0) {
      if (chdir(dir_.c_str()) != 0) _exit(126);
      const int in = open("/dev/null", O_RDONLY);
      const int o = outFd >= 0 ? outFd : open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int e = errFd >= 0 ? errFd : open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(in, 0);
      dup2(o, 1);
      dup2(e, 2);
      if (fileSizeLimit_ > 0) {
        // Writes beyond the limit fail with EFBIG, as on a full disk.
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{fileSizeLimit_, fileSizeLimit_};
        setrlimit(RLIMIT_FSIZE, &limit);
      }
      std::vector<char*> argv{const_cast<char*>("pbsim-study")};
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(PBSIM_STUDY_PATH, argv.data());
      _exit(127);
    }
    return pid;
  }

  // Waits at most a minute for `pid`: its exit status, or -1 when killed.
  static int finish(pid_t pid) {
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        ADD_FAILURE() << "pbsim-study did not finish within a minute";
        return -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // Runs pbsim-study with `args` to its end; standard output goes to
  // `stdoutPath` instead of being collected when that is given.
  Result run(std::vector<std::string> args, const std::string& stdoutPath = "") {
    const std::string out = stdoutPath.empty() ? dir_ + "/.stdout" : stdoutPath;
    const std::string err = dir_ + "/.stderr";
    Result r;
    r.status = finish(start(std::move(args), out, err));
    if (stdoutPath.empty()) {
      r.out = slurp(out);
      unlink(out.c_str());
    }
    r.err = slurp(err);
    unlink(err.c_str());
    return r;
  }

  // The files the program left in its directory.
  std::vector<std::string> files() const {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir_.c_str())) {
      while (dirent* e = readdir(d))
        if (e->d_name[0] != '.') names.push_back(e->d_name);
      closedir(d);
    }
    return names;
  }

  std::string path(const std::string& name) const { return dir_ + "/" + name; }

  std::string dir_;
  rlim_t fileSizeLimit_ = 0;  // bytes a file may hold in the program's runs; 0: no limit
};

using Row = std::map<std::string, std::string>;

// Rows of a CSV text with a header line, by column name.
std::vector<Row> parseCsv(const std::string& text, const std::string& header) {
  std::istringstream in(text);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, header);
  std::vector<std::string> names;
  std::istringstream h(header);
  for (std::string n; std::getline(h, n, ',');) names.push_back(n);
  std::vector<Row> rows;
  while (std::getline(in, line)) {
    Row row;
    std::istringstream cells(line + ",");
    std::size_t i = 0;
    for (std::string cell; std::getline(cells, cell, ','); ++i)
      if (i < names.size()) row[names[i]] = cell;
    EXPECT_EQ(i, names.size()) << line;
    rows.push_back(row);
  }
  return rows;
}

double num(const Row& r, const std::string& column) { return std::stod(r.at(column)); }
// A column that holds the model's single-precision values, read as it is meant to be.
double f32(const Row& r, const std::string& column) { return std::stof(r.at(column)); }

TEST_F(StudyCli, VersionAndHelpSayWhatTheNumbersMean) {
  const Result v = run({"--version"});
  EXPECT_EQ(v.status, 0);
  EXPECT_EQ(v.out, std::string("pbsim-study ") + PBSIM_VERSION + "\n");
  const Result spring = run({"spring", "--help"});
  EXPECT_EQ(spring.status, 0);
  EXPECT_NE(spring.out.find("not an acceleration"), std::string::npos);
  const Result flight = run({"flight", "--help"});
  EXPECT_NE(flight.out.find("an acceleration along y in m/s^2"), std::string::npos);
}

// The start-up shot: pbsim prints 16, 15 and 15 steps; RK4 lands near (-1.689, 0, 9.577).
TEST_F(StudyCli, FlightTableAndCsvOfTheStartUpShot) {
  const Result table = run({"flight"});
  ASSERT_EQ(table.status, 0) << table.err;
  std::istringstream lines(table.out);
  std::map<std::string, std::vector<std::string>> byScheme;
  for (std::string line; std::getline(lines, line);) {
    std::istringstream w(line);
    std::vector<std::string> words;
    for (std::string s; w >> s;) words.push_back(s);
    if (!words.empty()) byScheme[words[0]] = words;
  }
  EXPECT_EQ(byScheme["euler"].at(1), "16");
  EXPECT_EQ(byScheme["midpoint"].at(1), "15");
  EXPECT_EQ(byScheme["midpoint"].at(2), "30");  // evaluations
  EXPECT_EQ(byScheme["rk4"].at(1), "15");
  EXPECT_EQ(byScheme["rk4"].at(2), "60");
  EXPECT_EQ(byScheme["rk4"].at(3), "landed");
  EXPECT_NEAR(std::stod(byScheme["rk4"].at(4)), -1.689, 1e-3);
  EXPECT_NEAR(std::stod(byScheme["rk4"].at(5)), 9.577, 1e-3);
  EXPECT_NEAR(std::stod(byScheme["exact"].at(1)), -1.690, 2e-3);

  const Result csv = run({"flight", "--csv", "-", "--dt", "0.05"});
  ASSERT_EQ(csv.status, 0) << csv.err;
  const auto rows =
      parseCsv(csv.out, "scheme,step,t,x,y,z,vx,vy,vz,exact_x,exact_y,exact_z,path_error,h");
  std::map<std::string, int> points;
  for (const Row& r : rows) ++points[r.at("scheme")];
  BallisticsSim sim;
  sim.params = startUpBallisticsParams();
  sim.params.timeStep = 0.05f;
  for (const auto& [name, n] : points) {
    sim.setScheme(schemeNamed(name)->scheme);
    EXPECT_EQ(n, sim.fly().steps + 1) << name;
  }
  EXPECT_EQ(points.size(), 3u);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Row& r = rows[i];
    const bool last = i + 1 == rows.size() || rows[i + 1].at("step") == "0";
    if (last) {
      EXPECT_EQ(num(r, "y"), 0.0);
      EXPECT_EQ(r.at("path_error"), "");  // the ground point's miss is landing_miss
      continue;
    }
    // t as the model's single-precision time: step·dt rounded once to float.
    EXPECT_EQ(std::stof(r.at("t")), static_cast<float>(num(r, "step") * double(0.05f)));
    const double d = std::hypot(f32(r, "x") - num(r, "exact_x"), f32(r, "y") - num(r, "exact_y"),
                                f32(r, "z") - num(r, "exact_z"));
    EXPECT_NEAR(num(r, "path_error"), d, 1e-15 + 1e-12 * d);
  }
}

TEST_F(StudyCli, SpringCsvAndTable) {
  const Result table = run({"spring", "--schemes", "rk4"});
  ASSERT_EQ(table.status, 0) << table.err;
  EXPECT_NE(table.out.find("rk4"), std::string::npos);
  EXPECT_NE(table.out.find(" 1151 "), std::string::npos);    // pbsim's count at start-up
  EXPECT_NE(table.out.find(" 4604 "), std::string::npos);    // four evaluations a step
  EXPECT_NE(table.out.find("-1.65333"), std::string::npos);  // g/ks - L
  EXPECT_EQ(table.out.find("euler"), std::string::npos);

  const Result csv = run({"spring", "--csv", "-", "--kd", "0", "--schemes", "RK4,midpoint"});
  ASSERT_EQ(csv.status, 0) << csv.err;
  const auto rows =
      parseCsv(csv.out, "scheme,step,t,y,v,exact_y,height_error,energy,damping_work,h");
  ASSERT_EQ(rows.size(), 2u * 15000u);  // undamped: both run to pbsim's limit
  EXPECT_EQ(rows.front().at("scheme"), "midpoint");
  const double e0 = 0.5 * 15 * (9.8 / 15) * (9.8 / 15);
  for (const Row& r : rows) {
    const double e = std::fabs(f32(r, "y") - num(r, "exact_y"));
    EXPECT_NEAR(num(r, "height_error"), e, 1e-15 + 1e-12 * e);
    const double u = num(r, "exact_y") - (-9.8 / 15 - 1);
    // Undamped: a cosine. The exact columns are taken at step·dt in double;
    // t is that time as the model's float.
    const double t = num(r, "step") * double(0.1f);
    EXPECT_EQ(std::stof(r.at("t")), static_cast<float>(t));
    EXPECT_NEAR(u, (9.8 / 15) * std::cos(std::sqrt(3.0) * t), 1e-6);
    if (r.at("scheme") == "rk4") {
      EXPECT_NEAR(num(r, "energy"), e0, 0.02 * e0);
    }
  }
}

TEST_F(StudyCli, ConvergenceCsvHalvesTheStep) {
  const Result r = run({"convergence", "spring", "--levels", "4", "--double", "--csv", "out.csv"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("order"), std::string::npos);  // the table still goes to the terminal
  const auto rows =
      parseCsv(slurp(path("out.csv")),
               "scheme,precision,h,steps,evaluations,error,order,floor,rtol,rejected");
  ASSERT_EQ(rows.size(), 24u);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Row& row = rows[i];
    const int level = static_cast<int>(i % 4);
    EXPECT_EQ(std::stof(row.at("h")), 0.1f / (1 << level));  // the model's step, as a float
    EXPECT_EQ(row.at("precision"), i % 8 < 4 ? "single" : "double");
    EXPECT_TRUE(row.at("floor") == "0" || row.at("floor") == "1");
    EXPECT_EQ(num(row, "steps"), 40 << level);
    EXPECT_EQ(row.at("order").empty(), level == 0);
    if (level > 0) {
      EXPECT_NEAR(num(row, "order"), std::log2(num(rows[i - 1], "error") / num(row, "error")),
                  1e-3);
    }
  }
  EXPECT_EQ(rows[4].at("scheme"), "euler");
  EXPECT_EQ(files(), std::vector<std::string>{"out.csv"});
}

// Reads the figure's format and size back from the file itself.
TEST_F(StudyCli, FiguresInEachFormat) {
  ASSERT_EQ(run({"flight", "--plot", "f.png"}).status, 0);
  const std::string png = slurp(path("f.png"));
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
  auto be32 = [&](std::size_t at) {
    return (unsigned char)png[at] << 24 | (unsigned char)png[at + 1] << 16 |
           (unsigned char)png[at + 2] << 8 | (unsigned char)png[at + 3];
  };
  EXPECT_EQ(be32(16), 900u);  // IHDR width and height
  EXPECT_EQ(be32(20), 560u);

  ASSERT_EQ(run({"spring", "--plot", "s.pdf"}).status, 0);
  const std::string pdf = slurp(path("s.pdf"));
  EXPECT_EQ(pdf.substr(0, 5), "%PDF-");
  EXPECT_NE(pdf.find("%%EOF", pdf.size() - 16), std::string::npos);

  const Result conv = run({"convergence", "flight", "--plot", "c.svg", "--csv", "-"});
  ASSERT_EQ(conv.status, 0) << conv.err;
  EXPECT_EQ(conv.out.rfind("scheme,precision,h,", 0), 0u);  // CSV alone on standard output
  const std::string svg = slurp(path("c.svg"));
  EXPECT_NE(svg.find("<svg"), std::string::npos);
  EXPECT_NE(svg.find("</svg>"), std::string::npos);
  EXPECT_NE(svg.find("width=\"900"), std::string::npos);
}

TEST_F(StudyCli, BadInputIsRefusedAndLeavesNoFile) {
  const std::vector<std::vector<std::string>> cases = {
      {"flight", "--mass", "0"},
      {"spring", "--mass", "0"},
      {"flight", "--dt", "0"},
      {"spring", "--dt", "-0.1"},
      {"flight", "--gravity", "nan"},
      {"flight", "--azimuth", "inf"},
      {"spring", "--ks", "ten"},
      {"flight", "--level", "3"},
      {"flight", "--schemes", "euler,heun"},
      {"flight", "--plot", "figure.gif"},
      {"convergence", "flight", "--levels", "99"},
      {"convergence", "spring", "--at", "4.05"},
      {"convergence", "flight", "--at", "3"},        // after the landing
      {"convergence", "spring", "--gravity", "40"},  // reaches the anchor before 4 s
      {"convergence", "spring", "--ks", "0"},        // no oscillator, no closed form
      {"convergence"},
      {},
  };
  for (std::vector<std::string> args : cases) {
    std::string shown;
    for (const std::string& a : args) shown += a + " ";
    args.insert(args.end(), {"--csv", "out.csv", "--plot", "out.png"});
    if (args.size() == 4) args.erase(args.begin(), args.begin() + 2);  // no command at all
    const Result r = run(args);
    EXPECT_NE(r.status, 0) << shown;
    EXPECT_FALSE(r.err.empty()) << shown;
    EXPECT_EQ(r.out, "") << shown;
    EXPECT_TRUE(files().empty()) << shown;
  }
  const Result r = run({"flight", "--csv", "missing/out.csv"});
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("cannot write missing/out.csv"), std::string::npos) << r.err;
}

// The table's rows by scheme, each cell under its column's name (units in
// brackets left out); header and rows are split on runs of two spaces.
std::map<std::string, std::map<std::string, std::string>> tableRows(const std::string& text,
                                                                    const std::string& first) {
  auto cells = [](const std::string& line) {
    std::vector<std::string> out;
    std::size_t at = 0;
    while (at < line.size()) {
      while (at < line.size() && line[at] == ' ') ++at;
      std::size_t end = line.find("  ", at);
      if (end == std::string::npos) end = line.size();
      if (at < end) out.push_back(line.substr(at, end - at));
      at = end;
    }
    return out;
  };
  std::istringstream lines(text);
  std::string line;
  std::vector<std::string> names;
  std::vector<std::size_t> ends;  // where each right-aligned column ends
  std::map<std::string, std::map<std::string, std::string>> rows;
  while (std::getline(lines, line)) {
    if (names.empty()) {
      if (line.rfind(first, 0) != 0) continue;
      for (std::string n : cells(line)) {
        const std::size_t bracket = n.find(" [");
        ends.push_back(line.find(n) + n.size());
        names.push_back(bracket == std::string::npos ? n : n.substr(0, bracket));
      }
      continue;
    }
    if (line.empty() || line.find(':') != std::string::npos) break;
    // Right-aligned cells end where their column's name ends.
    std::map<std::string, std::string> row;
    std::size_t from = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
      const std::size_t end = i == 0 ? line.find(' ') : std::min(ends[i], line.size());
      std::string cell = from < line.size() ? line.substr(from, end - from) : "";
      cell.erase(0, cell.find_first_not_of(' '));
      if (cell.find_last_not_of(' ') != std::string::npos)
        cell.erase(cell.find_last_not_of(' ') + 1);
      else
        cell.clear();
      row[names[i]] = cell;
      from = end;
    }
    rows[row[names[0]]] = row;
  }
  return rows;
}

// A table cell agrees with the CSV's value to the digits the table shows.
void expectShown(const std::string& cell, const std::string& csv, const std::string& what) {
  if (csv.empty()) {
    EXPECT_TRUE(cell.empty() || cell == "none") << what << ": '" << cell << "'";
    return;
  }
  ASSERT_FALSE(cell.empty()) << what;
  const double a = std::stod(cell), b = std::stod(csv);
  const bool scientific = cell.find('e') != std::string::npos;
  EXPECT_NEAR(a, b, (scientific ? 6e-4 : 6e-6) * std::fabs(b) + 1e-300) << what;
}

// Table, summary and CSV of one run give the same numbers: every table cell
// is the summary's value rounded, and the summary's errors and end points are
// those of the points in the CSV.
TEST_F(StudyCli, TableSummaryAndCsvAgree) {
  const Result flight =
      run({"flight", "--dt", "0.02", "--schemes", "euler,midpoint,rk4,symplectic-euler,verlet",
           "--summary", "sum.csv", "--csv", "points.csv"});
  ASSERT_EQ(flight.status, 0) << flight.err;
  const auto table = tableRows(flight.out, "scheme");
  const auto summary = parseCsv(slurp(path("sum.csv")),
                                "scheme,steps,evaluations,stop,few_steps,landing_x,landing_z,"
                                "flight_time,landing_miss,max_path_error,rejected,wall_ms");
  ASSERT_EQ(summary.size(), 6u);  // five schemes and the exact flight
  const auto points = parseCsv(slurp(path("points.csv")),
                               "scheme,step,t,x,y,z,vx,vy,vz,exact_x,exact_y,exact_z,path_error,h");
  for (const Row& s : summary) {
    const std::string scheme = s.at("scheme");
    ASSERT_EQ(table.count(scheme), 1u) << scheme;
    const auto& t = table.at(scheme);
    for (const char* column :
         {"landing_x", "landing_z", "flight_time", "landing_miss", "max_path_error"})
      expectShown(t.at(column), s.at(column), scheme + " " + column);
    if (scheme == "exact") continue;
    EXPECT_EQ(t.at("steps"), s.at("steps"));
    EXPECT_EQ(t.at("evaluations"), s.at("evaluations"));
    EXPECT_EQ(t.at("stop"), s.at("stop"));
    double most = 0.0;
    const Row* last = nullptr;
    for (const Row& p : points) {
      if (p.at("scheme") != scheme) continue;
      if (!p.at("path_error").empty()) most = std::fmax(most, num(p, "path_error"));
      last = &p;
    }
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(num(s, "max_path_error"), most) << scheme;
    EXPECT_EQ(std::stol(s.at("steps")), std::stol(last->at("step"))) << scheme;
    EXPECT_EQ(std::stof(s.at("landing_x")), std::stof(last->at("x"))) << scheme;
    EXPECT_EQ(std::stof(s.at("landing_z")), std::stof(last->at("z"))) << scheme;
    EXPECT_EQ(static_cast<float>(num(s, "flight_time")), std::stof(last->at("t"))) << scheme;
    EXPECT_EQ(last->at("path_error"), "");  // the ground point: its miss is landing_miss
  }

  const Result spring =
      run({"spring", "--kd", "0", "--dt", "0.05", "--until", "10", "--schemes",
           "euler,midpoint,rk4,symplectic-euler,verlet", "--summary", "-", "--csv", "s.csv"});
  ASSERT_EQ(spring.status, 0) << spring.err;
  const auto springSummary = parseCsv(
      spring.out,
      "scheme,steps,evaluations,stop,few_steps,final_height,"
      "resting_height,max_height_error,energy_drift,energy_balance_drift,rejected,wall_ms");
  const auto springPoints = parseCsv(
      slurp(path("s.csv")), "scheme,step,t,y,v,exact_y,height_error,energy,damping_work,h");
  const Result springTable = run({"spring", "--kd", "0", "--dt", "0.05", "--until", "10",
                                  "--schemes", "euler,midpoint,rk4,symplectic-euler,verlet"});
  const auto st = tableRows(springTable.out, "scheme");
  ASSERT_EQ(springSummary.size(), 5u);
  for (const Row& s : springSummary) {
    const std::string scheme = s.at("scheme");
    EXPECT_EQ(s.at("stop"), "until");
    EXPECT_EQ(s.at("steps"), "200");  // the first step at or after 10 s
    for (const char* column :
         {"final_height", "resting_height", "max_height_error", "energy_drift"})
      expectShown(st.at(scheme).at(column), s.at(column), scheme + " " + column);
    double e0 = NAN, drift = 0.0, most = 0.0;
    const Row* last = nullptr;
    for (const Row& p : springPoints) {
      if (p.at("scheme") != scheme) continue;
      if (std::isnan(e0)) e0 = num(p, "energy");
      drift = std::fmax(drift, std::fabs(num(p, "energy") - e0) / e0);
      most = std::fmax(most, num(p, "height_error"));
      last = &p;
    }
    ASSERT_NE(last, nullptr);
    EXPECT_NEAR(num(s, "energy_drift"), drift, 1e-12 * drift) << scheme;
    EXPECT_EQ(num(s, "max_height_error"), most) << scheme;
    EXPECT_EQ(std::stof(s.at("final_height")), std::stof(last->at("y"))) << scheme;
  }
}

// The state columns read as float32 are the model's own bits: positions and
// velocities of the flight, heights and velocities of the spring.
TEST_F(StudyCli, StateColumnsAreTheModelsBits) {
  const Result flight = run({"flight", "--csv", "-", "--schemes", "rk4"});
  ASSERT_EQ(flight.status, 0) << flight.err;
  const auto rows =
      parseCsv(flight.out, "scheme,step,t,x,y,z,vx,vy,vz,exact_x,exact_y,exact_z,path_error,h");
  BallisticsSim sim;
  sim.params = startUpBallisticsParams();
  sim.setScheme(RK4);
  std::vector<StateList> states;
  sim.flyAnyScheme([&states](int, const StateList& s) { states.push_back(s); });
  ASSERT_EQ(rows.size(), states.size());
  for (std::size_t k = 0; k + 1 < rows.size(); ++k) {  // the last point is moved onto the ground
    const StateList& s = states[k];
    const float want[] = {s[0].x, s[0].y, s[0].z, s[1].x, s[1].y, s[1].z};
    const char* columns[] = {"x", "y", "z", "vx", "vy", "vz"};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(std::stof(rows[k].at(columns[i])), want[i]) << k;
  }

  const Result spring = run({"spring", "--csv", "-", "--schemes", "midpoint"});
  ASSERT_EQ(spring.status, 0) << spring.err;
  const auto srows =
      parseCsv(spring.out, "scheme,step,t,y,v,exact_y,height_error,energy,damping_work,h");
  SpringMassSim model;
  model.params = startUpSpringParams();
  model.setScheme(Midpoint);
  std::vector<float> ys, vs;
  model.runAnyScheme([&](int, const StateList& s) {
    ys.push_back(s[0].y);
    vs.push_back(s[1].y);
  });
  ASSERT_EQ(srows.size(), ys.size());
  for (std::size_t k = 0; k < srows.size(); ++k) {
    EXPECT_EQ(std::stof(srows[k].at("y")), ys[k]) << k;
    EXPECT_EQ(std::stof(srows[k].at("v")), vs[k]) << k;
  }
}

TEST_F(StudyCli, ATimeStepLongerThanTheMotionIsWarnedAbout) {
  const Result r = run({"flight", "--dt", "10", "--summary", "sum.csv"});
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* scheme : {"midpoint", "rk4"})
    EXPECT_NE(r.err.find(std::string("warning: ") + scheme + " ended after 1 step"),
              std::string::npos)
        << r.err;
  const auto table = tableRows(r.out, "scheme");
  for (const char* scheme : {"euler", "midpoint", "rk4"})
    EXPECT_EQ(table.at(scheme).at("note"), "few steps") << scheme;
  // One step measures the path nowhere but at the exact launch point: no number.
  EXPECT_EQ(table.at("rk4").at("max_path_error"), "none");
  for (const Row& s : parseCsv(slurp(path("sum.csv")),
                               "scheme,steps,evaluations,stop,few_steps,landing_x,landing_z,"
                               "flight_time,landing_miss,max_path_error,rejected,wall_ms"))
    if (s.at("scheme") != "exact") {
      EXPECT_EQ(s.at("few_steps"), "1");
      if (s.at("steps") == "1") {
        EXPECT_EQ(s.at("max_path_error"), "");
      }
    }
  // The start-up shot warns about nothing.
  const Result fine = run({"flight"});
  EXPECT_EQ(fine.err, "");
  EXPECT_EQ(fine.out.find("few steps"), std::string::npos);
}

// Each refusal with its message: nothing on standard output, no file left.
TEST_F(StudyCli, RefusalsSayWhatIsWrong) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"flight", "--dt", "1e-50"}, "--dt must be greater than 0, and 1e-50 is 0 in single"},
      {{"flight", "--mass", "1e-50"}, "--mass must be greater than 0, and 1e-50 is 0 in single"},
      {{"spring", "--mass", "1e-50"}, "--mass must be greater than 0, and 1e-50 is 0 in single"},
      {{"spring", "--dt", "1e-50"}, "--dt must be greater than 0, and 1e-50 is 0 in single"},
      {{"convergence", "spring", "--dt", "1e-50"}, "--dt must be greater than 0"},
      {{"flight", "--csv", ""}, "--csv: a file name cannot be empty"},
      {{"spring", "--summary", ""}, "--summary: a file name cannot be empty"},
      {{"flight", "--plot", ""}, "--plot: a file name cannot be empty"},
      {{"flight", "--csv", "x.png", "--plot", "x.png"}, "--csv and --plot both name x.png"},
      {{"spring", "--summary", "a.csv", "--csv", "./a.csv"}, "--csv and --summary both name"},
      {{"flight", "--csv", "-", "--summary", "-"}, "cannot both write to standard output"},
      {{"fligth"}, "unknown command 'fligth'; did you mean 'flight'?"},
      {{"convergence", "sprin"},
       "unknown command 'sprin' after 'convergence'; did you mean 'spring'?"},
      {{"--dt", "0.05", "flight"}, "options go after it: pbsim-study flight --dt 0.05"},
      {{"convergence", "flight", "--level", "3"}, "did you mean --levels?"},
      {{"spring", "--until", "0"}, "--until must be greater than 0"},
      {{"flight", "--figure", "phase"}, "--figure: phase not in {path,error}"},
      {{"spring", "--schemes", "rk5"}, "--schemes: rk5 not in"},
      {{"flight", "--schemes", "dopri5", "--rtol", "0"}, "--rtol must be a finite number above 0"},
      {{"flight", "--rtol", "nan"}, "--rtol must be a finite number above 0"},
      {{"spring", "--atol", "-1e-9"}, "--atol must be a finite number above 0"},
      {{"convergence", "spring", "--atol", "inf"}, "--atol must be a finite number above 0"},
      {{"flight", "--landing", "cubic"}, "--landing must be linear or interpolated, not 'cubic'"},
      {{"convergence", "flight", "--quantity", "apex"},
       "--quantity must be at_time or landing, not 'apex'"},
      {{"convergence", "flight", "--sweep", "h"}, "--sweep must be auto, dt or rtol, not 'h'"},
      {{"convergence", "spring", "--sweep", "dt", "--schemes", "dopri5"},
       "dopri5 is adaptive: it chooses its own steps"},
      {{"convergence", "spring", "--sweep", "rtol", "--schemes", "rk4,dopri5"},
       "rk4 steps with a fixed dt: it has no rtol"},
      {{"convergence", "flight", "--rtol-levels", "0"}, "--rtol-levels must be at least 1"},
      {{"stability", "spring", "--ks", "0"}, "--ks must be greater than 0"},
      {{"stability", "spring", "--kd", "-1"}, "--kd must be 0 or more"},
      {{"stability", "spring", "--gravity", "0"}, "--gravity must not be 0"},
      {{"stability", "spring", "--mass", "0"}, "--mass"},
      {{"stability"}, "A subcommand is required"},
  };
  for (const Case& c : cases) {
    const Result r = run(c.args);
    std::string shown;
    for (const std::string& a : c.args) shown += a + " ";
    EXPECT_NE(r.status, 0) << shown;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << shown << "\n" << r.err;
    EXPECT_EQ(r.out, "") << shown;
    EXPECT_TRUE(files().empty()) << shown;
  }
}

// The limit on --levels is the last number of levels that runs: the spring
// at a time step near the smallest normal float runs it, with a normal
// finest step, and refuses one more.
TEST_F(StudyCli, TheLevelsLimitRuns) {
  const std::vector<std::string> at = {"convergence", "spring", "--dt", "1e-37", "--at", "1e-37"};
  auto with = [&](std::vector<std::string> more) {
    std::vector<std::string> a = at;
    a.insert(a.end(), more.begin(), more.end());
    return run(a);
  };
  const Result refused = with({"--levels", "99"});
  const std::size_t p = refused.err.find("between 1 and ");
  ASSERT_NE(p, std::string::npos) << refused.err;
  const int most = std::stoi(refused.err.substr(p + 14));
  const Result r = with({"--levels", std::to_string(most), "--csv", "-"});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto rows =
      parseCsv(r.out, "scheme,precision,h,steps,evaluations,error,order,floor,rtol,rejected");
  ASSERT_EQ(rows.size(), 3u * most);
  float finest = FLT_MAX;
  for (const Row& row : rows) finest = std::min(finest, std::stof(row.at("h")));
  EXPECT_GE(finest, FLT_MIN);      // a normal float
  EXPECT_LT(finest / 2, FLT_MIN);  // and half of it would not be
  EXPECT_NE(with({"--levels", std::to_string(most + 1)}).status, 0);
}

// Progress goes to standard error when that is a terminal, and only then.
TEST_F(StudyCli, ProgressOnlyOnATerminal) {
  const std::vector<std::string> slow = {"convergence", "spring", "--levels", "17"};
  for (const bool errIsTerminal : {true, false}) {
    int master = -1, slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    const std::string out = path("out.txt"), err = path("err.txt");
    const pid_t pid =
        errIsTerminal ? start(slow, out, err, -1, slave) : start(slow, out, err, slave, -1);
    close(slave);
    std::string terminal;
    char buf[4096];
    for (ssize_t n; (n = read(master, buf, sizeof buf)) > 0;)
      terminal.append(buf, static_cast<std::size_t>(n));
    close(master);
    ASSERT_EQ(finish(pid), 0);
    const std::string progressOn = errIsTerminal ? terminal : slurp(err);
    const std::string progressOff = errIsTerminal ? slurp(err) : slurp(out);
    if (errIsTerminal) {
      EXPECT_NE(progressOn.find("\r\033[Kpbsim-study: "), std::string::npos) << progressOn;
      EXPECT_NE(slurp(out).find("convergence of the spring"), std::string::npos);
    } else {
      EXPECT_EQ(slurp(err), "");  // standard output is the terminal; standard error is not
      EXPECT_EQ(terminal.find("\033[K"), std::string::npos);
      EXPECT_NE(terminal.find("convergence of the spring"), std::string::npos);
    }
    (void)progressOff;
    unlink(out.c_str());
    unlink(err.c_str());
  }
}

TEST_F(StudyCli, AFailedWriteLeavesNoFile) {
  const Result r =
      run({"flight", "--csv", "out.csv", "--summary", "s.csv", "--plot", "f.svg"}, "/dev/full");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot write to standard output"), std::string::npos) << r.err;
  EXPECT_TRUE(files().empty());
}

// Every output file, of every command, whose writes fail after it opened:
// on a full device (a link to /dev/full) and as a regular file on a full
// disk (a file-size limit). Each is reported with status 1, and no file is
// left behind.
TEST_F(StudyCli, AWriteFailingAfterTheFileOpenedIsReported) {
  const std::vector<std::vector<std::string>> commands = {
      {"flight"}, {"spring"}, {"convergence", "flight", "--levels", "2"}};
  const std::vector<std::pair<std::string, std::string>> outputs = {{"--csv", "c.csv"},
                                                                    {"--summary", "s.csv"},
                                                                    {"--plot", "f.svg"},
                                                                    {"--plot", "f.png"},
                                                                    {"--plot", "f.pdf"}};
  for (const bool device : {true, false}) {
    for (const auto& command : commands)
      for (const auto& [option, name] : outputs) {
        std::vector<std::string> args = command;
        args.insert(args.end(), {option, name});
        std::string shown = device ? "(to /dev/full) " : "(a file-size limit) ";
        for (const std::string& a : args) shown += a + " ";
        if (device) {
          ASSERT_EQ(symlink("/dev/full", path(name).c_str()), 0);
        } else {
          // Room for half the output (and for the message and PLplot's own
          // small files); the table goes nowhere.
          ASSERT_EQ(run(args, "/dev/null").status, 0) << shown;
          fileSizeLimit_ = slurp(path(name)).size() / 2;
          ASSERT_GT(fileSizeLimit_, 100u) << shown;
          unlink(path(name).c_str());
        }
        const Result r = run(args, "/dev/null");
        fileSizeLimit_ = 0;
        EXPECT_EQ(r.status, 1) << shown << r.err;
        EXPECT_NE(r.err.find("cannot write " + name), std::string::npos) << shown << r.err;
        const std::vector<std::string> left = files();
        EXPECT_EQ(left, device ? std::vector<std::string>{name} : std::vector<std::string>{})
            << shown;
        unlink(path(name).c_str());
      }
  }
}

// The options of the convergence study itself, beside the model's: each
// bad value is refused with the option's name, for both models, and nothing
// runs (an option whose check is lost would quietly take its default).
TEST_F(StudyCli, ConvergenceOptionsAreRefusedByTheirRules) {
  const std::vector<std::pair<std::string, std::string>> bad = {
      {"--at", "-1"},      {"--at", "0"},     {"--at", "-0"},      {"--at", "nan"},
      {"--at", "inf"},     {"--at", "-inf"},  {"--at", "1e39"},    {"--at", "ten"},
      {"--at", ""},        {"--levels", "0"}, {"--levels", "-1"},  {"--levels", "99"},
      {"--levels", "2.5"}, {"--levels", "x"}, {"--levels", "1e9"},
  };
  for (const std::string model : {"flight", "spring"})
    for (const auto& [option, value] : bad) {
      const std::vector<std::string> args = {"convergence", model, option + "=" + value, "--csv",
                                             "c.csv"};
      const std::string shown = "convergence " + model + " " + option + "=" + value;
      const Result r = run(args);
      EXPECT_NE(r.status, 0) << shown;
      EXPECT_NE(r.err.find(option), std::string::npos) << shown << "\n" << r.err;
      EXPECT_EQ(r.out, "") << shown;
      EXPECT_TRUE(files().empty()) << shown;
    }
  // And the spring run's own --until.
  for (const std::string value : {"-1", "0", "nan", "inf", "x"}) {
    const Result r = run({"spring", "--until=" + value, "--csv", "c.csv"});
    EXPECT_NE(r.status, 0) << "--until=" << value;
    EXPECT_NE(r.err.find("--until"), std::string::npos) << "--until=" << value << "\n" << r.err;
    EXPECT_TRUE(files().empty()) << "--until=" << value;
  }
}

// Every parameter of the engine's tables is refused by its rule on every
// command that takes it: the values no rule lets through, and for a
// positive value the ones at or below 0 (1e-50 is 0 in single precision).
// A command that forgot a parameter's check runs instead.
TEST_F(StudyCli, EveryParameterIsRefusedByItsRuleOnEveryCommand) {
  auto refused = [this](const auto& table, const std::vector<std::vector<std::string>>& commands) {
    for (const auto& p : table) {
      if (!p.flown) continue;
      std::vector<std::string> bad = {"nan", "inf", "-inf", "1e39", "-1e39"};
      if (p.rule == Rule::Positive) bad.insert(bad.end(), {"0", "-0", "-1", "1e-50"});
      for (const auto& command : commands)
        for (const std::string& value : bad) {
          std::vector<std::string> args = command;
          args.push_back("--" + std::string(p.name) + "=" + value);
          args.insert(args.end(), {"--csv", "c.csv"});
          std::string shown;
          for (const std::string& a : args) shown += a + " ";
          const Result r = run(args);
          EXPECT_EQ(r.status, 1) << shown;
          EXPECT_NE(r.err.find("--" + std::string(p.name) + " must"), std::string::npos)
              << shown << "\n"
              << r.err;
          EXPECT_TRUE(files().empty()) << shown;
        }
    }
  };
  refused(kFlightParameters,
          {{"flight"}, {"flight", "--drag", "quadratic"}, {"convergence", "flight"}});
  refused(kSpringParameters, {{"spring"}, {"convergence", "spring"}});
}

// What every figure writes in each colour but black, read back from its
// SVG: PLplot writes markers and legend labels as text, characters as
// &#x..; references. ASCII comes back as text, other characters stay as
// references.
std::map<std::string, std::set<std::string>> textByColour(const std::string& svg) {
  static const std::regex text(
      R"re(<text[^>]*fill="#([0-9A-Fa-f]{6})"[^>]*>\s*<tspan[^>]*>([^<]*)</tspan>)re");
  static const std::regex reference("&#x([0-9a-fA-F]+);");
  std::map<std::string, std::set<std::string>> found;
  for (auto m = std::sregex_iterator(svg.begin(), svg.end(), text); m != std::sregex_iterator();
       ++m) {
    std::string colour = (*m)[1];
    for (char& c : colour) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (colour == "000000") continue;
    const std::string raw = (*m)[2];
    std::string decoded;
    auto last = raw.cbegin();
    for (auto r = std::sregex_iterator(raw.begin(), raw.end(), reference);
         r != std::sregex_iterator(); ++r) {
      decoded.append(last, (*r)[0].first);
      const unsigned long code = std::stoul((*r)[1], nullptr, 16);
      decoded += code < 0x80 ? std::string(1, static_cast<char>(code)) : std::string((*r)[0]);
      last = (*r)[0].second;
    }
    decoded.append(last, raw.cend());
    found[colour].insert(decoded);
  }
  return found;
}

// Every figure of every command, with every scheme: each scheme's points
// carry its own marker, and its legend label its title, in its own colour,
// as the scheme table gives them. The markers by the Unicode characters
// PLplot's SVG shows them as.
TEST_F(StudyCli, FiguresDrawEachSchemeInItsColourAndMarker) {
  const std::map<std::string, std::string> shapeOf = {
      {"&#x25cb;", "circle"},  {"&#x25a1;", "square"},        {"&#x25b3;", "triangle"},
      {"&#x2662;", "diamond"}, {"&#xd7;", "cross"},           {"+", "plus"},
      {"&#x2729;", "star"},    {"&#x25bc;", "triangle-down"}, {"&#x2022;", "hexagon"}};
  std::string all;
  // colour -> marker and title, of every scheme, and of the schemes a
  // convergence study sweeps over dt (the step figure) and over rtol (the
  // tolerance figure)
  std::map<std::string, std::set<std::string>> expected, fixedStep, adaptive;
  for (const SchemeInfo& s : kSchemes) {
    all += (all.empty() ? "" : ",") + std::string(s.name);
    char hex[8];
    std::snprintf(hex, sizeof hex, "%02X%02X%02X", static_cast<int>(std::lround(s.colour.r * 255)),
                  static_cast<int>(std::lround(s.colour.g * 255)),
                  static_cast<int>(std::lround(s.colour.b * 255)));
    expected[hex] = {std::string(s.marker), std::string(s.title)};
    (s.kind == SchemeKind::Adaptive ? adaptive : fixedStep)[hex] = expected[hex];
  }
  ASSERT_EQ(expected.size(), std::size(kSchemes)) << "two schemes share a colour";
  ASSERT_FALSE(adaptive.empty());
  const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> commands = {
      {{"flight"}, {"path", "error"}},
      {{"spring", "--until", "3"}, {"height", "error", "phase", "energy"}},
      {{"convergence", "flight", "--levels", "3", "--rtol-levels", "3"},
       {"step", "work", "tolerance"}},
      {{"convergence", "spring", "--levels", "3", "--rtol-levels", "3"},
       {"step", "work", "tolerance"}},
  };
  for (const auto& [command, figures] : commands)
    for (const std::string& figure : figures) {
      std::vector<std::string> args = command;
      args.insert(args.end(), {"--schemes", all, "--figure", figure, "--plot", "f.svg"});
      std::string shown;
      for (const std::string& a : args) shown += a + " ";
      ASSERT_EQ(run(args).status, 0) << shown;
      // A label may go on after the title: "RK4 (drift 0.474)".
      auto meaning = [&](const std::string& t) {
        if (shapeOf.count(t)) return shapeOf.at(t);
        for (const SchemeInfo& s : kSchemes)
          if (t == s.title || t.rfind(std::string(s.title) + " (", 0) == 0)
            return std::string(s.title);
        return t;
      };
      std::map<std::string, std::set<std::string>> drawn;
      for (const auto& [colour, texts] : textByColour(slurp(path("f.svg")))) {
        for (const std::string& t : texts) {
          // Other colours (the grey slope references) carry no marker.
          if (!expected.count(colour))
            EXPECT_EQ(shapeOf.count(t), 0u) << shown << ": " << colour << " draws " << t;
          else
            drawn[colour].insert(meaning(t));
        }
      }
      EXPECT_EQ(drawn, figure == "step"        ? fixedStep
                       : figure == "tolerance" ? adaptive
                                               : expected)
          << shown;
      unlink(path("f.svg").c_str());
    }
}

// SIGINT or SIGTERM in the middle of a long study: status 128 + the signal,
// and neither the outputs nor their temporary files are left.
TEST_F(StudyCli, InterruptedStudyLeavesNoFile) {
  for (const int signal : {SIGINT, SIGTERM}) {
    const pid_t pid = start({"convergence", "spring", "--levels", "22", "--double", "--csv",
                             "c.csv", "--summary", "s.csv", "--plot", "c.png"},
                            path(".out"), path(".err"));
    // Wait until the temporary files exist, then interrupt.
    for (int i = 0; i < 2000 && files().size() < 3; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(files().size(), 3u);
    kill(pid, signal);
    EXPECT_EQ(finish(pid), 128 + signal);
    EXPECT_TRUE(files().empty());
    EXPECT_NE(
        slurp(path(".err")).find(signal == SIGINT ? "stopped by SIGINT" : "stopped by SIGTERM"),
        std::string::npos);
  }
}

// Outputs that are not plain files: a symbolic link's target is replaced
// and the link kept, a FIFO and the process's own standard output are
// written in place, and extensions are read in any case.
TEST_F(StudyCli, LinksFifosAndStandardOutput) {
  ASSERT_EQ(symlink("target.csv", path("link.csv").c_str()), 0);
  ASSERT_EQ(run({"flight", "--csv", "link.csv"}).status, 0);
  struct stat st {};
  ASSERT_EQ(lstat(path("link.csv").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(slurp(path("target.csv")).rfind("scheme,step,t,", 0), 0u);

  ASSERT_EQ(mkfifo(path("pipe.csv").c_str(), 0600), 0);
  std::string piped;
  std::thread reader([&] { piped = slurp(path("pipe.csv")); });
  const Result viaFifo = run({"spring", "--summary", "pipe.csv"});
  reader.join();
  EXPECT_EQ(viaFifo.status, 0) << viaFifo.err;
  EXPECT_EQ(piped.rfind("scheme,steps,evaluations,stop,", 0), 0u) << piped;
  ASSERT_EQ(lstat(path("pipe.csv").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));

  const Result viaStdout = run({"flight", "--csv", "/dev/stdout"});
  EXPECT_EQ(viaStdout.status, 0) << viaStdout.err;
  EXPECT_EQ(viaStdout.out.rfind("scheme,step,t,x,", 0), 0u);  // the CSV instead of the table

  EXPECT_EQ(run({"flight", "--plot", "F.PNG"}).status, 0);
  EXPECT_EQ(slurp(path("F.PNG")).substr(1, 3), "PNG");
}

// The energy lesson of the README: the undamped spring at dt 0.05 s to
// T = 10 s. No scheme reaches the anchor; Euler's energy grows, symplectic
// Euler's and Verlet's stay bounded, midpoint's drifts, RK4's hardly moves.
TEST_F(StudyCli, EnergyLessonOfTheUndampedSpring) {
  const Result r = run({"spring", "--kd", "0", "--dt", "0.05", "--until", "10", "--schemes",
                        "euler,midpoint,rk4,symplectic-euler,verlet", "--summary", "-"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::map<std::string, double> drift;
  for (const Row& s : parseCsv(
           r.out,
           "scheme,steps,evaluations,stop,few_steps,final_height,"
           "resting_height,max_height_error,energy_drift,energy_balance_drift,rejected,wall_ms")) {
    EXPECT_EQ(s.at("stop"), "until");
    drift[s.at("scheme")] = num(s, "energy_drift");
  }
  EXPECT_GT(drift["euler"], 1.0);
  EXPECT_LT(drift["symplectic-euler"], 0.1);
  EXPECT_LT(drift["verlet"], 0.01);
  EXPECT_LT(drift["midpoint"], 0.01);
  EXPECT_LT(drift["rk4"], 1e-4);
  // Bounded: doubling T leaves Verlet's largest deviation where it was,
  // while Euler's and midpoint's grow.
  const Result longer = run({"spring", "--kd", "0", "--dt", "0.05", "--until", "20", "--schemes",
                             "midpoint,verlet", "--summary", "-"});
  for (const Row& s : parseCsv(
           longer.out,
           "scheme,steps,evaluations,stop,few_steps,final_height,"
           "resting_height,max_height_error,energy_drift,energy_balance_drift,rejected,wall_ms")) {
    if (s.at("scheme") == "verlet") {
      EXPECT_NEAR(num(s, "energy_drift"), drift["verlet"], 0.1 * drift["verlet"]);
    } else {
      EXPECT_GT(num(s, "energy_drift"), 1.5 * drift["midpoint"]);
    }
  }
}

// The slope of log error against log x over rows, by least squares.
double fittedSlope(const std::vector<Row>& rows, const std::string& x) {
  double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (const Row& r : rows) {
    const double a = std::log(num(r, x)), b = std::log(num(r, "error"));
    n += 1, sx += a, sy += b, sxx += a * a, sxy += a * b;
  }
  return (n * sxy - sx * sy) / (n * sxx - sx * sx);
}

// The landing placed on the scheme's own interpolant: RK4's miss falls to
// the size of its path error, and the landing point converges with each
// scheme's order; on the straight line it converges at most with order 2.
TEST_F(StudyCli, TheInterpolatedLandingConvergesWithTheSchemesOrder) {
  for (const std::string dt : {"0.1", "0.05"}) {
    std::map<std::string, double> ratio;
    for (const std::string landing : {"linear", "interpolated"}) {
      const Result r =
          run({"flight", "--schemes", "rk4", "--dt", dt, "--landing", landing, "--summary", "-"});
      ASSERT_EQ(r.status, 0) << r.err;
      const Row rk4 = parseCsv(r.out,
                               "scheme,steps,evaluations,stop,few_steps,landing_x,landing_z,"
                               "flight_time,landing_miss,max_path_error,rejected,wall_ms")
                          .at(0);
      ratio[landing] = num(rk4, "landing_miss") / num(rk4, "max_path_error");
    }
    EXPECT_LT(ratio["interpolated"], 10.0) << "dt " << dt;
    EXPECT_GT(ratio["linear"], 1000.0) << "dt " << dt;
  }
  const std::map<std::string, int> order = {{"euler", 1}, {"midpoint", 2}, {"rk4", 4}};
  for (const std::string landing : {"linear", "interpolated"}) {
    const Result r =
        run({"convergence", "flight", "--quantity", "landing", "--landing", landing, "--schemes",
             "euler,midpoint,rk4", "--double", "--levels", "7", "--csv", "-"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::map<std::string, std::vector<Row>> rows;
    for (const Row& row :
         parseCsv(r.out, "scheme,precision,h,steps,evaluations,error,order,floor,rtol,rejected"))
      if (row.at("precision") == "double" && row.at("floor") == "0")
        rows[row.at("scheme")].push_back(row);
    for (const auto& [scheme, p] : order) {
      ASSERT_GE(rows[scheme].size(), 3u) << scheme;
      const double slope = fittedSlope(rows[scheme], "h");
      if (landing == "interpolated")
        EXPECT_NEAR(slope, p, 0.7) << scheme;
      else
        EXPECT_LT(slope, 2.1) << scheme;
    }
  }
}

// An adaptive scheme's error follows its tolerance: within 10 x rtol at
// every level from 1e-4 to 1e-10 on both models, falling about as rtol does
// on the spring, whose motion makes the controller work.
TEST_F(StudyCli, AdaptiveSchemesKeepTheirTolerance) {
  for (const std::string model : {"flight", "spring"}) {
    const Result r = run({"convergence", model, "--sweep", "rtol", "--csv", "-"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::map<std::string, std::vector<Row>> rows;
    for (const Row& row :
         parseCsv(r.out, "scheme,precision,h,steps,evaluations,error,order,floor,rtol,rejected")) {
      EXPECT_EQ(row.at("precision"), "double");
      EXPECT_EQ(row.at("h"), "");
      EXPECT_LE(num(row, "error"), 10 * num(row, "rtol")) << model << " " << row.at("scheme");
      EXPECT_GE(std::stoll(row.at("rejected")), 0);
      rows[row.at("scheme")].push_back(row);
    }
    for (const SchemeInfo& s : kSchemes) {
      if (s.kind != SchemeKind::Adaptive) continue;
      const std::vector<Row>& levels = rows[std::string(s.name)];
      ASSERT_EQ(levels.size(), 7u) << s.name;
      EXPECT_DOUBLE_EQ(num(levels.front(), "rtol"), 1e-4);
      EXPECT_DOUBLE_EQ(num(levels.back(), "rtol"), 1e-10);
      // More accuracy costs more steps.
      EXPECT_GT(std::stoll(levels.back().at("steps")), std::stoll(levels.front().at("steps")));
      if (model == "spring") {
        EXPECT_NEAR(fittedSlope(levels, "rtol"), 1.0, 0.2) << s.name;
      }
    }
  }
}

// The implicit schemes show their orders, 1 and 2, on the ordinary spring.
TEST_F(StudyCli, ImplicitSchemesShowTheirOrders) {
  const Result r = run({"convergence", "spring", "--schemes", "backward-euler,implicit-midpoint",
                        "--levels", "5", "--csv", "-"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::map<std::string, std::vector<Row>> rows;
  for (const Row& row :
       parseCsv(r.out, "scheme,precision,h,steps,evaluations,error,order,floor,rtol,rejected"))
    rows[row.at("scheme")].push_back(row);
  ASSERT_EQ(rows["backward-euler"].size(), 5u);
  EXPECT_NEAR(fittedSlope(rows["backward-euler"], "h"), 1.0, 0.15);
  EXPECT_NEAR(fittedSlope(rows["implicit-midpoint"], "h"), 2.0, 0.1);
}

// The stiff spring's stability limits as CSV, judged against closed forms
// worked by hand, and the readable table naming its bounds.
TEST_F(StudyCli, StabilityCsvOfTheStiffSpringAgreesWithClosedForms) {
  const Result r = run({"stability", "spring", "--ks", "10000", "--mass", "1", "--kd", "1", "--dt",
                        "0.01", "--csv", "-"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  std::string names;
  for (const Field<StabilityRow>& f : kStabilityFields)
    names += (names.empty() ? "" : ",") + std::string(f.name);
  std::map<std::string, Row> rows;
  for (const Row& row : parseCsv(r.out, names)) rows[row.at("scheme")] = row;
  // The default schemes: every fixed-step one.
  EXPECT_EQ(rows.size(), 7u);
  // k = 1e4, c = 1: Euler 2a/(a²+ω²) = kd/ks; symplectic Euler's eigenvalue
  // -1 at h²k + 2hc - 4 = 0.
  const std::map<std::string, double> closed{
      {"euler", 1e-4}, {"symplectic-euler", (-1.0 + std::sqrt(4e4 + 1)) / 1e4}};
  for (const std::string s : {"euler", "midpoint", "rk4", "symplectic-euler", "verlet"}) {
    SCOPED_TRACE(s);
    ASSERT_TRUE(rows.count(s));
    const Row& row = rows[s];
    EXPECT_EQ(row.at("kind"), "explicit");
    const double measured = num(row, "measured_dt"), theory = num(row, "theory_dt");
    EXPECT_LT(std::fabs(measured / theory - 1.0), 0.01);
    EXPECT_LT(std::fabs(num(row, "relative_difference")), 0.01);
    if (closed.count(s)) {
      EXPECT_NEAR(theory, closed.at(s), 1e-6 * closed.at(s));
    }
    // dt 0.01 lies between midpoint's limit (3.5e-3) and RK4's (2.8e-2).
    EXPECT_EQ(row.at("unstable_at_dt"), s == "euler" || s == "midpoint" ? "1" : "0");
  }
  EXPECT_EQ(rows["verlet"].at("bound"), "spectral radius = 1");
  EXPECT_EQ(rows["rk4"].at("bound"), "|R(hλ)| = 1");
  for (const std::string s : {"backward-euler", "implicit-midpoint"}) {
    SCOPED_TRACE(s);
    EXPECT_EQ(rows[s].at("measured_dt"), "");
    EXPECT_EQ(rows[s].at("theory_dt"), "");
    EXPECT_EQ(rows[s].at("unstable_at_dt"), "0");
    EXPECT_GT(num(rows[s], "searched_to"), 1e3);
  }
  const Result table = run({"stability", "spring", "--ks", "10000", "--mass", "1", "--kd", "1",
                            "--schemes", "rk4,dopri5"});
  ASSERT_EQ(table.status, 0) << table.err;
  EXPECT_NE(table.out.find("|R(hλ)| = 1"), std::string::npos) << table.out;
  EXPECT_NE(table.out.find("dopri5: not applicable"), std::string::npos) << table.out;
  EXPECT_NE(table.out.find("a = 0.5 1/s"), std::string::npos) << table.out;
}

}  // namespace
