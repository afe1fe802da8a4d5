#include "browser/readers/fits_header.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>

#include "browser/base/numbers.h"
#include "browser/base/gzip_byte_source.h"
#include "browser/base/text.h"
#include "browser/readers/fits_layout.h"
#include "skylib/run_time_error.h"

namespace kivrel {
namespace {

// An integer literal (an optional sign, then digits) that fits in 64 bits, exactly.
std::optional<int64_t> ExactInteger(std::string_view value) {
  if (!value.empty() && value.front() == '+') value.remove_prefix(1);
  int64_t n = 0;
  const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
  if (ec != std::errc() || end != value.data() + value.size() || value.empty()) return std::nullopt;
  return n;
}

double ToDouble(std::string_view value) {
  return static_cast<double>(ParseFloat(value));
}

ReadFailure Failure(ReadFailure::Form form, std::string detail) {
  return ReadFailure{form, std::move(detail)};
}

// Characters first..first+count-1 (1-based) of a value, shorter when the value is.
std::string_view Chars(std::string_view value, std::size_t first, std::size_t count) {
  if (value.size() < first) return {};
  return value.substr(first - 1, count);
}

struct HeaderParse {
  FitsHeader& header;
  FitsGeometry& geometry;
  bool end_seen = false;

  // Applies one card; returns false when the card ends the header read with an error.
  bool Apply(const FitsCard& card) {
    const std::string_view k = card.keyword;
    const std::string_view v = card.value;
    FitsHeader& s = header;
    WorldKeywords& w = header.wcs;
    using Form = ReadFailure::Form;
    if (k == "SIMPLE") {
      if (v.empty() || v[0] != 'T') {
        s.failure = Failure(Form::kKeywordMissing, "SIMPLE = T");
        return false;
      }
    } else if (k == "BITPIX") {
      geometry.sample_type = ParseInt(v);
    } else if (k == "NAXIS") {
      if (ParseInt(v) < 2) {
        s.failure = Failure(Form::kKeyword, "NAXIS < 2");
        return false;
      }
    } else if (k == "NAXIS1") {
      geometry.width = ParseInt(v);
      if (geometry.width == 0) {
        s.failure = Failure(Form::kKeyword, "NAXIS1 = 0");
        return false;
      }
    } else if (k == "NAXIS2") {
      geometry.height = ParseInt(v);
      if (geometry.height == 0) {
        s.failure = Failure(Form::kKeyword, "NAXIS2 = 0");
        return false;
      }
    } else if (k == "NAXIS3") {
      s.LayerCount = ParseInt(v);
    } else if (k == "BZERO") {
      s.BZero = ParseFloat(v);
    } else if (k == "BSCALE") {
      s.BScale = ParseFloat(v);
    } else if (k == "DATAMAX" || k == "THRESH") {
      s.HeaderMax = ToDouble(v);
    } else if (k == "DATAMIN" || k == "THRESL") {
      s.HeaderMin = ToDouble(v);
    } else if (k == "BLANK") {
      geometry.blank = ToDouble(v);
      geometry.blank_integer = ExactInteger(v);
    } else if (k == "CTYPE1") {
      w.Ctype1 = std::string(v);
    } else if (k == "CTYPE2") {
      w.Ctype2 = std::string(v);
    } else if (k == "CRPIX1") {
      w.Crpix1 = ToDouble(v);
    } else if (k == "CRPIX2") {
      w.Crpix2 = ToDouble(v);
    } else if (k == "CRVAL1") {
      w.Crval1 = ToDouble(v);
    } else if (k == "CRVAL2") {
      w.Crval2 = ToDouble(v);
    } else if (k == "CDELT1") {
      w.Cdelt1 = ToDouble(v);
      w.HasCdelt = true;
    } else if (k == "CDELT2") {
      w.Cdelt2 = ToDouble(v);
      w.HasCdelt = true;
    } else if (k == "CROTA1") {
      w.Crota1 = ToDouble(v);
    } else if (k == "CROTA2") {
      w.Crota2 = ToDouble(v);
      w.HasCdelt = true;
    } else if (k == "CD1_1" || k == "CD1_2" || k == "CD2_1" || k == "CD2_2") {
      double& target = k == "CD1_1"   ? w.cd.m1_1
                       : k == "CD1_2" ? w.cd.m1_2
                       : k == "CD2_1" ? w.cd.m2_1
                                      : w.cd.m2_2;
      target = ToDouble(v);
      w.cd.present = true;
    } else if (k == "PC001001" || k == "PC001002" || k == "PC002001" || k == "PC002002") {
      double& target = k == "PC001001"   ? w.pc.m1_1
                       : k == "PC001002" ? w.pc.m1_2
                       : k == "PC002001" ? w.pc.m2_1
                                         : w.pc.m2_2;
      target = ToDouble(v);
      w.pc.present = true;
    } else if (k == "EPOCH" || k == "EQUINOX") {
      // 'J2000' and 'B1950' carry the year in characters 3 to 6; plain numbers convert.
      if (Chars(v, 3, 4) == "2000") {
        w.Equinox = 2000;
      } else if (Chars(v, 3, 4) == "1950") {
        w.Equinox = 1950;
      } else {
        w.Equinox = ToDouble(v);
      }
    } else if (k == "RADECSYS") {
      w.RaDecSys = std::string(v);
    } else if (k == "END") {
      end_seen = true;
    }
    return true;
  }

  void Finish() {
    WorldKeywords& w = header.wcs;
    // East to the left and north up.
    if (w.HasCdelt && w.Cdelt1 > 0) header.flip_x = true;
    if (w.HasCdelt && w.Cdelt2 < 0) header.flip_y = true;
    if (w.RaDecSys.empty()) w.RaDecSys = "'FK4'";
    if (w.Equinox == 0) w.Equinox = Chars(w.RaDecSys, 2, 3) == "FK4" ? 1950 : 2000;
  }
};

constexpr std::size_t kMaxListedBlocks = 2000;  // 72000 cards

}  // namespace

FitsCard SplitFitsCard(std::string_view card) {
  const std::size_t eq = card.find('=');
  const std::size_t sl = card.find('/');
  const std::size_t e = eq == std::string_view::npos ? 9 : eq + 1;   // 1-based column
  const std::size_t s = sl == std::string_view::npos ? 80 : sl + 1;  // 1-based column
  FitsCard out;
  out.keyword = TrimControls(card.substr(0, std::min(e - 1, card.size())));
  if (s > e + 1 && e < card.size()) out.value = TrimControls(card.substr(e, s - 1 - e));
  return out;
}

FitsHeader ReadFitsHeader(ByteSource& file) {
  FitsHeader header;
  HeaderParse parse{header, header.geometry};
  std::array<char, kFitsBlock> block;
  try {
    for (;;) {
      if (file.Read(block.data(), block.size()) < block.size()) return header;
      for (std::size_t c = 0; c < kFitsBlock; c += kFitsCard) {
        const std::string_view card(block.data() + c, kFitsCard);
        if (!parse.Apply(SplitFitsCard(card))) return header;
      }
      if (header.geometry.sample_type == 0) return header;
      if (parse.end_seen) break;
    }
  } catch (const RunTimeError& e) {
    header.error = e.what();
    return header;
  }
  parse.Finish();
  return header;
}

FitsHeader ParseFitsCards(const std::vector<std::string>& cards) {
  FitsHeader header;
  HeaderParse parse{header, header.geometry};
  try {
    for (const std::string& text : cards) {
      const std::string card = text.size() >= kFitsCard ? text.substr(0, kFitsCard)
                                                        : text + std::string(kFitsCard - text.size(), ' ');
      if (!parse.Apply(SplitFitsCard(card))) return header;
      if (parse.end_seen) break;
    }
  } catch (const RunTimeError& e) {
    header.error = e.what();
    return header;
  }
  if (header.geometry.sample_type == 0) return header;
  parse.Finish();
  return header;
}

namespace {

// Every HDU's header, each after a line that names it.
HeaderListing ListEveryHdu(const FitsLayout& layout) {
  HeaderListing listing;
  for (const FitsHdu& hdu : layout.hdus) {
    listing.lines.push_back(HduTitle(hdu));
    for (std::string_view card : hdu.cards) {
      card = card.substr(0, card.find('\0'));
      listing.lines.push_back(Cp1252ToUtf8(card));
    }
  }
  listing.ok = true;
  return listing;
}

// The primary header as it always was listed: whole blocks up to the one holding END.
HeaderListing ListPrimaryBlocks(ByteSource& file);

}  // namespace

HeaderListing ListFitsHeader(ByteSource& file) {
  const FitsLayout layout = ScanFitsLayout(file);
  if (layout.hdus.size() > 1) return ListEveryHdu(layout);
  file.Seek(0);
  return ListPrimaryBlocks(file);
}

namespace {

HeaderListing ListPrimaryBlocks(ByteSource& file) {
  HeaderListing listing;
  std::vector<std::string>& lines = listing.lines;
  bool simple_seen = false;
  bool end_seen = false;
  std::array<char, kFitsBlock> block;
  for (std::size_t blocks = 0; !end_seen; ++blocks) {
    // A file without END is listed up to its end, or up to a length no real header reaches.
    if (blocks == kMaxListedBlocks || file.Read(block.data(), block.size()) < block.size()) {
      end_seen = true;
    } else {
      for (std::size_t c = 0; c < kFitsBlock; c += kFitsCard) {
        std::string_view card(block.data() + c, kFitsCard);
        const std::string_view keyword = SplitFitsCard(card).keyword;
        if (keyword == "SIMPLE") simple_seen = true;
        if (keyword == "END") end_seen = true;
        card = card.substr(0, card.find('\0'));
        lines.push_back(Cp1252ToUtf8(card));
      }
    }
    if (!simple_seen) {
      listing.failure = Failure(ReadFailure::Form::kKeywordMissing, "SIMPLE = T");
      return listing;
    }
  }
  listing.ok = true;
  return listing;
}

}  // namespace

HeaderListing ListFitsHeader(const std::string& file_name) {
  auto file = FileByteSource::Open(file_name);
  uint8_t head[2] = {0, 0};
  const std::size_t got = file->Read(head, sizeof head);
  file->Seek(0);
  if (!LooksGzipped(head, got)) return ListFitsHeader(*file);
  GzipByteSource inflated(std::move(file));
  return ListFitsHeader(inflated);
}

}  // namespace kivrel
