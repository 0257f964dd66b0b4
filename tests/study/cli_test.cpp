// pbsim-study run as a user runs it: arguments in, tables, CSV and figures
// out, read back and checked.

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ballisticssetup.h"
#include "ballisticssim.h"
#include "schemes.h"
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

  // Runs pbsim-study with `args`, standard input from /dev/null, for at most a minute.
  Result run(std::vector<std::string> args) {
    const std::string out = dir_ + "/.stdout", err = dir_ + "/.stderr";
    const pid_t pid = fork();
    if (pid == 0) {
      if (chdir(dir_.c_str()) != 0) _exit(126);
      const int in = open("/dev/null", O_RDONLY);
      const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(in, 0);
      dup2(o, 1);
      dup2(e, 2);
      std::vector<char*> argv{const_cast<char*>("pbsim-study")};
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(PBSIM_STUDY_PATH, argv.data());
      _exit(127);
    }
    Result r;
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        ADD_FAILURE() << "pbsim-study did not finish within a minute";
        return r;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (WIFEXITED(status)) r.status = WEXITSTATUS(status);
    r.out = slurp(out);
    r.err = slurp(err);
    unlink(out.c_str());
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
      parseCsv(csv.out, "scheme,step,t,x,y,z,vx,vy,vz,exact_x,exact_y,exact_z,path_error");
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
  const auto rows = parseCsv(csv.out, "scheme,step,t,y,v,exact_y,height_error,energy");
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
  const auto rows = parseCsv(slurp(path("out.csv")),
                             "scheme,precision,h,steps,evaluations,error,order,floor");
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

}  // namespace
