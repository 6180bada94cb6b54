#pragma once

// What a grid read of a raster costs before it is made: the source blocks that a
// nearest-sample read of the band into a smaller buffer decodes, and the overview that
// keeps that cost down. A grid of a huge raster without overviews would otherwise decode
// every block of the file (GDAL reads whole blocks, and a decimated read touches almost
// all of them), which for a sparse 10⁶ × 10⁶ raster takes minutes.

#include <gdal.h>

#include <cstdint>

namespace keldarn::earth {

// The band a read of all of `band` into columns × rows samples should come from: the
// coarsest overview that still has at least that many samples each way, else the band.
GDALRasterBandH BandForDecimatedRead(GDALRasterBandH band, int columns, int rows);

// Bytes of decoded blocks that reading the whole of `band` into columns × rows samples
// (nearest sample) touches. Blocks are those of the file that holds the data: for a VRT,
// the blocks of its first source raster, laid over the VRT's extent.
std::uint64_t DecodedBytesOfRead(GDALDatasetH dataset, GDALRasterBandH band, int columns, int rows);

}  // namespace keldarn::earth
