#include "WindowIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace {

void DrawSpeaker(QPainter& p, const QColor& body, const QColor& waves) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(body);
    p.drawRect(QRectF(2, 6, 4, 6));
    QPolygonF cone;
    cone << QPointF(6, 6) << QPointF(11, 2) << QPointF(11, 16) << QPointF(6, 12);
    p.drawPolygon(cone);
    QPen pen(waves, 1.4);
    pen.setCapStyle(Qt::RoundCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(9, 5, 6, 8), -50 * 16, 100 * 16);
    p.drawArc(QRectF(8, 2, 10, 14), -50 * 16, 100 * 16);
}

QPixmap SpeakerPixmap(bool enabled) {
    QPixmap pix(18, 18);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    if (enabled)
        DrawSpeaker(p, QColor(32, 32, 32), QColor(0, 64, 192));
    else
        DrawSpeaker(p, QColor(160, 160, 160), QColor(176, 176, 176));
    return pix;
}

} // namespace

QPixmap FolderPixmap() {
    QPixmap pix(20, 20);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(150, 110, 20), 1));
    // The tab, then the body in front of it.
    QPainterPath tab;
    tab.moveTo(2.5, 5.5);
    tab.lineTo(7.5, 5.5);
    tab.lineTo(9.5, 7.5);
    tab.lineTo(17.5, 7.5);
    tab.lineTo(17.5, 16.5);
    tab.lineTo(2.5, 16.5);
    tab.closeSubpath();
    p.setBrush(QColor(230, 185, 70));
    p.drawPath(tab);
    QPainterPath front;
    front.moveTo(2.5, 16.5);
    front.lineTo(4.5, 9.5);
    front.lineTo(19.5, 9.5);
    front.lineTo(17.5, 16.5);
    front.closeSubpath();
    p.setBrush(QColor(250, 215, 110));
    p.drawPath(front);
    return pix;
}

QIcon SpeakerIcon() {
    QIcon icon;
    icon.addPixmap(SpeakerPixmap(true), QIcon::Normal);
    icon.addPixmap(SpeakerPixmap(false), QIcon::Disabled);
    return icon;
}

QIcon ProgramIcon() {
    // The resource lives in this static library, which nothing else refers to: the program
    // would drop it at link time without this reference.
    Q_INIT_RESOURCE(brelka);
    return QIcon(QStringLiteral(":/brelka.svg"));
}
