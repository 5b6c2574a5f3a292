#include "engine/jpeg_stream.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/entropy_index.h"
#include "engine/jpeg_codec.h"
#include "engine/grey_dither.h"
#include "engine/jpeg_glue.h"

#include <jpegint.h>  // struct jpeg_inverse_dct, to pass over the blocks no pick needs

namespace {

bool streamed_drawing = true;
bool dither_worker = true;
SplitDecoding split_decoding = SplitDecoding::kAuto;
StreamedRows last_rows;

// Sampling factors (h, v) of each component.
using Layout = std::vector<std::array<int, 2>>;

// How the library upsamples one component, as libjpeg-turbo 2.1 chooses after
// jpeg_start_decompress: smooth ("fancy") where asked for and the component is more than two
// samples wide, else by repeating samples.
enum class Upsampling { kNone, kFullSize, kSmoothH2V1, kRepeatH2V1, kSmoothH1V2, kSmoothH2V2,
                        kRepeatH2V2, kRepeat, kUnknown };

Upsampling ComponentUpsampling(const jpeg_decompress_struct& info, int c) {
  const jpeg_component_info& comp = info.comp_info[c];
  if (!comp.component_needed) return Upsampling::kNone;
  if (info.min_DCT_scaled_size != DCTSIZE || comp.DCT_scaled_size != DCTSIZE)
    return Upsampling::kUnknown;
  const bool smooth = info.do_fancy_upsampling;
  const int h = comp.h_samp_factor, v = comp.v_samp_factor;
  const int max_h = info.max_h_samp_factor, max_v = info.max_v_samp_factor;
  const bool wide = comp.downsampled_width > 2;
  if (h == max_h && v == max_v) return Upsampling::kFullSize;
  if (2 * h == max_h && v == max_v)
    return smooth && wide ? Upsampling::kSmoothH2V1 : Upsampling::kRepeatH2V1;
  if (h == max_h && 2 * v == max_v && smooth) return Upsampling::kSmoothH1V2;
  if (2 * h == max_h && 2 * v == max_v)
    return smooth && wide ? Upsampling::kSmoothH2V2 : Upsampling::kRepeatH2V2;
  if (max_h % h == 0 && max_v % v == 0) return Upsampling::kRepeat;
  return Upsampling::kUnknown;
}

// True when every component is upsampled as ComponentUpsampling says, as far as the library
// shows it: smooth vertical upsampling is what makes it ask for context rows. Fancy
// upsampling switched off would bring the library's merged upsampler, which is not modelled.
bool UpsamplingKnown(const jpeg_decompress_struct& info) {
  if (!info.do_fancy_upsampling || info.CCIR601_sampling || info.upsample == nullptr)
    return false;
  bool context = false;
  for (int c = 0; c < info.num_components; ++c) {
    const Upsampling u = ComponentUpsampling(info, c);
    if (u == Upsampling::kUnknown) return false;
    context = context || u == Upsampling::kSmoothH1V2 || u == Upsampling::kSmoothH2V2;
  }
  return context == static_cast<bool>(info.upsample->need_context_rows);
}

// The layouts whose skipped rows leave the kept rows byte for byte as a full read gives
// them with libjpeg-turbo 2.1.5 (the streamed-draw tests prove each one, sequential and
// progressive).
const std::array<Layout, 6>& ExactSkipLayouts() {
  static const std::array<Layout, 6> layouts = {
      Layout{{1, 1}, {1, 1}, {1, 1}},          // 4:4:4
      Layout{{2, 1}, {1, 1}, {1, 1}},          // 4:2:2
      Layout{{2, 2}, {1, 1}, {1, 1}},          // 4:2:0
      Layout{{1, 2}, {1, 1}, {1, 1}},          // 4:4:0
      Layout{{4, 1}, {1, 1}, {1, 1}},          // 4:1:1
      Layout{{1, 1}, {1, 1}, {1, 1}, {1, 1}},  // CMYK, YCCK
  };
  return layouts;
}

// Skipping is exact where the library either upsamples with context rows, which it then
// reads again itself, or hands out one row per row group. Without context rows a row group
// of two rows (luma 2x2 with chroma repeated, as in a 4:2:0 picture only a few pixels wide,
// or 4:1:0) is left half read by a skip, and the next row read comes from the stale group.
// Quantized output never skips: the one-pass dither carries its error from row to row, and
// the library refuses to skip under two-pass quantization (error 47).
bool SkipIsExact(const jpeg_decompress_struct& info) {
  if (info.quantize_colors || !UpsamplingKnown(info)) return false;
  if (!info.upsample->need_context_rows && info.max_v_samp_factor != 1) return false;
  for (const Layout& layout : ExactSkipLayouts()) {
    if (static_cast<int>(layout.size()) != info.num_components) continue;
    bool same = true;
    for (int c = 0; c < info.num_components; ++c) {
      same = same && info.comp_info[c].h_samp_factor == layout[c][0] &&
             info.comp_info[c].v_samp_factor == layout[c][1];
    }
    if (same) return true;
  }
  return false;
}

// The inverse DCT runs only on the blocks whose samples some picked pixel depends on: its
// own sample of each component, and where a component is upsampled the samples on either
// side, which the library's smooth upsampling blends in. Every other block comes out as
// zeros, which feed only pixels that are dropped. The filter stands in for the library's
// per-component IDCT and calls the library's own for the blocks it keeps, so the kept
// samples are its exact output.
struct BlockFilter {
  inverse_DCT_method_ptr idct[MAX_COMPONENTS] = {};
  // By component: one flag per block row and per block column of the whole picture.
  const std::uint8_t* rows[MAX_COMPONENTS] = {};
  const std::uint8_t* cols[MAX_COMPONENTS] = {};
  // Where the library stands: the blocks of one iMCU row come component by component in
  // rows from left to right, or, when one scan holds every component, MCU by MCU with each
  // component's blocks of the MCU in rows. The block row is counted from that order.
  bool interleaved = false;
  JDIMENSION imcu[MAX_COMPONENTS] = {};
  JDIMENSION last_col[MAX_COMPONENTS] = {};
  int row_in_imcu[MAX_COMPONENTS] = {};
  long long* skipped = nullptr;  // counts the blocks left out
};

void FilteredIdct(j_decompress_ptr info, jpeg_component_info* comp, JCOEFPTR coefficients,
                  JSAMPARRAY output, JDIMENSION output_col) {
  BlockFilter& f = *static_cast<BlockFilter*>(info->client_data);
  const int c = comp->component_index;
  const auto size = static_cast<JDIMENSION>(comp->DCT_scaled_size);
  const JDIMENSION col = output_col / size;
  if (info->output_iMCU_row != f.imcu[c] || f.last_col[c] == ~JDIMENSION{0}) {
    f.imcu[c] = info->output_iMCU_row;
    f.row_in_imcu[c] = 0;
  } else if (f.interleaved) {
    const auto width = static_cast<JDIMENSION>(comp->MCU_width);
    if (col / width != f.last_col[c] / width) f.row_in_imcu[c] = 0;
    else if (col <= f.last_col[c]) ++f.row_in_imcu[c];
  } else if (col <= f.last_col[c]) {
    ++f.row_in_imcu[c];
  }
  f.last_col[c] = col;
  const JDIMENSION row = f.imcu[c] * static_cast<JDIMENSION>(comp->v_samp_factor) +
                         static_cast<JDIMENSION>(f.row_in_imcu[c]);
  // A block outside the picture's block grid would mean the order is not as counted: it
  // goes through the library's IDCT like every kept one.
  const bool outside = row >= comp->height_in_blocks || col >= comp->width_in_blocks;
  if (outside || (f.rows[c][row] && f.cols[c][col])) {
    f.idct[c](info, comp, coefficients, output, output_col);
    return;
  }
  ++*f.skipped;
  for (JDIMENSION y = 0; y < size; ++y) std::memset(output[y] + output_col, 0, size);
}

// Marks, for one component, the blocks along one axis that hold the samples the picks at
// `picks` (picture coordinates) depend on; `ratio` is how many picture pixels share one
// sample of the component along that axis.
std::uint8_t* MarkBlocks(jpeg_decompress_struct& info, const int* picks, std::size_t count,
                         int ratio, JDIMENSION blocks, int block_size) {
  auto* marks = static_cast<std::uint8_t*>(
      info.mem->alloc_small(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE, blocks));
  std::memset(marks, 0, blocks);
  const int reach = ratio > 1 ? 1 : 0;
  const int last = static_cast<int>(blocks) - 1;
  for (std::size_t i = 0; i < count; ++i) {
    const int sample = picks[i] / ratio;
    for (int s = sample - reach; s <= sample + reach; ++s)
      marks[std::clamp(s / block_size, 0, last)] = 1;
  }
  return marks;
}

class DitherPipe;
class SplitPart;

// Everything the row loop needs, prepared in C++ before the library runs: plain pointers.
struct Job {
  const int* cols = nullptr;  // source column of each visible destination column
  std::size_t col_count = 0;
  const int* rows = nullptr;  // source row of each visible destination row
  std::uint8_t* const* target_rows = nullptr;  // destination rows, already offset by X0
  std::size_t row_count = 0;
  std::array<std::uint8_t, 3 * 256>* bgr_table = nullptr;  // filled for colour-mapped rows
  GreyDither* dither = nullptr;
  BlockFilter* filter = nullptr;
  DitherPipe* pipe = nullptr;
  SplitPart* split = nullptr;  // set when a helper thread may take the lower rows
  EntropyIndex* index = nullptr;
  SourceFeed feed = SourceFeed::kWhole;  // FeedFor the picture's bytes
  bool own_entropy = true;  // the engine's entropy decoder where the picture allows it
};

// How the decoded rows arrive in the scratch row.
enum class RowKind { kBgr, kCmyk, kIndexed, kGreyLevels };

// Copies the picked pixels of one decoded row into one destination row.
void CopyPicks(const Job& job, RowKind kind, const JSAMPLE* from, std::uint8_t* to) {
  const int* col = job.cols;
  const int* const end = job.cols + job.col_count;
  switch (kind) {
    case RowKind::kIndexed: {
      const std::uint8_t* table = job.bgr_table->data();
      for (; col != end; ++col, to += 3) std::memcpy(to, table + 3 * from[*col], 3);
      break;
    }
    case RowKind::kGreyLevels:
      for (; col != end; ++col, to += 3) to[0] = to[1] = to[2] = from[*col];
      break;
    case RowKind::kCmyk:
      for (; col != end; ++col, to += 3) InvertedCmykPixelToBgr(from + 4 * *col, to);
      break;
    case RowKind::kBgr: {
      if (col == end) break;
      // Four bytes at a time (the scratch row has room past its end); the fourth byte is
      // overwritten by the next pixel, and the last pixel must not touch the next row.
      for (const int* const last = end - 1; col != last; ++col, to += 3)
        std::memcpy(to, from + 3 * *col, 4);
      std::memcpy(to, from + 3 * *col, 3);
      break;
    }
  }
}

// Grey rows pass from the decoder (the calling thread) to a worker that dithers them in
// order and copies the picks, so that decoding and dithering run side by side. Rows go over
// in batches, and each side sleeps while it waits, so the hand-over costs next to nothing.
// Rows after the last picked one are decoded only. The ring rows and the dither's error row
// belong to the library's pool, so the worker must have finished before the library object
// goes: Finish, which the destructor also calls. On one core, or when no worker can start,
// the calling thread does the worker's part after every row.
class DitherPipe {
 public:
  static constexpr int kBatch = 16;
  static constexpr int kRing = 4 * kBatch;

  explicit DitherPipe(const Job& job) : job_(job) {}
  ~DitherPipe() { Finish(); }
  DitherPipe(const DitherPipe&) = delete;
  DitherPipe& operator=(const DitherPipe&) = delete;

  // Before the first row: ring holds kRing rows of `width` samples; rows below
  // `needed_rows` go through the pipe.
  void Start(JSAMPARRAY ring, int width, int needed_rows) {
    ring_ = ring;
    width_ = width;
    needed_ = needed_rows;
    if (needed_ == 0 || !dither_worker || std::thread::hardware_concurrency() < 2) return;
    try {
      worker_ = std::thread([this] { Work(); });
    } catch (const std::system_error&) {
    }
  }
  bool Wanted(int row) const { return row < needed_; }
  // The ring row for `row`, once the worker is done with the row that used it before.
  JSAMPROW Slot(int row) {
    if (worker_.joinable()) {
      std::unique_lock lock(mutex_);
      placed_changed_.wait(lock, [&] { return row - placed_ < kRing; });
    }
    return ring_[row % kRing];
  }
  void Publish(int row) {
    if (!worker_.joinable()) {
      Place(row);
      return;
    }
    if ((row + 1) % kBatch != 0 && row + 1 != needed_) return;
    {
      const std::lock_guard lock(mutex_);
      published_ = row + 1;
    }
    published_changed_.notify_one();
  }
  // Returns once every published row is dithered and placed; the worker then ends.
  void Finish() {
    if (!worker_.joinable()) return;
    {
      const std::lock_guard lock(mutex_);
      closed_ = true;
    }
    published_changed_.notify_one();
    worker_.join();
  }

 private:
  void Work() {
    std::unique_lock lock(mutex_);
    for (int row = 0; row < needed_;) {
      published_changed_.wait(lock, [&] { return published_ > row || closed_; });
      const int end = published_;
      if (end <= row) return;  // closed before this row came
      lock.unlock();
      for (; row < end; ++row) Place(row);
      lock.lock();
      placed_ = end;
      placed_changed_.notify_one();
    }
  }

  void Place(int row) {
    JSAMPROW from = ring_[row % kRing];
    DitherRow(*job_.dither, from, width_);
    for (std::size_t& j = next_pick_; j < job_.row_count && job_.rows[j] == row;) {
      std::uint8_t* const first = job_.target_rows[j];
      CopyPicks(job_, RowKind::kGreyLevels, from, first);
      for (++j; j < job_.row_count && job_.rows[j] == row; ++j)
        std::memcpy(job_.target_rows[j], first, 3 * job_.col_count);
    }
  }

  const Job& job_;
  JSAMPARRAY ring_ = nullptr;
  int width_ = 0;
  int needed_ = 0;
  std::size_t next_pick_ = 0;  // the worker's: next destination row to fill
  std::thread worker_;
  std::mutex mutex_;  // guards the three below
  std::condition_variable published_changed_, placed_changed_;
  int published_ = 0;  // rows handed to the worker
  int placed_ = 0;     // rows the worker is done with
  bool closed_ = false;  // no more rows come
};

// Decodes every row of a grey picture through the pipe.
void StreamGrey(jpeg_decompress_struct& info, const Job& job, JSAMPARRAY scratch,
                StreamedRows& rows) {
  DitherPipe& pipe = *job.pipe;
  JSAMPARRAY ring = info.mem->alloc_sarray(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                           info.output_width, DitherPipe::kRing);
  pipe.Start(ring, static_cast<int>(info.output_width),
             job.row_count == 0 ? 0 : job.rows[job.row_count - 1] + 1);
  while (info.output_scanline < info.output_height) {
    const int row = static_cast<int>(info.output_scanline);
    JSAMPROW to = pipe.Wanted(row) ? pipe.Slot(row) : scratch[0];
    jpeg_read_scanlines(&info, &to, 1);
    ++rows.Read;
    if (pipe.Wanted(row)) pipe.Publish(row);
  }
  pipe.Finish();
}

// One decoded row and a byte to spare (CopyPicks moves four bytes at a time).
JSAMPARRAY ScratchRow(jpeg_decompress_struct& info) {
  return info.mem->alloc_sarray(
      reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
      info.output_width * static_cast<JDIMENSION>(info.out_color_components) + 1, 1);
}

// One row into the scratch row.
void ReadRow(jpeg_decompress_struct& info, JSAMPARRAY scratch, StreamedRows& rows) {
  jpeg_read_scanlines(&info, scratch, 1);
  ++rows.Read;
}

// Brings the library to source row `row` (at or after its current one).
void AdvanceTo(jpeg_decompress_struct& info, JDIMENSION row, bool skip, JSAMPARRAY scratch,
               StreamedRows& rows) {
  if (row <= info.output_scanline) return;
  if (skip) {
    rows.Skipped += static_cast<int>(jpeg_skip_scanlines(&info, row - info.output_scanline));
    return;
  }
  while (info.output_scanline < row) ReadRow(info, scratch, rows);
}

// Puts the filter in place of the library's IDCT once the output pass is set up, where the
// picks name every pixel drawn: plain colour output at full scale with whole-number
// sampling ratios, upsampled as UpsamplingKnown says (no sample reaches further than its
// neighbours). Anything else keeps the library's IDCT for every block.
void FilterBlocks(jpeg_decompress_struct& info, const Job& job, BlockFilter& f) {
  if (info.quantize_colors || job.row_count == 0 || job.col_count == 0 || !UpsamplingKnown(info))
    return;
  for (int c = 0; c < info.num_components; ++c) {
    const jpeg_component_info& comp = info.comp_info[c];
    if (comp.DCT_scaled_size != DCTSIZE || info.max_h_samp_factor % comp.h_samp_factor != 0 ||
        info.max_v_samp_factor % comp.v_samp_factor != 0)
      return;
  }
  f.interleaved = !jpeg_has_multiple_scans(&info) && info.num_components > 1;
  for (int c = 0; c < info.num_components; ++c) {
    const jpeg_component_info& comp = info.comp_info[c];
    f.cols[c] = MarkBlocks(info, job.cols, job.col_count,
                           info.max_h_samp_factor / comp.h_samp_factor, comp.width_in_blocks,
                           DCTSIZE);
    f.rows[c] = MarkBlocks(info, job.rows, job.row_count,
                           info.max_v_samp_factor / comp.v_samp_factor, comp.height_in_blocks,
                           DCTSIZE);
    f.last_col[c] = ~JDIMENSION{0};
    f.idct[c] = info.idct->inverse_DCT[c];
  }
  info.client_data = &f;
  for (int c = 0; c < info.num_components; ++c) info.idct->inverse_DCT[c] = FilteredIdct;
}

void StreamFrom(Decompressor& jpeg, std::span<const std::uint8_t> bytes,
                const JpegSettings& settings, const Job& job, int split, BlockFilter& filter,
                StreamedRows& rows);

// Draws the picks of the source rows from `from` up to `to` (not included), in order.
void DrawPicks(jpeg_decompress_struct& info, const Job& job, RowKind kind, bool skip,
               JSAMPARRAY scratch, StreamedRows& rows, int from, int to) {
  std::size_t j = static_cast<std::size_t>(
      std::lower_bound(job.rows, job.rows + job.row_count, from) - job.rows);
  while (j < job.row_count && job.rows[j] < to) {
    AdvanceTo(info, static_cast<JDIMENSION>(job.rows[j]), skip, scratch, rows);
    ReadRow(info, scratch, rows);
    std::uint8_t* const first = job.target_rows[j];
    CopyPicks(job, kind, scratch[0], first);
    for (++j; j < job.row_count && job.rows[j] == job.rows[j - 1]; ++j)
      std::memcpy(job.target_rows[j], first, 3 * job.col_count);
  }
}

// The rest of the picture is still decoded, so that damaged data and the markers after the
// last scan raise what they raise on the plain road; only the last row is read, never
// skipped, since a skip to the end would stop reading the data.
void ReadToEnd(jpeg_decompress_struct& info, bool skip, JSAMPARRAY scratch,
               StreamedRows& rows) {
  if (info.output_height > 0) AdvanceTo(info, info.output_height - 1, skip, scratch, rows);
  while (info.output_scanline < info.output_height) ReadRow(info, scratch, rows);
  jpeg_finish_decompress(&info);
}

// An entropy index built by two threads pays for large pictures of which at most four iMCU
// rows in five hold picks: the rows in between then cost nothing, where the library would
// decode each one to pass over it. Denser picks gain nothing measurable over the cut below.
bool IndexPays(const jpeg_decompress_struct& info, const Job& job) {
  if (split_decoding != SplitDecoding::kAuto) return split_decoding == SplitDecoding::kAlways;
  if (std::thread::hardware_concurrency() < 2 || job.row_count == 0 ||
      static_cast<double>(info.output_width) * info.output_height < 2e6)
    return false;
  const int lines = info.max_v_samp_factor * DCTSIZE;
  int rows_with_picks = 0;
  for (std::size_t j = 0; j < job.row_count; ++j)
    rows_with_picks += j == 0 || job.rows[j] / lines != job.rows[j - 1] / lines;
  return 5 * rows_with_picks <= 4 * static_cast<int>(info.total_iMCU_rows);
}

// Where a sequential colour picture is best cut between this thread and a helper, as a
// whole number of iMCU rows; 0 for no cut. The helper pays the entropy decoding of the
// rows above the cut a second time, so a cut pays only where the inverse DCT and the
// rest weigh enough: with the entropy decoding of a row as 1 and the rest as d, this
// thread takes the share f = (1 + d) / (1 + 2d) of the rows. d is measured from the
// share of luma blocks the picks need (a full decode spends about 0.65 on the rest).
int SplitRow(const jpeg_decompress_struct& info, const Job& job) {
  if (info.quantize_colors || jpeg_has_multiple_scans(const_cast<j_decompress_ptr>(&info)) ||
      job.row_count == 0 || split_decoding == SplitDecoding::kNever)
    return 0;
  const int lines = info.max_v_samp_factor * DCTSIZE;
  const int imcu_rows = static_cast<int>(info.total_iMCU_rows);
  if (imcu_rows < 2) return 0;
  if (split_decoding == SplitDecoding::kAlways) return imcu_rows / 2 * lines;
  if (std::thread::hardware_concurrency() < 2 ||
      static_cast<double>(info.output_width) * info.output_height < 2e6)
    return 0;
  if (job.index->Built()) return imcu_rows / 2 * lines;  // the helper starts there at once
  const BlockFilter& f = *job.filter;
  const jpeg_component_info& luma = info.comp_info[0];
  if (f.rows[0] == nullptr) return 0;
  const auto count = [](const std::uint8_t* marks, JDIMENSION n) {
    return static_cast<double>(std::count(marks, marks + n, 1)) / n;
  };
  const double d = 0.65 * count(f.rows[0], luma.height_in_blocks) *
                   count(f.cols[0], luma.width_in_blocks);
  const double share = (1 + d) / (1 + 2 * d);
  if (share > 0.9) return 0;
  return std::clamp(static_cast<int>(share * imcu_rows + 0.5), 1, imcu_rows - 1) * lines;
}

// The helper thread of a split draw: its own library object, its own filter and counts,
// the lower rows of the same target. Ok once it drew its part without an error or a
// warning; anything else sends the caller back to the whole draw on one thread, which
// gives the exact pixels and errors.
class SplitPart {
 public:
  explicit SplitPart(const Job& job) : job_(job) {}
  ~SplitPart() { Join(); }
  SplitPart(const SplitPart&) = delete;
  SplitPart& operator=(const SplitPart&) = delete;

  bool Start(std::span<const std::uint8_t> bytes, const JpegSettings& settings, int split) {
    filter_.skipped = &rows_.BlocksSkipped;
    try {
      thread_ = std::thread([this, bytes, &settings, split] { Run(bytes, settings, split); });
    } catch (const std::system_error&) {
      return false;
    }
    started_ = true;
    return true;
  }
  bool Started() const { return started_; }
  // Waits for the helper; true when its part is drawn.
  bool Join() {
    if (thread_.joinable()) thread_.join();
    return ok_;
  }
  const StreamedRows& Rows() const { return rows_; }

 private:
  void Run(std::span<const std::uint8_t> bytes, const JpegSettings& settings, int split) {
    Decompressor jpeg;
    try {
      StreamFrom(jpeg, bytes, settings, job_, split, filter_, rows_);
      ok_ = jpeg.err.num_warnings == 0;
    } catch (...) {  // nothing may leave the thread; the whole draw raises it again
      ok_ = false;
    }
  }

  const Job& job_;
  std::thread thread_;
  bool started_ = false;
  bool ok_ = false;
  BlockFilter filter_;
  StreamedRows rows_;
};

void StreamWith(Decompressor& jpeg, std::span<const std::uint8_t> bytes,
                const JpegSettings& settings, const Job& job, StreamedDraw& draw,
                StreamedRows& rows) {
  if (setjmp(jpeg.err.jump)) ThrowCodecFailure(jpeg.err);
  jpeg_decompress_struct& info = jpeg.info;
  const DecodeOutput output = OpenDecoder(jpeg, bytes, settings, job.feed);
  // Grey output dithered by the library's rule is dithered here instead (DitherRow).
  const bool own_dither = info.quantize_colors && info.out_color_space == JCS_GRAYSCALE &&
                          info.dither_mode == JDITHER_FS && info.desired_number_of_colors >= 2 &&
                          info.desired_number_of_colors <= 256;
  GreyDither* const dither = own_dither ? job.dither : nullptr;
  if (dither != nullptr) {
    MakeGreyLevels(info.desired_number_of_colors, *dither);
    info.quantize_colors = FALSE;
  }
  jpeg_start_decompress(&info);
  draw.Started = true;
  draw.Width = static_cast<int>(info.output_width);
  draw.Height = static_cast<int>(info.output_height);
  draw.HasTable = dither != nullptr || (info.quantize_colors && info.colormap != nullptr);
  RowKind kind = output.Cmyk ? RowKind::kCmyk : RowKind::kBgr;
  if (dither != nullptr) {
    kind = RowKind::kGreyLevels;
    const std::size_t error_bytes = (info.output_width + 2) * sizeof(std::int16_t);
    dither->errors = static_cast<std::int16_t*>(
        info.mem->alloc_large(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE, error_bytes));
    std::memset(dither->errors, 0, error_bytes);
    dither->odd_row = false;
  } else if (draw.HasTable) {  // indices past the map's end read black, as in the stretch
    kind = RowKind::kIndexed;
    job.bgr_table->fill(0);
    const int grey = info.out_color_components == 1;
    for (int i = 0; i < info.actual_number_of_colors; ++i) {
      (*job.bgr_table)[3 * i] = info.colormap[grey ? 0 : 2][i];
      (*job.bgr_table)[3 * i + 1] = info.colormap[grey ? 0 : 1][i];
      (*job.bgr_table)[3 * i + 2] = info.colormap[0][i];
    }
  }
  JSAMPARRAY scratch = ScratchRow(info);
  const bool skip = SkipIsExact(info);
  if (dither != nullptr) {
    if (job.own_entropy && job.index->Prepare(info)) {
      job.index->Install(info);
      rows.OwnEntropy = true;
    }
    StreamGrey(info, job, scratch, rows);
    jpeg_finish_decompress(&info);
    return;
  }
  FilterBlocks(info, job, *job.filter);
  if (job.own_entropy && job.index->Prepare(info)) {
    rows.Indexed = skip && IndexPays(info, job) && job.index->Build(true);
    rows.OwnEntropy = rows.Indexed || job.index->Prepared();  // else in order
    if (rows.OwnEntropy) job.index->Install(info);
  }
  const int split = job.split != nullptr && skip ? SplitRow(info, job) : 0;
  if (split > 0 && job.split->Start(bytes, settings, split)) {
    // The helper reads from `split` to the end; this library object stops there unfinished.
    DrawPicks(info, job, kind, skip, scratch, rows, 0, split);
    return;
  }
  DrawPicks(info, job, kind, skip, scratch, rows, 0, static_cast<int>(info.output_height));
  ReadToEnd(info, skip, scratch, rows);
}

// The helper's part of a split draw: skips to row `split` and draws the picks from there,
// then reads to the end as the whole draw does.
void StreamFrom(Decompressor& jpeg, std::span<const std::uint8_t> bytes,
                const JpegSettings& settings, const Job& job, int split, BlockFilter& filter,
                StreamedRows& rows) {
  if (setjmp(jpeg.err.jump)) ThrowCodecFailure(jpeg.err);
  jpeg_decompress_struct& info = jpeg.info;
  const DecodeOutput output = OpenDecoder(jpeg, bytes, settings, job.feed);
  jpeg_start_decompress(&info);
  JSAMPARRAY scratch = ScratchRow(info);
  FilterBlocks(info, job, filter);
  if (job.own_entropy && job.index->Prepared()) job.index->Install(info);
  rows.Skipped += static_cast<int>(jpeg_skip_scanlines(&info, static_cast<JDIMENSION>(split)));
  DrawPicks(info, job, output.Cmyk ? RowKind::kCmyk : RowKind::kBgr, true, scratch, rows, split,
            static_cast<int>(info.output_height));
  ReadToEnd(info, true, scratch, rows);
}

}  // namespace

void SetStreamedDrawing(bool on) {
  streamed_drawing = on;
}
bool StreamedDrawing() {
  return streamed_drawing;
}

void SetDitherWorker(bool on) {
  dither_worker = on;
}

StreamedRows LastStreamedRows() {
  return last_rows;
}

void SetSplitDecoding(SplitDecoding mode) {
  split_decoding = mode;
}

void DrawJpegStreamed(std::span<const std::uint8_t> bytes, const JpegSettings& settings,
                      const StretchPlan& plan, Raster& target, StreamedDraw& draw) {
  std::vector<std::uint8_t*> target_rows;
  if (!plan.Empty()) {
    target_rows.reserve(plan.Rows.size());
    for (std::size_t j = 0; j < plan.Rows.size(); ++j)
      target_rows.push_back(target.RowAddress(plan.Y0 + static_cast<int>(j)) + 3 * plan.X0);
  }
  std::array<std::uint8_t, 3 * 256> bgr_table{};
  GreyDither dither;
  Job job;
  job.dither = &dither;
  job.cols = plan.Cols.data();
  job.col_count = plan.Empty() ? 0 : plan.Cols.size();
  job.rows = plan.Rows.data();
  job.target_rows = target_rows.data();
  job.row_count = target_rows.size();
  job.bgr_table = &bgr_table;
  job.feed = FeedFor(bytes);
  // The engine's entropy decoder reads the whole picture in hand; fill bytes in the data are
  // left to the library, fed as a file source feeds it.
  job.own_entropy = job.feed == SourceFeed::kWhole;
  EntropyIndex index;
  job.index = &index;
  // One draw, on this thread or shared with the helper when split is given.
  const auto draw_once = [&](SplitPart* split) {
    BlockFilter filter;
    last_rows = {};
    filter.skipped = &last_rows.BlocksSkipped;
    draw = {};
    job.filter = &filter;
    job.split = split;
    Decompressor jpeg;
    DitherPipe pipe(job);  // after jpeg: its worker ends before the library object goes
    job.pipe = &pipe;
    StreamWith(jpeg, bytes, settings, job, draw, last_rows);
    return jpeg.err.num_warnings == 0;
  };
  SplitPart split(job);
  bool whole = false;
  try {
    whole = draw_once(&split);
  } catch (const std::exception&) {
    if (!split.Started() && !index.Failed()) throw;
  }
  const bool helper_whole = split.Join();
  if (!index.Failed()) {
    if (!split.Started()) return;
    if (helper_whole && whole) {
      last_rows.Read += split.Rows().Read;
      last_rows.Skipped += split.Rows().Skipped;
      last_rows.BlocksSkipped += split.Rows().BlocksSkipped;
      last_rows.Split = true;
      return;
    }
  }
  // Drawn again whole on one thread by the library's decoder alone, which gives the exact
  // pixels, warnings and errors of damaged data.
  job.own_entropy = false;
  draw_once(nullptr);
}
