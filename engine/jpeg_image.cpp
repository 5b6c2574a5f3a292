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
#include "engine/jpeg_codec.h"

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

std::vector<std::uint8_t> Buffer(std::size_t size) {
  try {
    return std::vector<std::uint8_t>(size);
  } catch (const std::bad_alloc&) {
    throw OutOfMemoryError();
  } catch (const std::length_error&) {
    throw OutOfMemoryError();
  }
}

}  // namespace

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
  std::vector<std::uint8_t> bytes = Buffer(static_cast<std::size_t>(status.st_size));
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::read(file.Get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw FileError("Stream read error");
    done += static_cast<std::size_t>(n);
  }
  TakeBytes(std::move(bytes));
}

void JpegImage::LoadStream(std::istream& stream) {
  encoded_ = std::make_shared<EncodedJpeg>();
  decoded_.reset();
  std::vector<std::uint8_t> bytes;
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

void JpegImage::TakeBytes(std::vector<std::uint8_t> bytes) {
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
  return decoded_ ? decoded_->Width() : encoded_->Width;
}
std::int32_t JpegImage::Height() const {
  return decoded_ ? decoded_->Height() : encoded_->Height;
}

Raster& JpegImage::DecodedRaster() {
  if (decoded_) return *decoded_;
  decoded_ = std::make_unique<Raster>();
  static const std::vector<std::uint8_t> kNoBytes;
  const std::vector<std::uint8_t>& bytes = encoded_->Bytes ? *encoded_->Bytes : kNoBytes;
  if (DecodeJpeg(bytes, settings_, *decoded_)) palette_modified_ = true;
  if (palette_modified_) Changed();
  return *decoded_;
}

void JpegImage::DrawTo(RasterCanvas& canvas, const Rect& rect) {
  canvas.DrawScaled(rect, &DecodedRaster());
}

void JpegImage::AssignRaster(const Raster& raster) {
  encoded_ = std::make_shared<EncodedJpeg>();
  decoded_ = std::make_unique<Raster>();
  decoded_->Share(raster);
  Changed();
}

void JpegImage::AssignJpeg(const JpegImage& other) {
  if (&other == this) return;
  encoded_ = other.encoded_;
  if (other.decoded_) {
    decoded_ = std::make_unique<Raster>();
    decoded_->Share(*other.decoded_);
  }
  Changed();
}

// Encodes into a local buffer so that a failed encode leaves no half stream behind.
const std::vector<std::uint8_t>& JpegImage::EncodedBytes() {
  if (encoded_->Bytes) return *encoded_->Bytes;
  std::vector<std::uint8_t> out;
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
  const std::vector<std::uint8_t>& bytes = EncodedBytes();
  stream.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  if (!stream) throw FileError("Stream write error");
}

void JpegImage::SaveFile(const std::string& path) {
  FileDescriptor file(::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (file.Get() < 0) throw FileError("Cannot create file \"" + path + "\". " + SystemText(errno));
  const std::vector<std::uint8_t>& bytes = EncodedBytes();
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
