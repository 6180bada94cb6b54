"""Terrain of every source kind for the thread-determinism tests, written into FOLDER.

Usage: determinism_terrain.py FOLDER

tiles/       four 800 × 800 Float32 tiles of 30 m in UTM 49N, deflated in 256 × 256 blocks, so
             that sampling threads decode many blocks of every tile at once
tiles.zip    the same tiles, deflated inside the archive as zip tools store them
mosaic.vrt   a VRT over the tiles
whole.tif    the four tiles as one file (also served over http by the test)
mixed/       two tiles in UTM 49N (30 m) and two in 50N (20 m) astride 114° E
"""

import os
import sys
import zipfile

import numpy as np
from osgeo import gdal, osr

gdal.UseExceptions()
CREATE = ["TILED=YES", "BLOCKXSIZE=256", "BLOCKYSIZE=256", "COMPRESS=DEFLATE"]


def relief(cols, rows, x0, y0):
    j, i = np.mgrid[y0:y0 + rows, x0:x0 + cols].astype(np.float64)
    return 600 + 300 * np.sin(i / 97.0) * np.cos(j / 61.0) + 40 * np.sin((i + 2 * j) / 13.0) + 0.01 * (i % 7)


def write(path, array, gt, epsg):
    rows, cols = array.shape
    ds = gdal.GetDriverByName("GTiff").Create(path, cols, rows, 1, gdal.GDT_Float32, CREATE)
    ds.SetGeoTransform(gt)
    crs = osr.SpatialReference()
    crs.ImportFromEPSG(epsg)
    ds.SetSpatialRef(crs)
    ds.GetRasterBand(1).WriteArray(array)


def main():
    folder = sys.argv[1]
    os.makedirs(f"{folder}/tiles", exist_ok=True)
    os.makedirs(f"{folder}/mixed", exist_ok=True)
    side, cell, west, north = 800, 30.0, 495000.0, 3325000.0
    for tx in range(2):
        for ty in range(2):
            write(f"{folder}/tiles/t{tx}{ty}.tif", relief(side, side, tx * side, ty * side),
                  (west + tx * side * cell, cell, 0, north - ty * side * cell, 0, -cell), 32649)
    write(f"{folder}/whole.tif", relief(2 * side, 2 * side, 0, 0), (west, cell, 0, north, 0, -cell), 32649)
    with zipfile.ZipFile(f"{folder}/tiles.zip", "w", zipfile.ZIP_DEFLATED) as z:
        for name in sorted(os.listdir(f"{folder}/tiles")):
            z.write(f"{folder}/tiles/{name}", f"dem/{name}")
    gdal.BuildVRT(f"{folder}/mosaic.vrt", [f"{folder}/tiles/{n}" for n in sorted(os.listdir(f"{folder}/tiles"))])
    for epsg, step, x0, cols in [(32649, 30.0, 783000.0, 220), (32650, 20.0, 210400.0, 330)]:
        rows = int(3300 / step)
        for ty in range(2):
            write(f"{folder}/mixed/z{epsg % 100}_{ty}.tif", relief(cols, rows, 0, ty * rows),
                  (x0, step, 0, 3330000.0 - ty * 3300.0, 0, -step), epsg)


if __name__ == "__main__":
    main()
