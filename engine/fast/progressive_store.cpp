#include "engine/fast/progressive_store.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/fast/bit_select.h"
// block_filter.h brings jpegint.h (which has no include guard): struct
// jpeg_d_coef_controller, which the store stands in for.
#include "engine/fast/block_filter.h"
#include "engine/fast/idct_rows.h"
#include "engine/fast/stream_rows.h"

namespace {

// Stands in for the library's coefficient buffer controller; the library sees only `pub`.
struct Controller {
  jpeg_d_coef_controller pub;
  void* store;
};

alignas(32) const JCOEF kZeroBlock[DCTSIZE2] = {};

// Bits `first` to `last` (zigzag positions of a band).
std::uint64_t Band(int first, int last) {
  const std::uint64_t upto = last >= 63 ? ~std::uint64_t{0} : (std::uint64_t{1} << (last + 1)) - 1;
  return upto & (~std::uint64_t{0} << first);
}

// Passes over `n` bits (up to 63) that only need reading. Takes the reader by value: a
// reader whose address went to a call that is not inlined could no longer stay in registers.
[[gnu::noinline]] BitPosition SkipManyBits(Reader r, int n) {
  while (n > 0) {
    if (r.at.count < 32) r.Fill();
    const int take = std::min(n, 32);
    r.Skip(take);
    n -= take;
  }
  return r.at;
}

[[gnu::always_inline]] inline void SkipBits(Reader& r, int n) {
  if (n < r.at.count) r.Skip(n);
  else r.at = SkipManyBits(r, n);
}

// A first-scan coefficient `value` at `al` bits up, with room for every later refinement:
// false where it or a refined value would leave the 16 bits of a coefficient.
bool Fits(int value, int al) {
  const unsigned magnitude = static_cast<unsigned>(value < 0 ? -value : value);
  return (static_cast<std::uint64_t>(magnitude) + 1) << al <= 32768;
}

// The next `n` bits (0-16) as a number; the store holds them.
unsigned Take(Reader& r, int n) {
  if (n == 0) return 0;
  const unsigned bits = r.Peek(n);
  r.Skip(n);
  return bits;
}

// A kept block's values are few, and a new one mostly goes at or near the end of them, so
// they are moved here in place rather than through memmove and memcpy, whose calls took
// longer than the moving: the 8 MP dev photo's preview at 322 x 336 makes room for a value
// 350,000 times and gives a block more room 190,000 times.

// values[1..n] = values[0..n-1].
[[gnu::always_inline]] inline void MoveUpOne(JCOEF* values, int n) {
#if defined(__SSE2__)
  for (; n >= 8; n -= 8) {  // from the top, each 8 loaded before they are stored
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(values + n - 8));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(values + n - 7), x);
  }
#endif
  for (; n >= 4; n -= 4) {
    std::uint64_t x;
    std::memcpy(&x, values + n - 4, sizeof x);
    std::memcpy(values + n - 3, &x, sizeof x);
  }
  switch (n) {  // no loop: the compiler would make it a call to memmove again
    case 3: values[3] = values[2]; [[fallthrough]];
    case 2: values[2] = values[1]; [[fallthrough]];
    case 1: values[1] = values[0]; break;
    default: break;
  }
}

// to[0..n-1] = from[0..n-1], for n a multiple of 4; the two do not overlap.
[[gnu::always_inline]] inline void CopyValues(JCOEF* to, const JCOEF* from, int n) {
  int k = 0;
#if defined(__SSE2__)
  for (; k + 8 <= n; k += 8) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + k),
                     _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + k)));
  }
#endif
  for (; k < n; k += 4) {
    std::uint64_t x;
    std::memcpy(&x, from + k, sizeof x);
    std::memcpy(to + k, &x, sizeof x);
  }
}

// The pool is handed out to each scan (to the one thread that reads it) a chunk at a time,
// so that the threads seldom meet on its count.
constexpr std::size_t kPoolChunk = 16384;  // values

// The AC coefficients of one kept block that are not zero, in the zigzag order of their
// places (the block's nonzero flags), in a place of the store's pool that grows as they come.
struct KeptBlock {
  ValuePool* pool;
  std::size_t* chunk;  // what is left of its scan's chunk of the pool: [chunk[0], chunk[1])
  std::uint32_t* at;   // where they start in the pool
  std::uint8_t* room;  // how many fit there
  JCOEF* Values() const { return pool->data + *at; }
  // Room for `n` values; false when the pool is used up.
  bool Hold(int n) {
    if (n <= *room) return true;
    const auto room_now = static_cast<std::size_t>(*room == 0 ? 4 : 2 * *room);
    if (chunk[1] - chunk[0] < room_now) {  // the rest of the chunk is left unused
      chunk[0] = pool->used.fetch_add(kPoolChunk, std::memory_order_relaxed);
      chunk[1] = chunk[0] + kPoolChunk;
      if (chunk[1] > pool->size) return false;
    }
    const std::size_t start = chunk[0];
    chunk[0] += room_now;
    CopyValues(pool->data + start, Values(), *room);
    *at = static_cast<std::uint32_t>(start);
    *room = static_cast<std::uint8_t>(room_now);
    return true;
  }
  // The value at zigzag place `k`, made a place for where it is new to `nonzero`.
  template <bool kBits>
  JCOEF* At(std::uint64_t nonzero, int k) {
    const std::uint64_t bit = std::uint64_t{1} << k;
    const int i = Ones<kBits>(nonzero & (bit - 1));
    if ((nonzero & bit) != 0) return Values() + i;
    const int after = Ones<kBits>(nonzero & ~(bit - 1));  // the values to move up
    if (!Hold(i + after + 1)) return nullptr;
    JCOEF* values = Values();
    MoveUpOne(values + i, after);
    return values + i;
  }
};

// Reads the correction bits of the nonzero coefficients at `positions` (zigzag: all the
// nonzero ones from one place to another), and adds one in the bit being refined to those
// whose bit is set, away from zero, as the library does. Without a kept block they are only
// passed over.
template <bool kBits>
[[gnu::always_inline]] inline void Correct(Reader& r, std::uint64_t positions,
                                           std::uint64_t nonzero, KeptBlock* block, int p1) {
  if (block == nullptr) {
    SkipBits(r, Ones<kBits>(positions));
    return;
  }
  // Most runs pass no nonzero coefficient: then the block's values, which lie far apart in
  // the pool, are not looked up at all.
  if (positions == 0) return;
  // The places are every nonzero one in a run of places, so their values lie side by side.
  JCOEF* c = block->Values() + Ones<kBits>(nonzero & ((positions & (~positions + 1)) - 1));
  for (int n = Ones<kBits>(positions); n > 0;) {  // up to 32 bits at a time
    if (r.at.count < 32) r.Fill();
    const int take = std::min(n, 32);
    std::uint32_t bits = r.Peek(take) << (32 - take);  // the first on top
    r.Skip(take);
    n -= take;
    int i = 0;
#if defined(__SSE2__)
    // Eight at a time: lane j takes bit 7 - j of the top byte.
    const __m128i one_bit = _mm_setr_epi16(128, 64, 32, 16, 8, 4, 2, 1);
    const __m128i bit = _mm_set1_epi16(static_cast<std::int16_t>(p1));
    for (; i + 8 <= take; i += 8, bits <<= 8, c += 8) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c));
      const __m128i set = _mm_set1_epi16(static_cast<std::int16_t>(bits >> 24));
      const __m128i given = _mm_cmpeq_epi16(_mm_and_si128(set, one_bit), one_bit);
      const __m128i unset = _mm_cmpeq_epi16(_mm_and_si128(v, bit), _mm_setzero_si128());
      const __m128i sign = _mm_srai_epi16(v, 15);
      const __m128i away = _mm_sub_epi16(_mm_xor_si128(bit, sign), sign);  // p1 or -p1
      v = _mm_add_epi16(v, _mm_and_si128(away, _mm_and_si128(given, unset)));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(c), v);
    }
#endif
    for (; i < take; ++i, bits <<= 1, ++c) {  // without branches: bits are random
      const int apply = static_cast<int>(bits >> 31) & static_cast<int>((*c & p1) == 0);
      *c = static_cast<JCOEF>(*c + apply * ((*c >> 15) | 1) * p1);  // away from zero
    }
  }
}

// One block of an AC scan's first pass over its band.
template <bool kStore, bool kBits>
[[gnu::always_inline]] inline bool AcFirst(Reader& r, const HuffmanDecodeTable& t, int ss,
                                           int se, int al, unsigned& eob_run,
                                           std::uint64_t& nonzero, KeptBlock* block) {
  if (eob_run > 0) {
    --eob_run;
    return true;
  }
  for (int k = ss; k <= se; ++k) {
    if (r.at.count < 32) r.Fill();
    int run, value;
    const std::int32_t entry = t.fast_ac[r.Peek(kLookBits)];
    if (entry != 0 && ((entry >> 8) & 0xFF) != kEndOfBlock) {
      r.Skip(entry & 0xFF);
      run = (entry >> 8) & 0xFF;
      value = entry >> 16;
    } else {
      const int symbol = t.Decode(r);
      if (symbol < 0) return false;
      run = symbol >> 4;
      const int size = symbol & 15;
      if (size == 0) {
        if (run == 15) {  // sixteen zeros
          k += 15;
          continue;
        }
        eob_run = (1u << run) + Take(r, run) - 1;  // this block is the first of the run
        return true;
      }
      value = Extend(static_cast<int>(Take(r, size)), size);
    }
    k += run;
    if (k > se || !Fits(value, al)) return false;
    if constexpr (kStore) {
      JCOEF* at = block->At<kBits>(nonzero, k);
      if (at == nullptr) return false;
      *at = static_cast<JCOEF>(static_cast<std::uint32_t>(value) << al);
    }
    nonzero |= std::uint64_t{1} << k;
  }
  return true;
}

// One block of an AC refinement scan: one more bit of every nonzero coefficient in the band
// (`band`: its zigzag positions), and the coefficients that become nonzero (one bit each,
// plus its sign).
template <bool kStore, bool kBits>
[[gnu::always_inline]] inline bool AcRefine(Reader& r, const HuffmanDecodeTable& t,
                                            std::uint64_t band, int p1, unsigned& eob_run,
                                            std::uint64_t& nonzero, KeptBlock* block) {
  std::uint64_t left = band;  // the positions not passed yet
  if (eob_run == 0) {
    while (left != 0) {
      if (r.at.count < 32) r.Fill();
      const int symbol = t.Decode(r);
      if (symbol < 0) return false;
      const int run = symbol >> 4;
      const int size = symbol & 15;
      int value = 0;
      if (size != 0) {
        if (size != 1) return false;  // the library warns on it
        value = Take(r, 1) ? p1 : -p1;
      } else if (run != 15) {
        eob_run = (1u << run) + Take(r, run);
        break;
      }
      // The coefficient `run` zeros on (a run of sixteen zeros ends on the sixteenth), passing
      // the nonzero ones on the way, each with its correction bit.
      const std::uint64_t target = SelectBit<kBits>(~nonzero & left, run);  // 0: past the band
      const std::uint64_t passed = target != 0 ? left & (target - 1) : left;
      Correct<kBits>(r, nonzero & passed, nonzero, block, p1);
      left &= ~(passed | target);
      if (value != 0) {
        if (target == 0) return false;
        if constexpr (kStore) {
          JCOEF* at = block->At<kBits>(nonzero, __builtin_ctzll(target));
          if (at == nullptr) return false;
          *at = static_cast<JCOEF>(value);
        }
        nonzero |= target;
      }
    }
  }
  if (eob_run > 0) {
    Correct<kBits>(r, nonzero & left, nonzero, block, p1);
    --eob_run;
  }
  return true;
}

}  // namespace

void ProgressiveStore::Arrange(jpeg_decompress_struct& info, const Job& job, bool helper) {
  Finish();
  in_place_ = failed_ = false;
  components_.clear();
  arena_ = ZeroedArray<std::uint64_t>();
  pool_.data = nullptr;
  pool_.size = 0;
  pool_.used.store(0, std::memory_order_relaxed);
  jobs_.reset();
  job_count_ = 0;
  drawn_with_ = nullptr;
  std::fill(&last_scan_[0][0], &last_scan_[0][0] + 2 * MAX_COMPONENTS, 0);
  use_helper_ = helper;
  if (!info.progressive_mode || info.arith_code || info.buffered_image || info.raw_data_out ||
      !job.own_entropy || info.src == nullptr)
    return;
  job_ = &job;
  realize_ = info.mem->realize_virt_arrays;
  client_data_ = info.client_data;
  info.client_data = this;
  info.mem->realize_virt_arrays = TakeOverOrRealize;
}

void ProgressiveStore::Finish() {
  if (readers_ != nullptr) JoinHelper();
}

void ProgressiveStore::JoinHelper() {
  readers_->published.Close();
  HandOverTheLast(false);
  readers_->helper.Join();
  if (readers_->failed) failed_ = true;
  // The last scan, read as the rows were drawn, must have been read to its end.
  const Scan* last = drawn_with_;
  if (last != nullptr && (!last->ok || last->next_row < last->imcu_rows)) failed_ = true;
  drawn_with_ = nullptr;
  readers_.reset();
}

// Runs inside jpeg_start_decompress, once every module of the picture is set up and the
// library asks for its whole-image buffer to be made, before the first scan is read.
void ProgressiveStore::TakeOverOrRealize(j_common_ptr common) {
  auto& info = *reinterpret_cast<j_decompress_ptr>(common);
  auto& self = *static_cast<ProgressiveStore*>(info.client_data);
  info.client_data = self.client_data_;
  info.mem->realize_virt_arrays = self.realize_;
  if (!LibraryBuffersFit(info) || !self.TakeOver(info)) {
    self.realize_(common);
    return;
  }
  auto* controller = static_cast<Controller*>(
      info.mem->alloc_small(common, JPOOL_IMAGE, sizeof(Controller)));
  controller->pub.start_input_pass = StartInputPass;
  controller->pub.consume_data = ConsumeData;
  controller->pub.start_output_pass = StartOutputPass;
  controller->pub.decompress_data = DecompressData;
  controller->pub.coef_arrays = nullptr;
  controller->store = &self;
  info.coef = &controller->pub;
  self.in_place_ = true;
}

// Whether the library's buffer would surely be made in memory: the library fails where the
// buffer, beside what it holds already, exceeds the memory allowed (it has no temporary
// files), and what it holds before the buffer is far below the margin here. The buffer is
// the only one the library asks for in the pictures the store takes (no two-pass colour
// quantization, no buffered image), so it need not be made where the store stands in.
bool ProgressiveStore::LibraryBuffersFit(const jpeg_decompress_struct& info) {
  constexpr double kMargin = 64.0 * 1024 * 1024;
  const long allowed = info.mem->max_memory_to_use;
  if (allowed == 0) return true;
  double bytes = 0;
  for (int c = 0; c < info.num_components; ++c) {
    const jpeg_component_info& comp = info.comp_info[c];
    const auto round_up = [](JDIMENSION n, int to) {
      return static_cast<double>((n + static_cast<JDIMENSION>(to) - 1) / static_cast<JDIMENSION>(to) *
                                 static_cast<JDIMENSION>(to));
    };
    bytes += round_up(comp.width_in_blocks, comp.h_samp_factor) *
             round_up(comp.height_in_blocks, comp.v_samp_factor) * sizeof(JBLOCK);
  }
  return bytes + kMargin <= static_cast<double>(allowed);
}

bool ProgressiveStore::TakeOver(jpeg_decompress_struct& info) {
  if (info.data_precision != 8 || info.coef == nullptr || info.enable_2pass_quant ||
      info.num_components > MAX_COMPONENTS || !FilterApplies(info, *job_))
    return false;
  for (int c = 0; c < info.num_components; ++c) {
    if (info.master->first_MCU_col[c] != 0 ||
        info.master->last_MCU_col[c] + 1 != info.comp_info[c].width_in_blocks)
      return false;
  }
  try {
    jobs_ = std::make_unique<Scan[]>(kMostScans);
    components_.resize(static_cast<std::size_t>(info.num_components));
    std::vector<std::uint8_t> rows, cols;
    std::size_t kept_blocks = 0, flags = 0;
    for (int ci = 0; ci < info.num_components; ++ci) {
      const jpeg_component_info& comp = info.comp_info[ci];
      Component& c = components_[static_cast<std::size_t>(ci)];
      c.width = comp.width_in_blocks;
      c.height = comp.height_in_blocks;
      rows.resize(c.height);
      cols.resize(c.width);
      MarkKept(info, *job_, ci, rows.data(), cols.data());
      const auto slots = [](const std::vector<std::uint8_t>& marks, std::vector<std::int32_t>& to) {
        std::int32_t n = 0;
        to.resize(marks.size());
        for (std::size_t i = 0; i < marks.size(); ++i) to[i] = marks[i] ? n++ : -1;
        return static_cast<JDIMENSION>(n);
      };
      c.kept_rows = slots(rows, c.row_slot);
      c.kept_cols = slots(cols, c.col_slot);
      c.kept_col.clear();
      for (JDIMENSION x = 0; x < c.width; ++x) {
        if (c.col_slot[x] >= 0) c.kept_col.push_back(x);
      }
      c.zeroed.Forget();
      kept_blocks += static_cast<std::size_t>(c.kept_rows) * c.kept_cols;
      flags += static_cast<std::size_t>(c.width) * c.height;
    }
    const Component& luma = components_.front();
    small_draw_ = static_cast<double>(luma.kept_rows) * luma.kept_cols <=
                  kMostKeptForAnEarlyLastScan * luma.width * luma.height;
    // The flags, each kept block's DC coefficient and place in the pool, and then the pool,
    // in one store, so that they come in as few pages as can be (a kept block takes 7 bytes
    // before the pool): the page where the blocks end is the pool's first, not a page of
    // its own. The pool is made large enough for every kept block growing to 64 values one
    // doubling at a time, with what each scan leaves unused at the end of a chunk (at most
    // 64 of its kPoolChunk values, and its last chunk); only what is handed out is ever
    // touched.
    const std::size_t arena_words = flags + kept_blocks + components_.size();
    constexpr std::size_t kMostHeld = 4 + 8 + 16 + 32 + 64;
    const std::size_t pool_size = kept_blocks * (kMostHeld + 4) + (kMostScans + 1) * kPoolChunk;
    if (pool_size >= std::uint64_t{1} << 32) throw std::bad_alloc();
    arena_ = ZeroedArray<std::uint64_t>(arena_words + (pool_size + 3) / 4);
    std::uint64_t* next = &arena_[0];
    for (Component& c : components_) {
      c.nonzero = next;
      next += static_cast<std::size_t>(c.width) * c.height;
    }
    for (Component& c : components_) {
      const std::size_t kept = static_cast<std::size_t>(c.kept_rows) * c.kept_cols;
      c.dc = reinterpret_cast<JCOEF*>(next);  // 2 bytes a block, then 4, then 1
      c.at = reinterpret_cast<std::uint32_t*>(c.dc + 2 * ((kept + 1) / 2));
      c.room = reinterpret_cast<std::uint8_t*>(c.at + kept);
      next += kept + 1;
    }
    pool_.data = reinterpret_cast<JCOEF*>(&arena_[arena_words]);
    pool_.size = pool_size;
    readers_ = std::make_unique<Readers>();
  } catch (const std::bad_alloc&) {
    components_.clear();
    arena_ = ZeroedArray<std::uint64_t>();
    readers_.reset();
    return false;
  }
  return true;
}

// The first marker at or after `p` other than a restart marker: where a scan's data ends.
const std::uint8_t* MarkerFrom(const std::uint8_t* p, const std::uint8_t* end) {
  while (end - p >= 2) {
    p = static_cast<const std::uint8_t*>(std::memchr(p, 0xFF, static_cast<std::size_t>(end - p)));
    if (p == nullptr || end - p < 2) return nullptr;
    if (p[1] != 0 && p[1] != 0xFF && (p[1] < JPEG_RST0 || p[1] > JPEG_RST0 + 7)) return p;
    p += p[1] == 0xFF ? 1 : 2;
  }
  return nullptr;
}

// The library has read the scan's header and checked it (jdphuff's start_pass).
bool ProgressiveStore::TakeScan(jpeg_decompress_struct& info, Scan& scan) const {
  if (info.restart_interval != 0 || info.comps_in_scan > MAX_COMPS_IN_SCAN ||
      info.src->bytes_in_buffer == 0)
    return false;
  const bool dc = info.Ss == 0;
  scan.kind = dc ? (info.Ah == 0 ? ScanKind::kDcFirst : ScanKind::kDcRefine)
                 : (info.Ah == 0 ? ScanKind::kAcFirst : ScanKind::kAcRefine);
  scan.ss = info.Ss;
  scan.se = info.Se;
  scan.al = info.Al;
  scan.comps = info.comps_in_scan;
  scan.mcus_per_row = info.MCUs_per_row;
  scan.imcu_rows = info.total_iMCU_rows;
  const bool codes = scan.kind != ScanKind::kDcRefine;  // else one bit a block
  scan.tables =
      codes ? std::make_unique_for_overwrite<HuffmanDecodeTable[]>(dc ? scan.comps : 1) : nullptr;
  for (int ci = 0; ci < scan.comps; ++ci) {
    const jpeg_component_info& comp = *info.cur_comp_info[ci];
    scan.component[ci] = comp.component_index;
    scan.mcu_width[ci] = comp.MCU_width;
    scan.mcu_height[ci] = comp.MCU_height;
    scan.rows_per_imcu = comp.v_samp_factor;
    scan.last_rows = comp.last_row_height;
    if (!codes || (!dc && ci > 0)) continue;
    const int number = dc ? comp.dc_tbl_no : comp.ac_tbl_no;
    const JHUFF_TBL* table = dc ? info.dc_huff_tbl_ptrs[number] : info.ac_huff_tbl_ptrs[number];
    HuffmanDecodeTable& made = scan.tables[dc ? ci : 0];
    const TableUse use =
        scan.kind == ScanKind::kAcFirst ? TableUse::kCoefficients : TableUse::kSymbols;
    if (table == nullptr || !made.Make(*table, use)) return false;
    if (dc) scan.dc[ci] = &made;
    else scan.ac = &made;
  }
  scan.base = reinterpret_cast<const std::uint8_t*>(info.src->next_input_byte);
  scan.end = scan.base + info.src->bytes_in_buffer;
  scan.marker = MarkerFrom(scan.base, scan.end);
  scan.at = BitPosition{scan.base, 0, 0, 0};
  std::fill(std::begin(scan.dc_pred), std::end(scan.dc_pred), 0);
  scan.after_mask = 0;
  scan.eob_run = 0;
  scan.bit_instructions = HasBitInstructions();
  return scan.marker != nullptr;
}

void ProgressiveStore::StartInputPass(j_decompress_ptr info) {
  auto& self = *static_cast<ProgressiveStore*>(reinterpret_cast<Controller*>(info->coef)->store);
  info->input_iMCU_row = 0;
  self.scan_end_ = nullptr;
  if (self.failed_) return;
  if (self.job_count_ == kMostScans) {
    self.failed_ = true;
    return;
  }
  Scan& scan = self.jobs_[self.job_count_];
  if (!self.TakeScan(*info, scan)) {
    self.failed_ = true;
    return;
  }
  const int kind = info->Ss == 0 ? 0 : 1;
  for (int ci = 0; ci < scan.comps; ++ci) {
    int& last = self.last_scan_[kind][scan.component[ci]];
    scan.after[ci] = last > 0 ? &self.jobs_[static_cast<std::size_t>(last - 1)] : nullptr;
    if (last > 0) scan.after_mask |= std::uint64_t{1} << (last - 1);
    last = static_cast<int>(self.job_count_) + 1;
  }
  self.scan_end_ = scan.marker;
  self.readers_->published.Publish(++self.job_count_);
  self.StartHelper();
}

void ProgressiveStore::StartHelper() {
  if (!use_helper_ || readers_->helper.Forked()) return;
  if (!readers_->helper.Fork([this] { TakeOverTheLast(ReadScans(Role::kHelper)); }))
    use_helper_ = false;
}

namespace {

std::uint64_t Bit(std::size_t i) { return std::uint64_t{1} << i; }
std::size_t Lowest(std::uint64_t set) { return static_cast<std::size_t>(__builtin_ctzll(set)); }

}  // namespace

// Either reader's task: claims scans one at a time and reads each whole, until every scan
// is claimed (the calling thread leaves the last one to a running helper, but for
// CallerTakesTheLast) or the draw is left. Returns the scans it claimed.
std::uint64_t ProgressiveStore::ReadScans(Role role) {
  Readers& readers = *readers_;
  std::uint64_t mine = 0;
  for (;;) {
    const std::size_t i = Claim(role);
    if (i == kMostScans || readers.stopped) return mine;
    mine |= Bit(i);
    if (role == Role::kCaller && i + 1 == job_count_) {  // CallerTakesTheLast: read as it draws
      drawn_with_ = &jobs_[i];
      return mine;
    }
    if (!Read(jobs_[i]) && !readers.stopped) readers.failed = true;
  }
}

// The next scan for `role` to read, claimed; kMostScans when none is left to it. A scan is
// claimed only once the scans it comes after are claimed, so the reader of the lowest scan
// still being read waits for nothing but scans already read: the two readers never wait on
// each other in a ring.
std::size_t ProgressiveStore::Claim(Role role) {
  Readers& readers = *readers_;
  for (;;) {
    bool closed = false;
    const std::size_t published = readers.published.Published(closed);
    std::uint64_t claimed = readers.claimed.load(std::memory_order_relaxed);
    std::uint64_t open = (published == 64 ? ~std::uint64_t{0} : Bit(published) - 1) & ~claimed;
    if (role == Role::kCaller && published > 0 &&
        !(closed && CallerTakesTheLast(open, claimed, published)))
      open &= ~Bit(published - 1);
    if (role == Role::kCaller && closed && published > 0)
      open &= ~LeftToTheHelper(claimed, published);
    if (open == 0) {
      if (closed) return kMostScans;
      readers.published.WaitForItems(published);
      continue;
    }
    // The lowest open scan comes after claimed ones only; until every scan is published,
    // scans are taken in order.
    const std::size_t i = closed && role != Role::kAlone ? Choose(role, open, claimed, published)
                                                         : Lowest(open);
    if (readers.claimed.compare_exchange_weak(claimed, claimed | Bit(i),
                                              std::memory_order_relaxed))
      return i;
  }
}

// Once every scan is published, where the calling thread has no scan but the last left to
// read: whether it takes the last one, because the helper is still reading a scan the last
// comes after and would start the last only when done with it. The two then read side by side,
// the last scan a few rows behind, and the calling thread reads each row of it just before it
// draws the row. Left to the helper, the last scan would be read only after the one before it.
// Small draws have the helper read the last scan from the start (Choose).
bool ProgressiveStore::CallerTakesTheLast(std::uint64_t open, std::uint64_t claimed,
                                          std::size_t published) {
  const std::size_t last = published - 1;
  if (small_draw_ || open != Bit(last)) return false;
  for (std::uint64_t before = jobs_[last].after_mask & claimed; before != 0;
       before &= before - 1) {
    const std::size_t i = Lowest(before);
    bool read = false;
    jobs_[i].rows_read.Published(read);
    // Claimed and not read, while the calling thread reads nothing: the helper's. A last
    // scan larger than it is still the helper's: drawing beside it would take longer.
    if (!read) return ScanBytes(last) < ScanBytes(i);
  }
  return false;
}

// Once every scan is published, for the calling thread: the scans it leaves to the helper,
// while the last scan is not claimed and the draw is not small. These are the scans the last
// comes after that are larger than it (the 8 MP dev photo's second luma refinement, 590 KB
// against the last scan's 315 KB): read by the calling thread, such a scan kept it from
// drawing until it was read whole, while the helper read the last scan behind it and then
// had nothing to do (the preview took 27-29 ms at 322 x 336 against 24 ms where the helper
// had that scan). Left to the helper, the calling thread claims the last scan as it draws
// (TakeTheLastLate), and the helper asks for the rest of it once done.
std::uint64_t ProgressiveStore::LeftToTheHelper(std::uint64_t claimed,
                                                std::size_t published) const {
  const std::size_t last = published - 1;
  if (small_draw_ || (claimed & Bit(last)) != 0) return 0;
  std::uint64_t left = 0;
  for (std::uint64_t before = jobs_[last].after_mask; before != 0; before &= before - 1) {
    const std::size_t i = Lowest(before);
    if (ScanBytes(i) > ScanBytes(last)) left |= Bit(i);
  }
  return left;
}

// Once every scan is published. Where the last scan holds more data than any other (the
// last bit of every luma coefficient, in the usual progression), it is the helper's as soon
// as it can be claimed, and the scan it comes after is the calling thread's: the helper then
// reads the last scan a few rows behind that one, and the calling thread, done with its
// scans, draws the rows as the helper reads them. Other scans go to whichever reader is free,
// the one first that heads the longest chain still to read of scans each coming after the
// one before (in bytes of data): such a chain takes at least as long as its longest scan.
// Where the last scan is not the largest, or the draw is not small (see
// kMostKeptForAnEarlyLastScan), scans are taken in order.
std::size_t ProgressiveStore::Choose(Role role, std::uint64_t open, std::uint64_t claimed,
                                     std::size_t published) const {
  const std::size_t last = published - 1;
  if (!small_draw_) return Lowest(open);
  for (std::size_t i = 0; i < last; ++i) {
    if (ScanBytes(i) >= ScanBytes(last)) return Lowest(open);
  }
  std::uint64_t ready = 0;  // never empty: the lowest open scan comes after claimed ones only
  for (std::uint64_t left = open; left != 0; left &= left - 1) {
    const std::size_t i = Lowest(left);
    if ((jobs_[i].after_mask & ~claimed) == 0) ready |= Bit(i);
  }
  const std::uint64_t before_last = jobs_[last].after_mask;
  const std::uint64_t callers =
      before_last == 0 ? 0 : Bit(static_cast<std::size_t>(63 - __builtin_clzll(before_last)));
  if (role == Role::kCaller && (ready & callers) != 0) return Lowest(callers);
  if (role == Role::kHelper) {
    if ((ready & Bit(last)) != 0) return last;
    if ((ready & ~callers) != 0) ready &= ~callers;
  }
  std::size_t chain[kMostScans] = {};  // the longest chain from each scan on
  for (std::size_t j = published; j-- > 0;) {
    chain[j] += ScanBytes(j);
    for (std::uint64_t before = jobs_[j].after_mask; before != 0; before &= before - 1)
      chain[Lowest(before)] = std::max(chain[Lowest(before)], chain[j]);
  }
  std::size_t best = Lowest(ready);
  for (std::uint64_t left = ready; left != 0; left &= left - 1) {
    if (chain[Lowest(left)] > chain[best]) best = Lowest(left);
  }
  return best;
}

// The iMCU rows that every scan `scan` comes after has read, waiting until there are more
// than `imcu`; `imcu` or fewer where one of them stopped short.
std::size_t ProgressiveStore::WaitForRowsBefore(const Scan& scan, JDIMENSION imcu) {
  std::size_t ready = SIZE_MAX;
  for (int ci = 0; ci < scan.comps; ++ci) {
    if (scan.after[ci] != nullptr)
      ready = std::min(ready, scan.after[ci]->rows_read.WaitForItems(imcu));
  }
  return ready;
}

// The library reads on from the marker after the scan's data, whoever reads the data.
int ProgressiveStore::ConsumeData(j_decompress_ptr info) {
  auto& self = *static_cast<ProgressiveStore*>(reinterpret_cast<Controller*>(info->coef)->store);
  info->input_iMCU_row = info->total_iMCU_rows;
  if (self.failed_ || self.scan_end_ == nullptr) {
    // Not taken: the library is shown the end of the image at once, and the rest of the
    // picture comes out of whatever the store holds; the draw is not used.
    static const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};
    info->src->next_input_byte = kEndOfImage;
    info->src->bytes_in_buffer = 2;
  } else {
    const auto* at = reinterpret_cast<const std::uint8_t*>(info->src->next_input_byte);
    info->src->bytes_in_buffer -= static_cast<std::size_t>(self.scan_end_ - at);
    info->src->next_input_byte = self.scan_end_;
  }
  (*info->inputctl->finish_input_pass)(info);
  return JPEG_SCAN_COMPLETED;
}

// Reads the whole scan, publishing its rows as they are read; true when its data ends at the
// marker found for it.
bool ProgressiveStore::Read(Scan& scan) { return ReadUpTo(scan, scan.imcu_rows); }

// Reads the scan's iMCU rows below `until` not read yet, each once the scans it comes after
// have read it, and publishes them. Where the scan ends (read whole, or failed), checks that
// its data ends at the marker found for it and closes its queue. False once it has failed.
bool ProgressiveStore::ReadUpTo(Scan& scan, JDIMENSION until) {
  if (scan.next_row == scan.imcu_rows || !scan.ok) return scan.ok;  // ended already
  for (; scan.ok && scan.next_row < until; ++scan.next_row) {
    const JDIMENSION imcu = scan.next_row;
    if (scan.ready <= imcu) scan.ready = WaitForRowsBefore(scan, imcu);
    scan.ok = scan.ready > imcu && !readers_->failed.load(std::memory_order_relaxed) &&
              !readers_->stopped.load(std::memory_order_relaxed) && DecodeRow(scan, imcu);
    if (scan.ok) scan.rows_read.Publish(imcu + 1);
  }
  if (scan.ok && scan.next_row < scan.imcu_rows) return true;
  scan.ok = scan.ok && MarkerAt(BitOffset(scan.at, scan.base), scan.base, scan.end) == scan.marker;
  scan.tables.reset();
  scan.rows_read.Close();
  return scan.ok;
}

bool ProgressiveStore::DecodeRow(Scan& scan, JDIMENSION imcu) {
  Reader r{scan.at, scan.end};
  bool ok = true;
  if (scan.comps > 1) {
    ok = DecodeInterleavedRow(scan, r, imcu);
  } else {
    Component& c = components_[static_cast<std::size_t>(scan.component[0])];
    const int rows = imcu + 1 < scan.imcu_rows ? scan.rows_per_imcu : scan.last_rows;
    for (int y = 0; ok && y < rows; ++y) {
      const JDIMENSION row = imcu * static_cast<JDIMENSION>(scan.rows_per_imcu) + y;
      switch (scan.kind) {
        case ScanKind::kDcFirst: ok = DecodeBlockRow<ScanKind::kDcFirst>(scan, r, c, row); break;
        case ScanKind::kDcRefine: ok = DecodeBlockRow<ScanKind::kDcRefine>(scan, r, c, row); break;
        case ScanKind::kAcFirst:
          ok = scan.bit_instructions ? DecodeBlockRow<ScanKind::kAcFirst, true>(scan, r, c, row)
                                     : DecodeBlockRow<ScanKind::kAcFirst, false>(scan, r, c, row);
          break;
        case ScanKind::kAcRefine:
          ok = scan.bit_instructions
                   ? DecodeBlockRow<ScanKind::kAcRefine, true>(scan, r, c, row)
                   : DecodeBlockRow<ScanKind::kAcRefine, false>(scan, r, c, row);
          break;
      }
    }
  }
  scan.at = r.at;
  return ok && r.at.count >= r.at.made_up;  // else it used bits from past the data's end
}

template <ProgressiveStore::ScanKind kKind, bool kBits>
bool ProgressiveStore::DecodeBlockRow(Scan& scan, Reader& reader, Component& c,
                                      JDIMENSION row) {
  // The reader and the end-of-band run as locals, which stay in registers: through the
  // references they were loaded and stored again at every code.
  Reader r = reader;
  unsigned eob_run = scan.eob_run;
  const bool ok = DecodeBlocks<kKind, kBits>(scan, r, eob_run, c, row);
  reader = r;
  scan.eob_run = eob_run;
  return ok;
}

template <ProgressiveStore::ScanKind kKind, bool kBits>
[[gnu::always_inline]] inline bool ProgressiveStore::DecodeBlocks(Scan& scan, Reader& r,
                                                                  unsigned& eob_run,
                                                                  Component& c, JDIMENSION row) {
  const bool row_kept = c.row_slot[row] >= 0;
  std::uint64_t* nonzero = &c.nonzero[static_cast<std::size_t>(row) * c.width];
  const int al = scan.al, p1 = 1 << al;
  const std::uint64_t band = Band(scan.ss, scan.se);
  int& dc = scan.dc_pred[0];
  for (JDIMENSION x = 0; x < c.width; ++x) {
    const std::int32_t slot = row_kept ? c.Slot(row, x) : -1;
    if constexpr (kKind == ScanKind::kDcFirst) {
      if (r.at.count < 32) r.Fill();
      if (!DecodeDc(r, *scan.dc[0], dc)) return false;
      if (slot >= 0) c.dc[slot] = static_cast<JCOEF>(static_cast<std::uint32_t>(dc) << al);
    } else if constexpr (kKind == ScanKind::kDcRefine) {
      if (r.at.count < 32) r.Fill();
      if (Take(r, 1) && slot >= 0) c.dc[slot] = static_cast<JCOEF>(c.dc[slot] | p1);
    } else {
      KeptBlock kept{&pool_, scan.chunk, slot >= 0 ? &c.at[slot] : nullptr,
                     slot >= 0 ? &c.room[slot] : nullptr};
      KeptBlock* block = slot >= 0 ? &kept : nullptr;
      constexpr bool kFirst = kKind == ScanKind::kAcFirst;
      const auto decode = [&](auto store) {
        constexpr bool kStore = decltype(store)::value;
        return kFirst ? AcFirst<kStore, kBits>(r, *scan.ac, scan.ss, scan.se, al, eob_run,
                                               nonzero[x], block)
                      : AcRefine<kStore, kBits>(r, *scan.ac, band, p1, eob_run, nonzero[x], block);
      };
      if (!(block != nullptr ? decode(std::true_type{}) : decode(std::false_type{}))) return false;
    }
  }
  return true;
}

// A DC scan of several components: MCU by MCU, each component's blocks of the MCU in rows,
// blocks past a component's edge (filling its last MCUs) read and dropped.
bool ProgressiveStore::DecodeInterleavedRow(Scan& scan, Reader& r, JDIMENSION imcu) {
  struct Place {  // one block of the MCU
    Component* c;
    int ci;        // its component's place in the scan
    JDIMENSION row;
    bool row_kept;
    JDIMENSION xi, width;  // its column in the component's MCU, and the MCU's width
  };
  Place places[D_MAX_BLOCKS_IN_MCU];
  int n = 0;
  bool any_kept = false;
  for (int ci = 0; ci < scan.comps; ++ci) {
    Component& c = components_[static_cast<std::size_t>(scan.component[ci])];
    for (int yi = 0; yi < scan.mcu_height[ci]; ++yi) {
      const JDIMENSION row = imcu * static_cast<JDIMENSION>(scan.mcu_height[ci]) + yi;
      const bool kept = row < c.height && c.row_slot[row] >= 0;
      any_kept = any_kept || kept;
      for (int xi = 0; xi < scan.mcu_width[ci] && n < D_MAX_BLOCKS_IN_MCU; ++xi)
        places[n++] = {&c, ci, row, kept, static_cast<JDIMENSION>(xi),
                       static_cast<JDIMENSION>(scan.mcu_width[ci])};
    }
  }
  const int p1 = 1 << scan.al;
  if (scan.kind == ScanKind::kDcRefine) {
    if (!any_kept) {  // one bit a block, all passed over
      for (JDIMENSION mcu = 0; mcu < scan.mcus_per_row; ++mcu) SkipBits(r, n);
      return true;
    }
    for (JDIMENSION mcu = 0; mcu < scan.mcus_per_row; ++mcu) {
      if (r.at.count < 32) r.Fill();
      const unsigned bits = Take(r, n);  // the MCU's blocks' bits, the first on top
      for (int b = 0; b < n; ++b) {
        const Place& p = places[b];
        if (!p.row_kept || (bits >> (n - 1 - b) & 1u) == 0) continue;
        const JDIMENSION col = mcu * p.width + p.xi;
        const std::int32_t slot = col < p.c->width ? p.c->Slot(p.row, col) : -1;
        if (slot >= 0) p.c->dc[slot] = static_cast<JCOEF>(p.c->dc[slot] | p1);
      }
    }
    return true;
  }
  for (JDIMENSION mcu = 0; mcu < scan.mcus_per_row; ++mcu) {
    for (int b = 0; b < n; ++b) {
      const Place& p = places[b];
      if (r.at.count < 32) r.Fill();
      int& dc = scan.dc_pred[p.ci];
      if (!DecodeDc(r, *scan.dc[p.ci], dc)) return false;
      const JDIMENSION col = mcu * p.width + p.xi;
      const std::int32_t slot = p.row_kept && col < p.c->width ? p.c->Slot(p.row, col) : -1;
      if (slot >= 0) p.c->dc[slot] = static_cast<JCOEF>(static_cast<std::uint32_t>(dc) << scan.al);
    }
  }
  return true;
}

// Blocks are smoothed only where scans leave some of the first coefficients unknown; that
// is not done here.
void ProgressiveStore::StartOutputPass(j_decompress_ptr info) {
  auto& self =
      *static_cast<ProgressiveStore*>(reinterpret_cast<Controller*>(info->coef)->store);
  if (info->do_block_smoothing) {
    for (int c = 0; c < info->num_components; ++c) {
      for (int k = 0; k < 10; ++k) self.failed_ = self.failed_ || info->coef_bits[c][k] != 0;
    }
  }
  if (self.readers_ != nullptr) {
    self.readers_->published.Close();  // every scan is published
    if (self.failed_) {
      self.readers_->stopped = true;
      self.JoinHelper();
    } else {
      // The helper may still be reading the last scans: rows are drawn as they are read.
      self.ReadScans(self.readers_->helper.Forked() ? Role::kCaller : Role::kAlone);
    }
  }
  self.rows_ready_ = 0;
  info->output_iMCU_row = 0;
}

// Whether every scan has read iMCU row `imcu`, waiting for those still reading it.
bool ProgressiveStore::RowRead(JDIMENSION imcu) {
  if (readers_ == nullptr || imcu < rows_ready_) return true;
  std::size_t ready = SIZE_MAX;
  for (std::size_t i = 0; i < job_count_; ++i) {
    if (i + 1 == job_count_) ReadTheLastAsItDraws(imcu);
    ready = std::min(ready, jobs_[i].rows_read.WaitForItems(imcu));
  }
  rows_ready_ = ready;
  return imcu < ready;
}

// Before the calling thread waits for the last scan's row `imcu`: claims the last scan if
// it can (TakeTheLastLate), and where it reads that scan, reads it up to the row, or hands
// it to the helper that asks for it.
void ProgressiveStore::ReadTheLastAsItDraws(JDIMENSION imcu) {
  if (drawn_with_ == nullptr) TakeTheLastLate();
  Scan* const last = drawn_with_;
  if (last == nullptr || !last->ok || last->next_row >= last->imcu_rows) return;
  if (readers_->wants_the_last.load(std::memory_order_relaxed)) {
    HandOverTheLast(true);
    return;
  }
  if (!ReadUpTo(*last, imcu + 1)) readers_->failed = true;
  if (!last->ok || last->next_row == last->imcu_rows) HandOverTheLast(false);  // nothing left
}

// Where the calling thread left the last scan unclaimed when it began to draw (the helper
// had not claimed the scans LeftToTheHelper yet): claims it once CallerTakesTheLast holds,
// that is once the helper reads such a scan. Either thread may claim it first; whoever does
// reads it (the helper claims it only once done with the scan before it, by which time the
// calling thread, drawing row by row behind that scan, has claimed it in all but odd cases).
// The calling thread draws only once every scan is published (by itself), so job_count_ is
// the number of scans.
void ProgressiveStore::TakeTheLastLate() {
  Readers& readers = *readers_;
  if (job_count_ == 0 || !readers.helper.Forked()) return;
  const std::size_t last = job_count_ - 1;
  std::uint64_t claimed = readers.claimed.load(std::memory_order_relaxed);
  if ((claimed & Bit(last)) != 0) return;  // settled
  const std::uint64_t all = job_count_ == 64 ? ~std::uint64_t{0} : Bit(job_count_) - 1;
  if (!CallerTakesTheLast(all & ~claimed, claimed, job_count_)) return;
  if (readers.claimed.compare_exchange_strong(claimed, claimed | Bit(last),
                                              std::memory_order_relaxed))
    drawn_with_ = &jobs_[last];
  // else claimed changed: looked at again before the next row
}

// The library's thread, reading the last scan as it draws: with `give`, hands the scan as it
// stands to the helper, which reads the rest while this thread draws the rows it has read;
// else tells the helper that nothing will be handed over. Either way the helper's wait ends.
void ProgressiveStore::HandOverTheLast(bool give) {
  if (drawn_with_ == nullptr) return;
  RowQueue& handed = readers_->last_handed_over;
  if (give) {
    handed.Publish(1);  // the scan's state goes with it
    drawn_with_ = nullptr;
  }
  handed.Close();
}

// The helper, done with the scans it claimed (`mine`): where the library's thread claimed
// the last scan (CallerTakesTheLast) and reads it as it draws, asks for it and reads the
// rest of it if it is handed over.
void ProgressiveStore::TakeOverTheLast(std::uint64_t mine) {
  Readers& readers = *readers_;
  bool closed = false;
  const std::size_t published = readers.published.Published(closed);
  if (!closed || published == 0 || readers.stopped) return;
  const std::size_t last = published - 1;
  if ((readers.claimed.load(std::memory_order_relaxed) & ~mine & Bit(last)) == 0) return;
  readers.wants_the_last.store(true, std::memory_order_relaxed);
  if (readers.last_handed_over.WaitForItems(0) == 0) return;  // closed: not handed over
  if (!Read(jobs_[last]) && !readers.stopped) readers.failed = true;
}

// One iMCU row through the inverse DCT, in the order the library's controller takes it (a
// block filter that is called counts its place from that order).
int ProgressiveStore::DecompressData(j_decompress_ptr info, JSAMPIMAGE output) {
  auto& self =
      *static_cast<ProgressiveStore*>(reinterpret_cast<Controller*>(info->coef)->store);
  alignas(32) JCOEF block[DCTSIZE2];
  // The store knows every block's place and keeps exactly the blocks the block filter keeps:
  // the library's IDCT is called for those, and the others are passed over here.
  BlockFilter* const filter = FilterInPlace(*info);
  const JDIMENSION imcu = info->output_iMCU_row;
  if (!self.RowRead(imcu)) self.failed_ = true;  // drawn from whatever there is, not used
  for (int ci = 0; ci < info->num_components; ++ci) {
    jpeg_component_info* comp = &info->comp_info[ci];
    if (!comp->component_needed) continue;
    Component& c = self.components_[static_cast<std::size_t>(ci)];
    const auto v = static_cast<JDIMENSION>(comp->v_samp_factor);
    JDIMENSION block_rows = v;
    if (imcu + 1 == info->total_iMCU_rows && comp->height_in_blocks % v != 0)
      block_rows = comp->height_in_blocks % v;
    const inverse_DCT_method_ptr idct =
        filter != nullptr ? filter->idct[ci] : info->idct->inverse_DCT[ci];
    // The sample rows no pick needs keep whatever they held, as the blocks left out do.
    const bool by_rows = filter != nullptr && filter->by_rows[ci];
    const auto* table = static_cast<const float*>(comp->dct_table);
    const auto size = static_cast<JDIMENSION>(comp->DCT_scaled_size);
    JSAMPARRAY out = output[ci];
    if (filter != nullptr) c.zeroed.Ensure(out, block_rows * size, c.width * size);
    for (JDIMENSION y = 0; y < block_rows; ++y, out += size) {
      const JDIMENSION row = imcu * v + y;
      const auto decode = [&](JDIMENSION x, std::int32_t slot) {
        JCOEFPTR coefficients = const_cast<JCOEFPTR>(kZeroBlock);
        if (slot >= 0) {  // laid out as the library's buffer holds it
          std::memset(block, 0, sizeof block);
          block[0] = c.dc[slot];
          const JCOEF* values = self.pool_.data + c.at[slot];
          std::uint64_t places = c.nonzero[static_cast<std::size_t>(row) * c.width + x];
          for (int i = 0; places != 0; ++i, places &= places - 1)
            block[kNaturalOrder[__builtin_ctzll(places)]] = values[i];
          coefficients = block;
        }
        if (by_rows && RowsPay(filter->rows[ci][row])) {
          IdctRows(table, coefficients, out, x * size, filter->rows[ci][row]);
        } else {
          idct(info, comp, coefficients, out, x * size);
        }
      };
      if (filter == nullptr) {
        for (JDIMENSION x = 0; x < c.width; ++x) decode(x, c.Slot(row, x));
        continue;
      }
      // The blocks the filter leaves out keep whatever samples their places held: only
      // pixels that are dropped read them.
      const bool row_kept = c.row_slot[row] >= 0;
      *filter->skipped += c.width - (row_kept ? c.kept_cols : 0);
      if (!row_kept) continue;
      const std::int32_t first = c.row_slot[row] * static_cast<std::int32_t>(c.kept_cols);
      for (JDIMENSION k = 0; k < c.kept_cols; ++k)
        decode(c.kept_col[k], first + static_cast<std::int32_t>(k));
    }
  }
  return ++info->output_iMCU_row < info->total_iMCU_rows ? JPEG_ROW_COMPLETED
                                                         : JPEG_SCAN_COMPLETED;
}
