// The baseline of the whole-process benchmark: a zlib stream loaded from a
// file and inflated to another as plainly as it can be, 64 KiB in and at most
// 61,440 bytes per write, the 4-byte length in front left out; then the file
// and its folder synced to the disk, as `payload extract` does.
//
// Usage: plain_inflate ZLIB_FILE OUTPUT
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: plain_inflate ZLIB_FILE OUTPUT\n");
    return 2;
  }
  std::FILE* in = std::fopen(argv[1], "rb");
  if (!in) return 1;
  std::fseek(in, 0, SEEK_END);
  std::vector<unsigned char> data(static_cast<size_t>(std::ftell(in)));
  std::fseek(in, 0, SEEK_SET);
  if (std::fread(data.data(), 1, data.size(), in) != data.size()) return 1;
  std::fclose(in);
  std::FILE* out = std::fopen(argv[2], "wb");
  if (!out) return 1;
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return 1;
  std::vector<unsigned char> buffer(61440);
  size_t fed = 0, skip = 4;
  int status = Z_OK;
  while (status != Z_STREAM_END) {
    if (z.avail_in == 0) {
      const size_t n = std::min<size_t>(65536, data.size() - fed);
      if (n == 0) return 1;
      z.next_in = data.data() + fed;
      z.avail_in = static_cast<uInt>(n);
      fed += n;
    }
    z.next_out = buffer.data();
    z.avail_out = static_cast<uInt>(buffer.size());
    status = inflate(&z, Z_NO_FLUSH);
    if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) return 1;
    size_t produced = buffer.size() - z.avail_out;
    const size_t dropped = std::min(skip, produced);
    skip -= dropped;
    if (produced > dropped && std::fwrite(buffer.data() + dropped, 1, produced - dropped, out) != produced - dropped)
      return 1;
  }
  inflateEnd(&z);
  if (std::fflush(out) != 0 || fsync(fileno(out)) != 0 || std::fclose(out) != 0) return 1;
  const std::string output = argv[2];
  const size_t slash = output.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : output.substr(0, slash + 1);
  const int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (descriptor < 0 || fsync(descriptor) != 0) return 1;
  close(descriptor);
  return 0;
}
