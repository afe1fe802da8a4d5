#include "browser/readers/fits_layout.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <set>
#include <unordered_map>

#include "browser/base/numbers.h"

namespace kivrel {
namespace {

constexpr std::size_t kBlock = 2880;
constexpr std::size_t kCard = 80;
constexpr UInt128 kMaxDataBytes = UInt128{1} << 62;  // keeps every offset a 64-bit file offset

std::string_view Keyword(std::string_view card) {
  std::string_view k = card.substr(0, std::min<std::size_t>(8, card.size()));
  while (!k.empty() && k.back() == ' ')
    k.remove_suffix(1);
  return k;
}

// The value of one card (see FitsCardValue); nullopt when the card has no "=" in column 9.
std::optional<std::string> CardValue(std::string_view card) {
  if (card.size() < 10 || card[8] != '=') return std::nullopt;
  std::string_view rest = card.substr(9);
  while (!rest.empty() && rest.front() == ' ')
    rest.remove_prefix(1);
  std::string out;
  if (!rest.empty() && rest.front() == '\'') {
    for (std::size_t i = 1; i < rest.size(); ++i) {
      if (rest[i] == '\'') {
        if (i + 1 < rest.size() && rest[i + 1] == '\'') {
          out += '\'';
          ++i;
          continue;
        }
        break;
      }
      out += rest[i];
    }
    while (!out.empty() && out.back() == ' ')
      out.pop_back();
    return out;
  }
  rest = rest.substr(0, rest.find('/'));
  while (!rest.empty() && rest.back() == ' ')
    rest.remove_suffix(1);
  return std::string(rest);
}

std::optional<int64_t> ParseInt(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

// Keyword lookups in one header, the later card winning; indexed once, so that a header of
// many cards with many axes costs no more than a pass.
class Header {
 public:
  explicit Header(const std::vector<std::string>& cards) : cards_(cards) {
    for (std::size_t i = 0; i < cards.size(); ++i) {
      if (cards[i].size() >= 9 && cards[i][8] == '=') last_[Keyword(cards[i])] = i;
    }
  }

  std::optional<std::string> Value(std::string_view keyword) const {
    const auto it = last_.find(keyword);
    if (it == last_.end()) return std::nullopt;
    return CardValue(cards_[it->second]);
  }
  bool Has(std::string_view keyword) const { return Value(keyword).has_value(); }
  std::optional<bool> Logical(std::string_view keyword) const {
    const auto v = Value(keyword);
    if (!v || v->empty()) return std::nullopt;
    if ((*v)[0] == 'T') return true;
    if ((*v)[0] == 'F') return false;
    return std::nullopt;
  }
  // An integer keyword: its value, or a clause naming the keyword when it is missing or is no
  // integer.
  std::optional<int64_t> Int(std::string_view keyword, std::string& clause) const {
    const auto v = Value(keyword);
    if (!v) {
      if (clause.empty()) clause = std::string(keyword);
      return std::nullopt;
    }
    const auto n = ParseInt(*v);
    if (!n && clause.empty()) clause = std::string(keyword) + " = " + *v;
    return n;
  }

 private:
  const std::vector<std::string>& cards_;
  std::unordered_map<std::string_view, std::size_t> last_;
};

// a x b with a 2^62 ceiling; false when the product passes it.
bool MultiplyBounded(UInt128& product, int64_t factor) {
  product *= static_cast<UInt128>(factor);
  return product <= kMaxDataBytes;
}

std::string Clause(std::string_view keyword, int64_t value) {
  return std::string(keyword) + " = " + std::to_string(value);
}

std::string TileClause(const TileCompression& z) {
  std::string names;
  std::string values;
  for (std::size_t i = 0; i < z.ztile.size(); ++i) {
    if (i >= 2 && z.ztile[i] == 1) continue;
    names += (names.empty() ? "" : " x ") + std::string("ZTILE") + std::to_string(i + 1);
    values += (values.empty() ? "" : " x ") + std::to_string(z.ztile[i]);
  }
  return names + " = " + values;
}

bool KnownCompression(std::string_view type) {
  static constexpr std::array<std::string_view, 7> kTypes = {
      "RICE_1", "RICE_ONE", "GZIP_1", "GZIP_2", "HCOMPRESS_1", "PLIO_1", "NOCOMPRESS"};
  return std::find(kTypes.begin(), kTypes.end(), type) != kTypes.end();
}

// The ranges and bounds of the Z keywords; an empty text when the image can be decoded.
std::string CheckTiles(const TileCompression& z, int64_t table_rows) {
  if (z.zbitpix != 8 && z.zbitpix != 16 && z.zbitpix != 32 && z.zbitpix != -32 && z.zbitpix != -64)
    return Clause("ZBITPIX", z.zbitpix);
  if (!KnownCompression(z.zcmptype)) return "ZCMPTYPE = '" + z.zcmptype + "'";
  UInt128 tile = 1;
  UInt128 tiles = 1;
  for (std::size_t i = 0; i < z.znaxis.size(); ++i) {
    const std::string n = std::to_string(i + 1);
    if (z.znaxis[i] < 1) return Clause("ZNAXIS" + n, z.znaxis[i]);
    if (z.ztile[i] < 1) return Clause("ZTILE" + n, z.ztile[i]);
    tile *= static_cast<UInt128>(std::min(z.ztile[i], z.znaxis[i]));
    if (tile > static_cast<UInt128>(kMaxTileSamples)) return TileClause(z);
    const int64_t across = (z.znaxis[i] - 1) / z.ztile[i] + 1;
    if (!MultiplyBounded(tiles, across)) return Clause("ZNAXIS" + n, z.znaxis[i]);
  }
  // One table row per tile, as every writer lays it out.
  if (tiles != static_cast<UInt128>(table_rows)) return Clause("NAXIS2", table_rows);
  // The kept part of a plane: the top rows (the file's last ones) and the left columns.
  const int64_t w = z.znaxis[0];
  const int64_t h = z.znaxis[1];
  const int64_t cols = std::min(w, kMaxKeptSide);
  const int64_t first_row = h - std::min(h, kMaxKeptSide);
  const int64_t across = (cols - 1) / z.ztile[0] + 1;
  const int64_t down = (h - 1) / z.ztile[1] - first_row / z.ztile[1] + 1;
  const UInt128 touched = static_cast<UInt128>(across) * static_cast<UInt128>(down);
  if (touched > static_cast<UInt128>(kMaxDecodedTiles) ||
      touched * tile > static_cast<UInt128>(kMaxDecodedSamples))
    return TileClause(z);
  return {};
}

// A value as cfitsio reads a number: a sign, digits with at most one point, an exponent.
bool IsNumber(std::string_view v) {
  std::size_t i = 0;
  if (i < v.size() && (v[i] == '+' || v[i] == '-')) ++i;
  bool digits = false;
  bool point = false;
  for (; i < v.size(); ++i) {
    if (v[i] >= '0' && v[i] <= '9') {
      digits = true;
    } else if (v[i] == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (!digits) return false;
  if (i < v.size() && (v[i] == 'E' || v[i] == 'e' || v[i] == 'D' || v[i] == 'd')) {
    ++i;
    if (i < v.size() && (v[i] == '+' || v[i] == '-')) ++i;
    const std::size_t first = i;
    while (i < v.size() && v[i] >= '0' && v[i] <= '9')
      ++i;
    if (i == first) return false;
  }
  return i == v.size();
}

// `keyword` is `stem` followed by a number.
bool Numbered(std::string_view keyword, std::string_view stem) {
  if (keyword.size() <= stem.size() || keyword.substr(0, stem.size()) != stem) return false;
  return std::all_of(keyword.begin() + static_cast<std::ptrdiff_t>(stem.size()), keyword.end(),
                     [](char c) { return c >= '0' && c <= '9'; });
}

// The keywords of a compressed image's table that cfitsio reads as numbers, and those it reads
// as names.
bool ReadAsNumber(std::string_view k) {
  for (const char* name : {"BITPIX", "NAXIS", "PCOUNT", "GCOUNT", "TFIELDS", "THEAP", "BLANK",
                           "BSCALE", "BZERO", "ZBITPIX", "ZNAXIS", "ZDITHER0", "ZBLANK", "ZSCALE",
                           "ZZERO"}) {
    if (k == name) return true;
  }
  for (const char* stem : {"NAXIS", "ZNAXIS", "ZTILE", "ZVAL", "TSCAL", "TZERO", "TNULL"}) {
    if (Numbered(k, stem)) return true;
  }
  return false;
}
bool ReadAsName(std::string_view k) {
  return k == "ZCMPTYPE" || k == "ZQUANTIZ" || Numbered(k, "TFORM") || Numbered(k, "TTYPE");
}

// What cfitsio reads from a header on its way to a compressed image, checked on every card: a
// number it cannot read makes its own error message overrun its buffer (an abort). `once`: it
// takes the first card of a name where this reader takes the last, so in the image's own table
// such a name may stand only once. A clause naming the first card amiss, else empty.
std::string CardsClause(const std::vector<std::string>& cards, bool once) {
  std::set<std::string_view> seen;
  for (const std::string& card : cards) {
    const std::string_view k = Keyword(card);
    const bool number = ReadAsNumber(k);
    if (!number && !ReadAsName(k)) continue;
    if (once && !seen.insert(k).second) return std::string(k) + " (deux fois)";
    const std::optional<std::string> value = CardValue(card);
    if (number && (!value || !IsNumber(*value))) return std::string(k) + " = " + value.value_or("");
  }
  return {};
}

// CardsClause of a compressed image's table, then the table's mandatory keywords, as the
// standard orders them: XTENSION, BITPIX = 8, NAXIS = 2, NAXIS1, NAXIS2, PCOUNT, GCOUNT = 1,
// TFIELDS within 1..999, and a TFORMn for each field (cfitsio trusts them: a table without
// GCOUNT made it ask for petabytes). A clause naming the first keyword amiss, else empty.
std::string TableClause(const std::vector<std::string>& cards, const Header& header) {
  if (std::string clause = CardsClause(cards, true); !clause.empty()) return clause;
  static constexpr std::array<const char*, 8> kOrder = {
      "XTENSION", "BITPIX", "NAXIS", "NAXIS1", "NAXIS2", "PCOUNT", "GCOUNT", "TFIELDS"};
  for (std::size_t i = 0; i < kOrder.size(); ++i) {
    if (i >= cards.size() || Keyword(cards[i]) != kOrder[i]) return kOrder[i];
  }
  std::string clause;
  const struct {
    const char* keyword;
    int64_t low, high;
  } ranges[] = {{"BITPIX", 8, 8}, {"NAXIS", 2, 2}, {"GCOUNT", 1, 1}, {"TFIELDS", 1, 999}};
  for (const auto& r : ranges) {
    const auto value = header.Int(r.keyword, clause);
    if (!value) return clause;
    if (*value < r.low || *value > r.high) return Clause(r.keyword, *value);
  }
  const int64_t fields = header.Int("TFIELDS", clause).value_or(0);
  for (int64_t n = 1; n <= fields; ++n) {
    const std::string tform = "TFORM" + std::to_string(n);
    if (!header.Has(tform)) return tform;
  }
  return {};
}

TileCompression ReadTileKeywords(const Header& header, int64_t table_rows) {
  TileCompression z;
  std::string& clause = z.problem;
  z.zbitpix = header.Int("ZBITPIX", clause).value_or(0);
  const auto znaxis = header.Int("ZNAXIS", clause);
  const auto type = header.Value("ZCMPTYPE");
  if (!type && clause.empty()) clause = "ZCMPTYPE";
  z.zcmptype = type.value_or("");
  if (!clause.empty()) return z;
  if (*znaxis < 2 || *znaxis > 999) {
    clause = Clause("ZNAXIS", *znaxis);
    return z;
  }
  for (int64_t i = 1; i <= *znaxis && clause.empty(); ++i) {
    const std::string n = std::to_string(i);
    z.znaxis.push_back(header.Int("ZNAXIS" + n, clause).value_or(0));
    const int64_t fallback = i == 1 ? z.znaxis.back() : 1;
    z.ztile.push_back(header.Has("ZTILE" + n) ? header.Int("ZTILE" + n, clause).value_or(0)
                                              : fallback);
  }
  if (clause.empty()) clause = CheckTiles(z, table_rows);
  return z;
}

// The data size that the mandatory keywords declare, in bytes; false past 2^62.
bool DeclaredDataBytes(const FitsHdu& hdu, uint64_t& bytes) {
  bytes = 0;
  if (hdu.naxis.empty()) return true;
  const std::size_t first = hdu.groups ? 1 : 0;
  UInt128 product = 1;
  bool zero = false;
  for (std::size_t i = first; i < hdu.naxis.size(); ++i)
    zero = zero || hdu.naxis[i] == 0;
  if (zero) {
    product = 0;
  } else {
    for (std::size_t i = first; i < hdu.naxis.size(); ++i)
      if (!MultiplyBounded(product, hdu.naxis[i])) return false;
  }
  product += static_cast<UInt128>(hdu.pcount);
  if (!MultiplyBounded(product, hdu.gcount)) return false;
  if (!MultiplyBounded(product, std::abs(hdu.bitpix) / 8)) return false;
  bytes = static_cast<uint64_t>(product);
  return true;
}

std::string HduLabel(int index) {
  return "HDU " + std::to_string(index + 1) + " : ";
}

// The mandatory keywords of a header already read into `hdu.cards`; a stop reason, or "".
std::string ReadStructure(FitsHdu& hdu) {
  const Header header(hdu.cards);
  const std::string label = HduLabel(hdu.index);
  if (hdu.index == 0) {
    hdu.standard = header.Logical("SIMPLE").value_or(false);
  } else {
    hdu.xtension = header.Value("XTENSION").value_or("");
    static constexpr std::array<std::string_view, 4> kKnown = {"IMAGE", "BINTABLE", "TABLE",
                                                               "A3DTABLE"};
    hdu.standard = std::find(kKnown.begin(), kKnown.end(), hdu.xtension) != kKnown.end();
    if (!hdu.standard) return label + "XTENSION = '" + hdu.xtension + "' ?";
  }
  std::string clause;
  const auto bitpix = header.Int("BITPIX", clause);
  const auto naxis = header.Int("NAXIS", clause);
  if (!clause.empty()) return label + clause + " ?";
  if (*bitpix != 8 && *bitpix != 16 && *bitpix != 32 && *bitpix != 64 && *bitpix != -32 &&
      *bitpix != -64)
    return label + Clause("BITPIX", *bitpix) + " ?";
  if (*naxis < 0 || *naxis > 999) return label + Clause("NAXIS", *naxis) + " ?";
  hdu.bitpix = static_cast<int32_t>(*bitpix);
  for (int64_t i = 1; i <= *naxis; ++i) {
    const auto n = header.Int("NAXIS" + std::to_string(i), clause);
    if (!clause.empty()) return label + clause + " ?";
    if (*n < 0) return label + Clause("NAXIS" + std::to_string(i), *n) + " ?";
    hdu.naxis.push_back(*n);
  }
  hdu.groups = hdu.index == 0 && header.Logical("GROUPS").value_or(false) && !hdu.naxis.empty() &&
               hdu.naxis[0] == 0;
  if (hdu.index > 0 || hdu.groups) {
    hdu.pcount = header.Has("PCOUNT") ? header.Int("PCOUNT", clause).value_or(0) : 0;
    hdu.gcount = header.Has("GCOUNT") ? header.Int("GCOUNT", clause).value_or(1) : 1;
    if (!clause.empty()) return label + clause + " ?";
    if (hdu.pcount < 0) return label + Clause("PCOUNT", hdu.pcount) + " ?";
    if (hdu.gcount < 0) return label + Clause("GCOUNT", hdu.gcount) + " ?";
  }
  if (!DeclaredDataBytes(hdu, hdu.data_bytes)) return label + "NAXISn ?";
  hdu.extname = header.Value("EXTNAME").value_or("");
  hdu.extver = ParseInt(header.Value("EXTVER").value_or("")).value_or(0);
  hdu.inherit = header.Logical("INHERIT");
  return {};
}

// Image-ness and layers of an HDU whose structure was read.
void ClassifyImage(FitsHdu& hdu) {
  const bool plain = hdu.standard && (hdu.index == 0 || hdu.xtension == "IMAGE");
  if (plain && !hdu.groups && hdu.naxis.size() >= 2 && hdu.data_bytes > 0) {
    hdu.image = true;
    hdu.planes = 1;
    for (std::size_t i = 2; i < hdu.naxis.size(); ++i)
      hdu.planes *= hdu.naxis[i];  // within 2^62: the data size was
    return;
  }
  const Header header(hdu.cards);
  if (hdu.xtension != "BINTABLE" || !header.Logical("ZIMAGE").value_or(false)) return;
  const int64_t rows = hdu.naxis.size() >= 2 ? hdu.naxis[1] : 0;
  hdu.compressed = ReadTileKeywords(header, rows);
  if (const std::string table = TableClause(hdu.cards, header); !table.empty())
    hdu.compressed->problem = table;
  hdu.planes = 1;
  if (hdu.compressed->problem.empty()) {
    for (std::size_t i = 2; i < hdu.compressed->znaxis.size(); ++i)
      hdu.planes *= hdu.compressed->znaxis[i];  // at most the table's rows
  }
}

enum class HeaderEnd { kEnd, kEndOfFile, kShort, kCardCap, kNotFits };

bool BlankBlock(const std::array<char, kBlock>& block) {
  return std::all_of(block.begin(), block.end(), [](char c) { return c == 0 || c == ' '; });
}

// Reads the cards of the header at the current position up to END.
HeaderEnd ReadCards(ByteSource& file, FitsHdu& hdu, int64_t& cards_left) {
  std::array<char, kBlock> block;
  for (bool first = true;; first = false) {
    const std::size_t got = file.Read(block.data(), kBlock);
    if (got == 0 && first) return HeaderEnd::kEndOfFile;
    if (first) {
      std::fill(block.begin() + static_cast<std::ptrdiff_t>(got), block.end(), '\0');
      const std::string_view key = Keyword(std::string_view(block.data(), kCard));
      const std::string_view wanted = hdu.index == 0 ? "SIMPLE" : "XTENSION";
      if (key != wanted)
        return hdu.index > 0 && BlankBlock(block) ? HeaderEnd::kEndOfFile : HeaderEnd::kNotFits;
    }
    if (got < kBlock) return HeaderEnd::kShort;
    for (std::size_t c = 0; c < kBlock; c += kCard) {
      if (cards_left-- <= 0) return HeaderEnd::kCardCap;
      hdu.cards.emplace_back(block.data() + c, kCard);
      if (Keyword(hdu.cards.back()) == "END") return HeaderEnd::kEnd;
    }
  }
}

// Whether the file holds the HDU's data to their last byte.
bool DataPresent(ByteSource& file, const FitsHdu& hdu) {
  if (hdu.data_bytes == 0) return true;
  const uint64_t last = hdu.data_offset + hdu.data_bytes - 1;
  if (const auto size = file.Size()) return last < *size;
  uint8_t byte;
  file.Seek(last);
  return file.Read(&byte, 1) == 1;
}

}  // namespace

int64_t FitsHdu::Width() const {
  if (compressed) return compressed->znaxis.size() >= 2 ? compressed->znaxis[0] : 0;
  return image ? naxis[0] : 0;
}

int64_t FitsHdu::Height() const {
  if (compressed) return compressed->znaxis.size() >= 2 ? compressed->znaxis[1] : 0;
  return image ? naxis[1] : 0;
}

int64_t FitsLayout::LayerCount() const {
  int64_t n = 0;
  for (const FitsHdu& h : hdus)
    n += h.planes;
  return n;
}

FitsLayerRef FitsLayout::Layer(int64_t k) const {
  if (k < 0) return {};
  for (const FitsHdu& h : hdus) {
    if (k < h.planes) return {h.index, k};
    k -= h.planes;
  }
  return {};
}

int64_t FitsLayout::FirstLayerOf(int hdu) const {
  if (hdu < 0 || hdu >= static_cast<int>(hdus.size()) || !hdus[hdu].HasImage()) return -1;
  int64_t n = 0;
  for (int i = 0; i < hdu; ++i)
    n += hdus[i].planes;
  return n;
}

int FitsLayout::FirstImageHdu() const {
  for (const FitsHdu& h : hdus)
    if (h.HasImage()) return h.index;
  return -1;
}

FitsLayout ScanFitsLayout(ByteSource& file) {
  FitsLayout layout;
  int64_t cards_left = kMaxFitsCards;
  uint64_t pos = 0;
  for (int index = 0;; ++index) {
    if (index == kMaxFitsHdus) {
      layout.stop_reason = HduLabel(index) + "> " + std::to_string(kMaxFitsHdus) + " HDU";
      break;
    }
    FitsHdu hdu;
    hdu.index = index;
    hdu.header_offset = pos;
    file.Seek(pos);
    const HeaderEnd end = ReadCards(file, hdu, cards_left);
    if (end == HeaderEnd::kEndOfFile) break;
    if (end != HeaderEnd::kEnd) {
      layout.stop_reason = HduLabel(index) + (end == HeaderEnd::kNotFits   ? "pas d'en-tête FITS"
                                              : end == HeaderEnd::kCardCap ? "en-tête trop long"
                                                                           : "en-tête tronqué");
      break;
    }
    hdu.data_offset = pos + (hdu.cards.size() + kBlock / kCard - 1) / (kBlock / kCard) * kBlock;
    std::string reason = ReadStructure(hdu);
    if (reason.empty()) {
      ClassifyImage(hdu);
      hdu.data_complete = DataPresent(file, hdu);
      if (!hdu.data_complete) reason = HduLabel(index) + "données tronquées";
      if (hdu.index == 0 && !hdu.standard) reason = HduLabel(index) + "SIMPLE = F";
    } else {
      hdu.naxis.clear();
      hdu.data_bytes = 0;
    }
    layout.hdus.push_back(std::move(hdu));
    if (!reason.empty()) {
      layout.stop_reason = reason;
      break;
    }
    const FitsHdu& last = layout.hdus.back();
    pos = last.data_offset + (last.data_bytes + kBlock - 1) / kBlock * kBlock;
  }
  // cfitsio reads every header before a compressed image on its way to it: a card it cannot
  // read there stops the image too.
  std::string before;
  for (FitsHdu& hdu : layout.hdus) {
    if (hdu.compressed && hdu.compressed->problem.empty() && !before.empty())
      hdu.compressed->problem = before;
    if (before.empty()) before = CardsClause(hdu.cards, false);
  }
  return layout;
}

std::string_view FitsCardKeyword(std::string_view card) {
  return Keyword(card);
}

std::optional<std::string> FitsCardValueOf(std::string_view card) {
  return CardValue(card);
}

std::optional<std::string> FitsCardValue(const std::vector<std::string>& cards,
                                         std::string_view keyword) {
  for (auto it = cards.rbegin(); it != cards.rend(); ++it) {
    if (Keyword(*it) == keyword) {
      if (auto v = CardValue(*it)) return v;
    }
  }
  return std::nullopt;
}

namespace {

// Keywords that describe a structure or its data, and commentary: never inherited.
bool NeverInherited(std::string_view key) {
  static const std::set<std::string_view> kKeys = {
      "SIMPLE",   "XTENSION", "BITPIX",  "NAXIS",    "EXTEND",  "GROUPS",  "PCOUNT",
      "GCOUNT",   "END",      "BSCALE",  "BZERO",    "BLANK",   "BUNIT",   "DATAMIN",
      "DATAMAX",  "THRESH",   "THRESL",  "CHECKSUM", "DATASUM", "EXTNAME", "EXTVER",
      "EXTLEVEL", "INHERIT",  "NEXTEND", "COMMENT",  "HISTORY", "",        "CONTINUE"};
  if (kKeys.count(key) != 0) return true;
  return key.substr(0, 5) == "NAXIS";
}

bool Inherits(const FitsLayout& layout, const FitsHdu& hdu) {
  if (hdu.index == 0 || layout.hdus.empty()) return false;
  if (hdu.inherit) return *hdu.inherit;
  return layout.hdus[0].data_bytes == 0;
}

bool NumberedKey(std::string_view key, std::string_view prefix) {
  if (key.size() <= prefix.size() || key.substr(0, prefix.size()) != prefix) return false;
  const std::string_view digits = key.substr(prefix.size());
  return std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Keywords of the binary table that carries a compressed image, not of the image.
bool TableKeyword(std::string_view key) {
  static const std::set<std::string_view> kKeys = {
      "XTENSION", "BITPIX",   "NAXIS",    "PCOUNT",   "GCOUNT",  "TFIELDS",  "THEAP",
      "ZIMAGE",   "ZSIMPLE",  "ZTENSION", "ZBITPIX",  "ZNAXIS",  "ZCMPTYPE", "ZQUANTIZ",
      "ZDITHER0", "ZMASKCMP", "ZEXTEND",  "ZBLOCKED", "ZPCOUNT", "ZGCOUNT",  "ZHECKSUM",
      "ZDATASUM", "CHECKSUM", "DATASUM",  "END"};
  if (kKeys.count(key) != 0) return true;
  for (std::string_view prefix : {"NAXIS", "ZNAXIS", "ZTILE", "ZNAME", "ZVAL", "TTYPE", "TFORM",
                                  "TUNIT", "TDIM", "TSCAL", "TZERO", "TNULL", "TDISP"}) {
    if (NumberedKey(key, prefix)) return true;
  }
  return false;
}

// A card "KEYWORD = value" with the value right-aligned to column 30.
std::string FixedCard(std::string_view key, std::string_view value) {
  std::string card(key);
  card.resize(8, ' ');
  card += "= ";
  if (value.size() < 20) card += std::string(20 - value.size(), ' ');
  card += value;
  card.resize(kCard, ' ');
  return card;
}

// The cards of the image that a compressed HDU holds, END left out.
std::vector<std::string> CompressedImageCards(const FitsHdu& hdu) {
  const TileCompression& z = *hdu.compressed;
  std::vector<std::string> out;
  if (FitsCardValue(hdu.cards, "ZSIMPLE")) {
    out.push_back(FixedCard("SIMPLE", "T"));
  } else {
    out.push_back(FixedCard("XTENSION", "'IMAGE   '"));
  }
  out.push_back(FixedCard("BITPIX", std::to_string(z.zbitpix)));
  out.push_back(FixedCard("NAXIS", std::to_string(z.znaxis.size())));
  for (std::size_t i = 0; i < z.znaxis.size(); ++i)
    out.push_back(FixedCard("NAXIS" + std::to_string(i + 1), std::to_string(z.znaxis[i])));
  for (const std::string& card : hdu.cards) {
    const std::string_view key = Keyword(card);
    if (TableKeyword(key)) continue;
    // cfitsio's name for a compressed image that had none of its own.
    if (key == "EXTNAME" && CardValue(card).value_or("") == "COMPRESSED_IMAGE") continue;
    out.push_back(card);
  }
  return out;
}

std::string Dimensions(const std::vector<int64_t>& axes) {
  std::string out;
  for (std::size_t i = 0; i < axes.size(); ++i)
    out += (i == 0 ? "" : "x") + std::to_string(axes[i]);
  return out;
}

std::string SampleText(int64_t bitpix) {
  return bitpix < 0 ? std::to_string(-bitpix) + " bits flottants"
                    : std::to_string(bitpix) + " bits";
}

}  // namespace

std::vector<std::string> EffectiveCards(const FitsLayout& layout, int hdu) {
  if (hdu < 0 || hdu >= static_cast<int>(layout.hdus.size())) return {};
  const FitsHdu& h = layout.hdus[hdu];
  std::vector<std::string> own;
  if (h.compressed) {
    own = CompressedImageCards(h);
  } else {
    own = h.cards;
    if (!own.empty() && Keyword(own.back()) == "END") own.pop_back();
  }
  std::vector<std::string> out;
  if (Inherits(layout, h)) {
    std::set<std::string_view> present;
    for (const std::string& card : own)
      present.insert(Keyword(card));
    bool kept = false;  // whether the card before was inherited (for CONTINUE cards)
    for (const std::string& card : layout.hdus[0].cards) {
      const std::string_view key = Keyword(card);
      if (key == "CONTINUE") {
        if (kept) out.push_back(card);
        continue;
      }
      kept = !NeverInherited(key) && present.count(key) == 0;
      if (kept) out.push_back(card);
    }
  }
  out.insert(out.end(), own.begin(), own.end());
  out.push_back(std::string("END").append(kCard - 3, ' '));
  return out;
}

std::string HduTitle(const FitsHdu& hdu) {
  std::string out = HduLabel(hdu.index) + (hdu.index == 0   ? "primaire"
                                           : hdu.compressed ? "IMAGE"
                                                            : hdu.xtension);
  if (hdu.compressed) out += " " + hdu.compressed->zcmptype;
  if (!hdu.extname.empty()) out += " '" + hdu.extname + "'";
  if (hdu.compressed && hdu.compressed->problem.empty()) {
    out += " " + Dimensions(hdu.compressed->znaxis) + " " + SampleText(hdu.compressed->zbitpix);
  } else if (hdu.data_bytes > 0 && (hdu.index == 0 || hdu.xtension == "IMAGE")) {
    out += " " + Dimensions(hdu.naxis) + " " + SampleText(hdu.bitpix);
    if (hdu.groups) out += ", groupes aléatoires";
  } else if (hdu.data_bytes == 0 && (hdu.index == 0 || hdu.xtension == "IMAGE")) {
    out += ", sans données";
  }
  return out;
}

std::string HduName(const FitsHdu& hdu) {
  if (hdu.extname.empty()) return "HDU " + std::to_string(hdu.index + 1);
  return hdu.extver > 0 ? hdu.extname + "," + std::to_string(hdu.extver) : hdu.extname;
}

}  // namespace kivrel
