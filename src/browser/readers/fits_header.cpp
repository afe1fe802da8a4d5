#include "browser/readers/fits_header.h"

#include <array>
#include <cmath>
#include <limits>

#include "browser/base/numbers.h"
#include "browser/base/text.h"

namespace kivrel {
namespace {

double ToDouble(std::string_view value) {
  return static_cast<double>(StrToFloat(value));
}

std::string Quoted(std::string_view text) {
  return " \"" + std::string(text) + "\"";
}

// Characters first..first+count-1 (1-based) of a value, shorter when the value is.
std::string_view Chars(std::string_view value, std::size_t first, std::size_t count) {
  if (value.size() < first) return {};
  return value.substr(first - 1, count);
}

struct HeaderParse {
  ImageStore& store;
  FitsGeometry& geometry;
  bool end_seen = false;

  // Applies one card; returns false when the card ends the header read with an error.
  bool Apply(const FitsCard& card) {
    const std::string_view k = card.keyword;
    const std::string_view v = card.value;
    ImageStore& s = store;
    if (k == "SIMPLE") {
      if (v.empty() || v[0] != 'T') {
        s.LoadErrorText = s.MsgKeyword + Quoted("SIMPLE = T") + " " + s.MsgMissing;
        return false;
      }
    } else if (k == "BITPIX") {
      geometry.sample_type = StrToInt(v);
    } else if (k == "NAXIS") {
      if (StrToInt(v) < 2) {
        s.LoadErrorText = s.MsgKeyword + Quoted("NAXIS < 2");
        return false;
      }
    } else if (k == "NAXIS1") {
      geometry.width = StrToInt(v);
      if (geometry.width == 0) {
        s.LoadErrorText = s.MsgKeyword + Quoted("NAXIS1 = 0");
        return false;
      }
    } else if (k == "NAXIS2") {
      geometry.height = StrToInt(v);
      if (geometry.height == 0) {
        s.LoadErrorText = s.MsgKeyword + Quoted("NAXIS2 = 0");
        return false;
      }
    } else if (k == "NAXIS3") {
      s.LayerCount = StrToInt(v);
    } else if (k == "BZERO") {
      s.BZero = StrToFloat(v);
    } else if (k == "BSCALE") {
      s.BScale = StrToFloat(v);
    } else if (k == "DATAMAX" || k == "THRESH") {
      s.HeaderMax = ToDouble(v);
    } else if (k == "DATAMIN" || k == "THRESL") {
      s.HeaderMin = ToDouble(v);
    } else if (k == "BLANK") {
      geometry.blank = ToDouble(v);
    } else if (k == "CTYPE1") {
      s.Ctype1 = std::string(v);
    } else if (k == "CTYPE2") {
      s.Ctype2 = std::string(v);
    } else if (k == "CRPIX1") {
      s.Crpix1 = ToDouble(v);
    } else if (k == "CRPIX2") {
      s.Crpix2 = ToDouble(v);
    } else if (k == "CRVAL1") {
      s.Crval1 = ToDouble(v);
    } else if (k == "CRVAL2") {
      s.Crval2 = ToDouble(v);
    } else if (k == "CDELT1") {
      s.Cdelt1 = ToDouble(v);
      s.HasCdelt = true;
    } else if (k == "CDELT2") {
      s.Cdelt2 = ToDouble(v);
      s.HasCdelt = true;
    } else if (k == "CROTA1") {
      s.Crota1 = ToDouble(v);
    } else if (k == "CROTA2") {
      s.Crota2 = ToDouble(v);
      s.HasCdelt = true;
    } else if (k == "CD1_1" || k == "CD1_2" || k == "CD2_1" || k == "CD2_2") {
      double& target = k == "CD1_1"   ? s.Cd1_1
                       : k == "CD1_2" ? s.Cd1_2
                       : k == "CD2_1" ? s.Cd2_1
                                      : s.Cd2_2;
      target = ToDouble(v);
      s.HasCd = true;
    } else if (k == "PC001001" || k == "PC001002" || k == "PC002001" || k == "PC002002") {
      double& target = k == "PC001001"   ? s.Pc1_1
                       : k == "PC001002" ? s.Pc1_2
                       : k == "PC002001" ? s.Pc2_1
                                         : s.Pc2_2;
      target = ToDouble(v);
      s.HasPc = true;
    } else if (k == "EPOCH" || k == "EQUINOX") {
      // 'J2000' and 'B1950' carry the year in characters 3 to 6; plain numbers convert.
      if (Chars(v, 3, 4) == "2000") {
        s.Equinox = 2000;
      } else if (Chars(v, 3, 4) == "1950") {
        s.Equinox = 1950;
      } else {
        s.Equinox = ToDouble(v);
      }
    } else if (k == "RADECSYS") {
      s.RaDecSys = std::string(v);
    } else if (k == "END") {
      end_seen = true;
    }
    return true;
  }

  void Finish() {
    ImageStore& s = store;
    // East to the left and north up.
    if (s.HasCdelt && s.Cdelt1 > 0) s.FlipX = true;
    if (s.HasCdelt && s.Cdelt2 < 0) s.FlipY = true;
    if (s.RaDecSys.empty()) s.RaDecSys = "'FK4'";
    if (s.Equinox == 0) s.Equinox = Chars(s.RaDecSys, 2, 3) == "FK4" ? 1950 : 2000;
  }
};

constexpr std::size_t kMaxListedBlocks = 2000;  // 72000 cards

void ResetHeaderValues(ImageStore& s, FitsGeometry& g) {
  g = FitsGeometry{};
  s.LayerCount = 1;
  s.HeaderMin = 0;
  s.HeaderMax = 0;
  s.BZero = 0;
  s.BScale = 1;
  s.Ctype1.clear();
  s.Ctype2.clear();
  s.RaDecSys.clear();
  s.Crpix1 = s.Crpix2 = s.Crval1 = s.Crval2 = 0;
  s.Cdelt1 = s.Cdelt2 = s.Crota1 = s.Crota2 = 0;
  s.Cd1_1 = s.Cd1_2 = s.Cd2_1 = s.Cd2_2 = 0;
  s.Pc1_1 = 1;
  s.Pc1_2 = 0;
  s.Pc2_1 = 0;
  s.Pc2_2 = 1;
  s.Equinox = 0;
  s.HasCdelt = s.HasCd = s.HasPc = false;
}

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

void ReadFitsHeader(ByteSource& file, ImageStore& store, FitsGeometry& geometry) {
  ResetHeaderValues(store, geometry);
  HeaderParse parse{store, geometry};
  std::array<char, kFitsBlock> block;
  for (;;) {
    if (file.Read(block.data(), block.size()) < block.size()) return;
    for (std::size_t c = 0; c < kFitsBlock; c += kFitsCard) {
      const std::string_view card(block.data() + c, kFitsCard);
      if (!parse.Apply(SplitFitsCard(card))) return;
    }
    if (geometry.sample_type == 0) return;
    if (parse.end_seen) break;
  }
  parse.Finish();
}

bool ListFitsHeader(ByteSource& file, ImageStore& store, std::vector<std::string>& lines) {
  lines.clear();
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
      store.LoadErrorText = store.MsgKeyword + Quoted("SIMPLE = T") + " " + store.MsgMissing;
      return false;
    }
  }
  return true;
}

bool ListFitsHeader(const std::string& file_name, ImageStore& store,
                    std::vector<std::string>& lines) {
  auto file = FileByteSource::Open(file_name);
  return ListFitsHeader(*file, store, lines);
}

}  // namespace kivrel
