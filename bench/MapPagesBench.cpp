// Measures the page-mapping pass that opening a database runs against a plain
// front-to-back read of the same file, both from a hot page cache. The pass
// should stay close to the read: all it adds is a look at every page header.
//
// The file is built once per run from a real fixture, repeated to 1 GiB, with
// every page renumbered to its new position so it opens like a real file.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/AppSettings.h"
#include "engine/DatabaseFile.h"
#include "platform/ReadOnlyFile.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kPageBytes = 8192;
constexpr std::size_t kChunkBytes = 1 << 20;
constexpr std::size_t kPagesPerChunk = kChunkBytes / kPageBytes;
constexpr std::uint64_t kMinFileBytes = std::uint64_t{1} << 30;
constexpr std::size_t kPageNumberOffset = 32;
constexpr const char* kPreferredFixture = "sql2014_pubs.mdf";

fs::path FixturesFolder() {
  if (const char* named = std::getenv("QUILLMARK_FIXTURES"); named && *named) return named;
  return fs::path(QUILLMARK_SOURCE_DIR) / ".." / "shared" / "fixtures" / "real";
}

// The preferred fixture, else the first .mdf by name; empty when there is none.
fs::path PickFixture(const fs::path& folder) {
  std::error_code error;
  if (fs::is_regular_file(folder / kPreferredFixture, error)) return folder / kPreferredFixture;
  std::vector<fs::path> found;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    std::string extension = entry.path().extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".mdf" && entry.is_regular_file(error)) found.push_back(entry.path());
  }
  std::sort(found.begin(), found.end());
  return found.empty() ? fs::path() : found.front();
}

// A read buffer starting on a page boundary.
struct alignas(4096) Chunk {
  std::uint8_t bytes[kChunkBytes];
};

// The scratch file's name for the signal handler, which may only unlink.
char g_scratchPath[4096];

extern "C" void RemoveScratchAndDie(int signal) {
  ::unlink(g_scratchPath);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

// The 1 GiB file; removed when the run ends or is interrupted.
class ScratchFile {
 public:
  explicit ScratchFile(fs::path path) : path_(std::move(path)) {
    std::snprintf(g_scratchPath, sizeof g_scratchPath, "%s", path_.c_str());
    std::signal(SIGINT, RemoveScratchAndDie);
    std::signal(SIGTERM, RemoveScratchAndDie);
  }
  ~ScratchFile() {
    std::error_code error;
    fs::remove(path_, error);
  }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

bool WriteScaledCopy(const fs::path& fixture, const fs::path& target, std::uint64_t fileBytes, std::string& problem) {
  std::ifstream in(fixture, std::ios::binary);
  std::vector<char> source((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::size_t sourcePages = source.size() / kPageBytes;
  if (sourcePages == 0) {
    problem = "cannot read a whole page from " + fixture.string();
    return false;
  }

  const int out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (out < 0) {
    problem = "cannot create " + target.string() + ": " + std::strerror(errno);
    return false;
  }
  std::vector<char> chunk(kChunkBytes);
  const std::uint64_t totalPages = (fileBytes + kPageBytes - 1) / kPageBytes;
  bool written = true;
  for (std::uint64_t first = 0; first < totalPages && written; first += kPagesPerChunk) {
    const std::size_t pages = static_cast<std::size_t>(std::min<std::uint64_t>(kPagesPerChunk, totalPages - first));
    for (std::size_t i = 0; i < pages; ++i) {
      const std::uint64_t position = first + i;
      char* page = chunk.data() + i * kPageBytes;
      std::memcpy(page, source.data() + (position % sourcePages) * kPageBytes, kPageBytes);
      // The stored page number is little-endian, as on every host this runs on.
      const auto number = static_cast<std::int32_t>(position);
      std::memcpy(page + kPageNumberOffset, &number, sizeof number);
    }
    const std::size_t size = pages * kPageBytes;
    written = ::write(out, chunk.data(), size) == static_cast<ssize_t>(size);
  }
  // Writing back the dirty pages now keeps that disk traffic out of the timed runs.
  written = written && ::fdatasync(out) == 0;
  if (!written) problem = "cannot write " + target.string() + ": " + std::strerror(errno);
  ::close(out);
  return written;
}

// Reads the whole file with 1 MiB reads; returns the bytes read.
std::uint64_t ReadThrough(const quillmark::platform::ReadOnlyFile& file, std::uint8_t* buffer) {
  std::uint64_t total = 0;
  while (total < file.Length()) {
    const std::size_t got = file.ReadAt(total, buffer, kChunkBytes);
    if (got == 0) break;
    total += got;
  }
  return total;
}

// All bytes over all real time of a benchmark's runs, for the closing line.
struct Throughput {
  double bytes = 0;
  double seconds = 0;

  double PerSecond() const { return seconds > 0 ? bytes / seconds : 0; }
};
Throughput g_readThroughput;
Throughput g_mapThroughput;

using Clock = std::chrono::steady_clock;

void PlainSequentialRead(benchmark::State& state, const std::string& path) {
  // Page-aligned like any careful reader's buffer: on some CPUs (AMD EPYC here)
  // the kernel copies into a buffer a few bytes past a page boundary at half speed.
  auto buffer = std::make_unique_for_overwrite<Chunk>();
  std::uint64_t bytes = 0;
  const auto start = Clock::now();
  for (auto _ : state) {
    // Opened per iteration, as the mapping pass opens its own file.
    auto file = quillmark::platform::ReadOnlyFile::Open(path);
    if (!file) {
      state.SkipWithError("cannot open the benchmark file");
      return;
    }
    file->AdviseSequential();
    const std::uint64_t got = ReadThrough(*file, buffer->bytes);
    benchmark::DoNotOptimize(buffer->bytes);
    if (got != file->Length()) {
      state.SkipWithError("short read of the benchmark file");
      return;
    }
    bytes += got;
  }
  g_readThroughput.seconds += std::chrono::duration<double>(Clock::now() - start).count();
  g_readThroughput.bytes += static_cast<double>(bytes);
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

void MapPages(benchmark::State& state, const std::string& path) {
  quillmark::ResetSettings();
  std::uint64_t bytes = 0;
  const auto start = Clock::now();
  for (auto _ : state) {
    auto db = quillmark::DatabaseFile::Open(path, 0, nullptr);
    if (!db->opened) {
      state.SkipWithError("the mapping pass did not open the benchmark file");
      return;
    }
    benchmark::DoNotOptimize(db->dataPages.size());
    bytes += db->fileLength;
  }
  g_mapThroughput.seconds += std::chrono::duration<double>(Clock::now() - start).count();
  g_mapThroughput.bytes += static_cast<double>(bytes);
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

// The bytes the page maps hold: their entries as allocated, and per key a tree
// node with its list.
std::uint64_t PageMapBytes(const quillmark::DatabaseFile& db) {
  constexpr std::uint64_t kNodeBytes = 32 + sizeof(quillmark::PageMap::value_type);
  std::uint64_t bytes = 0;
  for (const quillmark::PageMap* map : {&db.systemPages, &db.dataPages, &db.iamPages})
    for (const auto& [key, list] : *map) bytes += kNodeBytes + list.capacity() * sizeof(quillmark::PageEntry);
  return bytes;
}

// The resident set in KiB.
long ResidentKib() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

// Maps a 4 GiB file of the fixture's pages (written on first use, beside the
// 1 GiB one): "map_bytes_per_page" is what the maps hold afterwards,
// "peak_bytes_per_page" the growth of the resident set during the open of a
// child process (the maps while they grow, the read buffer, the file object).
void MapPagesOf4GiB(benchmark::State& state, const fs::path& fixture, const fs::path& folder) {
  static ScratchFile big(folder / ("quillmark-bench-4gib-" + std::to_string(::getpid()) + ".mdf"));
  static bool written = false;
  std::string problem;
  if (!written && !WriteScaledCopy(fixture, big.path(), std::uint64_t{4} << 30, problem)) {
    state.SkipWithError(problem.c_str());
    return;
  }
  written = true;
  const std::string path = big.path().string();
  int ends[2];
  if (::pipe(ends) != 0) {
    state.SkipWithError("no pipe");
    return;
  }
  if (const pid_t child = ::fork(); child == 0) {
    const long before = ResidentKib();
    quillmark::ResetSettings();
    auto db = quillmark::DatabaseFile::Open(path, 0, nullptr);
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const long grown = db->opened ? usage.ru_maxrss - before : -1;
    [[maybe_unused]] const auto sent = ::write(ends[1], &grown, sizeof grown);
    ::_exit(0);
  } else {
    long grownKib = -1;
    if (::read(ends[0], &grownKib, sizeof grownKib) != sizeof grownKib) grownKib = -1;
    ::waitpid(child, nullptr, 0);
    ::close(ends[0]);
    ::close(ends[1]);
    state.counters["peak_bytes_per_page"] = static_cast<double>(grownKib) * 1024.0 / static_cast<double>(std::uint64_t{4} << 30 >> 13);
  }
  quillmark::ResetSettings();
  std::uint64_t mapBytes = 0, pages = 0;
  for (auto _ : state) {
    auto db = quillmark::DatabaseFile::Open(path, 0, nullptr);
    if (!db->opened) {
      state.SkipWithError("the 4 GiB file did not open");
      return;
    }
    mapBytes = PageMapBytes(*db);
    pages = db->pageCount;
  }
  state.counters["map_bytes_per_page"] = pages ? static_cast<double>(mapBytes) / static_cast<double>(pages) : 0;
  state.counters["map_MiB"] = static_cast<double>(mapBytes) / (1024.0 * 1024.0);
}

}  // namespace

void RegisterCatalogBenchmarks(const fs::path& fixturesFolder);
void RegisterRowsBenchmarks(const fs::path& scratchFolder);

int main(int argc, char** argv) {
  // The pass allocates its own 1 MiB read buffer. Pin glibc's mmap threshold at
  // its start-up value so that buffer comes from where it does in a freshly
  // started tool, not from wherever the large buffers freed while making the
  // file leave it; its alignment, and so the copy speed, depends on that.
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  const fs::path folder = FixturesFolder();
  const fs::path fixture = PickFixture(folder);
  if (fixture.empty()) {
    std::fprintf(stderr, "quillmark-bench: no .mdf file in %s (set QUILLMARK_FIXTURES to a folder of real files)\n",
                 folder.c_str());
    return 1;
  }

  fs::path scratchFolder = fs::temp_directory_path();
  if (const char* named = std::getenv("QUILLMARK_BENCH_DIR"); named && *named) scratchFolder = named;
  ScratchFile scratch(scratchFolder / ("quillmark-bench-" + std::to_string(::getpid()) + ".mdf"));
  std::string problem;
  if (!WriteScaledCopy(fixture, scratch.path(), kMinFileBytes, problem)) {
    std::fprintf(stderr, "quillmark-bench: %s\n", problem.c_str());
    return 1;
  }
  const std::string path = scratch.path().string();

  // Both benchmarks measure reads from the page cache, so fill it first.
  {
    auto file = quillmark::platform::ReadOnlyFile::Open(path);
    auto buffer = std::make_unique_for_overwrite<Chunk>();
    if (!file || ReadThrough(*file, buffer->bytes) != file->Length()) {
      std::fprintf(stderr, "quillmark-bench: cannot read back %s\n", path.c_str());
      return 1;
    }
  }
  std::fprintf(stderr, "Benchmark file: %s (%.2f GiB, pages of %s)\n", path.c_str(),
              static_cast<double>(fs::file_size(scratch.path())) / static_cast<double>(kMinFileBytes),
              fixture.filename().c_str());

  benchmark::RegisterBenchmark("PlainSequentialRead", PlainSequentialRead, path)
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("MapPages", MapPages, path)->UseRealTime()->Unit(benchmark::kMillisecond);

  benchmark::RegisterBenchmark("MapPagesOf4GiB", MapPagesOf4GiB, fixture, scratchFolder)
      ->UseRealTime()
      ->Iterations(1)
      ->Unit(benchmark::kMillisecond);

  RegisterCatalogBenchmarks(folder);
  RegisterRowsBenchmarks(scratchFolder);

  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  const double read = g_readThroughput.PerSecond();
  const double map = g_mapThroughput.PerSecond();
  constexpr double kGiB = 1024.0 * 1024.0 * 1024.0;
  if (read > 0 && map > 0)
    std::printf("map/read throughput ratio: %.2f (map %.2f GiB/s, read %.2f GiB/s)\n", map / read, map / kGiB,
                read / kGiB);
  else
    std::printf("map/read throughput ratio: not available (both benchmarks must run)\n");
  return 0;
}
