// The sky position of the shown field with wcslib (projections) and sky_frame (frames).
#include "browser/sky/wcs_position.h"

#include <erfa.h>
#include <wcslib/wcs.h>
#include <wcslib/wcsfix.h>
#include <wcslib/wcshdr.h>
#include <wcslib/wcsmath.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <numbers>
#include <optional>
#include <string_view>
#include <vector>

#include "browser/sky/sky_frame.h"

namespace kivrel {
namespace {

constexpr double kDeg = std::numbers::pi / 180;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr std::size_t kCard = 80;
// Far more than any real header, and small enough for wcslib's int card count.
constexpr std::size_t kMaxCards = 1'000'000;
// Window and image sizes beyond this are nonsense; the limit keeps pixel sums exact.
constexpr int64_t kMaxPixels = int64_t{1} << 40;

std::string_view TrimRight(std::string_view text) {
  while (!text.empty() && text.back() == ' ') {
    text.remove_suffix(1);
  }
  return text;
}

// NAXIS or WCSAXESa above 99 (no real header): wcslib would size its arrays from the square
// of the value, and a hostile 999999999 would ask for exabytes.
bool HugeAxisCount(std::string_view card) {
  const std::string_view name = TrimRight(card.substr(0, 8));
  if ((name != "NAXIS" && name.substr(0, 7) != "WCSAXES") || card.substr(8, 2) != "= ") {
    return false;
  }
  const std::string value(TrimRight(card.substr(10, card.find('/', 10) - 10)));
  char* end = nullptr;
  const double count = std::strtod(value.c_str(), &end);
  return end != value.c_str() && !(count <= 99);
}

// A string value with no closing quote: wcslib 7's scanner would read on into the next cards
// and overflow a buffer.
bool UnclosedString(std::string_view card) {
  if (card.substr(8, 2) != "= ") return false;
  const std::size_t open = card.find_first_not_of(' ', 10);
  if (open == std::string_view::npos || card[open] != '\'') return false;
  for (std::size_t i = open + 1; i < card.size(); ++i) {
    if (card[i] != '\'') continue;
    if (i + 1 == card.size() || card[i + 1] != '\'') return false;
    ++i;  // a doubled quote stands for one quote
  }
  return true;
}

// The header as wcslib wants it: whole 80-column cards up to and including END, with bytes
// outside printable ASCII blanked (no valid card has them, and the scanner need not see them),
// and invalid cards that wcslib would mishandle blanked (a huge axis count, an unclosed string).
std::string HeaderText(std::span<const std::string> cards) {
  std::string text;
  for (const std::string& card : cards) {
    std::string padded = card.substr(0, kCard);
    padded.resize(kCard, ' ');
    for (char& c : padded) {
      if (c < 0x20 || c > 0x7e) c = ' ';
    }
    if (HugeAxisCount(padded) || UnclosedString(padded)) padded.assign(kCard, ' ');
    text += padded;
    if (TrimRight(std::string_view(padded).substr(0, 8)) == "END") break;
  }
  return text;
}

// The value of a card "KEYWORD = 'text'" of `header`, without quotes and trailing blanks;
// nullopt when no such card comes before END or its value is not a quoted string.
std::optional<std::string> StringValue(std::string_view header, std::string_view keyword) {
  for (std::size_t at = 0; at + kCard <= header.size(); at += kCard) {
    const std::string_view card = header.substr(at, kCard);
    const std::string_view name = TrimRight(card.substr(0, 8));
    if (name == "END") break;
    if (name != keyword || card.substr(8, 2) != "= ") continue;
    const std::size_t open = card.find_first_not_of(' ', 10);
    if (open == std::string_view::npos || card[open] != '\'') return std::nullopt;
    std::string value;
    for (std::size_t i = open + 1; i < card.size(); ++i) {
      if (card[i] != '\'') {
        value += card[i];
      } else if (i + 1 < card.size() && card[i + 1] == '\'') {
        value += '\'';
        ++i;
      } else {
        return std::string(TrimRight(value));
      }
    }
    return std::nullopt;  // no closing quote
  }
  return std::nullopt;
}

// An equinox written as a quoted year with its letter, 'J2000' or 'B1950' (wcslib takes only
// numbers): the year, else NaN. EPOCH is looked at only when there is no EQUINOX card.
double QuotedEquinox(std::string_view header) {
  std::optional<std::string> text = StringValue(header, "EQUINOX");
  if (!text) text = StringValue(header, "EPOCH");
  if (!text || text->size() < 2 || (text->front() != 'J' && text->front() != 'B')) return kNaN;
  char* end = nullptr;
  const double year = std::strtod(text->c_str() + 1, &end);
  return *end == '\0' ? year : kNaN;
}

char ProjectionLetter(std::string_view ctype) {
  const std::string_view code = ctype.size() >= 8 ? ctype.substr(4, 4) : std::string_view{};
  if (code == "-TAN") return 'T';
  if (code == "-SIN") return 'S';
  if (code == "-ARC") return 'A';
  if (code == "-CAR") return 'C';
  return 'A';
}

std::optional<SkySystem> SystemOf(std::string_view lng, std::string_view lat) {
  if (lng == "RA" && lat == "DEC") return SkySystem::kEquatorial;
  if (lng == "GLON" && lat == "GLAT") return SkySystem::kGalactic;
  if (lng == "ELON" && lat == "ELAT") return SkySystem::kEcliptic;
  return std::nullopt;
}

double Defined(double value) {
  return undefined(value) ? kNaN : value;
}

}  // namespace

struct CelestialWcs::State {
  wcsprm* all = nullptr;  // every description wcspih found, freed with wcsvfree
  int count = 0;
  wcsprm* wcs = nullptr;  // the primary one, set up, with celestial image axes
  CelestialFrame frame;
  char projection = 'A';

  wcsprm pair{};  // the image axes alone, when the whole description fails
  bool has_pair = false;

  // Sets wcs when the primary description has celestial image axes that wcslib accepts.
  void SetUp(std::string& header);
  // The description of pixel axes 1 and 2 alone, set up; null when they depend on other axes.
  wcsprm* ImagePair(const wcsprm& full);

  State() = default;
  State(const State&) = delete;
  State& operator=(const State&) = delete;
  ~State() {
    if (all != nullptr) wcsvfree(&count, &all);
    if (has_pair) wcsfree(&pair);
  }
};

// A cube whose other axes wcslib rejects (a singular third axis, an unknown spectral type) keeps
// its sky position when the image axes are separable from them.
wcsprm* CelestialWcs::State::ImagePair(const wcsprm& full) {
  if (full.naxis <= 2) return nullptr;
  int nsub = 2;
  int axes[2] = {1, 2};
  pair.flag = -1;  // asks wcssub to allocate
  has_pair = true;
  if (wcssub(1, &full, &nsub, axes, &pair) != 0 || nsub != 2) return nullptr;
  return wcsset(&pair) == 0 ? &pair : nullptr;
}

void CelestialWcs::State::SetUp(std::string& header) {
  int rejected = 0;
  const int nkeys = static_cast<int>(header.size() / kCard);
  // Whatever wcspih hands back, even on failure, is freed by State.
  if (wcspih(header.data(), nkeys, WCSHDR_all, 0, &rejected, &count, &all) != 0) {
    return;
  }
  wcsprm* primary = nullptr;
  for (int i = 0; i < count && primary == nullptr; ++i) {
    if (all[i].alt[0] == ' ' || all[i].alt[0] == '\0') primary = &all[i];
  }
  if (primary == nullptr || primary->naxis < 2) return;
  // The letter comes from the CTYPE as written: wcsset renames NCP to SIN and GLS to SFL.
  const std::string ctype1 = primary->ctype[0];
  // The raw frame keywords, before wcsset puts its own defaults in.
  double equinox = QuotedEquinox(header);
  if (std::isnan(equinox)) equinox = Defined(primary->equinox);
  std::optional<std::string> radesys = StringValue(header, "RADESYS");
  if (!radesys) radesys = StringValue(header, "RADECSYS");

  // The usual repairs, as astropy applies them: CDi_j omitted for an axis, old date forms,
  // units such as 'degrees'; a value still wrong fails wcsset. wcsset itself renames the AIPS
  // projections. celfix and cylfix are left out: they call wcsset, and wcslib 7 leaks memory
  // when wcsset fails twice on one structure.
  cdfix(primary);
  datfix(primary);
  unitfix(0, primary);
  if (wcsset(primary) != 0) primary = ImagePair(*primary);
  if (primary == nullptr) return;
  const bool image_axes =
      (primary->lng == 0 && primary->lat == 1) || (primary->lng == 1 && primary->lat == 0);
  if (!image_axes) return;
  const std::optional<SkySystem> system = SystemOf(primary->lngtyp, primary->lattyp);
  if (!system) return;

  double observed = Defined(primary->mjdobs);
  if (std::isnan(observed)) observed = Defined(primary->mjdavg);
  frame = ResolveFrame(*system, radesys.value_or(""), equinox, observed);
  projection = ProjectionLetter(ctype1);
  wcs = primary;
}

CelestialWcs::CelestialWcs(std::span<const std::string> cards) : state_(std::make_unique<State>()) {
  if (cards.size() > kMaxCards) return;
  std::string header = HeaderText(cards);
  state_->SetUp(header);
}

CelestialWcs::~CelestialWcs() = default;
CelestialWcs::CelestialWcs(CelestialWcs&&) noexcept = default;
CelestialWcs& CelestialWcs::operator=(CelestialWcs&&) noexcept = default;

bool CelestialWcs::HasCelestialAxes() const {
  return state_ != nullptr && state_->wcs != nullptr;
}

namespace {

bool ValidWindow(const SkyPlane& plane, const SkyWindow& w) {
  const auto in = [](int64_t v, int64_t lo) { return v >= lo && v <= kMaxPixels; };
  return in(plane.naxis1, 1) && in(plane.naxis2, 1) && in(plane.rows_kept, 1) &&
         plane.rows_kept <= plane.naxis2 && in(w.first_column, 0) && in(w.first_row, 0) &&
         in(w.width, 1) && in(w.height, 1) && w.first_column + w.width <= plane.naxis1 &&
         w.first_row + w.height <= plane.rows_kept;
}

// The points asked of wcslib on the window's middle row: its centre, the midpoints of its left
// and right edges, and the two sides of the centre pixel.
enum Point { kCentre, kLeft, kRight, kPixelLeft, kPixelRight, kPoints };

// The celestial coordinates (degrees) wcslib gives for the points, and which are on the sky.
struct RowPoints {
  std::array<double, kPoints> lon{};
  std::array<double, kPoints> lat{};
  std::array<bool, kPoints> on_sky{};

  double Distance(Point a, Point b) const {
    return eraSeps(lon[a] * kDeg, lat[a] * kDeg, lon[b] * kDeg, lat[b] * kDeg) / kDeg;
  }
};

RowPoints AskWcslib(wcsprm* wcs, const SkyPlane& plane, const SkyWindow& window) {
  const double first = static_cast<double>(window.first_column);
  const double x_centre = first + static_cast<double>(window.width + 1) / 2;
  const double y_centre = static_cast<double>(plane.naxis2 - window.first_row) -
                          static_cast<double>(window.height - 1) / 2;
  const std::array<double, kPoints> xs = {x_centre, first + 0.5,
                                          first + static_cast<double>(window.width) + 0.5,
                                          x_centre - 0.5, x_centre + 0.5};
  const auto naxis = static_cast<std::size_t>(wcs->naxis);
  std::vector<double> pixels(kPoints * naxis, 1.0);  // other axes: the plane's index, else 1
  for (std::size_t p = 0; p < kPoints; ++p) {
    pixels[p * naxis] = xs[p];
    pixels[p * naxis + 1] = y_centre;
    for (std::size_t k = 2; k < naxis && k - 2 < plane.other_axes.size(); ++k) {
      pixels[p * naxis + k] = static_cast<double>(plane.other_axes[k - 2]);
    }
  }
  std::vector<double> image(kPoints * naxis);
  std::vector<double> world(kPoints * naxis);
  std::array<double, kPoints> phi{};
  std::array<double, kPoints> theta{};
  std::array<int, kPoints> stat{};
  const int status = wcsp2s(wcs, kPoints, wcs->naxis, pixels.data(), image.data(), phi.data(),
                            theta.data(), world.data(), stat.data());
  RowPoints out;
  if (status != 0 && status != 8) return out;  // 8: some points off the sky, told by stat
  for (std::size_t p = 0; p < kPoints; ++p) {
    out.lon[p] = world[p * naxis + static_cast<std::size_t>(wcs->lng)];
    out.lat[p] = world[p * naxis + static_cast<std::size_t>(wcs->lat)];
    out.on_sky[p] = stat[p] == 0 && std::isfinite(out.lon[p]) && std::isfinite(out.lat[p]);
  }
  return out;
}

// The window's width on the sky, 0 when no part of its middle row is.
double FieldWidth(const RowPoints& row, int64_t columns) {
  double width = 0;
  if (row.on_sky[kLeft] && row.on_sky[kRight]) {
    width = row.Distance(kCentre, kLeft) + row.Distance(kCentre, kRight);
  } else if (row.on_sky[kLeft] || row.on_sky[kRight]) {
    width = 2 * row.Distance(kCentre, row.on_sky[kLeft] ? kLeft : kRight);
  } else if (row.on_sky[kPixelLeft] && row.on_sky[kPixelRight]) {
    width = static_cast<double>(columns) * row.Distance(kPixelLeft, kPixelRight);
  }
  return std::min(width, 360.0);
}

}  // namespace

char CelestialWcs::Projection() const {
  return HasCelestialAxes() ? state_->projection : '-';
}

CelestialPosition CelestialWcs::Locate(const SkyPlane& plane, const SkyWindow& window) {
  CelestialPosition out;
  if (!HasCelestialAxes() || !ValidWindow(plane, window)) return out;
  const RowPoints row = AskWcslib(state_->wcs, plane, window);
  if (!row.on_sky[kCentre]) return out;
  const double width = FieldWidth(row, window.width);
  const SkyDirection j2000 = ToJ2000(state_->frame, row.lon[kCentre], row.lat[kCentre]);
  if (!(width > 0) || !std::isfinite(j2000.ra_degrees) || !std::isfinite(j2000.dec_degrees)) {
    return out;
  }
  out.found = true;
  out.projection = state_->projection;
  out.ra_hours = std::min(j2000.ra_degrees / 15, std::nextafter(24.0, 0.0));
  out.dec_degrees = j2000.dec_degrees;
  out.field_width = width;
  return out;
}

CelestialPosition ComputeWcsPosition(std::span<const std::string> cards, const SkyPlane& plane,
                               const SkyWindow& window) {
  return CelestialWcs(cards).Locate(plane, window);
}

}  // namespace kivrel
