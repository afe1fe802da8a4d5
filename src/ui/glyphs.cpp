#include "ui/glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <algorithm>
#include <cmath>

namespace kivrel::ui {
namespace {

void Arrow(QPainter& p, QPointF from, QPointF to) {
  p.drawLine(from, to);
  const QPointF d = (to - from) / std::max(1.0, std::hypot((to - from).x(), (to - from).y()));
  const QPointF n(-d.y(), d.x());
  QPolygonF head;
  head << to << to - 4 * d + 3 * n << to - 4 * d - 3 * n;
  p.drawPolygon(head);
}

void Draw(QPainter& p, Glyph glyph) {
  const QColor ink(30, 30, 120);
  p.setPen(QPen(ink, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(ink);
  switch (glyph) {
    case Glyph::MirrorLeftRight:
      p.drawLine(QPointF(8, 1), QPointF(8, 15));
      Arrow(p, QPointF(6, 8), QPointF(1, 8));
      Arrow(p, QPointF(10, 8), QPointF(15, 8));
      break;
    case Glyph::MirrorTopBottom:
      p.drawLine(QPointF(1, 8), QPointF(15, 8));
      Arrow(p, QPointF(8, 6), QPointF(8, 1));
      Arrow(p, QPointF(8, 10), QPointF(8, 15));
      break;
    case Glyph::Orient: {
      Arrow(p, QPointF(4, 14), QPointF(4, 2));
      QPainterPath n;
      n.moveTo(8, 13);
      n.lineTo(8, 4);
      n.lineTo(14, 13);
      n.lineTo(14, 4);
      p.setBrush(Qt::NoBrush);
      p.drawPath(n);
      break;
    }
    case Glyph::ApplyFilter: {
      QPolygonF funnel;
      funnel << QPointF(1.5, 2) << QPointF(14.5, 2) << QPointF(9.5, 8) << QPointF(9.5, 14)
             << QPointF(6.5, 12) << QPointF(6.5, 8);
      p.setBrush(QColor(120, 160, 230));
      p.drawPolygon(funnel);
      break;
    }
    case Glyph::Restore: {
      p.setBrush(Qt::NoBrush);
      p.drawArc(QRectF(3, 3, 10, 10), 90 * 16, -270 * 16);
      p.setBrush(ink);
      QPolygonF head;
      head << QPointF(8, 0.5) << QPointF(8, 5.5) << QPointF(4.5, 3);
      p.drawPolygon(head);
      break;
    }
    case Glyph::Ok:
      p.setPen(QPen(QColor(0, 140, 0), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      p.drawPolyline(QPolygonF() << QPointF(2, 9) << QPointF(6, 13) << QPointF(14, 3));
      break;
    case Glyph::Cancel:
      p.setPen(QPen(QColor(190, 0, 0), 2.5, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(3, 3), QPointF(13, 13));
      p.drawLine(QPointF(13, 3), QPointF(3, 13));
      break;
    case Glyph::Help: {
      QFont font = p.font();
      font.setPixelSize(14);
      font.setBold(true);
      p.setFont(font);
      p.setPen(QColor(0, 90, 170));
      p.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("?"));
      break;
    }
  }
}

}  // namespace

QIcon MakeGlyph(Glyph glyph) {
  QIcon icon;
  for (int scale : {1, 2}) {
    QPixmap pixmap(16 * scale, 16 * scale);
    pixmap.setDevicePixelRatio(scale);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    Draw(painter, glyph);
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace kivrel::ui
