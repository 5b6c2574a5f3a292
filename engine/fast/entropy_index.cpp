#include "engine/fast/entropy_index.h"

#include <algorithm>
#include <atomic>
#include <new>

#include "engine/fast/threads.h"
#include "engine/large_pages.h"
#include "engine/memory_budget.h"

#include <jerror.h>
#include <jpegint.h>  // struct jpeg_entropy_decoder, which the indexed decoder stands in for

namespace {

// A reader standing at `bit` from `base`, which must fall in a data byte's first byte.
BitPosition PositionAt(std::uint64_t bit, const std::uint8_t* base, const std::uint8_t* end) {
  Reader r{{base + bit / 8, 0, 0, 0}, end};
  r.Fill();
  r.Skip(static_cast<int>(bit & 7));
  return r.at;
}


// Stands in for the library's entropy decoder; the library sees only `pub`.
struct IndexedDecoder {
  jpeg_entropy_decoder pub;
  const EntropyIndex* index;
  McuStart state;
  std::size_t next_mcu;   // the MCU the library asks for next
  std::size_t state_mcu;  // the MCU `state` stands at
  McuBlocksKept kept;  // the blocks the draw uses; the others are passed over
  std::size_t mcus_per_row;
  // Reading in order beside a second reader, until the two have met or never can: the next
  // MCU row's first MCU, and where the second reader started.
  EntropyIndex::SecondReader* second = nullptr;
  std::size_t next_row = 0;
  const std::uint8_t* watch = nullptr;
  unsigned Kept(std::size_t mcu) const {
    if (kept.cols == nullptr) return ~0u;
    return kept.cols[mcu % mcus_per_row] & kept.rows[mcu / mcus_per_row];
  }
};

void StartPass(j_decompress_ptr) {}

// Keeps the MCU rows' starts and looks for the second reader's marks (below).
void FollowSecondReader(IndexedDecoder& d);

// At the start of MCU d.state_mcu, reading in order.
[[gnu::always_inline]] inline void Follow(IndexedDecoder& d) {
  if (d.second != nullptr && (d.state_mcu == d.next_row || d.state.at.next >= d.watch))
    FollowSecondReader(d);
}

boolean DecodeIndexed(j_decompress_ptr info, JBLOCKROW* blocks) {
  auto& d = *reinterpret_cast<IndexedDecoder*>(info->entropy);
  const std::size_t mcu = d.next_mcu++;
  if (blocks == nullptr) return TRUE;
  const unsigned kept = d.Kept(mcu);
  if (kept == 0 && d.index->MarksEveryMcu()) return TRUE;  // the next one is sought
  if (d.state_mcu != mcu) d.state = d.index->Seek(mcu);
  // The index took this data, so it decodes; a failure would be a bad code all the same.
  const bool ok = kept != 0 ? d.index->DecodeMcu<true>(d.state, blocks, kept)
                            : d.index->DecodeMcu<false>(d.state, nullptr);
  if (!ok) WARNMS(info, JWRN_HUFF_BAD_CODE);
  d.state_mcu = mcu + 1;
  return TRUE;
}

// In order, without an index: MCUs the library passes over are read when a later one is
// asked for. After the last MCU the source is set at the marker that follows, as the
// library's own decoder would leave it. On anything the index would not take, the rest
// comes out as zeros, the library is led to the end of the image, and the index reports
// the failure, so that the draw is done again by the library's decoder.
boolean DecodeInOrder(j_decompress_ptr info, JBLOCKROW* blocks) {
  auto& d = *reinterpret_cast<IndexedDecoder*>(info->entropy);
  const std::size_t mcu = d.next_mcu++;
  const std::size_t last = d.index->Mcus() - 1;
  if ((blocks == nullptr && mcu < last) || d.index->Failed()) return TRUE;
  bool ok = true;
  for (; ok && d.state_mcu < mcu; ++d.state_mcu) {
    Follow(d);
    ok = d.index->DecodeMcu<false>(d.state, nullptr);
  }
  if (ok) Follow(d);
  const unsigned kept = blocks != nullptr ? d.Kept(mcu) : 0u;
  ok = ok && (kept != 0 ? d.index->DecodeMcu<true>(d.state, blocks, kept)
                        : d.index->DecodeMcu<false>(d.state, nullptr));
  d.state_mcu = mcu + 1;
  const std::uint8_t* marker = ok && mcu == last ? d.index->MarkerAfter(d.state) : nullptr;
  if (ok && mcu < last) return TRUE;
  if (marker == nullptr) {
    d.index->Fail();
    static const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};
    marker = kEndOfImage;
    info->src->bytes_in_buffer = 2;
  } else {
    info->src->bytes_in_buffer -= static_cast<std::size_t>(
        marker - reinterpret_cast<const std::uint8_t*>(info->src->next_input_byte));
  }
  info->src->next_input_byte = marker;
  return TRUE;
}

}  // namespace

namespace {

// Decodes one block's coefficients into `block` (zeroed by the caller), or passes over them
// when kStore is false; `dc` is its component's prediction. False on data the index would
// not have taken. Always inlined, so that the reader stays in registers: called, it runs
// about a quarter slower.
template <bool kStore>
[[gnu::always_inline]] inline bool DecodeBlock(Reader& r, int& dc,
                                              const HuffmanDecodeTable& dc_table,
                                              const HuffmanDecodeTable& ac, JCOEF* block) {
  if (r.at.count < 32) r.Fill();
  if (!DecodeDc(r, dc_table, dc)) return false;
  if constexpr (kStore) block[0] = static_cast<JCOEF>(dc);
  for (int k = 1; k < 64;) {
    if (r.at.count < 32) r.Fill();
    if constexpr (!kStore) {
      // Several coefficients at once, when none of them can end the block early.
      const unsigned run = ac.skip_ac[r.Peek(kSkipBits)];
      const int advanced = (run >> 4) & 127;
      if (run != 0 && k + advanced < 64) {
        r.Skip(static_cast<int>(run & 15));
        k += advanced;
        if (run & (1u << 11)) break;
        continue;
      }
    }
    const std::int32_t entry = ac.fast_ac[r.Peek(kLookBits)];
    if (entry != 0) {
      r.Skip(entry & 0xFF);
      const int run = (entry >> 8) & 0xFF;
      if (run == kEndOfBlock) break;
      k += run;
      if (k > 63) return false;
      if constexpr (kStore) block[kNaturalOrder[k]] = static_cast<JCOEF>(entry >> 16);
      ++k;
      continue;
    }
    const int symbol = ac.Decode(r);
    if (symbol < 0) return false;
    const int run = symbol >> 4, bits = symbol & 15;
    if (bits == 0) {
      if (run != 15) break;
      k += 16;
      continue;
    }
    k += run;
    if (k > 63) return false;
    const int value = Extend(static_cast<int>(r.Peek(bits)), bits);
    r.Skip(bits);
    if constexpr (kStore) block[kNaturalOrder[k]] = static_cast<JCOEF>(value);
    ++k;
  }
  return true;
}

}  // namespace

template <bool kStore>
bool EntropyIndex::DecodeMcu(McuStart& start, JBLOCKROW* blocks, unsigned kept) const {
  Reader r{start.at, data_end_};
  for (int b = 0; b < blocks_in_mcu_; ++b) {
    int& dc = start.dc[block_component_[b]];
    const bool ok = kStore && (kept >> b & 1u)
                        ? DecodeBlock<true>(r, dc, *dc_table_[b], *ac_table_[b], blocks[b][0])
                        : DecodeBlock<false>(r, dc, *dc_table_[b], *ac_table_[b], nullptr);
    if (!ok) return false;
  }
  start.at = r.at;
  return r.at.count >= r.at.made_up;  // else it used bits from past the data's end
}

template bool EntropyIndex::DecodeMcu<true>(McuStart&, JBLOCKROW*, unsigned) const;
template bool EntropyIndex::DecodeMcu<false>(McuStart&, JBLOCKROW*, unsigned) const;

McuStart EntropyIndex::Seek(std::size_t mcu) const {
  // Joined beside an in-order decoder, the index has no marks of its own before the join.
  if (every_mcu_ && (mcu >= join_mcu_ || mcu < first_marks_.size())) {
    static constexpr int kNoOffset[MAX_COMPS_IN_SCAN] = {};
    return mcu < join_mcu_ ? StartAt(first_marks_[mcu], kNoOffset)
                           : StartAt(second_marks_[join_mark_ + (mcu - join_mcu_)], join_offset_);
  }
  const std::size_t row = mcu / mcus_per_row_;
  McuStart start = rows_[row];
  for (std::size_t m = row * mcus_per_row_; m < mcu; ++m) DecodeMcu<false>(start, nullptr);
  return start;
}

namespace {

EntropyIndex::RowStart StartOf(const McuStart& at, const std::uint8_t* base) {
  EntropyIndex::RowStart start;
  start.bit = BitOffset(at.at, base);
  std::copy(std::begin(at.dc), std::end(at.dc), start.dc.begin());
  return start;
}

}  // namespace

EntropyIndex::RowStart EntropyIndex::Row(std::size_t row) const {
  return StartOf(rows_[row], base_);
}

EntropyIndex::RowStart EntropyIndex::At(std::size_t mcu) const {
  return StartOf(Seek(mcu), base_);
}

bool PassingMcusPays(McuBlocksKept kept, std::size_t mcus_per_row) {
  if (kept.cols == nullptr) return false;
  std::size_t unused = 0;
  for (std::size_t x = 0; x < mcus_per_row; ++x) unused += kept.cols[x] == 0;
  return 4 * unused >= mcus_per_row;
}

bool EntropyIndex::Build(bool two_readers, bool every_mcu, std::size_t most_marks) {
  built_ = joined_ = every_mcu_ = false;
  rows_.clear();
  Marks().swap(first_marks_);
  Marks().swap(second_marks_);
  if (!prepared_) return false;
  rows_.reserve(mcus_ / mcus_per_row_);
  built_ = Scan(two_readers, every_mcu, most_marks);
  if (!built_) {
    rows_.clear();
    every_mcu_ = false;
    prepared_ = false;  // data the in-order decoder would fail on too
  }
  return built_;
}

bool EntropyIndex::Prepare(jpeg_decompress_struct& info) {
  prepared_ = false;
  failed_ = false;
  if (info.progressive_mode || info.arith_code || jpeg_has_multiple_scans(&info) ||
      info.restart_interval != 0 || info.data_precision != 8 ||
      info.comps_in_scan != info.num_components || info.blocks_in_MCU > D_MAX_BLOCKS_IN_MCU ||
      info.src == nullptr || info.src->bytes_in_buffer == 0 || info.MCUs_per_row == 0)
    return false;
  tables_ = std::make_unique_for_overwrite<HuffmanDecodeTable[]>(2 * NUM_HUFF_TBLS);
  for (int ci = 0; ci < info.comps_in_scan; ++ci) {
    const jpeg_component_info& comp = *info.cur_comp_info[ci];
    if (comp.dc_tbl_no < 0 || comp.dc_tbl_no >= NUM_HUFF_TBLS || comp.ac_tbl_no < 0 ||
        comp.ac_tbl_no >= NUM_HUFF_TBLS)
      return false;
  }
  bool made[2 * NUM_HUFF_TBLS] = {};
  blocks_in_mcu_ = info.blocks_in_MCU;
  for (int b = 0; b < blocks_in_mcu_; ++b) {
    const int ci = info.MCU_membership[b];
    const jpeg_component_info& comp = *info.cur_comp_info[ci];
    block_component_[b] = ci;
    for (const bool ac : {false, true}) {
      const int number = ac ? comp.ac_tbl_no : comp.dc_tbl_no;
      const JHUFF_TBL* table =
          ac ? info.ac_huff_tbl_ptrs[number] : info.dc_huff_tbl_ptrs[number];
      const int slot = (ac ? NUM_HUFF_TBLS : 0) + number;
      if (table == nullptr) return false;
      if (!made[slot] &&
          !tables_[slot].Make(*table, ac ? TableUse::kPassing : TableUse::kSymbols))
        return false;
      made[slot] = true;
      (ac ? ac_table_ : dc_table_)[b] = &tables_[slot];
    }
  }
  mcus_per_row_ = info.MCUs_per_row;
  mcus_ = mcus_per_row_ * info.MCU_rows_in_scan;
  base_ = reinterpret_cast<const std::uint8_t*>(info.src->next_input_byte);
  data_end_ = base_ + info.src->bytes_in_buffer;
  prepared_ = true;
  return true;
}

const std::uint8_t* EntropyIndex::MarkerAfter(std::uint64_t bit) const {
  return MarkerAt(bit, base_, data_end_);
}

// The reader's state at a mark, its DC predictions moved by `offset`.
McuStart EntropyIndex::StartAt(const Mark& mark, const int* offset) const {
  McuStart start;
  start.at = PositionAt(mark.bit, base_, data_end_);
  for (int c = 0; c < MAX_COMPS_IN_SCAN; ++c) start.dc[c] = mark.dc[c] + offset[c];
  return start;
}

// Marks a reader's state `start` in `mark`; false where a DC prediction does not fit.
bool EntropyIndex::MarkAt(const McuStart& start, const std::uint8_t* base, Mark& mark) {
  mark.bit = BitOffset(start.at, base);
  bool fits = true;
  for (int c = 0; c < MAX_COMPS_IN_SCAN; ++c) {
    fits = fits && start.dc[c] >= INT16_MIN && start.dc[c] <= INT16_MAX;
    mark.dc[c] = static_cast<std::int16_t>(start.dc[c]);
  }
  return fits;
}

// The second reader of a scan: it starts in the middle of the data as if an MCU began there,
// and marks where every MCU it decodes begins. Huffman codes fall into step within a few
// blocks, so once the first reader meets one of its marks, every later mark is a true MCU
// start. A bad code starts a new run a byte further on; the real data's end ends the reader.
// It runs on a helper thread (threads.h): it alone writes its marks and runs until it has
// closed the queue, and the first reader reads only the marks published to it.
struct alignas(kCacheLine) EntropyIndex::Speculation {
  static constexpr int kMaxRuns = 64;
  static constexpr std::size_t kPublishEvery = 64;  // marks handed over at a time

  Marks marks;  // not cleared: only published ones are read
  std::size_t capacity = 0;
  RowQueue queue;  // the marks published; stopped once the first reader is done
  std::vector<std::size_t> run_starts;  // the reader's own until it has ended

  void Run(const EntropyIndex& index, const std::uint8_t* from) {
    McuStart start;
    start.at.next = from;
    std::size_t n = 0;
    run_starts.push_back(0);
    while (n < capacity && !queue.Stopped()) {
      Mark& mark = marks[n];
      const bool fits = MarkAt(start, index.base_, mark);
      if (++n % kPublishEvery == 0) queue.Publish(n);
      if (fits && index.DecodeMcu<false>(start, nullptr)) continue;
      if (start.at.made_up > 0 || static_cast<int>(run_starts.size()) == kMaxRuns) break;
      const std::uint8_t* next = index.base_ + mark.bit / 8 + 1;
      while (next < index.data_end_ && next[-1] == 0xFF) ++next;
      start = McuStart{};
      start.at.next = next;
      run_starts.push_back(n);
    }
    queue.Publish(n);
    queue.Close();
  }

  // What the first reader has seen of the marks: how many were published, whether that is
  // all of them, and the first one not yet behind it.
  struct Seen {
    std::size_t published = 0;
    bool all_published = false;
    std::size_t next = 0;
  };
  enum class Meeting { kMet, kNotHere, kNever };
  // The first reader stands at `bit`, past where this reader started: kMet where one of the
  // marks is there (seen.next is then that mark), kNever once it has passed every mark.
  // Waits until this reader has passed that point (it may still be starting up).
  Meeting Meet(std::uint64_t bit, Seen& seen) {
    while (!seen.all_published &&
           (seen.published == 0 || marks[seen.published - 1].bit < bit)) {
      const std::size_t now = queue.WaitForItems(seen.published);
      seen.all_published = now <= seen.published;  // closed with nothing new
      seen.published = std::max(seen.published, now);
    }
    while (seen.next < seen.published && marks[seen.next].bit < bit) ++seen.next;
    if (seen.next < seen.published && marks[seen.next].bit == bit) return Meeting::kMet;
    return seen.all_published && seen.next == seen.published ? Meeting::kNever
                                                             : Meeting::kNotHere;
  }

  // The run that holds mark j, once the reader has ended: its first mark, and the first
  // mark after it.
  std::pair<std::size_t, std::size_t> RunOf(std::size_t j, std::size_t published) const {
    std::size_t first = 0, after = published;
    for (const std::size_t r : run_starts) {
      if (r <= j) first = r;
      else if (r < after) after = r;
    }
    return {first, after};
  }
};

// The second reader beside a decoder that reads in order and draws as it goes. The decoder
// keeps the MCU rows' starts up to where it meets the second reader's marks, as Scan's first
// reader does. The second reader runs on a helper thread and writes only its Speculation;
// the decoder's thread writes only the Follower, and reads the marks the second reader has
// published, all of them once it is joined.
struct EntropyIndex::SecondReader {
  Speculation speculation;
  const std::uint8_t* base = nullptr;
  const std::uint8_t* from = nullptr;  // where the second reader started
  bool every_mcu = false;
  struct alignas(kCacheLine) Follower {
    std::vector<McuStart> rows;  // the MCU rows' starts up to where the two met
    Speculation::Seen seen;
    bool met = false;      // at MCU `mcu`, whose start `at` is its mark `mark`
    bool never = false;    // the decoder passed every mark
    std::size_t mcu = 0, mark = 0;
    McuStart at;
  } follower;
  ForkJoin helper;  // last: joined before the marks go

  SecondReader() = default;
  SecondReader(const SecondReader&) = delete;
  SecondReader& operator=(const SecondReader&) = delete;
  ~SecondReader() {
    speculation.queue.Stop();
    helper.Join();
  }

  // At the start `at` of MCU `mcu`, past where the second reader started: false once the two
  // have met, or never can.
  bool Meet(const McuStart& at, std::size_t mcu) {
    Follower& f = follower;
    switch (speculation.Meet(BitOffset(at.at, base), f.seen)) {
      case Speculation::Meeting::kMet:
        f.met = true;
        f.mcu = mcu;
        f.mark = f.seen.next;
        f.at = at;
        return false;
      case Speculation::Meeting::kNever: f.never = true; return false;
      case Speculation::Meeting::kNotHere: return true;
    }
    return false;
  }
};

namespace {

void FollowSecondReader(IndexedDecoder& d) {
  if (d.state_mcu == d.next_row) {
    d.second->follower.rows.push_back(d.state);
    d.next_row += d.mcus_per_row;
  }
  if (d.state.at.next >= d.watch && !d.second->Meet(d.state, d.state_mcu)) d.second = nullptr;
}

}  // namespace

EntropyIndex::EntropyIndex() = default;
EntropyIndex::~EntropyIndex() = default;

bool EntropyIndex::StartSecondReader(double share, bool every_mcu) {
  if (!prepared_ || built_ || second_ != nullptr) return false;
  joined_ = every_mcu_ = false;
  rows_.clear();
  Marks().swap(first_marks_);
  Marks().swap(second_marks_);
  const auto size = static_cast<std::size_t>(data_end_ - base_);
  auto from = static_cast<std::size_t>(share * static_cast<double>(size));
  while (from > 0 && from < size && base_[from - 1] == 0xFF) ++from;
  const std::uint64_t mark_bytes = (mcus_ + 1) * sizeof(Mark);
  if (from == 0 || from >= size || mark_bytes > MemoryBudget() / 4) return false;
  try {
    auto second = std::make_unique<SecondReader>();
    second->speculation.capacity = mcus_ + 1;
    second->speculation.marks.resize(second->speculation.capacity);
    second->follower.rows.reserve(mcus_ / mcus_per_row_ + 1);
    second->base = base_;
    second->from = base_ + from;
    second->every_mcu = every_mcu;
    if (!second->helper.Fork([speculation = &second->speculation, index = this,
                              at = second->from] { speculation->Run(*index, at); }))
      return false;
    second_ = std::move(second);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool EntropyIndex::JoinSecondReader(jpeg_decompress_struct& info, bool wait) {
  SecondReader* second = second_.get();
  if (second == nullptr) return false;
  auto& d = *reinterpret_cast<IndexedDecoder*>(info.entropy);
  const SecondReader::Follower& f = second->follower;
  if (f.never || d.next_mcu >= mcus_) {  // no use for it any more
    d.second = nullptr;
    StopSecondReader();
    return false;
  }
  if (!f.met) return false;
  if (!wait) {
    bool closed = false;
    second->speculation.queue.Published(closed);
    if (!closed) return false;
  }
  second->helper.Join();  // it runs to its end
  rows_ = f.rows;
  if (Join(second->speculation, f.mcu, f.mark, f.at) != Joining::kJoined) {
    rows_.clear();
    joined_ = false;
    marker_ = nullptr;
    d.second = nullptr;  // it reads on in order, and checks the data's end itself
    StopSecondReader();
    return false;
  }
  built_ = true;
  every_mcu_ = second->every_mcu;
  if (every_mcu_) {
    second_marks_ = std::move(second->speculation.marks);
    join_mcu_ = f.mcu;
    join_mark_ = f.mark;
  }
  d.pub.decode_mcu = DecodeIndexed;
  d.second = nullptr;
  StopSecondReader();
  const auto* at = reinterpret_cast<const std::uint8_t*>(info.src->next_input_byte);
  info.src->bytes_in_buffer -= static_cast<std::size_t>(marker_ - at);
  info.src->next_input_byte = marker_;
  return true;
}

void EntropyIndex::StopSecondReader() {
  if (second_ != nullptr) second_.reset();
}

std::uint64_t EntropyIndex::RowBits(std::size_t row) const {
  const std::uint64_t end = row + 1 < rows_.size()
                                ? BitOffset(rows_[row + 1].at, base_)
                                : static_cast<std::uint64_t>(marker_ - base_) * 8;
  return end - BitOffset(rows_[row].at, base_);
}

bool EntropyIndex::Scan(bool two_readers, bool every_mcu, std::size_t most_marks) {
  Speculation second;
  const auto size = static_cast<std::size_t>(data_end_ - base_);
  std::size_t mid = size / 2;
  while (mid < size && base_[mid - 1] == 0xFF) ++mid;
  // The marks take 16 bytes an MCU, each reader's in its own store (of which they touch
  // about half when two read); where memory is that short, one reader does it all, and
  // only the rows' starts are kept.
  const std::uint64_t mark_bytes = (mcus_ + 1) * sizeof(Mark);
  bool reserved = false;
  if (two_readers && mid > 0 && mid < size && mark_bytes <= MemoryBudget() / 4) {
    try {
      second.capacity = std::min<std::size_t>(mcus_ + 1, most_marks);
      second.marks.resize(second.capacity);
      reserved = true;
    } catch (const std::bad_alloc&) {
    }
  }
  every_mcu = every_mcu && mark_bytes <= MemoryBudget() / 4;  // this reader marks each MCU
  if (every_mcu) {
    try {
      first_marks_.resize(mcus_);
    } catch (const std::bad_alloc&) {
      every_mcu = false;
    }
  }
  ForkJoin helper;
  struct Stopper {  // on every way out, before the helper is joined
    RowQueue& queue;
    ~Stopper() { queue.Stop(); }
  } stopper{second.queue};
  bool reading =  // whether the second reader's marks are still to be met
      reserved && helper.Fork([second = &second, index = this, from = base_ + mid] {
        second->Run(*index, from);
      });

  McuStart start;
  start.at.next = base_;
  Speculation::Seen seen;
  for (std::size_t m = 0; m < mcus_; ++m) {
    if (m % mcus_per_row_ == 0) rows_.push_back(start);
    if (every_mcu) every_mcu = MarkAt(start, base_, first_marks_[m]);
    if (reading && start.at.next >= base_ + mid) {
      const Speculation::Meeting meeting = second.Meet(BitOffset(start.at, base_), seen);
      const std::size_t j = seen.next;
      if (meeting == Speculation::Meeting::kMet) {
        helper.Join();  // the second reader runs to its end
        switch (Join(second, m, j, start)) {
          case Joining::kJoined:
            every_mcu_ = every_mcu;
            if (every_mcu_) {
              second_marks_ = std::move(second.marks);
              join_mcu_ = m;
              join_mark_ = j;
            }
            return true;
          case Joining::kNoMarkerAfter: return false;
          case Joining::kNotCovered: break;  // it stopped short: this reader reads on alone
        }
        reading = false;
      } else if (meeting == Speculation::Meeting::kNever) {
        reading = false;  // past every mark
      }
    }
    if (!DecodeMcu<false>(start, nullptr)) return false;
  }
  every_mcu_ = every_mcu;
  join_mcu_ = mcus_;  // this reader marked them all
  marker_ = MarkerAfter(BitOffset(start.at, base_));
  return marker_ != nullptr;
}

// This reader, at MCU m with `start`, met the second reader's mark j (the second reader has
// ended): the second reader's marks from j on are the MCU starts from m on, its DC
// predictions off by a constant, provided its run from j reaches the data's end.
EntropyIndex::Joining EntropyIndex::Join(Speculation& second, std::size_t m,
                                         std::size_t j, const McuStart& start) {
  const std::size_t published = second.queue.WaitForItems(SIZE_MAX);  // closed: all of them
  const std::size_t last = j + (mcus_ - m);  // where the data must end
  const auto [first, after] = second.RunOf(j, published);
  if (first > j || last >= after) return Joining::kNotCovered;
  const Mark* marks = second.marks.data();
  int* offset = join_offset_;
  for (int c = 0; c < MAX_COMPS_IN_SCAN; ++c) offset[c] = start.dc[c] - marks[j].dc[c];
  for (std::size_t row = (m + mcus_per_row_ - 1) / mcus_per_row_;
       row * mcus_per_row_ < mcus_; ++row) {
    if (row * mcus_per_row_ == m) continue;  // this reader marked it
    rows_.push_back(StartAt(marks[j + row * mcus_per_row_ - m], offset));
  }
  marker_ = MarkerAfter(marks[last].bit);
  joined_ = true;
  return marker_ != nullptr ? Joining::kJoined : Joining::kNoMarkerAfter;
}

void EntropyIndex::Install(jpeg_decompress_struct& info, McuBlocksKept kept) const {
  if (built_) {
    InstallDecoder(info, DecodeIndexed, rows_.front(), kept);
    info.src->next_input_byte = marker_;
    info.src->bytes_in_buffer = static_cast<std::size_t>(data_end_ - marker_);
  } else {
    McuStart start;
    start.at.next = base_;
    InstallDecoder(info, DecodeInOrder, start, kept);
    if (second_ != nullptr) {
      auto& d = *reinterpret_cast<IndexedDecoder*>(info.entropy);
      d.second = second_.get();
      d.watch = second_->from;
    }
  }
}

void EntropyIndex::InstallDecoder(jpeg_decompress_struct& info,
                                  boolean (*decode)(j_decompress_ptr, JBLOCKROW*),
                                  const McuStart& start, McuBlocksKept kept) const {
  void* place = info.mem->alloc_small(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                      sizeof(IndexedDecoder));
  auto* d = new (place) IndexedDecoder{};
  d->pub.start_pass = StartPass;
  d->pub.decode_mcu = decode;
  d->pub.insufficient_data = FALSE;
  d->index = this;
  d->state = start;
  d->next_mcu = 0;
  d->state_mcu = 0;
  d->kept = kept;
  d->mcus_per_row = mcus_per_row_;
  info.entropy = &d->pub;
}

const std::uint8_t* EntropyIndex::MarkerAfter(const McuStart& end) const {
  return end.at.count < end.at.made_up ? nullptr : MarkerAfter(BitOffset(end.at, base_));
}
