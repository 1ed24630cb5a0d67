#include "FrontText.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>

std::string LocalPath(const QString& path) {
    return QFile::encodeName(QDir::toNativeSeparators(path)).toStdString();
}

QString DisplayPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

QFont WindowFont() {
    static const bool substituted = [] {
        if (!QFontDatabase::hasFamily(QStringLiteral("MS Gothic")))
            QFont::insertSubstitution(QStringLiteral("MS Gothic"), QStringLiteral("IPAGothic"));
        return true;
    }();
    (void)substituted;
    QFont font(QStringLiteral("MS Gothic"));
    font.setPixelSize(12);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}
