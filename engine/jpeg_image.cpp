#include "engine/jpeg_image.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <istream>
#include <iterator>
#include <new>
#include <ostream>
#include <utility>

#include "engine/display_depth.h"
#include "engine/file_read.h"
#include "engine/jpeg_codec.h"
#include "engine/memory_budget.h"
#if TESSARINE_FAST
#include "engine/fast/fast_road.h"
#include "engine/fast/file_parts.h"
#endif

namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int Get() const { return fd_; }
  int Release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

std::string SystemText(int error) {
  return std::strerror(error);
}

// With `whole_pages`, in room of WholeHugePages(size) where the system has it: a store that
// fits only without the rest of its last huge page is made as before.
ByteStore Buffer(std::size_t size, bool whole_pages = false) {
  CheckMemoryFits(size);
  try {
    ByteStore bytes;
    if (whole_pages) {
      try {
        bytes.reserve(WholeHugePages(size));
      } catch (const std::bad_alloc&) {
      }
    }
    bytes.resize(size);
    return bytes;
  } catch (const std::bad_alloc&) {
    throw OutOfMemoryError();
  } catch (const std::length_error&) {
    throw OutOfMemoryError();
  }
}

}  // namespace

bool FastRoadAvailable() {
#if TESSARINE_FAST
  return FastRoadUsable();
#else
  return false;
#endif
}

RasterFormat ChooseOutputFormat() {
  return DisplayDepth() <= 8 ? rf8Bit : rf24Bit;
}

JpegSettings& DefaultJpegSettings() {
  static JpegSettings defaults = [] {
    JpegSettings settings;
    settings.OutputFormat = ChooseOutputFormat();
    return settings;
  }();
  return defaults;
}

JpegImage::JpegImage()
    : encoded_(std::make_shared<EncodedJpeg>()), settings_(DefaultJpegSettings()) {}

JpegImage::~JpegImage() = default;

void JpegImage::LoadFile(const std::string& path) {
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.Get() < 0) throw FileError("Cannot open file \"" + path + "\". " + SystemText(errno));
  struct stat status {};
  if (::fstat(file.Get(), &status) != 0 || S_ISDIR(status.st_mode)) {
    const int error = S_ISDIR(status.st_mode) ? EISDIR : errno;
    throw FileError("Cannot open file \"" + path + "\". " + SystemText(error));
  }
  encoded_ = std::make_shared<EncodedJpeg>();
  decoded_.reset();
  failed_draw_.reset();
  const bool fast = options_.Road == EngineRoad::kFast;
  ByteStore bytes = Buffer(static_cast<std::size_t>(status.st_size), fast);
#if TESSARINE_FAST
  const bool read = fast ? ReadFileInParts(file.Get(), bytes, options_)
                        : ReadFileAt(file.Get(), bytes.data(), bytes.size(), 0);
#else
  const bool read = ReadFileAt(file.Get(), bytes.data(), bytes.size(), 0);
#endif
  if (!read) throw FileError("Stream read error");
  TakeBytes(std::move(bytes));
}

void JpegImage::LoadStream(std::istream& stream) {
  encoded_ = std::make_shared<EncodedJpeg>();
  decoded_.reset();
  failed_draw_.reset();
  ByteStore bytes;
  const std::streampos start = stream.tellg();
  if (start != std::streampos(-1) && stream.seekg(0, std::ios::end)) {
    const std::streamoff size = stream.tellg() - start;
    stream.seekg(start);
    bytes = Buffer(static_cast<std::size_t>(std::max<std::streamoff>(size, 0)));
    stream.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (static_cast<std::size_t>(stream.gcount()) != bytes.size())
      throw FileError("Stream read error");
  } else {  // a stream that cannot tell its size: read to its end
    stream.clear();
    bytes.assign(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
  }
  TakeBytes(std::move(bytes));
}

void JpegImage::TakeBytes(ByteStore bytes) {
  encoded_->Bytes = std::move(bytes);
  if (!encoded_->Bytes->empty()) {
    const JpegHeader header = ReadJpegHeader(*encoded_->Bytes);
    encoded_->Width = header.Width;
    encoded_->Height = header.Height;
    encoded_->IsGray = header.IsGray;
    settings_.WriteProgressive = header.MultipleScans;
  }
  palette_modified_ = true;
  Changed();
}

std::int32_t JpegImage::Width() const {
  if (decoded_) return decoded_->Width();
  return failed_draw_ ? failed_draw_->Width : encoded_->Width;
}
std::int32_t JpegImage::Height() const {
  if (decoded_) return decoded_->Height();
  return failed_draw_ ? failed_draw_->Height : encoded_->Height;
}

Raster& JpegImage::DecodedRaster() {
  if (decoded_) return *decoded_;
  decoded_ = std::make_unique<Raster>();
  const bool failed_before = std::exchange(failed_draw_, std::nullopt).has_value();
  static const ByteStore kNoBytes;
  const ByteStore& bytes = encoded_->Bytes ? *encoded_->Bytes : kNoBytes;
  try {
    if (DecodeJpeg(bytes, settings_, *decoded_)) palette_modified_ = true;
  } catch (const TessarineError&) {
    if (!failed_before) throw;
    return *decoded_;  // the fast draw has raised this already
  }
  if (palette_modified_) Changed();
  return *decoded_;
}

void JpegImage::DrawTo(RasterCanvas& canvas, const Rect& rect) {
  last_draw_ = {};
  if (DrawFast(canvas, rect)) return;
  canvas.DrawScaled(rect, &DecodedRaster());
}

// The fast road, for a picture not decoded yet that is drawn into a 24-bit raster by
// picking, where the options ask for it and the build has it. False when the plain road
// must draw.
bool JpegImage::DrawFast(RasterCanvas& canvas, const Rect& rect) {
#if TESSARINE_FAST
  Raster& target = canvas.Target();
  if (options_.Road != EngineRoad::kFast || decoded_ || failed_draw_ || !encoded_->Bytes ||
      encoded_->Width <= 0 || encoded_->Height <= 0 || settings_.OutputFormat != rf24Bit ||
      settings_.ScaleShift != 0 || DisplayDepth() <= 8 ||
      (target.HasStore() && target.BitsPerPixel() != 24) || !FastRoadAvailable())
    return false;
  const StretchPlan plan =
      PlanStretch(rect, target.Width(), target.Height(), encoded_->Width, encoded_->Height);
  FastDraw draw;
  try {
    if (!DrawJpegFast(*encoded_->Bytes, settings_, plan, target, options_, draw, last_draw_))
      return false;  // its check turned the fast road off
  } catch (const TessarineError&) {
    failed_draw_ = draw.Started ? FailedDraw{draw.Width, draw.Height} : FailedDraw{};
    throw;
  }
  if (draw.HasTable) palette_modified_ = true;
  if (palette_modified_) Changed();  // as the decode on the plain road reports
  target.Changed();                  // as the stretch of the decoded raster reports
  return true;
#else
  (void)canvas;
  (void)rect;
  return false;
#endif
}

void JpegImage::AssignRaster(const Raster& raster) {
  encoded_ = std::make_shared<EncodedJpeg>();
  decoded_ = std::make_unique<Raster>();
  decoded_->Share(raster);
  failed_draw_.reset();
  Changed();
}

void JpegImage::AssignJpeg(const JpegImage& other) {
  if (&other == this) return;
  encoded_ = other.encoded_;
  if (other.decoded_) {
    decoded_ = std::make_unique<Raster>();
    decoded_->Share(*other.decoded_);
    failed_draw_.reset();
  } else if (other.failed_draw_) {  // stands for the raster other's failed decode left
    decoded_.reset();
    failed_draw_ = other.failed_draw_;
  }
  Changed();
}

// Encodes into a local buffer so that a failed encode leaves no half stream behind.
const ByteStore& JpegImage::EncodedBytes() {
  if (encoded_->Bytes) return *encoded_->Bytes;
  ByteStore out;
  if (decoded_ && decoded_->Width() > 0 && decoded_->Height() > 0) {
    encoded_->Width = decoded_->Width();
    encoded_->Height = decoded_->Height();
    Raster working;
    working.Share(*decoded_);
    working.SetFormat(rf24Bit);
    EncodeJpeg(working, settings_, out);
  }
  encoded_->Bytes = std::move(out);
  return *encoded_->Bytes;
}

void JpegImage::SaveStream(std::ostream& stream) {
  const ByteStore& bytes = EncodedBytes();
  stream.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  if (!stream) throw FileError("Stream write error");
}

// Only a regular file (new, or an existing one to replace) is a destination: a folder, a
// device or a FIFO is refused before a byte is written. The stat before opening spares
// devices the open itself; the fstat after it closes the gap between the two, and
// O_NONBLOCK keeps a FIFO without a reader from blocking the open.
void JpegImage::SaveFile(const std::string& path) {
  const auto refuse = [&path](const std::string& reason) {
    return FileError("Cannot create file \"" + path + "\". " + reason);
  };
  const auto check_kind = [&refuse](const struct stat& status) {
    if (S_ISDIR(status.st_mode)) throw refuse(SystemText(EISDIR));
    if (!S_ISREG(status.st_mode)) throw refuse("Not a regular file");
  };
  struct stat status {};
  if (::stat(path.c_str(), &status) == 0) check_kind(status);
  FileDescriptor file(
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666));
  if (file.Get() < 0) throw refuse(SystemText(errno));
  if (::fstat(file.Get(), &status) != 0) throw refuse(SystemText(errno));
  check_kind(status);
  if (::ftruncate(file.Get(), 0) != 0) throw refuse(SystemText(errno));
  const ByteStore& bytes = EncodedBytes();
  std::size_t done = 0;
  while (done < bytes.size()) {  // one write; the loop only resumes an interrupted one
    const ssize_t n = ::write(file.Get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw FileError("Stream write error");
    done += static_cast<std::size_t>(n);
  }
  if (::close(file.Release()) != 0) throw FileError("Stream write error");
}

void JpegImage::Changed() {
  if (on_change_) on_change_();
}
