#pragma once
// The entropy-coded data of a sequential Huffman picture, scanned once and marked at the
// start of every MCU row (and, for sparse picks, of every MCU), so that decoding can begin
// at any row. With it in place of the library's entropy decoder, rows a streamed draw
// passes over cost nothing, and a second thread can start at its cut at once. Only clean
// data is indexed: any bad code, marker or early end inside the data, any stray byte before
// the next marker, leaves the picture to the library, which then decodes it (and warns) as
// it always does.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <memory>
#include <vector>

#include <jpeglib.h>

#include "engine/fast/huffman_reader.h"
#include "engine/large_pages.h"

// The reader's state at the start of one MCU: its position and the DC predictions.
struct McuStart {
  BitPosition at;
  int dc[MAX_COMPS_IN_SCAN] = {};
};

// Which blocks of each MCU a draw uses, for a picture whose one scan holds every component:
// block b of the MCU in column x and row y is used when bit b of cols[x] & rows[y] is set.
// The others are only passed over, their coefficients left as the library zeroed them.
struct McuBlocksKept {
  const std::uint16_t* cols = nullptr;  // one mask per MCU column; null: every block is used
  const std::uint16_t* rows = nullptr;  // one mask per MCU row
};

// Whether keeping every MCU's start pays for a draw that uses `kept`: where a quarter or
// more of the MCU columns hold no block it uses (a small box on a large photo), the MCUs
// there need not be decoded at all. Marking each MCU costs the index's readers time and 16
// bytes, which denser picks do not win back.
bool PassingMcusPays(McuBlocksKept kept, std::size_t mcus_per_row);

class EntropyIndex {
 public:
  EntropyIndex();
  ~EntropyIndex();
  EntropyIndex(const EntropyIndex&) = delete;
  EntropyIndex& operator=(const EntropyIndex&) = delete;

  // For a decoder after jpeg_start_decompress, with all the bytes in its source buffer and
  // nothing of the data read yet: true when the picture is one baseline-style Huffman scan
  // without restart markers. Makes the decoding tables; nothing is scanned yet.
  bool Prepare(jpeg_decompress_struct& info);

  // After Prepare: true when the data decodes cleanly, MCU for MCU, up to the next marker.
  // With two_readers, a helper thread reads the second half of the data while this one reads
  // the first, and the halves are joined where they meet; where they cannot be joined (the
  // helper stopped short of the data's end) this thread reads on alone. With every_mcu, the
  // start of every MCU is kept (where memory allows), else only of every MCU row. On false
  // the index is no longer prepared either: the in-order decoder would fail on the same
  // data. `most_marks` caps what the helper reads (tests make it stop short with it).
  bool Build(bool two_readers, bool every_mcu, std::size_t most_marks = SIZE_MAX);

  // After Prepare, instead of Build: a helper thread starts reading at `share` of the data
  // (0 < share < 1), as Build's second reader does, while the decoder installed next reads in
  // order from the start and draws as it goes. Where the decoder passes the second reader's
  // start it looks for an MCU that both read; JoinSecondReader then joins the two and the
  // index is built. With every_mcu the second reader's marks of every MCU are kept (where
  // memory allows). False, and nothing started, when no thread or memory can be had.
  bool StartSecondReader(double share, bool every_mcu);
  // Between rows, on the thread whose decoder reads in order: once that decoder has met the
  // second reader's marks and the second reader has ended (with `wait`, waits for it to end),
  // joins them: the index is built, the source stands at the marker after the data, and the
  // decoder seeks to each MCU it is asked for from then on. True when they were joined now;
  // false while it is too early, and for good where they cannot be joined (the decoder then
  // reads on in order).
  bool JoinSecondReader(jpeg_decompress_struct& info, bool wait);
  // Once the decoder installed beside it is gone: stops the second reader, if any, and waits
  // for it; what it read is dropped.
  void StopSecondReader();
  // The bits of MCU row `row`'s data; for a built index.
  std::uint64_t RowBits(std::size_t row) const;
  // What the in-order decoder and the second reader share until they are joined.
  struct SecondReader;

  // Puts the engine's decoder in place of the library's entropy decoder of `info`: a decoder
  // of the same bytes, likewise just started. Built, it leaves the source at the marker after
  // the data. Only prepared, it decodes in order and checks the data as it goes; data that
  // Build would not have taken marks the index as failed, and the picture must then be
  // decoded again by the library's own decoder. Blocks that `kept` leaves out are only
  // passed over, and where every MCU's start is marked, MCUs without a kept block are not
  // read at all.
  void Install(jpeg_decompress_struct& info, McuBlocksKept kept = {}) const;

  bool Built() const { return built_; }
  bool Prepared() const { return prepared_; }
  bool Failed() const { return failed_.load(std::memory_order_relaxed); }
  void Fail() const { failed_.store(true, std::memory_order_relaxed); }
  std::size_t Mcus() const { return mcus_; }
  // The bytes from the start of the entropy-coded data to the end of the bytes in hand (in a
  // sequential file, the data and the end marker); once prepared.
  std::size_t DataBytes() const { return static_cast<std::size_t>(data_end_ - base_); }
  // Where the data ends when an MCU reader stands at `end`: the marker after the data, or
  // null when made-up bits were used or a whole byte or more comes before the next marker.
  const std::uint8_t* MarkerAfter(const McuStart& end) const;
  // Built from two halves read side by side.
  bool Joined() const { return joined_; }

  // Decodes one MCU from `start` into `blocks` (each zeroed by the caller), or passes over it
  // when kStore is false; with kStore, only blocks whose bit is set in `kept` are stored,
  // the others passed over. False on data the index would not have taken.
  template <bool kStore>
  bool DecodeMcu(McuStart& start, JBLOCKROW* blocks, unsigned kept = ~0u) const;

  // The state at the start of MCU `mcu`.
  McuStart Seek(std::size_t mcu) const;
  // Whether the start of every MCU is marked (else only of every MCU row).
  bool MarksEveryMcu() const { return every_mcu_; }

  // Where MCU row `row` starts, in bits from the start of the data, and the DC predictions
  // there; one entry per MCU row of the picture.
  struct RowStart {
    std::uint64_t bit = 0;
    std::array<int, MAX_COMPS_IN_SCAN> dc{};
    bool operator==(const RowStart&) const = default;
  };
  std::size_t RowCount() const { return rows_.size(); }
  RowStart Row(std::size_t row) const;
  // The same for MCU `mcu`.
  RowStart At(std::size_t mcu) const;

 private:
  // Where a reader marked an MCU start, and the DC predictions there as it had them.
  struct Mark {
    std::uint64_t bit;
    std::int16_t dc[MAX_COMPS_IN_SCAN];
  };
  using Marks = std::vector<Mark, LargeAllocator<Mark>>;
  static bool MarkAt(const McuStart& start, const std::uint8_t* base, Mark& mark);
  McuStart StartAt(const Mark& mark, const int* offset) const;
  struct Speculation;
  bool Scan(bool two_readers, bool every_mcu, std::size_t most_marks);
  enum class Joining { kJoined, kNoMarkerAfter, kNotCovered };
  Joining Join(Speculation& second, std::size_t m, std::size_t j, const McuStart& start);
  const std::uint8_t* MarkerAfter(std::uint64_t bit) const;
  void InstallDecoder(jpeg_decompress_struct& info,
                      boolean (*decode)(j_decompress_ptr, JBLOCKROW*),
                      const McuStart& start, McuBlocksKept kept) const;

  bool prepared_ = false;
  bool built_ = false;
  mutable std::atomic<bool> failed_{false};  // set by a decoder, from any thread
  bool joined_ = false;
  std::size_t mcus_per_row_ = 0;
  std::size_t mcus_ = 0;
  int blocks_in_mcu_ = 0;
  int block_component_[D_MAX_BLOCKS_IN_MCU] = {};
  const HuffmanDecodeTable* dc_table_[D_MAX_BLOCKS_IN_MCU] = {};
  const HuffmanDecodeTable* ac_table_[D_MAX_BLOCKS_IN_MCU] = {};
  std::unique_ptr<HuffmanDecodeTable[]> tables_;  // DC 0-3, then AC 0-3
  std::vector<McuStart> rows_;  // the state at the start of every MCU row
  // Every MCU's start, where memory allowed: the first reader's marks up to the MCU where
  // the readers joined, then the second reader's from its mark there on, with their DC
  // predictions off by `join_offset_`.
  bool every_mcu_ = false;
  Marks first_marks_, second_marks_;
  std::size_t join_mcu_ = 0, join_mark_ = 0;
  int join_offset_[MAX_COMPS_IN_SCAN] = {};
  const std::uint8_t* base_ = nullptr;  // where the data starts
  const std::uint8_t* data_end_ = nullptr;
  const std::uint8_t* marker_ = nullptr;  // the marker after the data
  // The second reader started by StartSecondReader, until it is joined or stopped; last, so
  // that it is stopped and joined before anything it reads goes.
  std::unique_ptr<SecondReader> second_;
};
