#include "engine/jpeg_glue.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <jerror.h>

#include "engine/errors.h"
#include "engine/memory_budget.h"

namespace {

constexpr std::size_t kStep = 4096;  // the source's steps and the encoder's output buffer

[[noreturn]] void RaiseCodecError(j_common_ptr c) {
  std::longjmp(static_cast<ErrorManager*>(c->err)->jump, 1);
}

// The fixed template: fatal conditions jump back, warnings and traces stay silent (warnings
// are only counted).
void InitErrorManager(ErrorManager& err) {
  err.error_exit = RaiseCodecError;
  err.emit_message = [](j_common_ptr c, int level) {
    if (level < 0) ++c->err->num_warnings;
  };
  err.output_message = [](j_common_ptr) {};
  err.format_message = [](j_common_ptr, char* buffer) { buffer[0] = '\0'; };
  err.reset_error_mgr = [](j_common_ptr c) {
    c->err->num_warnings = 0;
    c->err->msg_code = 0;
  };
  err.trace_level = 0;
  err.jpeg_message_table = nullptr;
  err.last_jpeg_message = 0;
  err.addon_message_table = nullptr;
}

boolean FillInputBuffer(j_decompress_ptr c) {
  auto* source = static_cast<SourceManager*>(c->src);
  if (source->position >= source->size) {
    if (source->position == 0) ERREXIT(c, JERR_INPUT_EMPTY);
    static const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};
    source->next_input_byte = kEndOfImage;
    source->bytes_in_buffer = 2;
    return TRUE;
  }
  const std::size_t n = std::min(source->step, source->size - source->position);
  source->next_input_byte = source->data + source->position;
  source->bytes_in_buffer = n;
  source->position += n;
  return TRUE;
}

void SkipInputData(j_decompress_ptr c, long count) {
  if (count <= 0) return;
  jpeg_source_mgr* source = c->src;
  while (count > static_cast<long>(source->bytes_in_buffer)) {
    count -= static_cast<long>(source->bytes_in_buffer);
    source->fill_input_buffer(c);
  }
  source->next_input_byte += count;
  source->bytes_in_buffer -= static_cast<std::size_t>(count);
}

// Appends n buffered bytes; a vector that cannot grow leaves through error_exit, after the
// C++ handler has finished (a longjmp must not leave a catch block).
void Append(j_compress_ptr c, std::size_t n) {
  auto* destination = static_cast<DestinationManager*>(c->dest);
  bool grown = true;
  try {
    destination->out->insert(destination->out->end(), destination->buffer, destination->buffer + n);
  } catch (const std::bad_alloc&) {
    grown = false;
  }
  if (!grown) {
    static_cast<ErrorManager*>(c->err)->out_of_memory =
        "Out of memory while expanding memory stream";
    c->err->error_exit(reinterpret_cast<j_common_ptr>(c));
  }
}

void InitDestination(j_compress_ptr c) {
  auto* destination = static_cast<DestinationManager*>(c->dest);
  destination->next_output_byte = destination->buffer;
  destination->free_in_buffer = kStep;
}

boolean EmptyOutputBuffer(j_compress_ptr c) {
  Append(c, kStep);
  InitDestination(c);
  return TRUE;
}

void TermDestination(j_compress_ptr c) {
  Append(c, kStep - c->dest->free_in_buffer);
}

}  // namespace

void ThrowCodecFailure(const ErrorManager& err) {
  if (err.out_of_memory != nullptr) throw OutOfMemoryError(err.out_of_memory);
  // The library wants a backing store only for whole-image buffers beyond its memory limit.
  if (err.msg_code == JERR_OUT_OF_MEMORY || err.msg_code == JERR_NO_BACKING_STORE)
    throw OutOfMemoryError();
  throw JpegCodecError(err.msg_code);
}

Decompressor::Decompressor() {
  InitErrorManager(err);
  info.err = &err;
}

Compressor::Compressor() {
  InitErrorManager(err);
  info.err = &err;
}

namespace {

// Whether two FF bytes stand side by side anywhere in [from, end). Sixty-four bytes at a
// time where the processor has the vectors for it: Huffman-coded data holds an FF every few
// hundred bytes (each followed by 00), so stopping at every FF, as memchr does, took 2 ms
// on a 15 MB photo, all of it before the decoding could start.
bool HasFfPair(const std::uint8_t* from, const std::uint8_t* end) {
#if defined(__SSE2__)
  const auto pairs = [](const std::uint8_t* p) {  // each byte ANDed with the one after it
    return _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1)));
  };
  const __m128i ff = _mm_set1_epi8(static_cast<char>(0xFF));
  for (; end - from >= 65; from += 64) {
    const __m128i any = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(pairs(from), ff), _mm_cmpeq_epi8(pairs(from + 16), ff)),
        _mm_or_si128(_mm_cmpeq_epi8(pairs(from + 32), ff), _mm_cmpeq_epi8(pairs(from + 48), ff)));
    if (_mm_movemask_epi8(any) != 0) return true;
  }
#endif
  for (; end - from >= 2; ++from) {
    if (from[0] == 0xFF && from[1] == 0xFF) return true;
  }
  return false;
}

}  // namespace

SourceFeed FeedFor(std::span<const std::uint8_t> bytes) {
  const std::uint8_t* const end = bytes.data() + bytes.size();
  // The first scan header: the first FF DA.
  const std::uint8_t* scan = bytes.data();
  while (end - scan >= 2) {
    const auto* ff = static_cast<const std::uint8_t*>(std::memchr(scan, 0xFF, end - scan - 1));
    if (ff == nullptr) return SourceFeed::kWhole;
    if (ff[1] == 0xDA) break;
    scan = ff + 1;
  }
  if (end - scan < 2) return SourceFeed::kWhole;
  return HasFfPair(scan + 2, end) ? SourceFeed::kSteps : SourceFeed::kWhole;
}

void AttachSource(Decompressor& jpeg, std::span<const std::uint8_t> bytes, SourceFeed feed) {
  SourceManager& source = jpeg.source;
  source.data = bytes.data();
  source.size = bytes.size();
  source.position = 0;
  source.step = feed == SourceFeed::kSteps ? kStep : bytes.size();
  source.next_input_byte = nullptr;
  source.bytes_in_buffer = 0;
  source.init_source = [](j_decompress_ptr) {};
  source.fill_input_buffer = FillInputBuffer;
  source.skip_input_data = SkipInputData;
  source.resync_to_restart = jpeg_resync_to_restart;
  source.term_source = [](j_decompress_ptr) {};
  jpeg.info.src = &source;
  // Whole-image buffers (progressive and multi-scan pictures) beyond what the process can
  // get fail as "Out of memory" before they are touched; the library has no temporary files.
  // Half the budget: the raster decoded from them is held at the same time.
  jpeg.info.mem->max_memory_to_use =
      static_cast<long>(std::min<std::uint64_t>(MemoryBudget() / 2, LONG_MAX));
}

void AttachDestination(Compressor& jpeg, ByteStore& out) {
  DestinationManager& destination = jpeg.destination;
  destination.out = &out;
  destination.init_destination = InitDestination;
  destination.empty_output_buffer = EmptyOutputBuffer;
  destination.term_destination = TermDestination;
  jpeg.info.dest = &destination;
  jpeg.info.mem->max_memory_to_use = 0;
}
