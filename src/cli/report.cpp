#include "cli/report.h"

#include <tuple>
#include <utility>

#include "browser/base/text.h"
#include "browser/readers/fits_layout.h"
#include "cli/utf8.h"
#include "skylib/skylib.h"

namespace kivrel::cli {
namespace {

constexpr std::size_t kLabelWidth = 13;  // code points, the widest label and a blank

std::string Trimmed(std::string text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  const std::size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

std::string FormatName(ImageFormat format, const std::string& file_name) {
  switch (format) {
    case ImageFormat::kFits: return "FITS";
    case ImageFormat::kPic: return "PIC";
    case ImageFormat::kRaster: {
      std::string ext = LowerExtension(file_name);
      if (!ext.empty()) ext.erase(0, 1);
      for (char& c : ext) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
      return ext.empty() ? "raster" : ext;
    }
    case ImageFormat::kNone: break;
  }
  return "";
}

// The sample type as the status line gives it, with what BITPIX's sign says of a FITS file
// and what a picture in its own colours is.
std::string TypeText(int32_t sample_type, ImageFormat format, bool own_colours) {
  const int32_t bits = sample_type < 0 ? -sample_type : sample_type;
  std::string text = std::to_string(bits) + " bits";
  if (own_colours) return text + " (couleurs)";
  if (format == ImageFormat::kFits) text += sample_type < 0 ? " (réels)" : " (entiers)";
  return text;
}

std::string SizeText(int64_t width, int64_t height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

// The image's own size: its size in the file when it was capped.
std::pair<int64_t, int64_t> FullSize(const BrowserController& d) {
  if (d.load.BitmapShown) return {d.preview_picture.width(), d.preview_picture.height()};
  const ImageOrigin& o = d.load.origin;
  if (o.full_width > 0 && o.full_height > 0) return {o.full_width, o.full_height};
  return {d.image.width, d.image.height};
}

bool Capped(const BrowserController& d) {
  const auto [w, h] = FullSize(d);
  return !d.load.BitmapShown && (w > d.image.width || h > d.image.height);
}

// Why the load failed, as the status line says it; "" when the status line says nothing (no
// load, or a run-time error ended it).
std::string FailureReason(const BrowserController& d) {
  if (Trimmed(d.texts.status_line.caption).empty()) return "";
  const std::string& reason = d.load.LoadErrorText;
  if (reason == d.messages.out_of_memory) return reason;
  return reason.empty() ? "Format non supporté." : "Format non supporté. " + reason;
}

// The sky texts: centre and field of the shown window, as the status line has them.
struct SkyTexts {
  std::string ra;
  std::string dec;
  std::string field;
};
SkyTexts SkyTextsOf(const SkyPosition& sky) {
  if (sky.FieldWidth == 0) return {};
  std::string field = DeToStr(sky.FieldWidth);
  if (!field.empty() && field[0] == '+') field.erase(0, 1);
  return {Trimmed(ArToStr(sky.FitsAR)), DeToStr(sky.FitsDE), field};
}

class Lines {
 public:
  void Add(std::string_view label, const std::string& value) {
    const std::size_t width = Utf8Width(label);
    text_ += label;
    text_.append(width < kLabelWidth ? kLabelWidth - width : 1, ' ');
    text_ += value;
    text_ += '\n';
  }
  std::string Take() { return std::move(text_); }

 private:
  std::string text_;
};

}  // namespace

std::string SummaryText(const BrowserController& d, const std::string& file,
                        std::string_view error) {
  Lines lines;
  lines.Add("Fichier", FileNameOf(d.load.file_name.empty() ? file : d.load.file_name));
  if (!d.load.ImageLoaded) {
    const std::string reason = FailureReason(d);
    if (!reason.empty()) lines.Add("Erreur", reason);
    if (!error.empty()) lines.Add("Erreur", std::string(error));
    return lines.Take();
  }
  lines.Add("Format", FormatName(d.load.format, d.load.file_name));
  const ImageOrigin& o = d.load.origin;
  if (!o.hdu_name.empty()) lines.Add("Extension", o.hdu_name);
  const auto [width, height] = FullSize(d);
  std::string size = SizeText(width, height);
  if (Capped(d)) size += " (" + SizeText(d.image.width, d.image.height) + " " + d.messages.shown + ")";
  lines.Add("Taille", size);
  lines.Add("Type", TypeText(d.image.SampleType, d.load.format, d.load.BitmapShown));
  if (!d.load.BitmapShown) {
    std::string layers = std::to_string(d.image.LayerCount);
    if (d.image.LayerCount > 1) {
      // Layer 0 of a colour picture is the mean of its colours.
      layers += d.image.CurrentLayer == 0
                    ? std::string(" (moyenne affichée)")
                    : " (couche " + std::to_string(d.image.CurrentLayer) + " affichée)";
    }
    lines.Add("Couches", layers);
    const Statistics& s = d.image.stats;
    lines.Add("Minimum", NumberText(s.DataMin, 6));
    lines.Add("Maximum", NumberText(s.DataMax, 6));
    lines.Add("Moyenne", NumberText(static_cast<double>(s.DataMean), 6));
    lines.Add("Écart type", NumberText(static_cast<double>(s.DataSigma), 6));
  }
  const SkyTexts sky = SkyTextsOf(d.sky);
  if (!sky.ra.empty()) {
    lines.Add("Centre", "ar " + sky.ra + "  de " + sky.dec + "  (J2000)");
    lines.Add("Champ", sky.field + "  (projection " + std::string(1, d.sky.ProjCode) + ")");
  }
  if (o.truncated) lines.Add("Remarque", d.messages.truncated);
  if (o.no_real_samples) lines.Add("Remarque", d.messages.no_real_samples);
  if (!error.empty()) lines.Add("Erreur", std::string(error));
  return lines.Take();
}

SurveyRow FailedRow(const std::string& name, const std::string& reason) {
  SurveyRow row;
  row.file = name;
  row.failure = reason.empty() ? "unknown error" : reason;
  return row;
}

SurveyRow SurveyRowOf(const BrowserController& d, const std::string& name,
                      const std::vector<std::string>& keys) {
  if (!d.load.ImageLoaded) return FailedRow(name, FailureReason(d));
  SurveyRow row;
  row.file = name;
  row.format = FormatName(d.load.format, d.load.file_name);
  std::tie(row.width, row.height) = FullSize(d);
  if (Capped(d)) {
    row.shown_width = d.image.width;
    row.shown_height = d.image.height;
  }
  row.sample_type = d.image.SampleType;
  row.layers = d.load.BitmapShown ? 1 : d.image.LayerCount;
  if (!d.load.BitmapShown) {
    const Statistics& s = d.image.stats;
    row.stats = SurveyStats{s.DataMin, s.DataMax, static_cast<double>(s.DataMean),
                            static_cast<double>(s.DataSigma)};
  }
  SkyTexts sky = SkyTextsOf(d.sky);
  row.ra = std::move(sky.ra);
  row.dec = std::move(sky.dec);
  row.field = std::move(sky.field);
  for (const std::string& key : keys)
    row.key_values.push_back(FitsCardValue(d.load.origin.header_cards, key));
  return row;
}

}  // namespace kivrel::cli
