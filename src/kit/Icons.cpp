// SPDX-License-Identifier: GPL-3.0-or-later
#include "kit/Icons.h"

#include <QPainter>
#include <QPainterPath>

namespace parvolink {
namespace {

// Pictures are drawn on a 32 x 32 grid and scaled to the size asked for.
QPixmap Draw(int size, void (*paint)(QPainter&)) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);
    paint(painter);
    return pixmap;
}

void PaintCard(QPainter& p) {
    p.setPen(QPen(QColor(20, 50, 90), 1.2));
    p.setBrush(QColor(40, 110, 180));
    p.drawRoundedRect(QRectF(3, 8, 26, 17), 2, 2);
    p.setBrush(QColor(210, 215, 220));
    for (int i = 0; i < 5; ++i) {
        p.drawRect(QRectF(6 + 4 * i, 25, 2.5, 3));  // edge connector
    }
    p.setBrush(QColor(30, 30, 35));
    p.drawRect(QRectF(17, 11, 9, 8));  // network socket
    p.setBrush(QColor(70, 220, 90));
    p.drawEllipse(QPointF(8, 13), 2, 2);  // link light
    p.setBrush(QColor(250, 180, 40));
    p.drawEllipse(QPointF(8, 19), 1.6, 1.6);
}

void PaintDiscover(QPainter& p) {
    p.setPen(QPen(QColor(60, 60, 70), 1.5));
    p.drawLine(QPointF(4, 24), QPointF(28, 24));
    p.setBrush(QColor(40, 110, 180));
    for (int x : {6, 15, 24}) {
        p.drawLine(QPointF(x, 24), QPointF(x, 20));
        p.drawRect(QRectF(x - 3, 26, 6, 4));
    }
    p.setBrush(QColor(200, 230, 255, 200));
    p.setPen(QPen(QColor(30, 30, 40), 2.2));
    p.drawEllipse(QPointF(13, 11), 7, 7);
    p.drawLine(QPointF(18, 16), QPointF(24, 22));
}

void PaintUpgrade(QPainter& p) {
    p.setPen(QPen(QColor(30, 30, 35), 1));
    p.setBrush(QColor(50, 50, 60));
    p.drawRect(QRectF(7, 17, 18, 12));
    for (int i = 0; i < 4; ++i) {
        p.drawLine(QPointF(10 + 4 * i, 29), QPointF(10 + 4 * i, 31));
        p.drawLine(QPointF(10 + 4 * i, 15), QPointF(10 + 4 * i, 17));
    }
    QPainterPath arrow;
    arrow.moveTo(13, 2);
    arrow.lineTo(19, 2);
    arrow.lineTo(19, 9);
    arrow.lineTo(23, 9);
    arrow.lineTo(16, 16);
    arrow.lineTo(9, 9);
    arrow.lineTo(13, 9);
    arrow.closeSubpath();
    p.setPen(QPen(QColor(20, 100, 30), 1));
    p.setBrush(QColor(60, 190, 80));
    p.drawPath(arrow);
}

}  // namespace

QPixmap ApplicationPicture(int size) {
    return Draw(size, PaintCard);
}
QPixmap DiscoverPicture(int size) {
    return Draw(size, PaintDiscover);
}
QPixmap UpgradePicture(int size) {
    return Draw(size, PaintUpgrade);
}

QIcon ApplicationIcon() {
    QIcon icon;
    for (int size : {16, 32, 48}) {
        icon.addPixmap(ApplicationPicture(size));
    }
    return icon;
}

}  // namespace parvolink
