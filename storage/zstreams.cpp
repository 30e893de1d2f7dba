// Streaming zlib over TStream: deflate appends to a target, inflate reads in place.
#include "storage/zstreams.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "framework/errors.h"
#include "framework/messages.h"

namespace {
constexpr size_t kBlock = 65536;
}

struct TCompressionStream::State {
  z_stream z{};
  TStream& target;
  std::vector<uint8_t> out = std::vector<uint8_t>(kBlock);
  bool initialised = false;
  bool finished = false;
  int64_t written = 0;
  explicit State(TStream& t) : target(t) {}
};

TCompressionStream::TCompressionStream(int level, TStream& target) : state_(std::make_unique<State>(target)) {
  if (deflateInit(&state_->z, level) != Z_OK) throw ECompressionError(msg::kZlibError);
  state_->initialised = true;
  state_->z.next_out = state_->out.data();
  state_->z.avail_out = static_cast<uInt>(kBlock);
}

TCompressionStream::~TCompressionStream() {
  if (!state_->initialised) return;
  try {
    Finish();
  } catch (...) {
    // A destructor must not throw; a caller that needs the outcome calls Finish().
  }
  deflateEnd(&state_->z);
}

int64_t TCompressionStream::Size() const { return state_->written; }
void TCompressionStream::SetSize(int64_t) { throw ECompressionError(msg::kZlibError); }
int64_t TCompressionStream::Position() const { return state_->written; }
void TCompressionStream::SetPosition(int64_t position) {
  if (position != state_->written) throw ECompressionError(msg::kZlibError);
}
size_t TCompressionStream::Read(void*, size_t) { throw ECompressionError(msg::kZlibError); }

size_t TCompressionStream::Write(const void* buffer, size_t count) {
  State& s = *state_;
  if (s.finished) throw ECompressionError(msg::kZlibError);
  s.z.next_in = static_cast<Bytef*>(const_cast<void*>(buffer));
  s.z.avail_in = static_cast<uInt>(count);
  while (s.z.avail_in > 0) {
    if (deflate(&s.z, Z_NO_FLUSH) == Z_STREAM_ERROR) throw ECompressionError(msg::kZlibError);
    if (s.z.avail_out == 0) {
      s.target.WriteBuffer(s.out.data(), kBlock);
      s.z.next_out = s.out.data();
      s.z.avail_out = static_cast<uInt>(kBlock);
    }
  }
  s.written += static_cast<int64_t>(count);
  return count;
}

void TCompressionStream::Finish() {
  State& s = *state_;
  if (s.finished) return;
  s.finished = true;
  s.z.next_in = nullptr;
  s.z.avail_in = 0;
  for (;;) {
    const int rc = deflate(&s.z, Z_FINISH);
    if (rc == Z_STREAM_ERROR) throw ECompressionError(msg::kZlibError);
    const size_t have = kBlock - s.z.avail_out;
    if (have) s.target.WriteBuffer(s.out.data(), have);
    s.z.next_out = s.out.data();
    s.z.avail_out = static_cast<uInt>(kBlock);
    if (rc == Z_STREAM_END) break;
  }
}

struct TDecompressionStream::State {
  z_stream z{};
  const uint8_t* source;
  size_t size;
  size_t fed = 0;  // source bytes handed to zlib so far
  bool initialised = false;
  bool ended = false;
  int64_t produced = 0;
};

TDecompressionStream::TDecompressionStream(const uint8_t* source, size_t size) : state_(std::make_unique<State>()) {
  state_->source = source;
  state_->size = size;
  if (inflateInit(&state_->z) != Z_OK) throw EDecompressionError(msg::kZlibError);
  state_->initialised = true;
}

TDecompressionStream::~TDecompressionStream() {
  if (state_->initialised) inflateEnd(&state_->z);
}

int64_t TDecompressionStream::Size() const { return -1; }
void TDecompressionStream::SetSize(int64_t) { throw EDecompressionError(msg::kZlibError); }
int64_t TDecompressionStream::Position() const { return state_->produced; }
void TDecompressionStream::SetPosition(int64_t position) {
  if (position != state_->produced) throw EDecompressionError(msg::kZlibError);
}
size_t TDecompressionStream::Write(const void*, size_t) { throw EDecompressionError(msg::kZlibError); }

size_t TDecompressionStream::Read(void* buffer, size_t count) {
  State& s = *state_;
  s.z.next_out = static_cast<Bytef*>(buffer);
  s.z.avail_out = static_cast<uInt>(count);
  while (s.z.avail_out > 0 && !s.ended) {
    if (s.z.avail_in == 0) {
      if (s.fed == s.size) break;  // input exhausted: the caller sees a short read
      const size_t n = std::min(kBlock, s.size - s.fed);
      s.z.next_in = const_cast<Bytef*>(s.source + s.fed);
      s.z.avail_in = static_cast<uInt>(n);
      s.fed += n;
    }
    const int rc = inflate(&s.z, Z_NO_FLUSH);
    if (rc == Z_STREAM_END) {
      s.ended = true;
    } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
      throw ECompressionError(msg::kZlibError);
    }
  }
  const size_t n = count - s.z.avail_out;
  s.produced += static_cast<int64_t>(n);
  return n;
}

void TDecompressionStream::VerifyEnd() {
  // One more byte asked for: a well-formed stream yields none and reaches its
  // end, which is where zlib checks the Adler-32 trailer; and the stream ends
  // where its bytes do.
  uint8_t extra;
  if (Read(&extra, 1) != 0 || !state_->ended) throw ECompressionError(msg::kZlibError);
  if (state_->z.avail_in != 0 || state_->fed != state_->size) throw ECompressionError(msg::kZlibError);
}
