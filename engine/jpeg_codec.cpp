#include "engine/jpeg_codec.h"

#include <jerror.h>

#include "engine/jpeg_glue.h"

// The functions that call setjmp hold only plain values and references, so the longjmp
// from libjpeg skips no destructor; the guards are owned by their callers.
namespace {

constexpr int kQuantizedColours = 236;

void ReadHeaderWith(Decompressor& jpeg, std::span<const std::uint8_t> bytes, JpegHeader& header) {
  if (setjmp(jpeg.err.jump)) ThrowCodecFailure(jpeg.err);
  jpeg_create_decompress(&jpeg.info);
  AttachSource(jpeg, bytes, SourceFeed::kWhole);  // the markers read alike either way
  jpeg_read_header(&jpeg.info, TRUE);
  header.Width = static_cast<std::int32_t>(jpeg.info.image_width);
  header.Height = static_cast<std::int32_t>(jpeg.info.image_height);
  header.IsGray = jpeg.info.jpeg_color_space == JCS_GRAYSCALE;
  header.MultipleScans = jpeg_has_multiple_scans(&jpeg.info);
}

// The library's colour map as the raster's table: grey levels or red, green, blue.
void SetTableFromColormap(const jpeg_decompress_struct& info, Raster& out) {
  out.SetColorTable(TableFromColormap(info));
}

void InvertedCmykToBgr(const JSAMPLE* cmyk, std::uint8_t* bgr, JDIMENSION width) {
  for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, bgr += 3) InvertedCmykPixelToBgr(cmyk, bgr);
}

bool DecodeWith(Decompressor& jpeg, std::span<const std::uint8_t> bytes,
                const JpegSettings& settings, Raster& out) {
  if (setjmp(jpeg.err.jump)) ThrowCodecFailure(jpeg.err);
  jpeg_decompress_struct& info = jpeg.info;
  const DecodeOutput output = OpenDecoder(jpeg, bytes, settings, FeedFor(bytes));
  const bool cmyk = output.Cmyk;
  out.SetFormat(output.Format);

  jpeg_start_decompress(&info);
  out.SetWidth(static_cast<int>(info.output_width));
  out.SetHeight(static_cast<int>(info.output_height));
  const bool has_table = info.quantize_colors && info.colormap != nullptr;
  if (has_table) SetTableFromColormap(info, out);

  JSAMPARRAY cmyk_row = nullptr;
  if (cmyk) {
    cmyk_row = info.mem->alloc_sarray(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                      info.output_width * 4, 1);
  }
  while (info.output_scanline < info.output_height) {
    const int row = static_cast<int>(info.output_scanline);
    if (cmyk) {
      jpeg_read_scanlines(&info, cmyk_row, 1);
      InvertedCmykToBgr(cmyk_row[0], out.RowAddress(row), info.output_width);
    } else {
      JSAMPROW target = out.RowAddress(row);
      jpeg_read_scanlines(&info, &target, 1);
    }
  }
  jpeg_finish_decompress(&info);
  return has_table;
}

void EncodeWith(Compressor& jpeg, const Raster& picture, const JpegSettings& settings,
                ByteStore& out) {
  if (setjmp(jpeg.err.jump)) ThrowCodecFailure(jpeg.err);
  jpeg_compress_struct& info = jpeg.info;
  jpeg_create_compress(&info);
  AttachDestination(jpeg, out);
  info.image_width = static_cast<JDIMENSION>(picture.Width());
  info.image_height = static_cast<JDIMENSION>(picture.Height());
  info.input_components = 3;
  info.in_color_space = JCS_EXT_BGR;  // the raster's byte order; converted as RGB would be
  jpeg_set_defaults(&info);
  info.dct_method = JDCT_FLOAT;
  jpeg_set_quality(&info, settings.Quality, TRUE);
  if (settings.ForceGray) jpeg_set_colorspace(&info, JCS_GRAYSCALE);
  if (settings.WriteProgressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    // The library only reads the row.
    JSAMPROW row = const_cast<JSAMPROW>(picture.RowAddress(static_cast<int>(info.next_scanline)));
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
}

}  // namespace

DecodeOutput OpenDecoder(Decompressor& jpeg, std::span<const std::uint8_t> bytes,
                         const JpegSettings& settings, SourceFeed feed) {
  jpeg_create_decompress(&jpeg.info);
  AttachSource(jpeg, bytes, feed);
  jpeg_read_header(&jpeg.info, TRUE);
  return SetDecodeParameters(jpeg.info, settings);
}

DecodeOutput SetDecodeParameters(jpeg_decompress_struct& info, const JpegSettings& settings) {
  info.scale_num = 1;
  info.scale_denom = 1u << settings.ScaleShift;
  info.do_block_smoothing = settings.BlockSmoothing;
  info.dct_method = settings.FastDecode ? JDCT_IFAST : JDCT_FLOAT;
  info.do_fancy_upsampling = TRUE;
  info.two_pass_quantize = settings.FastDecode ? FALSE : TRUE;
  info.dither_mode = settings.FastDecode ? JDITHER_ORDERED : JDITHER_FS;
  info.buffered_image = FALSE;
  if (settings.ForceGray) info.out_color_space = JCS_GRAYSCALE;

  // CMYK and YCCK arrive as CMYK and are converted here (the library has no such
  // conversion, nor a quantizer for them). Any colour model it does not know fails in
  // jpeg_start_decompress with the library's own code for the conversion asked for.
  const bool grey = info.out_color_space == JCS_GRAYSCALE;
  const bool cmyk = info.out_color_space == JCS_CMYK;
  const bool quantize = grey || (settings.OutputFormat == rf8Bit && !cmyk);
  if (quantize) {
    info.quantize_colors = TRUE;
    info.desired_number_of_colors = kQuantizedColours;
    if (!grey) info.out_color_space = JCS_RGB;
  } else if (!cmyk) {
    info.out_color_space = JCS_EXT_BGR;
  }
  if (info.arith_code) ERREXIT(&info, JERR_ARITH_NOTIMPL);  // decodable, but refused
  return {quantize ? rf8Bit : rf24Bit, cmyk};
}

std::vector<RgbColour> TableFromColormap(const jpeg_decompress_struct& info) {
  std::vector<RgbColour> table(static_cast<std::size_t>(info.actual_number_of_colors));
  const bool grey = info.out_color_components == 1;
  for (std::size_t i = 0; i < table.size(); ++i) {
    const JSAMPLE r = info.colormap[0][i];
    table[i] = grey ? RgbColour{r, r, r} : RgbColour{r, info.colormap[1][i], info.colormap[2][i]};
  }
  return table;
}

JpegHeader ReadJpegHeader(std::span<const std::uint8_t> bytes) {
  JpegHeader header;
  Decompressor jpeg;
  ReadHeaderWith(jpeg, bytes, header);
  return header;
}

bool DecodeJpeg(std::span<const std::uint8_t> bytes, const JpegSettings& settings, Raster& out) {
  bool has_table = false;
  {
    Decompressor jpeg;
    has_table = DecodeWith(jpeg, bytes, settings, out);
  }
  if (settings.OutputFormat == rf8Bit && out.GetFormat() == rf24Bit) {
    out.SetFormat(rf8Bit);  // a four-component picture on a shallow display
    has_table = true;
  }
  return has_table;
}

void EncodeJpeg(const Raster& picture, const JpegSettings& settings,
                ByteStore& out) {
  Compressor jpeg;
  EncodeWith(jpeg, picture, settings, out);
}
