// tessarine-bench: runs MakeThumbnail over JPEG files as the batch does and times it, or
// with --preview what the file list's selection change shows for each file.
//   tessarine-bench [--percent N | --height N | --width N | --custom WxH | --box WxH]
//                   [--out DIR] [--reference] [--repeat N] SOURCE...
//   tessarine-bench --preview WxH [--reference] [--repeat N] SOURCE...
// Prints the log lines of the first round as they come, "error: <file>: <message>" for a
// file that raises (the run goes on), then one summary line whose wall time is the median
// round's. A preview prints, per source, "preview: <source> <W>x<H> e=<E> shown=<w>x<h>
// pixels=<sha256> ms=<milliseconds>": the picture's size, its reduction factor, the shown
// picture's size and the SHA-256 of its pixels (rows top-down, blue, green, red, no padding),
// and the source's median time over the rounds.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "bench/sha256.h"
#include "bench/source_list.h"
#include "engine/jpeg_codec.h"
#include "engine/jpeg_image.h"
#include "engine/preview_picture.h"
#include "engine/size_rules.h"
#include "engine/thumbnail_writer.h"

namespace fs = std::filesystem;

namespace {

const char kUsage[] =
    "usage: tessarine-bench [--percent N | --height N | --width N | --custom WxH | --box WxH]\n"
    "                       [--out DIR] [--reference] [--repeat N] SOURCE...\n"
    "       tessarine-bench --preview WxH [--reference] [--repeat N] SOURCE...\n";

[[noreturn]] void Usage(const std::string& problem) {
  std::cerr << "tessarine-bench: " << problem << "\n" << kUsage;
  std::exit(2);
}

int Number(const std::string& text, const std::string& option) {
  try {
    std::size_t used = 0;
    const int value = std::stoi(text, &used);
    if (used == text.size() && value >= 0) return value;
  } catch (const std::exception&) {
  }
  Usage("bad number for " + option + ": " + text);
}

// "WxH" as Width and Height of the parameters.
void Pair(const std::string& text, const std::string& option, ThumbnailParams& params) {
  const auto x = text.find_first_of("xX");
  if (x == std::string::npos) Usage(option + " wants WxH, not " + text);
  params.Width = Number(text.substr(0, x), option);
  params.Height = Number(text.substr(x + 1), option);
}

struct Options {
  ThumbnailParams params{tmPercent, 50, 0, 0};
  bool preview = false;  // params.Width and Height are then the preview box
  std::string out;
  bool reference = false;
  int repeat = 1;
  std::vector<std::string> sources;
};

Options Parse(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) Usage(arg + " wants a value");
      return argv[++i];
    };
    if (arg == "--percent") {
      options.params = {tmPercent, Number(value(), arg), 0, 0};
    } else if (arg == "--height") {
      options.params = {tmByHeight, 0, Number(value(), arg), 0};
    } else if (arg == "--width") {
      options.params = {tmByWidth, 0, 0, Number(value(), arg)};
    } else if (arg == "--custom" || arg == "--box") {
      options.params = {arg == "--custom" ? tmCustom : tmMaxBox, 0, 0, 0};
      Pair(value(), arg, options.params);
    } else if (arg == "--preview") {
      options.preview = true;
      Pair(value(), arg, options.params);
    } else if (arg == "--out") {
      options.out = value();
    } else if (arg == "--reference") {
      options.reference = true;
    } else if (arg == "--repeat") {
      options.repeat = std::max(1, Number(value(), arg));
    } else if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      std::exit(0);
    } else if (arg.size() > 1 && arg[0] == '-' && arg[1] == '-') {
      Usage("unknown option " + arg);
    } else {
      options.sources.push_back(arg);
    }
  }
  if (options.sources.empty()) Usage("no SOURCE given");
  if (options.preview && !options.out.empty()) Usage("--preview writes no files: no --out");
  return options;
}

// A temporary output folder that goes with everything in it.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "tessarine-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make " + pattern);
    path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

struct Round {
  int made = 0, refused = 0, errors = 0;
  double src_mpix = 0;  // of the sources made
  double wall_ms = 0;
};

// Counts the writer's lines by kind and prints them when asked.
class BenchLog : public LogSink {
 public:
  explicit BenchLog(bool print) : print_(print) {}
  void Append(const std::string& line) override {
    made_ = line.rfind("缩略图生成:", 0) == 0;
    ++lines_;
    if (print_) std::cout << line << '\n';
  }
  int Lines() const { return lines_; }
  bool LastMade() const { return made_; }

 private:
  bool print_;
  int lines_ = 0;
  bool made_ = false;
};

// The source's megapixels from its header, 0 when it cannot be read. Only the file's start
// is read, unless the markers before the first scan run longer, so that the runs timed from
// outside pay for one reading of each photo, as the batch does.
double SourceMegapixels(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<std::uint8_t> start(256 * 1024);
  in.read(reinterpret_cast<char*>(start.data()), static_cast<std::streamsize>(start.size()));
  start.resize(static_cast<std::size_t>(in.gcount()));
  try {
    const JpegHeader header = ReadJpegHeader(start);
    return double(header.Width) * header.Height / 1e6;
  } catch (const std::exception&) {
  }
  try {
    JpegImage image;
    image.LoadFile(file);
    return double(image.Width()) * image.Height() / 1e6;
  } catch (const std::exception&) {
    return 0;
  }
}

// One pass over the files, the batch's road: MakeThumbnail each, in order.
Round RunRound(const std::vector<std::string>& files, const std::vector<double>& mpix,
               const std::string& out_dir, const ThumbnailParams& p,
               const EngineOptions& engine, bool print) {
  Round round;
  BenchLog log(print);
  const auto start = std::chrono::steady_clock::now();
  for (std::size_t i = 0; i < files.size(); ++i) {
    const int before = log.Lines();
    const std::string dest = (fs::path(out_dir) / fs::path(files[i]).filename()).string();
    try {
      MakeThumbnail(files[i], dest, p.Mode, p.Percent, p.Height, p.Width, log, engine);
      if (log.Lines() > before && log.LastMade()) {
        ++round.made;
        round.src_mpix += mpix[i];
      } else {
        ++round.refused;
      }
    } catch (const std::exception& e) {
      ++round.errors;
      if (print) std::cout << "error: " << files[i] << ": " << e.what() << '\n';
    }
  }
  round.wall_ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  return round;
}

// The shown picture's pixels as blue, green, red, rows top-down, no padding.
std::string PixelsSha256(const Raster& picture) {
  Sha256 hash;
  if (!picture.HasStore()) return hash.HexDigest();
  const int width = picture.Width();
  std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 3);
  const std::vector<RgbColour>& table = picture.ColorTable();
  for (int r = 0; r < picture.Height(); ++r) {
    const std::uint8_t* source = picture.RowAddress(r);
    if (picture.BitsPerPixel() == 24) {
      std::copy(source, source + row.size(), row.begin());
    } else {
      for (int x = 0; x < width; ++x) {
        const RgbColour colour = source[x] < table.size() ? table[source[x]] : RgbColour{};
        row[3 * x] = colour.Blue;
        row[3 * x + 1] = colour.Green;
        row[3 * x + 2] = colour.Red;
      }
    }
    hash.Add(row.data(), row.size());
  }
  return hash.HexDigest();
}

// What one preview showed, for its line.
struct PreviewLine {
  std::string text;  // "preview: ..." without the time, or "error: ..."
  bool shown = false;
  std::vector<double> ms;  // one per round
};

// One pass over the files as the selection change goes through them: MakePreview each, and
// for a picture that fits its decode, which the window does at the first paint. The pixels
// are hashed outside the time, in the first round only.
Round PreviewRound(const std::vector<std::string>& files, const std::vector<double>& mpix,
                   const ThumbnailParams& box, const EngineOptions& engine, bool first,
                   std::vector<PreviewLine>& lines) {
  Round round;
  lines.resize(files.size());
  const auto start = std::chrono::steady_clock::now();
  for (std::size_t i = 0; i < files.size(); ++i) {
    const auto begin = std::chrono::steady_clock::now();
    try {
      PreviewPicture preview = MakePreview(files[i], box.Width, box.Height, engine, nullptr);
      const Raster& shown = preview.Unscaled ? preview.Unscaled->DecodedRaster() : *preview.Reduced;
      lines[i].ms.push_back(std::chrono::duration<double, std::milli>(
                                std::chrono::steady_clock::now() - begin).count());
      ++round.made;
      round.src_mpix += mpix[i];
      if (first) {
        lines[i].shown = true;
        lines[i].text = "preview: " + files[i] + " " + std::to_string(preview.Width) + "x" +
                        std::to_string(preview.Height) + " e=" + std::to_string(preview.Factor) +
                        " shown=" + std::to_string(shown.Width()) + "x" +
                        std::to_string(shown.Height()) + " pixels=" + PixelsSha256(shown);
      }
    } catch (const std::exception& e) {
      ++round.errors;
      if (first) lines[i].text = "error: " + files[i] + ": " + e.what();
    }
  }
  round.wall_ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  return round;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The process's own peak resident memory (VmHWM). getrusage's maximum would not do: it
// survives exec, so a bench started from a large process reported that process's memory.
double PeakRssMb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;  // kB
  }
  return 0;
}

// The summary line, of the median round.
int PrintSummary(std::size_t files, std::vector<Round> rounds) {
  std::sort(rounds.begin(), rounds.end(),
            [](const Round& a, const Round& b) { return a.wall_ms < b.wall_ms; });
  const Round& median = rounds[rounds.size() / 2];
  std::printf("files=%zu made=%d refused=%d errors=%d src_mpix=%.3f wall_ms=%.1f "
              "mpix_per_s=%.2f peak_rss_mb=%.1f\n",
              files, median.made, median.refused, median.errors, median.src_mpix,
              median.wall_ms, median.wall_ms > 0 ? median.src_mpix * 1000 / median.wall_ms : 0.0,
              PeakRssMb());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = Parse(argc, argv);
  EngineOptions engine;
  if (options.reference) engine.Road = EngineRoad::kPlain;
  const std::vector<std::string> files = ListSources(options.sources);

  std::vector<double> mpix;
  for (const std::string& file : files) mpix.push_back(SourceMegapixels(file));
  std::vector<Round> rounds;
  if (options.preview) {
    std::vector<PreviewLine> lines;
    for (int r = 0; r < options.repeat; ++r)
      rounds.push_back(PreviewRound(files, mpix, options.params, engine, r == 0, lines));
    for (const PreviewLine& line : lines) {
      if (line.shown)
        std::printf("%s ms=%.1f\n", line.text.c_str(), Median(line.ms));
      else
        std::printf("%s\n", line.text.c_str());
    }
    return PrintSummary(files.size(), rounds);
  }

  std::optional<TempFolder> temp;
  std::string out_dir = options.out;
  if (out_dir.empty()) {
    temp.emplace();
    out_dir = temp->Path();
  } else {
    std::error_code error;
    fs::create_directories(out_dir, error);
    if (error) Usage("cannot make " + out_dir + ": " + error.message());
  }
  for (int r = 0; r < options.repeat; ++r)
    rounds.push_back(RunRound(files, mpix, out_dir, options.params, engine, r == 0));
  return PrintSummary(files.size(), rounds);
}
