#!/usr/bin/python3
"""Writes layers_seeds/: tiny FITS files with image extensions and tile-compressed images
(Rice, GZIP_1, GZIP_2, PLIO, HCOMPRESS; integer and float), written by astropy so that the
fuzzer starts from what other programs write. Run with Debian's python3-astropy:

    /usr/bin/python3 fuzz/make_layers_seeds.py fuzz/layers_seeds
"""
import os
import sys

import numpy as np
from astropy.io import fits


def main(out):
    os.makedirs(out, exist_ok=True)
    rng = np.random.default_rng(7)
    ints = (rng.normal(1000, 20, (12, 16))).astype(np.int16)
    floats = rng.normal(0, 1, (12, 16)).astype(np.float32)
    floats[3, 4] = np.nan
    cube = rng.integers(0, 200, (3, 8, 10)).astype(np.int32)

    header = fits.Header()
    header["OBJECT"] = "SEED"
    header["INHERIT"] = True
    sci = fits.ImageHDU(ints, name="SCI")
    sci.header["BLANK"] = -32768
    fits.HDUList([fits.PrimaryHDU(header=header), sci, fits.ImageHDU(floats, name="ERR"),
                  fits.ImageHDU(cube, name="CUBE")]).writeto(os.path.join(out, "mef.fits"),
                                                            overwrite=True)
    for kind in ("RICE_1", "GZIP_1", "GZIP_2", "PLIO_1", "HCOMPRESS_1"):
        data = np.abs(ints) if kind == "PLIO_1" else ints
        hdu = fits.CompImageHDU(data, compression_type=kind, tile_shape=(4, 16))
        fits.HDUList([fits.PrimaryHDU(), hdu]).writeto(
            os.path.join(out, "int16_%s.fits" % kind.lower()), overwrite=True)
    fits.HDUList([fits.PrimaryHDU(), fits.CompImageHDU(floats, compression_type="RICE_1",
                                                       tile_shape=(4, 16))]).writeto(
        os.path.join(out, "float32_rice_1.fits"), overwrite=True)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "layers_seeds")
