// Filtering the shown image: one mask of the filter list over the unfiltered plane into the
// working plane, with the statistics of the run, and the way back to the unfiltered image.
// The convolution itself is in convolve.h; the masks in filter_table.h.
#pragma once

#include <cstdint>

#include "browser/display/filter_table.h"
#include "browser/store/image.h"

namespace kivrel {

// The filter of a list index: the table's entry, or the identity mask when no entry (or an
// index outside the table) is selected. Index 0 ("None") is not a mask: callers restore.
const FilterSpec& FilterForIndex(int32_t index);

// Convolves the image's unfiltered plane into its working plane under `threshold` (physical
// units: pixels at or above it are copied unchanged). The image's statistics become those of
// the run; when no pixel entered them (a plane smaller than the mask, or every pixel at or
// above the threshold), the unfiltered ones, so that the level modes keep working on sensible
// values. An image with blank samples takes the statistics of its filtered plane's real
// samples instead (the run's would count the blank ones).
void FilterImage(Image& image, const FilterSpec& filter, long double threshold);

// The unfiltered plane back into the working plane, border included, with its statistics.
void RestoreUnfilteredPlane(Image& image);

}  // namespace kivrel
