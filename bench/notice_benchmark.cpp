// Cost of the level-loaded notice next to the file copy it makes. The notice asks the
// host for the loaded map, finds its row, advances the cursor, prints two console lines
// and copies the next version of the level file into data; the floor is a plain
// CopyFileA of a file of the same size. Runs against the substitute host in a temporary
// server folder, for level files of 64 KiB, 1 MiB and 16 MiB, and prints the ratio
// notice / plain copy per size at the end.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "host/host_binding.h"
#include "platform/win32.h"
#include "rotation/level_rotation.h"
#include "settings/version_settings.h"
#include "substitute_host.h"

namespace {

constexpr long kSizes[] = {64L << 10, 1L << 20, 16L << 20};

const char kLevelFile[] = "C&C_Complex.ldd";

void Write_File(const std::string& path, long size, char fill) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::string content(static_cast<std::size_t>(size), fill);
  for (std::size_t at = 0; at < content.size(); at += 4096) content[at] = static_cast<char>('A' + at / 4096 % 26);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

// Both versions of Complex at `size` bytes; rewritten only when the size changes.
void Lay_Out_Versions(long size) {
  static long laid_out = 0;
  if (laid_out == size) return;
  Write_File(std::string("Complex1/") + kLevelFile, size, '1');
  Write_File(std::string("Complex2/") + kLevelFile, size, '2');
  laid_out = size;
}

long Data_File_Size() {
  std::error_code error;
  const auto size = std::filesystem::file_size(std::string("data/") + kLevelFile, error);
  return error ? -1 : static_cast<long>(size);
}

// Sends standard output to /dev/null while it lives: the console lines are part of the
// notice's work, but a terminal's speed is not.
class StdoutToNull {
 public:
  StdoutToNull() {
    std::fflush(stdout);
    saved_ = ::dup(STDOUT_FILENO);
    const int null_fd = ::open("/dev/null", O_WRONLY);
    ::dup2(null_fd, STDOUT_FILENO);
    ::close(null_fd);
  }
  ~StdoutToNull() {
    std::fflush(stdout);
    ::dup2(saved_, STDOUT_FILENO);
    ::close(saved_);
  }
  StdoutToNull(const StdoutToNull&) = delete;
  StdoutToNull& operator=(const StdoutToNull&) = delete;

 private:
  int saved_;
};

void BM_LevelLoadedNotice(benchmark::State& state) {
  const long size = state.range(0);
  Lay_Out_Versions(size);
  std::filesystem::remove(std::string("data/") + kLevelFile);
  {
    StdoutToNull quiet;
    Rotate_Loaded_Map();
  }
  if (Data_File_Size() != size) {
    state.SkipWithError("the notice did not copy the level file");
    return;
  }
  StdoutToNull quiet;
  for (auto _ : state) Rotate_Loaded_Map();
  state.SetBytesProcessed(state.iterations() * size);
}

void BM_PlainCopy(benchmark::State& state) {
  const long size = state.range(0);
  Lay_Out_Versions(size);
  const std::string source = std::string("Complex2\\") + kLevelFile;
  const std::string target = std::string("data\\") + kLevelFile;
  for (auto _ : state) {
    if (!CopyFileA(source.c_str(), target.c_str(), FALSE)) {
      state.SkipWithError("the copy failed");
      break;
    }
  }
  state.SetBytesProcessed(state.iterations() * size);
}

// The console table as usual, then notice / plain copy per size, in real and in CPU time:
// the median of the repetitions (one repetition unless --benchmark_repetitions says more).
// Real time includes waiting for the disk, which other processes share; CPU time does not.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  RatioReporter() : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type != Run::RT_Iteration && !median) continue;
      const std::string name = run.run_name.function_name;
      const long size = std::stol(run.run_name.args);
      Times& times = (name == "LevelLoadedNotice" ? notice_ : plain_)[size];
      if (median) {
        times.median = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
      } else {
        times.real.push_back(run.GetAdjustedRealTime());
        times.cpu.push_back(run.GetAdjustedCPUTime());
      }
    }
  }

  void Print_Ratios() const {
    std::printf("\nnotice / plain copy     real     cpu\n");
    for (long size : kSizes) {
      const auto notice = notice_.find(size);
      const auto plain = plain_.find(size);
      if (notice == notice_.end() || plain == plain_.end()) continue;
      const auto [notice_real, notice_cpu] = notice->second.Median();
      const auto [plain_real, plain_cpu] = plain->second.Median();
      if (plain_real <= 0 || plain_cpu <= 0) continue;
      std::printf("  %6ld KiB         %7.3f %7.3f\n", size >> 10, notice_real / plain_real, notice_cpu / plain_cpu);
    }
  }

 private:
  struct Times {
    std::vector<double> real, cpu;
    std::pair<double, double> median{-1, -1};  // from the aggregate, where reported

    std::pair<double, double> Median() const {
      if (median.first >= 0) return median;
      return {Middle(real), Middle(cpu)};
    }
  };

  static double Middle(std::vector<double> times) {
    if (times.empty()) return -1;
    std::sort(times.begin(), times.end());
    const std::size_t middle = times.size() / 2;
    return times.size() % 2 ? times[middle] : (times[middle - 1] + times[middle]) / 2;
  }

  std::map<long, Times> notice_, plain_;
};

}  // namespace

int main(int argc, char** argv) {
  // The substitute host stands in for the server: its image mapped once, the plug-in
  // attached to it, a server folder with Complex configured for two versions.
  substitute_host::Map_Host_Image(substitute_host::Layout{{0}, 0});
  DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr);

  const std::filesystem::path previous = std::filesystem::current_path();
  char pattern[] = "/tmp/harvane-bench-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) {
    std::perror("cannot create a server folder");
    return 1;
  }
  const std::filesystem::path server_folder = pattern;
  std::filesystem::current_path(server_folder);
  std::filesystem::create_directory("data");
  std::ofstream("Harvane.ini") << "[General]\nComplex=2\n";
  {
    StdoutToNull quiet;
    Create_And_Load_Current_Settings();
  }
  substitute_host::Set_Loaded_Map("C&C_Complex.mix");

  for (long size : kSizes) {
    benchmark::RegisterBenchmark("LevelLoadedNotice", BM_LevelLoadedNotice)->Arg(size)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("PlainCopyFileA", BM_PlainCopy)->Arg(size)->Unit(benchmark::kMicrosecond);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.Print_Ratios();
  benchmark::Shutdown();

  Destroy_Current_Settings();
  std::filesystem::current_path(previous);
  std::filesystem::remove_all(server_folder);
  return 0;
}
