#pragma once
// The engine's own decoding of a progressive Huffman picture. Once the library has set the
// picture up, a store of the engine's stands in for the library's whole-image coefficient
// buffer and its progressive entropy decoder. The store keeps the coefficients of only the
// blocks the block filter transforms (their nonzero ones, with their places), and for every
// block which of its coefficients are nonzero so far: all that a refinement scan depends on
// to be read. The library still reads every marker, checks every scan header and the
// progression (its warnings stand), and transforms, upsamples and converts as always; its
// own buffer is not made (where it would not surely fit the memory allowed, the store does
// not stand in: the library then fails or decodes as it always does).
//
// Each scan's data is found first (it ends at the first marker other than a restart
// marker), and the library, told that the scan is read, reads on to the next header while a
// helper thread (where the options allow one) decodes the scans published so far. Once the
// library has every header, its thread decodes scans too, all but the last while a helper
// runs (a large last scan is started as early as it can be: Choose; the calling thread takes
// it where the helper is still reading a scan it comes after, and reads it as it draws, and
// leaves to the helper the scans the last comes after that are larger than it:
// LeftToTheHelper), and then draws each row as soon as every scan has read it. The helper,
// done with its scans, takes over the rest of a last scan the calling thread reads as it
// draws. A scan that refines what an earlier one of the same component read follows it row
// by row, so the two threads share even the scans of one component.
//
// Only clean data is decoded here. A bad code, a restart interval, data that runs into a
// marker or leaves stray bytes before it, a coefficient that could overflow, more scans than
// kMostScans, a picture the library would smooth (its scans leave coefficients unknown):
// each marks the store as failed, and the library is shown the end of the image at the next
// scan; the draw must then be done again by the library's own decoder, which gives the
// exact pixels, warnings and errors of such data.
#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <memory>
#include <vector>

#include <jpeglib.h>

#include "engine/fast/huffman_reader.h"
#include "engine/fast/rows_zeroed_once.h"
#include "engine/fast/threads.h"
#include "engine/large_pages.h"

struct Job;

// Where the kept blocks' nonzero AC coefficients are held: handed out from the start in
// chunks, to either thread (a place once handed out is its block's alone).
struct ValuePool {
  JCOEF* data = nullptr;
  std::size_t size = 0;
  std::atomic<std::size_t> used{0};
};

class ProgressiveStore {
 public:
  ProgressiveStore() = default;
  ~ProgressiveStore() { Finish(); }
  ProgressiveStore(const ProgressiveStore&) = delete;
  ProgressiveStore& operator=(const ProgressiveStore&) = delete;

  // Before jpeg_start_decompress, with the whole file in the source buffer: arranges for the
  // store to stand in as soon as the library has set up a progressive Huffman picture whose
  // blocks the block filter chooses from `job`'s picks (the same blocks FilterBlocks keeps
  // after the start). Does nothing for any other picture. With `helper`, a helper thread
  // shares the reading of the scans with the library's thread.
  void Arrange(jpeg_decompress_struct& info, const Job& job, bool helper);

  // Waits for the helper to read the scans it has claimed, or (where the draw went wrong
  // before the last header) every scan published; a failure of any of them is kept.
  void Finish();

  bool InPlace() const { return in_place_; }
  // After Finish.
  bool Failed() const { return failed_; }
  void Fail() { failed_ = true; }

 private:
  struct Component {
    JDIMENSION width = 0, height = 0;  // in blocks
    std::vector<std::int32_t> row_slot, col_slot;  // among the kept rows and columns; -1: not kept
    JDIMENSION kept_rows = 0, kept_cols = 0;
    std::vector<JDIMENSION> kept_col;  // the kept columns, from the left
    RowsZeroedOnce zeroed;  // the rows of the library's buffer for it
    // For every block: bit k set once the coefficient at zigzag position k is nonzero.
    std::uint64_t* nonzero = nullptr;
    // By kept block (row slot * kept_cols + column slot): its DC coefficient, and where its
    // nonzero AC coefficients are in the pool and how many fit there.
    JCOEF* dc = nullptr;
    std::uint32_t* at = nullptr;
    std::uint8_t* room = nullptr;
    std::int32_t Slot(JDIMENSION row, JDIMENSION col) const {
      const std::int32_t r = row_slot[row], c = col_slot[col];
      return r < 0 || c < 0 ? -1 : r * static_cast<std::int32_t>(kept_cols) + c;
    }
  };
  enum class ScanKind { kDcFirst, kDcRefine, kAcFirst, kAcRefine };
  // One scan as its reader needs it, taken from the library when it starts the scan: the
  // reader may be the helper, while the library reads on.
  struct alignas(kCacheLine) Scan {
    // The earlier scans that fill what this one reads on (the last one of the same kind, DC
    // or AC, of each of its components): each of its iMCU rows is read once theirs are.
    Scan* after[MAX_COMPS_IN_SCAN] = {};
    std::uint64_t after_mask = 0;  // bit i: scan i is one of `after`
    RowQueue rows_read;  // its reader publishes its iMCU rows as they are read
    ScanKind kind = ScanKind::kDcFirst;
    int ss = 0, se = 0, al = 0;
    int comps = 0;                          // in the scan
    int component[MAX_COMPS_IN_SCAN] = {};  // their places in the picture
    int mcu_width[MAX_COMPS_IN_SCAN] = {}, mcu_height[MAX_COMPS_IN_SCAN] = {};
    int rows_per_imcu = 0, last_rows = 0;  // block rows of a one-component scan's iMCU rows
    JDIMENSION mcus_per_row = 0, imcu_rows = 0;
    std::unique_ptr<HuffmanDecodeTable[]> tables;  // its own, dropped once it is read
    const HuffmanDecodeTable* dc[MAX_COMPS_IN_SCAN] = {};
    const HuffmanDecodeTable* ac = nullptr;
    const std::uint8_t* base = nullptr;    // where its data starts
    const std::uint8_t* end = nullptr;     // the end of the bytes in hand
    const std::uint8_t* marker = nullptr;  // the marker its data must end at
    // The reader's state.
    JDIMENSION next_row = 0;  // the first iMCU row not read yet
    std::size_t ready = 0;    // the rows the scans it comes after have read, as last seen
    bool ok = true;           // read cleanly so far
    BitPosition at;
    int dc_pred[MAX_COMPS_IN_SCAN] = {};
    unsigned eob_run = 0;
    bool bit_instructions = false;  // the processor's popcnt and pdep
    std::size_t chunk[2] = {0, 0};  // what is left of the pool's chunk its AC values come from
  };
  static constexpr std::size_t kMostScans = 64;
  // Starting a large last scan early (Choose) leaves the calling thread more scans to read
  // before it draws; that pays only where it draws little. On the 16 MP dev photo it saved a
  // sixth with an eighth or less of the luma blocks kept (previews at 179 x 236, 8 % kept;
  // thumbnails in a box of 160 x 120) and cost a tenth with a quarter or more (previews at
  // 322 x 336 and 358 x 472, thumbnails at a tenth and half the size).
  static constexpr double kMostKeptForAnEarlyLastScan = 0.125;

  static void TakeOverOrRealize(j_common_ptr common);
  static void StartInputPass(j_decompress_ptr info);
  static int ConsumeData(j_decompress_ptr info);
  static void StartOutputPass(j_decompress_ptr info);
  static int DecompressData(j_decompress_ptr info, JSAMPIMAGE output);

  bool TakeOver(jpeg_decompress_struct& info);
  static bool LibraryBuffersFit(const jpeg_decompress_struct& info);
  bool TakeScan(jpeg_decompress_struct& info, Scan& scan) const;
  bool Read(Scan& scan);
  std::size_t WaitForRowsBefore(const Scan& scan, JDIMENSION imcu);
  // Who reads scans: the calling thread alone, or it and a helper.
  enum class Role { kAlone, kCaller, kHelper };
  std::uint64_t ReadScans(Role role);
  std::size_t Claim(Role role);
  std::size_t Choose(Role role, std::uint64_t open, std::uint64_t claimed,
                     std::size_t published) const;
  bool CallerTakesTheLast(std::uint64_t open, std::uint64_t claimed, std::size_t published);
  std::uint64_t LeftToTheHelper(std::uint64_t claimed, std::size_t published) const;
  // The bytes of scan i's data.
  std::size_t ScanBytes(std::size_t i) const {
    return static_cast<std::size_t>(jobs_[i].marker - jobs_[i].base);
  }
  void TakeTheLastLate();
  bool DecodeRow(Scan& scan, JDIMENSION imcu);
  template <ScanKind kKind, bool kBits = false>
  bool DecodeBlockRow(Scan& scan, Reader& reader, Component& c, JDIMENSION row);
  template <ScanKind kKind, bool kBits>
  bool DecodeBlocks(Scan& scan, Reader& r, unsigned& eob_run, Component& c, JDIMENSION row);
  bool DecodeInterleavedRow(Scan& scan, Reader& r, JDIMENSION imcu);
  void StartHelper();
  void JoinHelper();
  bool RowRead(JDIMENSION imcu);
  void ReadTheLastAsItDraws(JDIMENSION imcu);
  void HandOverTheLast(bool give);
  void TakeOverTheLast(std::uint64_t mine);
  bool ReadUpTo(Scan& scan, JDIMENSION until);

  const Job* job_ = nullptr;
  void (*realize_)(j_common_ptr) = nullptr;  // the library's
  void* client_data_ = nullptr;              // the caller's, given back once the hook has run
  bool in_place_ = false;
  bool failed_ = false;  // the library's thread's: the readers' failure joins it at Finish
  std::vector<Component> components_;
  // Every component's nonzero flags, then its kept blocks, then the pool's values.
  ZeroedArray<std::uint64_t> arena_;
  ValuePool pool_;

  // The scans and their readers (threads.h). The library's thread writes scan i whole and
  // publishes it; from then on only the reader that claims it (the helper, or the library's
  // thread once every scan is published) touches it. A scan writes only its components'
  // stores of its kind: the DC coefficients of the kept blocks, or the nonzero flags and the
  // AC coefficients. Scans of the same component and kind are read in order, row by row: a
  // reader reads an iMCU row only once the scans it comes after have published it, and it
  // claims a scan only once those are claimed (Claim), so that no two readers wait on each
  // other. The library's thread, done with its scans (it leaves the last one to a running
  // helper, or reads it as it draws), draws an iMCU row once every scan has published it.
  bool use_helper_ = false;
  bool small_draw_ = false;  // few enough blocks kept (kMostKeptForAnEarlyLastScan)
  std::unique_ptr<Scan[]> jobs_;  // kMostScans of them
  std::size_t job_count_ = 0;
  // The last scan, where the library's thread took it (CallerTakesTheLast): it reads each of
  // its rows just before it draws that row, until the helper, done with every other scan,
  // asks for it (HandOverTheLast).
  Scan* drawn_with_ = nullptr;
  int last_scan_[2][MAX_COMPONENTS] = {};  // by kind (DC, AC) and component: 1 + its last scan
  struct Readers {
    RowQueue published;  // the scans published; closed by Finish
    std::atomic<std::uint64_t> claimed{0};  // bit i: scan i is claimed by either reader
    std::atomic<bool> failed{false};  // a scan did not read cleanly
    std::atomic<bool> stopped{false};  // the draw was left: no more scans are read
    // The helper, with nothing left to read, asks for the last scan the library's thread
    // reads as it draws; that thread hands it over (one item) or closes the queue once it
    // has read the scan to its end, or leaves the draw.
    std::atomic<bool> wants_the_last{false};
    RowQueue last_handed_over;
    ForkJoin helper;  // last: joined before the rest goes
  };
  std::unique_ptr<Readers> readers_;  // last: joined (Finish) before what it uses goes
  const std::uint8_t* scan_end_ = nullptr;  // the marker after the current scan's data
  std::size_t rows_ready_ = 0;  // the iMCU rows every scan is known to have read
};
