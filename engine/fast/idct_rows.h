#pragma once
// The library's floating-point inverse DCT for chosen sample rows of one block. A pick needs
// one or two sample rows of a block (its own and, where a component is upsampled smoothly
// from row to row, the neighbouring one); the library's transform makes all eight, a column
// pass and then eight row passes. Here the column pass goes only as far as each chosen row
// needs, and only those rows get their row pass.
//
// What it writes is the library's own output, bit for bit: libjpeg-turbo's SSE2 transform,
// the one it uses for the float method on x86-64, is two passes of the same butterfly in
// single precision, lane by lane, and then a rounding by adding 1.5 * 2^26 and keeping the
// low 16 bits, saturated to a signed byte and moved up by 128. The same operations in the
// same order, one float at a time, give the same results (this file is built without
// contracting a multiply and an add into one instruction). The library found at run time
// may transform otherwise (its C code rounds differently, and a later release may have
// other code), so the transform stands in only where IdctRowsMatch finds it giving what the
// library gives on the picture's own table.
#include <cstdio>  // jpeglib.h needs FILE and size_t first

#include <jpeglib.h>

// The library's inverse DCT of one block (jpegint.h's inverse_DCT_method_ptr; that header
// has no include guard, so it is left to the files that use the library's internals).
using LibraryIdct = void (*)(j_decompress_ptr, jpeg_component_info*, JCOEFPTR, JSAMPARRAY,
                             JDIMENSION);

// Whether IdctRows pays for the rows set in `rows`: it makes each row on its own, so for more
// than three of them the library's transform of the whole block is the cheaper (thumbnails
// at half the size, whose blocks need four rows or more, took 5 % longer through it).
// Without a popcount instruction in the baseline x86-64 set, std::popcount is a library call;
// clearing the lowest set bit three times is not.
inline bool RowsPay(unsigned rows) {
  rows &= 0xFFu;
  for (int i = 0; i < 3; ++i) rows &= rows - 1;
  return rows == 0;
}

// Writes the samples of the rows of the block whose bits are set in `rows` (bit y: row y)
// to output[y][col..col + 7]; the other rows are not touched. `table` is the component's
// multiplier table of the float method (its dct_table once the output pass has started).
void IdctRows(const float* table, const JCOEF* coefficients, JSAMPARRAY output, JDIMENSION col,
              unsigned rows);

// Whether IdctRows writes what `library` (the component's inverse DCT as the library set it
// up for the float method) writes, for every row of a fixed set of test blocks, zero, sparse,
// dense and extreme ones, dequantised by the component's own table.
bool IdctRowsMatch(j_decompress_ptr info, jpeg_component_info* comp, LibraryIdct library);
