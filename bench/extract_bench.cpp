// Start-up and extraction costs on a payload the size of the real one:
// FormStreamReader against one memcpy of the stream, ExtractToFile against a
// plain streaming zlib inflate to a file, with the peak memory of each.
//
// Usage: extract_bench [OUTPUT_DIR]   (default: the system's temporary folder)
#include <malloc.h>
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
Measure Run(long base, F&& work, const std::function<void()>& prepare = [] {}) {
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
  std::fclose(out);
}

void Report(const char* what, double seconds, long peakAboveKiB) {
  std::printf("  %-38s %8.1f ms   peak +%7.1f MiB\n", what, seconds * 1000, peakAboveKiB / 1024.0);
}

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path dir = argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::temp_directory_path();
  std::filesystem::create_directories(dir);
  const std::string outPath = (dir / "extract_bench.out").string();

  std::vector<uint8_t> payload;
  {
    std::unique_ptr<TFormExe> form = NewPayloadForm();
    for (int i = 0; i < 4; ++i) {
      const std::vector<uint8_t> file = SyntheticFile(kItemSizes[i], 7u + static_cast<uint32_t>(i));
      AddStoredFile(*form->mxStorageFiles, kItemNames[i], std::string(kItemNames[i]) + ".bin", file.data(),
                    file.size(), TCompressionLevel::clDefault);
    }
    payload = WriteFormStream(*form);
  }
  const bool peaks = ResetPeak();  // peak figures need Linux's clear_refs
  std::printf("payload stream: %zu bytes; largest item: %zu bytes (default level)\n", payload.size(), kItemSizes[2]);

  // Start-up: the payload read into the host form, against one copy of its bytes.
  const Measure copy = Run(SettledResidentKiB(), [&] {
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[payload.size()]);
    std::memcpy(bytes.get(), payload.data(), payload.size());
    volatile uint8_t sink = bytes[payload.size() - 1];  // the copy must happen
    (void)sink;
  });
  const Measure load = Run(SettledResidentKiB(), [&] { ReadPayloadForm(payload.data(), payload.size()); });

  // Extraction of the largest item, against a plain inflate of the same bytes.
  std::unique_ptr<TFormExe> form = ReadPayloadForm(payload.data(), payload.size());
  TmxStoredItem& item = *form->mxStorageFiles->StoredItems().Items(2);
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
  const Measure extract = Run(SettledResidentKiB(), [&] { item.ExtractToFile(outPath); }, freshOutput);
  const bool sizeOk = std::filesystem::file_size(outPath) == kItemSizes[2];
  std::filesystem::remove(outPath);

  std::printf("best of %d runs each:\n", kRuns);
  Report("memcpy of the payload stream", copy.seconds, copy.peakAboveKiB);
  Report("FormStreamReader into TFormExe", load.seconds, load.peakAboveKiB);
  Report("plain zlib inflate to a file", inflate.seconds, inflate.peakAboveKiB);
  Report("ExtractToFile", extract.seconds, extract.peakAboveKiB);
  std::printf("load / memcpy:       %.2fx (target: within 2x)\n", load.seconds / copy.seconds);
  std::printf("extract / inflate:   %.2fx (target: within 1.15x)\n", extract.seconds / inflate.seconds);
  std::printf("extraction peak above the loaded payload: %.2f MiB (target: under 2 MiB)\n",
              extract.peakAboveKiB / 1024.0);
  if (!peaks) std::printf("(peak memory figures need Linux's /proc/self/clear_refs; they are not reliable here)\n");
  if (!sizeOk) {
    std::printf("extracted file has the wrong size\n");
    return 1;
  }
  return 0;
}
