// Start-up and extraction costs on a payload the size of the real one:
// FormStreamReader against one memcpy of the stream, ExtractToFile against a
// plain streaming zlib inflate to a file, the check of every item before an
// install against extracting them, with the peak memory of each; and, as whole
// processes, `payload extract --item 2` against a plain inflate of the same
// zlib stream loaded from a file.
//
// Usage: extract_bench [OUTPUT_DIR]   (default: the system's temporary folder)
#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/errors.h"
#include "framework/native_files.h"
#include "storage/exes.h"
#include "storage/form_writer.h"

namespace {

using Clock = std::chrono::steady_clock;

// Sizes of the installer's four files; the third is the ~30 MB item.
const size_t kItemSizes[] = {2997248, 147, 30943220, 472576};
const char* const kItemNames[] = {"exe", "tnsname", "oracle", "desinstalar"};
constexpr int kRuns = 5;

// Bytes that deflate to about 85 % of their size, as executables do: runs of
// noise with stretches of zeros between them.
std::vector<uint8_t> SyntheticFile(size_t size, uint32_t seed) {
  std::vector<uint8_t> bytes(size);
  uint32_t state = seed;
  for (size_t i = 0; i < size; ++i) {
    state = state * 1664525u + 1013904223u;
    bytes[i] = (i % 1000) < 850 ? static_cast<uint8_t>(state >> 24) : 0;
  }
  return bytes;
}

// Resident set now and its peak since the last reset, in KiB (Linux).
long StatusKiB(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field));
  return -1;
}
long ResidentKiB() { return StatusKiB("VmRSS:"); }
long PeakKiB() { return StatusKiB("VmHWM:"); }
bool ResetPeak() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
  return static_cast<bool>(clear);
}

// Returns freed memory to the system, so that a run's peak counts its own pages.
long SettledResidentKiB() {
  malloc_trim(0);
  return ResidentKiB();
}

struct Measure {
  double seconds;
  long peakAboveKiB;  // of the first run, from a settled start
};

// Best time of several runs; the peak of the first, cold one. `prepare` runs
// before each run, untimed.
template <typename F>
Measure Run(
    long base, F&& work, const std::function<void()>& prepare = [] {}) {
  ResetPeak();
  double best = 1e9;
  long peak = 0;
  for (int run = 0; run < kRuns; ++run) {
    prepare();
    const auto start = Clock::now();
    work();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    if (run == 0) peak = PeakKiB() - base;
  }
  return {best, peak};
}

// Puts a written file and its folder's entry on the disk, as the replacement
// files that extraction writes do before and after their rename.
void SyncAndClose(std::FILE* file, const std::string& path) {
  std::fflush(file);
  fsync(fileno(file));
  std::fclose(file);
  const std::string folder = std::filesystem::path(path).parent_path().string();
  const int descriptor = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (descriptor < 0) return;
  fsync(descriptor);
  close(descriptor);
}

// The same inflate the item does, without the stream classes around it.
void PlainInflateToFile(const uint8_t* data, size_t size, const std::string& path) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) throw Exception("cannot create " + path);
  z_stream z{};
  inflateInit(&z);
  std::vector<uint8_t> buffer(61440);
  z.next_in = const_cast<uint8_t*>(data);
  z.avail_in = static_cast<uInt>(size);
  bool skippedLength = false;
  int status = Z_OK;
  while (status != Z_STREAM_END) {
    z.next_out = buffer.data();
    z.avail_out = static_cast<uInt>(buffer.size());
    status = inflate(&z, Z_NO_FLUSH);
    if (status != Z_OK && status != Z_STREAM_END) break;
    size_t produced = buffer.size() - z.avail_out;
    const uint8_t* start = buffer.data();
    if (!skippedLength && produced >= 4) {  // the length in front is not part of the file
      start += 4;
      produced -= 4;
      skippedLength = true;
    }
    std::fwrite(start, 1, produced, out);
  }
  inflateEnd(&z);
  SyncAndClose(out, path);
}

void Report(const char* what, double seconds, long peakAboveKiB) {
  std::printf("  %-38s %8.1f ms   peak +%7.1f MiB\n", what, seconds * 1000, peakAboveKiB / 1024.0);
}

struct ProcessRun {
  double seconds;
  long peakKiB;  // the child's own resident peak
  int status;
};

// Starts the programs measured as whole processes from a small process of its
// own, forked before the payload is built: a child's resident peak counts what
// it shares with its parent at the fork, which must not be the payload.
class Launcher {
 public:
  Launcher() {
    int requests[2], replies[2];
    if (pipe(requests) != 0 || pipe(replies) != 0) throw Exception("cannot make pipes");
    child_ = fork();
    if (child_ == 0) {
      close(requests[1]);
      close(replies[0]);
      Serve(requests[0], replies[1]);
      _exit(0);
    }
    close(requests[0]);
    close(replies[1]);
    to_ = requests[1];
    from_ = replies[0];
  }
  ~Launcher() {
    close(to_);
    close(from_);
    waitpid(child_, nullptr, 0);
  }

  ProcessRun Run(const std::vector<std::string>& args) {
    std::string request;
    for (const std::string& arg : args) request += arg + '\0';
    const uint32_t length = static_cast<uint32_t>(request.size());
    WriteAll(to_, &length, sizeof length);
    WriteAll(to_, request.data(), request.size());
    ProcessRun result{};
    ReadAll(from_, &result, sizeof result);
    return result;
  }

 private:
  static void WriteAll(int fd, const void* data, size_t size) {
    for (size_t done = 0; done < size;) {
      const ssize_t n = write(fd, static_cast<const char*>(data) + done, size - done);
      if (n <= 0) _exit(1);
      done += static_cast<size_t>(n);
    }
  }
  static bool ReadAll(int fd, void* data, size_t size) {
    for (size_t done = 0; done < size;) {
      const ssize_t n = read(fd, static_cast<char*>(data) + done, size - done);
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }
  static void Serve(int from, int to) {
    uint32_t length = 0;
    while (ReadAll(from, &length, sizeof length)) {
      std::string request(length, '\0');
      if (!ReadAll(from, &request[0], length)) return;
      std::vector<char*> argv;
      for (size_t at = 0; at < request.size(); at = request.find('\0', at) + 1) argv.push_back(&request[at]);
      argv.push_back(nullptr);
      const auto start = Clock::now();
      const pid_t program = fork();
      if (program == 0) {
        if (!std::freopen("/dev/null", "w", stdout)) _exit(126);
        execv(argv[0], argv.data());
        _exit(127);
      }
      int status = 0;
      struct rusage usage {};
      wait4(program, &status, 0, &usage);
      const ProcessRun result{std::chrono::duration<double>(Clock::now() - start).count(), usage.ru_maxrss,
                              WIFEXITED(status) ? WEXITSTATUS(status) : -1};
      WriteAll(to, &result, sizeof result);
    }
  }

  pid_t child_ = -1;
  int to_ = -1, from_ = -1;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Written, then dropped from the page cache: read back from the disk, its pages
// are mapped as any file's are, not as the large blocks a fresh write leaves.
void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  const int descriptor = open(path.c_str(), O_RDONLY);
  if (descriptor < 0) return;
  fdatasync(descriptor);
  posix_fadvise(descriptor, 0, 0, POSIX_FADV_DONTNEED);
  close(descriptor);
}

// The payload the size of the real one, as a form stream.
std::vector<uint8_t> BuildPayload() {
  std::unique_ptr<TFormExe> form = NewPayloadForm();
  for (int i = 0; i < 4; ++i) {
    const std::vector<uint8_t> file = SyntheticFile(kItemSizes[i], 7u + static_cast<uint32_t>(i));
    AddStoredFile(*form->mxStorageFiles, kItemNames[i], std::string(kItemNames[i]) + ".bin", file.data(), file.size(),
                  TCompressionLevel::clDefault);
  }
  return WriteFormStream(*form);
}

// Start-up: the payload read into the host form, against one copy of its bytes.
void CompareLoad(const std::vector<uint8_t>& payload) {
  const Measure copy = Run(SettledResidentKiB(), [&] {
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[payload.size()]);
    std::memcpy(bytes.get(), payload.data(), payload.size());
    volatile uint8_t sink = bytes[payload.size() - 1];  // the copy must happen
    (void)sink;
  });
  const Measure load = Run(SettledResidentKiB(), [&] { ReadPayloadForm(payload.data(), payload.size()); });
  Report("memcpy of the payload stream", copy.seconds, copy.peakAboveKiB);
  Report("FormStreamReader into TFormExe", load.seconds, load.peakAboveKiB);
  std::printf("load / memcpy:       %.2fx (target: within 2x)\n", load.seconds / copy.seconds);
}

// Extraction of the largest item, against a plain inflate of the same bytes;
// whether the file came out whole.
bool CompareExtraction(TmxStoredItem& item, const std::string& outPath) {
  // Each run starts with no output file and no dirty pages, else the one measured
  // second pays for the first one's write-back and truncation.
  const auto freshOutput = [&] {
    std::filesystem::remove(outPath);
    sync();
  };
  const Measure inflate = Run(
      SettledResidentKiB(),
      [&] { PlainInflateToFile(item.StoredData().Memory(), static_cast<size_t>(item.StoredData().Size()), outPath); },
      freshOutput);
  const Measure extract = Run(
      SettledResidentKiB(), [&] { item.ExtractToFile(outPath, NativeFileSystem()); }, freshOutput);
  const bool whole = std::filesystem::file_size(outPath) == kItemSizes[2];
  std::filesystem::remove(outPath);
  Report("plain zlib inflate to a file", inflate.seconds, inflate.peakAboveKiB);
  Report("ExtractToFile", extract.seconds, extract.peakAboveKiB);
  std::printf("extract / inflate:   %.2fx (target: within 1.15x)\n", extract.seconds / inflate.seconds);
  std::printf("extraction peak above the loaded payload: %.2f MiB (target: under 2 MiB)\n",
              extract.peakAboveKiB / 1024.0);
  return whole;
}

// The check before an install (every item decoded to nowhere) against one
// extraction of the same items.
void CompareCheck(TmxStoredItems& items, const std::string& outPath) {
  const auto freshOutputs = [&] {
    for (int i = 0; i < 4; ++i) std::filesystem::remove(outPath + std::to_string(i));
    sync();
  };
  const Measure verifyAll = Run(SettledResidentKiB(), [&] {
    for (int i = 0; i < 4; ++i) items.Items(i)->Verify();
  });
  const Measure extractAll = Run(
      SettledResidentKiB(),
      [&] {
        for (int i = 0; i < 4; ++i) items.Items(i)->ExtractToFile(outPath + std::to_string(i), NativeFileSystem());
      },
      freshOutputs);
  freshOutputs();
  Report("Verify of the four items", verifyAll.seconds, verifyAll.peakAboveKiB);
  Report("ExtractToFile of the four items", extractAll.seconds, extractAll.peakAboveKiB);
  std::printf("verify / extract:    %.2fx (target: at most 1.0x)\n", verifyAll.seconds / extractAll.seconds);
}

// Whole processes, interleaved: the payload tool on a payload file, against a
// plain inflate of item 2's zlib stream from a file of its own; whether every
// run made the whole file.
bool CompareProcesses(Launcher& launcher, const std::vector<uint8_t>& payload, const TmxStoredItem& item,
                      const std::filesystem::path& dir, const std::string& outPath) {
  const std::string bin = std::filesystem::canonical("/proc/self/exe").parent_path().string();
  const std::string payloadFile = (dir / "extract_bench.payload").string();
  const std::string zlibFile = (dir / "extract_bench.zlib").string();
  const std::string extractDir = (dir / "extract_bench.dir").string();
  WriteFile(payloadFile, payload.data(), payload.size());
  WriteFile(zlibFile, item.StoredData().Memory(), static_cast<size_t>(item.StoredData().Size()));
  std::filesystem::create_directories(extractDir);
  const std::string extracted = extractDir + "/oracle.bin";
  constexpr int kProcessRuns = 7;
  std::vector<double> ratios, toolSeconds, plainSeconds;
  long toolPeak = 0, plainPeak = 0;
  bool whole = true;
  for (int run = 0; run < kProcessRuns; ++run) {
    std::filesystem::remove(extracted);
    std::filesystem::remove(outPath);
    sync();
    // Alternate which goes first, so neither always finds the other's pages in the cache.
    ProcessRun tool{}, plain{};
    for (int side = 0; side < 2; ++side) {
      if ((side == 0) == (run % 2 == 0)) {
        tool = launcher.Run({bin + "/payload", "extract", payloadFile, extractDir, "--item", "2"});
      } else {
        plain = launcher.Run({bin + "/plain_inflate", zlibFile, outPath});
      }
    }
    whole = whole && tool.status == 0 && plain.status == 0 && std::filesystem::file_size(extracted) == kItemSizes[2] &&
            std::filesystem::file_size(outPath) == kItemSizes[2];
    ratios.push_back(tool.seconds / plain.seconds);
    toolSeconds.push_back(tool.seconds);
    plainSeconds.push_back(plain.seconds);
    toolPeak = std::max(toolPeak, tool.peakKiB);
    plainPeak = std::max(plainPeak, plain.peakKiB);
  }
  for (const std::string& path : {payloadFile, zlibFile, outPath}) std::filesystem::remove(path);
  std::filesystem::remove_all(extractDir);
  std::printf("whole processes, %d interleaved runs each (median):\n", kProcessRuns);
  std::printf("  %-38s %8.1f ms   peak %7.1f MiB\n", "payload extract --item 2", Median(toolSeconds) * 1000,
              toolPeak / 1024.0);
  std::printf("  %-38s %8.1f ms   peak %7.1f MiB\n", "plain_inflate of the same zlib stream",
              Median(plainSeconds) * 1000, plainPeak / 1024.0);
  std::printf("payload extract / plain inflate: %.2fx median (target: within 1.05x)\n", Median(ratios));
  std::printf("payload extract peak: %.2f MiB above the payload file's %.2f MiB (target: at most 2 MiB)\n",
              (toolPeak * 1024.0 - static_cast<double>(payload.size())) / (1024.0 * 1024.0),
              static_cast<double>(payload.size()) / (1024.0 * 1024.0));
  return whole;
}

}  // namespace

int main(int argc, char** argv) {
  std::fflush(stdout);
  Launcher launcher;  // forked before the payload exists
  const std::filesystem::path dir = argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::temp_directory_path();
  std::filesystem::create_directories(dir);
  const std::string outPath = (dir / "extract_bench.out").string();

  const std::vector<uint8_t> payload = BuildPayload();
  const bool peaks = ResetPeak();  // peak figures need Linux's clear_refs
  std::printf("payload stream: %zu bytes; largest item: %zu bytes (default level)\n", payload.size(), kItemSizes[2]);
  std::printf("best of %d runs each:\n", kRuns);
  CompareLoad(payload);
  std::unique_ptr<TFormExe> form = ReadPayloadForm(payload.data(), payload.size());
  TmxStoredItems& items = form->mxStorageFiles->StoredItems();
  bool whole = CompareExtraction(*items.Items(2), outPath);
  CompareCheck(items, outPath);
  whole = CompareProcesses(launcher, payload, *items.Items(2), dir, outPath) && whole;
  if (!peaks) std::printf("(peak memory figures need Linux's /proc/self/clear_refs; they are not reliable here)\n");
  if (!whole) {
    std::printf("an extracted file has the wrong size\n");
    return 1;
  }
  return 0;
}
