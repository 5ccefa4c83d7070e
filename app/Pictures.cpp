// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Pictures.h"

#include "sysinfo/Common.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

const QColor Ink(0x1f, 0x3a, 0x5f);
const QColor Accent(0x2e, 0x86, 0xde);
const QColor Done(0x3c, 0xb3, 0x71);

// The power symbol: an open ring and a bar, in a square of side ASide at the origin.
void DrawPowerSymbol(QPainter& APainter, qreal ASide, const QColor& AColor)
{
  QPen pen(AColor, ASide * 0.13, Qt::SolidLine, Qt::RoundCap);
  APainter.setPen(pen);
  APainter.setBrush(Qt::NoBrush);
  const qreal margin = ASide * 0.2;
  const QRectF ring(margin, margin + ASide * 0.04, ASide - 2 * margin, ASide - 2 * margin);
  // Qt measures arcs in 1/16 degrees, counter-clockwise from three o'clock; leave a gap at the top.
  APainter.drawArc(ring, 60 * 16, -300 * 16);
  APainter.drawLine(QPointF(ASide / 2, ASide * 0.1), QPointF(ASide / 2, ASide * 0.48));
}

QPixmap Draw(int AIndex, int ASide)
{
  QPixmap pixmap(ASide, ASide);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  const qreal side = ASide;
  const QRectF disc(side * 0.04, side * 0.04, side * 0.92, side * 0.92);

  if (AIndex >= 1 && AIndex <= 10) {
    // A run: a pie that fills clockwise from twelve o'clock in tenths.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xdd, 0xe4, 0xec));
    painter.drawEllipse(disc);
    painter.setBrush(AIndex == 10 ? Done : Accent);
    painter.drawPie(disc, 90 * 16, -AIndex * 36 * 16);
    painter.setPen(QPen(Ink, qMax(1.0, side / 16)));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(disc);
    return pixmap;
  }

  if (AIndex == 11 || AIndex == 12) {
    const bool question = AIndex == 11;
    painter.setPen(QPen(Ink, qMax(1.0, side / 16)));
    if (question) {
      painter.setBrush(Accent);
      painter.drawEllipse(disc);
    } else {
      QPainterPath triangle;
      triangle.moveTo(side / 2, side * 0.05);
      triangle.lineTo(side * 0.96, side * 0.92);
      triangle.lineTo(side * 0.04, side * 0.92);
      triangle.closeSubpath();
      painter.setBrush(QColor(0xf5, 0xb8, 0x00));
      painter.drawPath(triangle);
    }
    QFont font;
    font.setBold(true);
    font.setPixelSize(qRound(side * (question ? 0.75 : 0.62)));
    painter.setFont(font);
    painter.setPen(question ? Qt::white : Ink);
    const QRectF text = question ? QRectF(0, 0, side, side) : QRectF(0, side * 0.2, side, side * 0.75);
    painter.drawText(text, Qt::AlignCenter, question ? QStringLiteral("?") : QStringLiteral("!"));
    return pixmap;
  }

  // Idle: the power symbol on a light disc.
  painter.setPen(QPen(Ink, qMax(1.0, side / 16)));
  painter.setBrush(QColor(0xf2, 0xf6, 0xfb));
  painter.drawEllipse(disc);
  DrawPowerSymbol(painter, side, Ink);
  return pixmap;
}

} // namespace

QIcon TrayIconPicture(int AIndex)
{
  QIcon icon;
  if (AIndex < 0 || AIndex >= TrayIconCount)
    return icon;
  // 16 pixels as the program has always had them; larger ones for today's panels.
  for (int side : {16, 22, 24, 32, 48, 64})
    icon.addPixmap(Draw(AIndex, side));
  return icon;
}

QPixmap LogoPicture(const QSize& ASize)
{
  QPixmap pixmap(ASize);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  QLinearGradient gradient(0, 0, ASize.width(), ASize.height());
  gradient.setColorAt(0, Ink);
  gradient.setColorAt(1, Accent);
  painter.fillRect(pixmap.rect(), gradient);

  const int side = ASize.height() - 8;
  painter.save();
  painter.translate(8, 4);
  DrawPowerSymbol(painter, side, Qt::white);
  painter.restore();

  QFont font;
  font.setBold(true);
  font.setPixelSize(qMax(10, ASize.height() / 2));
  painter.setFont(font);
  painter.setPen(Qt::white);
  painter.drawText(QRect(side + 16, 0, ASize.width() - side - 24, ASize.height()), Qt::AlignVCenter | Qt::AlignLeft,
                   ApplicationTitle());
  return pixmap;
}

QPixmap ShutdownPicture(int ASize)
{
  QPixmap pixmap(ASize, ASize);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0xc0, 0x39, 0x2b));
  painter.drawEllipse(QRectF(1, 1, ASize - 2, ASize - 2));
  DrawPowerSymbol(painter, ASize, Qt::white);
  return pixmap;
}
