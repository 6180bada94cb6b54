"""Independent heights for the raster tests: writes one kind of DEM into a folder, picks
random WGS84 points over it (fixed seed) and interpolates their heights with GDAL's Python
bindings and numpy, never through Keldarn's code.

Usage: oracle.py KIND FOLDER
Writes FOLDER/raster.txt (the path to open) and FOLDER/points.csv (lat,lon,height in metres
or "none").
"""

import math
import os
import shutil
import zipfile
import sys

import numpy as np
from osgeo import gdal, osr

gdal.UseExceptions()
TRADITIONAL = osr.OAMS_TRADITIONAL_GIS_ORDER  # longitude / easting first


def srs(epsg):
    s = osr.SpatialReference()
    s.ImportFromEPSG(epsg)
    s.SetAxisMappingStrategy(TRADITIONAL)
    return s


def rugged(rng, cols, rows, x0=0, y0=0):
    """Sum of sines plus noise, in metres, for cells [x0, x0+cols) × [y0, y0+rows)."""
    j, i = np.mgrid[y0:y0 + rows, x0:x0 + cols].astype(np.float64)
    z = (800 + 300 * np.sin(i / 37.0) * np.cos(j / 23.0) + 120 * np.sin((i + 2 * j) / 11.0)
         + 40 * np.sin(i / 3.1) + 25 * np.cos(j / 2.7))
    return z + rng.normal(0.0, 5.0, z.shape)


def write_tiff(path, array, gt, epsg, dtype, options=(), nodata=None, scale=None, offset=None):
    rows, cols = array.shape
    ds = gdal.GetDriverByName("GTiff").Create(path, cols, rows, 1, dtype, list(options))
    ds.SetGeoTransform(gt)
    ds.SetSpatialRef(srs(epsg))
    band = ds.GetRasterBand(1)
    if nodata is not None:
        band.SetNoDataValue(nodata)
    if scale is not None:
        band.SetScale(scale)
        band.SetOffset(offset)
    band.WriteArray(array)
    ds = None
    return path


def gdal_height(ds, lat, lon):
    band = ds.GetRasterBand(1)
    return grid_height(lambda i0, j0: band.ReadAsArray(i0, j0, 2, 2), ds.RasterXSize, ds.RasterYSize,
                       ds.GetGeoTransform(), ds.GetSpatialRef().Clone(), lat, lon, band.GetNoDataValue(),
                       band.GetScale() or 1.0, band.GetOffset() or 0.0)


def grid_height(window, cols, rows, gt, crs, lat, lon, nodata, scale=1.0, offset=0.0):
    """Bilinear between cell centres (pixel + 0.5), void weights renormalised, edge samples
    extended over the outer half cell. window(i0, j0) gives the 2 × 2 samples from (i0, j0)."""
    x, y, _ = osr.CoordinateTransformation(srs(4326), crs).TransformPoint(lon, lat)
    inv = gdal.InvGeoTransform(gt)
    u = inv[0] + inv[1] * x + inv[2] * y - 0.5
    v = inv[3] + inv[4] * x + inv[5] * y - 0.5
    if not (-0.5 <= u <= cols - 0.5 and -0.5 <= v <= rows - 0.5):
        return None
    u, v = min(max(u, 0.0), cols - 1.0), min(max(v, 0.0), rows - 1.0)
    i0, j0 = min(int(math.floor(u)), cols - 2), min(int(math.floor(v)), rows - 2)
    return bilinear(window(i0, j0).astype(np.float64), u - i0, v - j0, nodata, scale, offset)


def bilinear(window, fu, fv, nodata, scale=1.0, offset=0.0):
    weights = np.array([[(1 - fu) * (1 - fv), fu * (1 - fv)], [(1 - fu) * fv, fu * fv]])
    total = weight_sum = 0.0
    for w, z in zip(weights.ravel(), window.ravel()):
        if w < 1e-9 or math.isnan(z) or (nodata is not None and z == nodata):
            continue
        total += w * z
        weight_sum += w
    return None if weight_sum == 0.0 else total / weight_sum * scale + offset


def to_wgs84(gt, crs, positions):
    """(pixel, line) positions → (lat, lon)."""
    ct = osr.CoordinateTransformation(crs, srs(4326))
    out = []
    for p, l in positions:
        lon, lat, _ = ct.TransformPoint(gt[0] + p * gt[1] + l * gt[2], gt[3] + p * gt[4] + l * gt[5])
        out.append((lat, lon))
    return out


def scattered(rng, cols, rows, n):
    """Mostly inside the raster; one in six within a cell and a half around its edge; and the
    edge cases: the outer half cell answers, beyond it nothing."""
    inside = [(rng.uniform(0, cols), rng.uniform(0, rows)) for _ in range(n * 5 // 6)]
    ring = []
    while len(ring) < n // 6:
        p, l = rng.uniform(-1.5, cols + 1.5), rng.uniform(-1.5, rows + 1.5)
        if not (1 < p < cols - 1 and 1 < l < rows - 1):
            ring.append((p, l))
    fixed = [(-0.25, rows / 2), (-0.75, rows / 2), (cols + 0.3, rows / 3), (cols + 0.7, rows / 3),
             (cols / 2, -0.4), (cols / 2, rows + 0.45), (cols / 2, rows + 0.6), (-0.3, -0.3),
             (cols + 0.2, rows + 0.2), (0.5, 0.5), (cols - 0.5, rows - 0.5)]
    return inside + ring + fixed


def near(rng, centres, n, spread=1.5):
    return [(p + rng.uniform(-spread, spread), l + rng.uniform(-spread, spread))
            for p, l in (centres[rng.integers(len(centres))] for _ in range(n))]


def make(kind, folder, rng):
    """Returns (path, [(pixel, line)]) for the kind."""
    utm = (420000.0, 30.0, 0.0, 3350000.0, 0.0, -30.0)
    if kind == "utm":
        path = write_tiff(f"{folder}/utm.tif", rugged(rng, 700, 600), utm, 32649, gdal.GDT_Float32)
        return path, scattered(rng, 700, 600, 400)
    if kind == "rotated":
        a = math.radians(20.0)
        gt = (420000.0, 30 * math.cos(a), 30 * math.sin(a), 3350000.0, 30 * math.sin(a), -30 * math.cos(a))
        path = write_tiff(f"{folder}/rotated.tif", rugged(rng, 300, 250), gt, 32649, gdal.GDT_Float32)
        return path, scattered(rng, 300, 250, 300)
    if kind == "geographic":
        gt = (110.2, 1 / 1200, 0.0, 30.6, 0.0, -1 / 1200)
        path = write_tiff(f"{folder}/geographic.tif", rugged(rng, 500, 400), gt, 4326, gdal.GDT_Float32)
        return path, scattered(rng, 500, 400, 300)
    if kind == "int16_holes":
        cols, rows = 400, 300
        raw = np.round(rugged(rng, cols, rows) * 10 - 4000).astype(np.int16)  # decimetres; scale and offset undo it
        holes = [(int(rng.integers(cols)), int(rng.integers(rows))) for _ in range(300)]
        for i, j in holes:
            raw[j, i] = -32768
        raw[100:120, 200:220] = -32768
        holes += [(i, j) for i in range(200, 220) for j in range(100, 120)]
        path = write_tiff(f"{folder}/int16.tif", raw, (500000.0, 25.0, 0.0, 3400000.0, 0.0, -25.0), 32650,
                          gdal.GDT_Int16, ["TILED=YES", "BLOCKXSIZE=64", "BLOCKYSIZE=64"],
                          nodata=-32768, scale=0.1, offset=400.0)
        centres = [(i + 0.5, j + 0.5) for i, j in holes]
        return path, scattered(rng, cols, rows, 200) + near(rng, centres, 300)
    if kind == "vrt":
        tiles = []
        for ty in range(2):
            for tx in range(2):
                z = rugged(rng, 250, 200, tx * 250, ty * 200).astype(np.float32)
                gt = (utm[0] + tx * 250 * 30.0, 30.0, 0.0, utm[3] - ty * 200 * 30.0, 0.0, -30.0)
                tiles.append(write_tiff(f"{folder}/tile_{tx}{ty}.tif", z, gt, 32649, gdal.GDT_Float32,
                                        ["TILED=YES", "BLOCKXSIZE=128", "BLOCKYSIZE=128"]))
        path = f"{folder}/mosaic.vrt"
        gdal.BuildVRT(path, tiles)
        seams = [(250.0, rng.uniform(0, 400)) for _ in range(20)] + [(rng.uniform(0, 500), 200.0) for _ in range(20)]
        return path, scattered(rng, 500, 400, 300) + near(rng, seams, 200) + [(250.0, 200.0)]
    if kind == "large":
        cols = rows = 9000
        path = f"{folder}/large.tif"
        ds = gdal.GetDriverByName("GTiff").Create(path, cols, rows, 1, gdal.GDT_Int16,
                                                  ["TILED=YES", "COMPRESS=DEFLATE", "SPARSE_OK=TRUE"])
        ds.SetGeoTransform(utm)
        ds.SetSpatialRef(srs(32649))
        ds.GetRasterBand(1).SetNoDataValue(-32768)  # what the blocks never written read as
        centres = [(8950, 8960), (7000, 40), (4100, 4100), (40, 8800), (6543, 2109)]
        for p, l in centres:  # only the neighbourhoods of the points hold data
            x0, y0 = p - 32, l - 32
            ds.GetRasterBand(1).WriteArray(np.round(rugged(rng, 64, 64, x0, y0)).astype(np.int16), x0, y0)
        ds = None
        unwritten = [(2000.3, 3000.7), (8500.0, 500.0), (300.0, 4500.0)]
        # spread 40 reaches past the written 64 × 64 squares into the no-data around them
        return path, near(rng, centres, 40, spread=20) + near(rng, centres, 20, spread=40) + unwritten
    raise SystemExit(f"unknown kind {kind}")


def make_folder(folder, rng):
    """A folder of five Float32 tiles of 60 × 50 cells (30 m, UTM 49N) without a no-data value:
    four abutting in 2 × 2 and a fifth two tile widths east of the first, leaving an empty
    tile column and an empty corner. The heights come from one grid assembled from the tiles'
    own samples (NaN where no tile is), not from a GDAL mosaic."""
    tw, th, cell, x0, y0 = 60, 50, 30.0, 420000.0, 3350000.0
    grid = np.full((2 * th, 4 * tw), np.nan)
    os.makedirs(f"{folder}/tiles", exist_ok=True)
    for tx, ty in [(0, 0), (1, 0), (0, 1), (1, 1), (3, 0)]:
        gt = (x0 + tx * tw * cell, cell, 0.0, y0 - ty * th * cell, 0.0, -cell)
        tile = write_tiff(f"{folder}/tiles/tile_{tx}{ty}.tif", rugged(rng, tw, th, tx * tw, ty * th),
                          gt, 32649, gdal.GDT_Float32)
        grid[ty * th:(ty + 1) * th, tx * tw:(tx + 1) * tw] = gdal.Open(tile).ReadAsArray()
    gt, crs = (x0, cell, 0.0, y0, 0.0, -cell), srs(32649)
    rows, cols = grid.shape
    seams = ([(60.0 + d, rng.uniform(0, 100)) for d in (0.0, -1e-3, 1e-3, -0.3, 0.3) for _ in range(6)]
             + [(rng.uniform(0, 120), 50.0 + d) for d in (0.0, -1e-3, 1e-3, -0.3, 0.3) for _ in range(6)]
             + [(60.0 + a, 50.0 + b) for a in (0.0, -0.2, 0.2) for b in (0.0, -0.2, 0.2)])
    # Far inside the gaps; half a cell into them (the covered side alone answers); at the
    # centres of the first void column and row (nothing).
    gaps = [(150.0, 40.0), (210.0, 90.0), (120.1, 20.0), (179.8, 30.0), (200.0, 50.2), (120.5, 20.0),
            (200.0, 50.5)]
    positions = scattered(rng, cols, rows, 300) + near(rng, seams, 60, spread=1.0) + seams + gaps
    points = to_wgs84(gt, crs, positions)
    heights = [grid_height(lambda i0, j0: grid[j0:j0 + 2, i0:i0 + 2], cols, rows, gt, crs, lat, lon, None)
               for lat, lon in points]
    return f"{folder}/tiles", [(lat, lon, h) for (lat, lon), h in zip(points, heights)]


def make_mixed_zones(folder, rng):
    """A folder of four tiles astride the boundary of UTM zones 49 and 50 (114° E), each in its
    own zone: two of 30 m cells in 49N, one above the other, reaching about 200 m east of the
    boundary, and two of 20 m cells in 50N reaching as far west of it. Each zone's heights come
    from one grid assembled from its tiles' own samples; where both zones answer, the finer
    (50N) does."""
    os.makedirs(f"{folder}/tiles", exist_ok=True)
    zones = []  # (epsg, cell, gt of the zone's grid, grid), finest first
    for epsg, cell, x0, cols in [(32650, 20.0, 210400.0, 150), (32649, 30.0, 786600.0, 100)]:
        rows_per_tile, y0 = int(3000 / cell), 3328000.0
        grid = np.empty((2 * rows_per_tile, cols))
        for ty in range(2):
            gt = (x0, cell, 0.0, y0 - ty * 3000.0, 0.0, -cell)
            tile = write_tiff(f"{folder}/tiles/z{epsg % 100}_{ty}.tif",
                              rugged(rng, cols, rows_per_tile, 0, ty * rows_per_tile), gt, epsg,
                              gdal.GDT_Float32)
            grid[ty * rows_per_tile:(ty + 1) * rows_per_tile] = gdal.Open(tile).ReadAsArray()
        zones.append((epsg, cell, (x0, cell, 0.0, y0, 0.0, -cell), grid))

    def height(lat, lon):
        for epsg, _, gt, grid in zones:
            rows, cols = grid.shape
            h = grid_height(lambda i0, j0: grid[j0:j0 + 2, i0:i0 + 2], cols, rows, gt, srs(epsg), lat, lon, None)
            if h is not None:
                return h
        return None

    # Over both zones' tiles and around them, crowded on the boundary and on the seams
    # between the tiles of a zone (3325000 m north in both).
    west, east, south, north = 113.968, 114.032, 29.996, 30.054
    points = [(rng.uniform(south, north), rng.uniform(west, east)) for _ in range(400)]
    points += [(rng.uniform(south, north), 114.0 + rng.uniform(-0.003, 0.003)) for _ in range(100)]
    seam = to_wgs84(zones[1][2], srs(32649), [(rng.uniform(0, 100), 100.0 + rng.uniform(-1, 1)) for _ in range(30)])
    seam += to_wgs84(zones[0][2], srs(32650), [(rng.uniform(0, 150), 150.0 + rng.uniform(-1, 1)) for _ in range(30)])
    points += seam
    return f"{folder}/tiles", [(lat, lon, height(lat, lon)) for lat, lon in points]


def make_hgt(folder, rng):
    """An SRTM tile written byte by byte: 1201 × 1201 big-endian Int16, sample (r, c) exactly at
    latitude 31 - r/1200, longitude 110 + c/1200 ("pixel is point"). Its heights come from
    those positions directly, not from GDAL's geotransform."""
    n = 1201
    raw = np.round(rugged(rng, n, n)).astype(">i2")
    raw[500:503, 600:604] = -32768
    path = f"{folder}/N30E110.hgt"
    raw.tofile(path)
    z = raw.astype(np.float64)

    def height(lat, lon):
        u, v = (lon - 110.0) * 1200, (31.0 - lat) * 1200
        if not (-0.5 <= u <= n - 0.5 and -0.5 <= v <= n - 0.5):
            return None
        u, v = min(max(u, 0.0), n - 1.0), min(max(v, 0.0), n - 1.0)
        i0, j0 = min(int(u), n - 2), min(int(v), n - 2)
        return bilinear(z[j0:j0 + 2, i0:i0 + 2], u - i0, v - j0, -32768.0)

    positions = scattered(rng, n, n, 300) + near(rng, [(601.5, 501.5)], 100, spread=3)
    lat_lon = [(31.0 - (l - 0.5) / 1200, 110.0 + (p - 0.5) / 1200) for p, l in positions]
    return path, [(lat, lon, height(lat, lon)) for lat, lon in lat_lon]


def main():
    kind, folder = sys.argv[1], sys.argv[2]
    os.makedirs(folder, exist_ok=True)
    rng = np.random.default_rng(20261207)
    if kind in ("point", "folder", "zipped", "mixed_zones"):
        maker = {"point": make_hgt, "mixed_zones": make_mixed_zones}.get(kind, make_folder)
        path, rows = maker(folder, rng)
        if kind == "zipped":
            # The same tiles in a folder of a zip archive, as they are often handed over.
            archive = f"{folder}/tiles.zip"
            with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as z:
                for name in sorted(os.listdir(path)):
                    z.write(f"{path}/{name}", f"dem/{name}")
            shutil.rmtree(path)
            path = archive
    else:
        path, positions = make(kind, folder, rng)
        ds = gdal.Open(path)
        points = to_wgs84(ds.GetGeoTransform(), ds.GetSpatialRef().Clone(), positions)
        rows = [(lat, lon, gdal_height(ds, lat, lon)) for lat, lon in points]
    with open(f"{folder}/raster.txt", "w") as f:
        f.write(path)
    with open(f"{folder}/points.csv", "w") as f:
        for lat, lon, h in rows:
            f.write(f"{lat!r},{lon!r},{'none' if h is None else repr(h)}\n")


if __name__ == "__main__":
    main()
