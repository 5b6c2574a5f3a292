#include "engine/fast/split_draw.h"

#include <algorithm>
#include <vector>

#include "engine/fast/entropy_index.h"
#include "engine/jpeg_codec.h"
#include "engine/jpeg_glue.h"

namespace {

// Of a full decode's time, the share beyond the entropy decoding (inverse DCT, upsampling,
// colour conversion) for a picture whose every block is kept, as measured on the dev photos.
constexpr double kRestOfDecode = 0.65;

// What reading a picture's data in order and drawing costs beyond passing over it, for the
// blocks the picks keep, with passing over the data as 1: decoding a kept block's
// coefficients costs kDecodingOverPassing times passing over its bits, and transforming,
// upsampling and colouring it as much as passing over kDrawnBlockInBytes bytes, so drawing
// weighs more in a photo saved at a lower quality. Fitted to the two large baseline dev
// photos at 322 x 336 (20 MP at 1.7 bits a pixel, 24 MP at 4.9), where the second reader
// ended 2-3 ms before the decoder met it with the luma share alone: a share too large
// leaves the second reader waiting, one too small makes it read more of what is read again.
constexpr double kDecodingOverPassing = 1.1;
constexpr double kDrawnBlockInBytes = 15;

// A cut that leaves the calling thread more than this share of the rows saves too little to
// pay for the helper.
constexpr double kMostShareForACut = 0.9;

// A helper's part: skips to row `cut` and draws the picks from there, then reads to the end
// as the whole draw does. Holds only plain values and references (the longjmp skips it).
void StreamFrom(Decompressor& jpeg, std::span<const std::uint8_t> bytes,
                const JpegSettings& settings, const Job& job, int cut, BlockFilter& filter,
                RowCounts& counts) {
  if (setjmp(jpeg.err.jump)) ThrowCodecFailure(jpeg.err);
  jpeg_decompress_struct& info = jpeg.info;
  const DecodeOutput output = OpenDecoder(jpeg, bytes, settings, job.feed);
  jpeg_start_decompress(&info);
  JSAMPARRAY scratch = ScratchRow(info);
  filter.skipped = &counts.BlocksSkipped;
  FilterBlocks(info, job, filter);
  if (job.own_entropy && job.index->Prepared()) job.index->Install(info, BlocksKept(info, filter));
  counts.Skipped += static_cast<int>(jpeg_skip_scanlines(&info, static_cast<JDIMENSION>(cut)));
  DrawPicks(info, job, output.Cmyk ? RowKind::kCmyk : RowKind::kBgr, true, scratch, counts, cut,
            static_cast<int>(info.output_height));
  ReadToEnd(info, true, scratch, counts);
}

bool LargeForHelpers(const jpeg_decompress_struct& info, const EngineOptions& options) {
  return HelpersPay(options) &&
         static_cast<double>(info.output_width) * info.output_height >= kLeastPixelsForHelpers;
}

}  // namespace

bool IndexPays(const jpeg_decompress_struct& info, const Job& job, const EngineOptions& options) {
  if (options.Split != SplitDecoding::kAuto) return options.Split == SplitDecoding::kAlways;
  if (job.row_count == 0 || !LargeForHelpers(info, options)) return false;
  const int lines = info.max_v_samp_factor * DCTSIZE;
  int rows_with_picks = 0;
  for (std::size_t j = 0; j < job.row_count; ++j)
    rows_with_picks += j == 0 || job.rows[j] / lines != job.rows[j - 1] / lines;
  return 5 * rows_with_picks <= 4 * static_cast<int>(info.total_iMCU_rows);
}

// With the entropy decoding of a row as 1 and the rest as d, the calling thread takes the
// share f = (1 + d) / (1 + 2d) of the rows, and d is kRestOfDecode times the share of luma
// blocks the picks need.
int SplitRow(const jpeg_decompress_struct& info, const Job& job, const EngineOptions& options,
             bool indexed, const BlockFilter* filter) {
  if (info.quantize_colors || jpeg_has_multiple_scans(const_cast<j_decompress_ptr>(&info)) ||
      job.row_count == 0 || options.Split == SplitDecoding::kNever)
    return 0;
  const int lines = info.max_v_samp_factor * DCTSIZE;
  const int imcu_rows = static_cast<int>(info.total_iMCU_rows);
  if (imcu_rows < 2) return 0;
  if (options.Split == SplitDecoding::kAlways) return imcu_rows / 2 * lines;
  if (!LargeForHelpers(info, options)) return 0;
  if (indexed) return imcu_rows / 2 * lines;  // the helper starts there at once
  if (filter == nullptr) return 0;
  const double d = kRestOfDecode * LumaShareKept(info, *filter);
  const double share = (1 + d) / (1 + 2 * d);
  if (share > kMostShareForACut) return 0;
  return std::clamp(static_cast<int>(share * imcu_rows + 0.5), 1, imcu_rows - 1) * lines;
}

double SecondReaderShare(const jpeg_decompress_struct& info, const BlockFilter* filter,
                         std::size_t data_bytes) {
  // Reading in order and drawing costs the decoder 1 + d for each 1 that passing over the
  // same data costs the second reader; it is where the second reader started, share s, when
  // that one ends, for s (1 + d) = 1 - s.
  const jpeg_component_info& luma = info.comp_info[0];
  const double blocks_a_byte = static_cast<double>(luma.width_in_blocks) *
                               luma.height_in_blocks /
                               static_cast<double>(std::max<std::size_t>(data_bytes, 1));
  const double d = (filter != nullptr ? LumaShareKept(info, *filter) : 1.0) *
                   (kDecodingOverPassing + kDrawnBlockInBytes * blocks_a_byte);
  return 1 / (2 + d);
}

int CutOfTheRest(const jpeg_decompress_struct& info, const Job& job, const EntropyIndex& index,
                 int from) {
  const int lines = info.max_v_samp_factor * DCTSIZE;
  const int height = static_cast<int>(info.output_height);
  const auto imcu_rows = static_cast<std::size_t>(info.total_iMCU_rows);
  const auto first = static_cast<std::size_t>(from / lines);
  if (first + 2 > imcu_rows) return height;
  std::vector<std::uint64_t> cost(imcu_rows - first, 0);
  std::uint64_t total = 0;
  for (std::size_t j = 0; j < job.row_count; ++j) {
    const auto row = static_cast<std::size_t>(job.rows[j] / lines);
    if (row < first || cost[row - first] != 0) continue;
    cost[row - first] = index.RowBits(row) + 1;  // not 0: counted once
    total += cost[row - first];
  }
  std::size_t cut = first + 1;
  for (std::uint64_t before = cost[0]; cut + 1 < imcu_rows && 2 * before < total; ++cut)
    before += cost[cut - first];
  return static_cast<int>(cut) * lines;
}

bool SplitDraw::Start(std::span<const std::uint8_t> bytes, const JpegSettings& settings,
                      const Job& job, int cut) {
  return helper_.Fork([bytes, settings, job, cut, part = &part_] {
    Decompressor jpeg;
    StreamFrom(jpeg, bytes, settings, job, cut, part->filter, part->counts);
    return jpeg.err.num_warnings == 0;
  });
}
