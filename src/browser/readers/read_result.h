// What a reader hands back: the image as far as it was read, the header's world-coordinate
// keywords and orientation, and, when no plane was filled, why.
//
// A read fails when it returns no plane (height or width 0). The failure's reason is given as
// a form and a detail, and worded by the caller in the user's language (see FailureText in the
// dialog's texts): readers know nothing of the words shown.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "browser/base/large_buffer.h"
#include "browser/store/image.h"
#include "browser/store/world_keywords.h"

namespace kivrel {

struct ReadFailure {
  enum class Form {
    kText,               // the detail as it is: "PIC data type =5"; empty: no reason known
    kKeyword,            // Mot clé "NAXIS < 2"
    kKeywordMissing,     // Mot clé "SIMPLE = T" manquant
    kKeywordQuestioned,  // Mot clé "BITPIX = 64" ?
    kTooLarge,           // a picture over the decoding budget; detail: its size, "30000 x 4473"
    kOutOfMemory,        // the memory for the image was refused
  };
  Form form = Form::kText;
  std::string detail;
};

struct ReadRequest {
  int32_t layer = 1;  // the layer asked for, 1-based; the reader clamps it
  // Memory of an earlier plane that the new one may use (a few hundred page faults less).
  std::shared_ptr<LargeBuffer> reuse;
};

// Where the shown image comes from and what the status line says of it beyond its size.
struct ImageOrigin {
  std::string hdu_name;     // the extension shown ("SCI,1"); "" for a file's primary image
  int64_t full_width = 0;   // the image's size in the file, before the 4000 x 4000 cap
  int64_t full_height = 0;
  bool truncated = false;        // the file is shorter than its header promises
  bool no_real_samples = false;  // every sample is blank: the statistics are 0
  std::vector<std::string> header_cards;  // the shown image's header (inherited keywords in)
  std::vector<int64_t> other_axes;  // 1-based pixel index on axes 3, 4, ... of a cube's plane
};

struct ReadResult {
  Image image;
  WorldKeywords wcs;
  bool flip_x = false;  // the header's orientation: mirror left-right
  bool flip_y = false;  // and top-bottom
  ImageOrigin origin;
  ReadFailure failure;
  // A run-time error that ended the read early (a header value that is not a number): its
  // exact text. What was read before it stands; the caller raises it once it has taken that.
  std::optional<std::string> error;

  bool Succeeded() const { return image.height > 0 && image.width > 0; }
};

// A header as the header view shows it: one line per card or field.
struct HeaderListing {
  std::vector<std::string> lines;
  bool ok = false;
  ReadFailure failure;  // why the header could not be listed, when not ok
};

}  // namespace kivrel
