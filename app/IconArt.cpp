#include "app/IconArt.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

QImage DrawSonveraIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(size * 0.35, size * 0.3, size * 0.8);
    g.setColorAt(0, QColor(120, 200, 255));
    g.setColorAt(1, QColor(40, 70, 160));
    p.setBrush(g);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(0.5, 0.5, size - 1.0, size - 1.0));
    p.setBrush(Qt::white);
    double s = size / 16.0;
    p.drawEllipse(QRectF(4 * s, 9.5 * s, 3.6 * s, 2.8 * s));
    p.drawEllipse(QRectF(9 * s, 8.5 * s, 3.6 * s, 2.8 * s));
    p.drawRect(QRectF(6.8 * s, 4 * s, 0.9 * s, 7 * s));
    p.drawRect(QRectF(11.8 * s, 3 * s, 0.9 * s, 7 * s));
    QPainterPath beam;
    beam.moveTo(6.8 * s, 4 * s);
    beam.lineTo(12.7 * s, 3 * s);
    beam.lineTo(12.7 * s, 4.6 * s);
    beam.lineTo(6.8 * s, 5.6 * s);
    beam.closeSubpath();
    p.drawPath(beam);
    return image;
}
