"""Writes the imagery that imagery_source_test reads, into FOLDER:

  ortho.tif    RGB GeoTIFF in UTM zone 49N (EPSG:32649), 1000 x 1000 cells of 5 m from 734600 E,
               3687400 N (about 113.52-113.57 E, 33.25-33.30 N): squares of 50 x 50 cells, each
               with its own red and green, and blue rising smoothly from west to east.
  tiles/       XYZ tiles cut from it by gdal2tiles.py, zoom levels 12-15, PNG with alpha.
  tms_tiles/   the same tiles named by TMS rows (row 0 at the south edge).
  html_tiles/  the same tile names holding a web page instead of an image.
  plain.png    a PNG without any georeferencing.
  world.png    ortho.tif as a PNG placed by its world file (world.wld) and an ESRI world.prj.
  wmts.xml     WMTS capabilities offering tiles/ as a GoogleMapsCompatible layer; the test
               replaces @BASE@ with the server's address.

Usage: make_imagery.py FOLDER
"""

import os
import shutil
import subprocess
import sys

import numpy
from osgeo import gdal, osr

SIDE = 1000
CELL_M = 5.0
WEST_M, NORTH_M = 734600.0, 3687400.0
SQUARE = 50
ZOOMS = (12, 15)


def colours():
    """Red, green and blue bands: red and green by square, blue by column."""
    column = numpy.arange(SIDE)[numpy.newaxis, :]
    row = numpy.arange(SIDE)[:, numpy.newaxis]
    i, j = column // SQUARE, row // SQUARE
    red = (i * 37 + j * 91) % 200 + 40
    green = (i * 73 + j * 29) % 200 + 40
    blue = 30 + column * 200 // SIDE + 0 * row
    return [band.astype(numpy.uint8) for band in (red, green, blue)]


def write_ortho(path):
    driver = gdal.GetDriverByName("GTiff")
    ds = driver.Create(path, SIDE, SIDE, 3, gdal.GDT_Byte, ["TILED=YES", "COMPRESS=DEFLATE", "PHOTOMETRIC=RGB"])
    ds.SetGeoTransform((WEST_M, CELL_M, 0, NORTH_M, 0, -CELL_M))
    utm = osr.SpatialReference()
    utm.ImportFromEPSG(32649)
    ds.SetSpatialRef(utm)
    for k, band in enumerate(colours()):
        ds.GetRasterBand(k + 1).WriteArray(band)
    ds = None


def tile_names(tiles):
    """(z, x, y) of every tile in an XYZ folder."""
    for root, _, files in os.walk(tiles):
        for name in files:
            if name.endswith(".png"):
                z, x = os.path.relpath(root, tiles).split(os.sep)
                yield int(z), int(x), int(name[:-4])


def write_tms_and_html_tiles(tiles, tms_tiles, html_tiles):
    for z, x, y in tile_names(tiles):
        source = os.path.join(tiles, str(z), str(x), f"{y}.png")
        tms = os.path.join(tms_tiles, str(z), str(x), f"{2 ** z - 1 - y}.png")
        html = os.path.join(html_tiles, str(z), str(x), f"{y}.png")
        for target in (tms, html):
            os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(source, tms)
        with open(html, "w") as f:
            f.write("<html><body>Please log in to see the map.</body></html>\n")


def write_plain_png(path):
    mem = gdal.GetDriverByName("MEM").Create("", 64, 64, 3, gdal.GDT_Byte)
    gdal.GetDriverByName("PNG").CreateCopy(path, mem)


def write_world_file_png(ortho, path):
    """The orthophoto as a PNG placed only by its world file and an ESRI .prj (no .aux.xml)."""
    gdal.Translate(path, ortho, format="PNG", creationOptions=["WORLDFILE=YES"])
    aux = path + ".aux.xml"
    if os.path.exists(aux):
        os.remove(aux)
    utm = osr.SpatialReference()
    utm.ImportFromEPSG(32649)
    utm.MorphToESRI()
    with open(os.path.splitext(path)[0] + ".prj", "w") as f:
        f.write(utm.ExportToWkt())


def write_wmts(path):
    matrices = ""
    for z in range(ZOOMS[0], ZOOMS[1] + 1):
        matrices += (f"<TileMatrix><ows:Identifier>{z}</ows:Identifier>"
                     f"<ScaleDenominator>{559082264.0287178 / 2 ** z!r}</ScaleDenominator>"
                     "<TopLeftCorner>-20037508.342789244 20037508.342789244</TopLeftCorner>"
                     "<TileWidth>256</TileWidth><TileHeight>256</TileHeight>"
                     f"<MatrixWidth>{2 ** z}</MatrixWidth><MatrixHeight>{2 ** z}</MatrixHeight></TileMatrix>")
    with open(path, "w") as f:
        f.write(f"""<?xml version="1.0" encoding="UTF-8"?>
<Capabilities xmlns="http://www.opengis.net/wmts/1.0" xmlns:ows="http://www.opengis.net/ows/1.1" version="1.0.0">
<Contents>
<Layer><ows:Identifier>ortho</ows:Identifier>
<ows:WGS84BoundingBox><ows:LowerCorner>113.5 33.2</ows:LowerCorner><ows:UpperCorner>113.6 33.35</ows:UpperCorner></ows:WGS84BoundingBox>
<Style isDefault="true"><ows:Identifier>default</ows:Identifier></Style>
<Format>image/png</Format>
<TileMatrixSetLink><TileMatrixSet>GoogleMapsCompatible</TileMatrixSet></TileMatrixSetLink>
<ResourceURL format="image/png" resourceType="tile" template="@BASE@/tiles/{{TileMatrix}}/{{TileCol}}/{{TileRow}}.png"/>
</Layer>
<TileMatrixSet><ows:Identifier>GoogleMapsCompatible</ows:Identifier>
<ows:SupportedCRS>urn:ogc:def:crs:EPSG::3857</ows:SupportedCRS>{matrices}</TileMatrixSet>
</Contents>
</Capabilities>
""")


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_imagery.py FOLDER")
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    gdal.UseExceptions()
    ortho = os.path.join(folder, "ortho.tif")
    write_ortho(ortho)
    tiles = os.path.join(folder, "tiles")
    shutil.rmtree(tiles, ignore_errors=True)
    subprocess.run([sys.executable, "/usr/bin/gdal2tiles.py", "--xyz", "-z", f"{ZOOMS[0]}-{ZOOMS[1]}",
                    "--processes=1", "-q", "-w", "none", ortho, tiles], check=True)
    write_tms_and_html_tiles(tiles, os.path.join(folder, "tms_tiles"), os.path.join(folder, "html_tiles"))
    write_plain_png(os.path.join(folder, "plain.png"))
    write_world_file_png(ortho, os.path.join(folder, "world.png"))
    write_wmts(os.path.join(folder, "wmts.xml"))


if __name__ == "__main__":
    main()
