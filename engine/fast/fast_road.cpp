#include "engine/fast/fast_road.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <memory>
#include <vector>

#include "engine/fast/block_filter.h"
#include "engine/fast/dither_pipe.h"
#include "engine/fast/entropy_index.h"
#include "engine/fast/fast_road_check.h"
#include "engine/fast/grey_dither.h"
#include "engine/fast/progressive_store.h"
#include "engine/fast/split_draw.h"
#include "engine/fast/stream_rows.h"
#include "engine/fast/tested_library.h"
#include "engine/fast/threads.h"
#include "engine/fast/upsampling.h"
#include "engine/jpeg_codec.h"
#include "engine/jpeg_glue.h"

static_assert(TESSARINE_TESTED_LIBJPEG_TURBO,
              "the fast road is built only against the libjpeg-turbo releases it was tested with");

namespace {

// Thrown where the check of the picture's layout turns the fast road off, before anything
// is drawn.
struct FastRoadOff {};

// What one draw did on the calling thread.
struct alignas(kCacheLine) Attempt {
  BlockFilter filter;
  RowCounts counts;
  EntropyDecoder decoder = EntropyDecoder::kLibrary;
};

// Draws from the top while the index's second reader reads ahead, the decoder reading in
// order. Once the two are joined, the rows left are cut between this thread and the split
// draw's helper, which starts at its cut through the index; where they are never joined,
// this thread draws on alone. With `wait` (a cut wherever one can be made), the join waits
// for the second reader.
void DrawBesideSecondReader(jpeg_decompress_struct& info, const Job& job, RowKind kind,
                            JSAMPARRAY scratch, EntropyIndex& index, SplitDraw& split,
                            std::span<const std::uint8_t> bytes, const JpegSettings& settings,
                            bool wait, Attempt& attempt) {
  const int lines = info.max_v_samp_factor * DCTSIZE;
  const int height = static_cast<int>(info.output_height);
  for (int row = 0; row < height;) {
    const int next = std::min(row + lines, height);
    DrawPicks(info, job, kind, true, scratch, attempt.counts, row, next);
    row = next;
    if (!index.JoinSecondReader(info, wait)) continue;
    attempt.decoder = EntropyDecoder::kEngineIndexed;
    const int cut = CutOfTheRest(info, job, index, row);
    if (cut < height && split.Start(bytes, settings, job, cut)) {
      // The helper reads from the cut to the end; this library object stops there unfinished.
      DrawPicks(info, job, kind, true, scratch, attempt.counts, row, cut);
      return;
    }
  }
  ReadToEnd(info, true, scratch, attempt.counts);
}

// The calling thread's part of one draw, with the split draw's helper where `split` is given.
// Holds only plain values and references: the library's longjmp skips it.
void StreamWith(Decompressor& jpeg, std::span<const std::uint8_t> bytes,
                const JpegSettings& settings, const Job& job, const EngineOptions& options,
                EntropyIndex& index, ProgressiveStore& progressive, GreyDither& dither,
                DitherPipe& pipe, SplitDraw* split, bool checked, FastDraw& draw,
                Attempt& attempt) {
  if (setjmp(jpeg.err.jump)) ThrowCodecFailure(jpeg.err);
  jpeg_decompress_struct& info = jpeg.info;
  const DecodeOutput output = OpenDecoder(jpeg, bytes, settings, job.feed);
  if (checked && !LayoutPassesCheck(LayoutOf(info), info.progressive_mode)) throw FastRoadOff{};
  // Grey output dithered by the library's rule is dithered here instead (DitherRow).
  const bool own_dither = info.quantize_colors && info.out_color_space == JCS_GRAYSCALE &&
                          info.dither_mode == JDITHER_FS && info.desired_number_of_colors >= 2 &&
                          info.desired_number_of_colors <= 256;
  if (own_dither) {
    MakeGreyLevels(info.desired_number_of_colors, dither);
    info.quantize_colors = FALSE;
  } else {
    progressive.Arrange(info, job, HelpersPay(options));
  }
  jpeg_start_decompress(&info);
  draw.Started = true;
  draw.Width = static_cast<int>(info.output_width);
  draw.Height = static_cast<int>(info.output_height);
  draw.HasTable = own_dither || (info.quantize_colors && info.colormap != nullptr);
  RowKind kind = output.Cmyk ? RowKind::kCmyk : RowKind::kBgr;
  if (own_dither) {
    kind = RowKind::kGreyLevels;
    const std::size_t error_bytes = (info.output_width + 2) * sizeof(std::int16_t);
    dither.errors = static_cast<std::int16_t*>(
        info.mem->alloc_large(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE, error_bytes));
    std::memset(dither.errors, 0, error_bytes);
    dither.odd_row = false;
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
  if (own_dither) {
    if (job.own_entropy && index.Prepare(info)) {
      index.Install(info);
      attempt.decoder = EntropyDecoder::kEngine;
    }
    StreamGrey(info, job, dither, scratch, attempt.counts, pipe, HelpersPay(options));
    jpeg_finish_decompress(&info);
    return;
  }
  const bool skip = SkipIsExact(info);
  const bool filtered = FilterBlocks(info, job, attempt.filter);
  if (progressive.InPlace()) {
    attempt.decoder = EntropyDecoder::kEngineProgressive;
    if (!filtered) progressive.Fail();  // it holds only the blocks the filter keeps
  }
  bool indexed = false, beside = false;
  if (job.own_entropy && index.Prepare(info)) {
    const McuBlocksKept kept = BlocksKept(info, attempt.filter);
    const bool every_mcu = PassingMcusPays(kept, info.MCUs_per_row);
    if (skip && IndexPays(info, job, options)) {
      beside = split != nullptr && options.Threads &&
               index.StartSecondReader(
                   SecondReaderShare(info, filtered ? &attempt.filter : nullptr,
                                     index.DataBytes()),
                   every_mcu);
      indexed = !beside && index.Build(options.Threads, every_mcu);
    }
    if (index.Prepared()) {  // else the data failed the index: left to the library
      index.Install(info, kept);
      attempt.decoder = indexed ? EntropyDecoder::kEngineIndexed : EntropyDecoder::kEngine;
    }
  }
  if (beside) {
    DrawBesideSecondReader(info, job, kind, scratch, index, *split, bytes, settings,
                           options.Split == SplitDecoding::kAlways, attempt);
    return;
  }
  const int cut = split != nullptr && skip && options.Threads
                      ? SplitRow(info, job, options, indexed, filtered ? &attempt.filter : nullptr)
                      : 0;
  if (cut > 0 && split->Start(bytes, settings, job, cut)) {
    // The helper reads from the cut to the end; this library object stops there unfinished.
    DrawPicks(info, job, kind, skip, scratch, attempt.counts, 0, cut);
    return;
  }
  DrawPicks(info, job, kind, skip, scratch, attempt.counts, 0,
            static_cast<int>(info.output_height));
  ReadToEnd(info, skip, scratch, attempt.counts);
}

// One draw: the calling thread's part, and the helper's where `split` is given. True when
// the library did not warn on this thread.
bool DrawOnce(std::span<const std::uint8_t> bytes, const JpegSettings& settings, const Job& job,
              const EngineOptions& options, EntropyIndex& index, ProgressiveStore& progressive,
              GreyDither& dither, SplitDraw* split, bool checked, FastDraw& draw,
              Attempt& attempt) {
  draw = {};
  attempt = {};
  attempt.filter.skipped = &attempt.counts.BlocksSkipped;
  Decompressor jpeg;
  DitherPipe pipe;  // after jpeg: its worker ends before the library object goes
  StreamWith(jpeg, bytes, settings, job, options, index, progressive, dither, pipe, split,
             checked, draw, attempt);
  return jpeg.err.num_warnings == 0;
}

// How the first draw of a picture ended.
struct FirstDraw {
  bool raised = false;        // the calling thread's part raised an error
  bool warned = false;        // the library warned on the calling thread
  bool split = false;         // a helper drew the rows from the cut on
  bool helper_clean = false;  // ... without an error or a warning
  bool engine_decoder_failed = false;  // the engine's entropy decoder met data it does not take
};

// What becomes of the first draw.
enum class Verdict {
  kKeep,   // it stands
  kRaise,  // its error stands: one thread read the data as the plain road reads it
  // It is dropped, and the picture drawn again on one thread by the library's decoder
  // alone, which gives the exact pixels, warnings and errors of damaged data.
  kDrawAgainWithTheLibrarysDecoder,
};

// The engine's decoder takes only clean data and leaves the rest to the library, so a draw
// in which it failed is done again. A draw on one thread otherwise stands, error or warning
// included (the library met them just as on the plain road); a split draw stands only when
// both parts were clean, since each part alone would not see all the damage.
Verdict Judge(const FirstDraw& first) {
  if (first.engine_decoder_failed) return Verdict::kDrawAgainWithTheLibrarysDecoder;
  if (!first.split) return first.raised ? Verdict::kRaise : Verdict::kKeep;
  return first.raised || first.warned || !first.helper_clean
             ? Verdict::kDrawAgainWithTheLibrarysDecoder
             : Verdict::kKeep;
}

DrawReport Report(const Attempt& attempt, const RowCounts* helper, bool redrawn) {
  DrawReport report;
  report.Road = EngineRoad::kFast;
  report.Decoder = attempt.decoder;
  report.RowsRead = attempt.counts.Read;
  report.RowsSkipped = attempt.counts.Skipped;
  report.BlocksSkipped = attempt.counts.BlocksSkipped;
  if (helper != nullptr) {
    report.RowsRead += helper->Read;
    report.RowsSkipped += helper->Skipped;
    report.BlocksSkipped += helper->BlocksSkipped;
    report.Split = true;
  }
  report.Redrawn = redrawn;
  return report;
}

}  // namespace

bool DrawJpegFast(std::span<const std::uint8_t> bytes, const JpegSettings& settings,
                  const StretchPlan& plan, Raster& target, const EngineOptions& options,
                  FastDraw& draw, DrawReport& report) {
  return DrawFast(bytes, settings, plan, target, options, draw, report, true);
}

bool DrawFast(std::span<const std::uint8_t> bytes, const JpegSettings& settings,
              const StretchPlan& plan, Raster& target, const EngineOptions& options,
              FastDraw& draw, DrawReport& report, bool checked) {
  std::vector<std::uint8_t*> target_rows;
  if (!plan.Empty()) {
    target_rows.reserve(plan.Rows.size());
    for (std::size_t j = 0; j < plan.Rows.size(); ++j)
      target_rows.push_back(target.RowAddress(plan.Y0 + static_cast<int>(j)) + 3 * plan.X0);
  }
  std::array<std::uint8_t, 3 * 256> bgr_table{};
  const auto dither = std::make_unique<GreyDither>();
  EntropyIndex index;
  ProgressiveStore progressive;
  Job job;
  job.cols = plan.Cols.data();
  job.col_count = plan.Empty() ? 0 : plan.Cols.size();
  job.rows = plan.Rows.data();
  job.target_rows = target_rows.data();
  job.row_count = target_rows.size();
  job.bgr_table = &bgr_table;
  job.index = &index;
  job.feed = FeedFor(bytes);
  // The engine's entropy decoder reads the whole picture in hand; fill bytes in the data are
  // left to the library, fed as a file source feeds it.
  job.own_entropy = job.feed == SourceFeed::kWhole;

  Attempt attempt;
  FirstDraw first;
  std::exception_ptr error;
  RowCounts helper_counts;
  {
    SplitDraw split;
    try {
      first.warned =
          !DrawOnce(bytes, settings, job, options, index, progressive, *dither, &split, checked,
                    draw, attempt);
    } catch (const FastRoadOff&) {
      draw = {};
      return false;
    } catch (...) {
      error = std::current_exception();
      first.raised = true;
    }
    first.split = split.Started();
    first.helper_clean = split.Join();
    index.StopSecondReader();  // where the draw left early
    helper_counts = split.Counts();
  }
  progressive.Finish();
  first.engine_decoder_failed = index.Failed() || progressive.Failed();
  switch (Judge(first)) {
    case Verdict::kKeep:
      report = Report(attempt, first.split ? &helper_counts : nullptr, false);
      return true;
    case Verdict::kRaise:
      report = Report(attempt, nullptr, false);
      std::rethrow_exception(error);
    case Verdict::kDrawAgainWithTheLibrarysDecoder:
      break;
  }
  job.own_entropy = false;
  report = Report({}, nullptr, true);
  DrawOnce(bytes, settings, job, options, index, progressive, *dither, nullptr, false, draw,
           attempt);
  report = Report(attempt, nullptr, true);
  return true;
}
