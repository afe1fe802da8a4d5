#!/usr/bin/python3
"""Reference sky positions for wcs_position_test.cpp, computed with astropy.

Run once with Debian's python3 (astropy 5.2.1, numpy 1.24):
    /usr/bin/python3 tests/browser/sky/wcs_reference.py ../shared/corpus/fits
and paste the printed rows into the test's tables.

Corpus files: astropy.wcs at the centre of the full image, FITS pixel ((NAXIS1 + 1) / 2,
(NAXIS2 + 1) / 2) (pixel 1 on other axes), then astropy.coordinates from the frame the header
states by the FITS rules (written out below per file, not derived from our code) to FK5 J2000
(ICRS for galactic). Frames: the point (150, 20) degrees in a few frames to FK5 J2000.
"""
import sys
import warnings

from astropy import units as u
from astropy.coordinates import FK4, FK5, ICRS, FK4NoETerms, Galactic, SkyCoord
from astropy.io import fits
from astropy.time import Time
from astropy.wcs import WCS

B1900 = Time("B1900", scale="tt")
B1950 = Time("B1950", scale="tt")
J1984 = Time("J1984", scale="tt")
J2000 = Time("J2000", scale="tt")

# file, HDU, frame of the celestial coordinates
FILES = [
    ("checksum.fits", 0, FK4(equinox=B1950, obstime=B1950)),  # EQUINOX 1950, no RADESYS
    ("example1test.fits", 0, FK4NoETerms(equinox=B1950, obstime=B1950)),
    ("msx.fits", 0, Galactic()),
    ("magpis/image.fits", 0, Galactic()),
    ("1904-66_AZP.fits", 0, FK5(equinox=J2000)),
    ("sip-wcs.fits", 0, FK5(equinox=J2000)),
    ("ngc6946.fits", 0, FK5(equinox=J2000)),  # EPOCH 2000, no EQUINOX
    ("ukidss/image.fits", 1, FK5(equinox=J2000)),  # EQUINOX, RADESYS inherited
]

# frame name in the test, frame of (150, 20)
FRAMES = [
    ("FK4 at B1950", FK4(equinox=B1950, obstime=B1950)),
    ("FK4 at B1900", FK4(equinox=B1900, obstime=B1900)),
    ("FK4 observed at MJD 44239", FK4(equinox=B1950, obstime=Time(44239, format="mjd"))),
    ("FK4-NO-E at B1900", FK4NoETerms(equinox=B1900, obstime=B1900)),
    ("FK5 at J1984", FK5(equinox=J1984)),
]


def effective_header(hdul, index):
    header = hdul[index].header.copy()
    if index > 0:
        for card in hdul[0].header.cards:
            if card.keyword not in header and card.keyword not in ("", "COMMENT", "HISTORY"):
                header.append(card)
    return header


def main(folder):
    warnings.simplefilter("ignore")  # astropy notes the unit and PROJPn fixes it applies
    for name, index, frame in FILES:
        with fits.open(f"{folder}/{name}") as hdul:
            header = effective_header(hdul, index)
        wcs = WCS(header)
        pixel = [(header["NAXIS1"] + 1) / 2, (header["NAXIS2"] + 1) / 2]
        pixel += [1] * (wcs.naxis - 2)
        world = wcs.all_pix2world([pixel], 1)[0]
        lon, lat = world[wcs.wcs.lng], world[wcs.wcs.lat]
        sky = SkyCoord(lon * u.deg, lat * u.deg, frame=frame)
        target = ICRS() if isinstance(frame, Galactic) else FK5(equinox=J2000)
        out = sky.transform_to(target)
        print(f'    {{"{name}", {index}, {out.ra.deg:.9f}, {out.dec.deg:.9f}}},')
    for name, frame in FRAMES:
        out = SkyCoord(150 * u.deg, 20 * u.deg, frame=frame).transform_to(FK5(equinox=J2000))
        print(f'    {name}: {out.ra.deg:.9f}, {out.dec.deg:.9f}')


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "../shared/corpus/fits")
