#include "ui/ui_fonts.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>
#include <vector>

namespace kivrel::ui {
namespace {

QFont Font(const QStringList& families, QFont::StyleHint hint, int pixels, bool bold) {
  QFont font;
  font.setFamilies(families);
  font.setStyleHint(hint);
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

const QStringList& SansFamilies() {
  static const QStringList families = {
      "MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "Arimo",
      "Arial",         "Nimbus Sans",          "Helvetica",       "FreeSans",
      "Noto Sans",     "DejaVu Sans"};
  return families;
}

// The narrow faces the machine really has (a missing one would fall back to a wide face).
QStringList NarrowFamilies() {
  QStringList found;
  const QStringList installed = QFontDatabase::families();
  for (const char* name : {"Liberation Sans Narrow", "Arial Narrow", "Nimbus Sans Narrow",
                           "DejaVu Sans Condensed", "Noto Sans Condensed"}) {
    if (installed.contains(QString::fromLatin1(name))) found << QString::fromLatin1(name);
  }
  return found;
}

// The tightest caption of the dialog and the room the layout gives it.
constexpr const char* kTightestCaption = "Inversion de l'image";
constexpr int kTightestRoom = 97;

}  // namespace

QFont DialogFont() {
  QFont font = Font(SansFamilies(), QFont::SansSerif, 11, false);
  // DejaVu Sans, for one, is a seventh wider than the fonts the layout was drawn for: at one
  // pixel less it is about as wide, and as tall to the eye.
  const QString caption = QString::fromUtf8(kTightestCaption);
  if (QFontMetrics(font).horizontalAdvance(caption) > kTightestRoom * 21 / 20)
    font.setPixelSize(10);
  return font;
}

QFont BarLabelFont() {
  return Font(SansFamilies(), QFont::SansSerif, 13, true);
}

QFont FixedFont() {
  return Font({"Courier New", "Liberation Mono", "Cousine", "Nimbus Mono PS", "DejaVu Sans Mono"},
              QFont::TypeWriter, 11, false);
}

QFont TitleFont() {
  return Font({"Nadianne", "Z003", "URW Chancery L", "TeX Gyre Chorus", "DejaVu Serif"},
              QFont::Serif, 37, true);
}

QFont FittingFont(const QFont& base, const QString& text, int width) {
  std::vector<QFont> candidates = {base};
  const QStringList narrow = NarrowFamilies();
  for (int pixels : {base.pixelSize(), base.pixelSize() - 1}) {
    QFont smaller = base;
    smaller.setPixelSize(pixels);
    if (pixels != base.pixelSize()) candidates.push_back(smaller);
    if (!narrow.isEmpty()) {
      QFont condensed = smaller;
      condensed.setFamilies(narrow);
      candidates.push_back(condensed);
    }
  }
  for (const QFont& font : candidates) {
    if (QFontMetrics(font).horizontalAdvance(text) <= width) return font;
  }
  return candidates.back();
}

FittedLine FitDataLine(const QFont& base, const QString& text, const QString& name, int width) {
  const QFont font = FittingFont(base, text, width);
  const QFontMetrics metrics(font);
  if (metrics.horizontalAdvance(text) <= width) return {font, text};
  if (!name.isEmpty() && text.startsWith(name)) {
    const QString rest = text.mid(name.size());
    const int room = width - metrics.horizontalAdvance(rest);
    const QString shortened = metrics.elidedText(name, Qt::ElideMiddle, room);
    if (!shortened.isEmpty() && metrics.horizontalAdvance(shortened + rest) <= width)
      return {font, shortened + rest};
  }
  return {font, metrics.elidedText(text, Qt::ElideRight, width)};
}

}  // namespace kivrel::ui
