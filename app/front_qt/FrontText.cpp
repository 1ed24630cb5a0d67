#include "FrontText.h"

#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFontDatabase>
#include <QMimeData>
#include <QUrl>

#include "WindowLayout.h"

std::string LocalPath(const QString& path) {
    return QFile::encodeName(QDir::toNativeSeparators(path)).toStdString();
}

QString DisplayPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::vector<std::string> DroppedPaths(const QMimeData* data) {
    std::vector<std::string> paths;
    if (!data || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) paths.push_back(LocalPath(url.toLocalFile()));
    return paths;
}

bool AcceptFilesAsCopy(QDropEvent* e) {
    if (!e->mimeData() || !e->mimeData()->hasUrls() || !(e->possibleActions() & Qt::CopyAction))
        return false;
    e->setDropAction(Qt::CopyAction);
    e->accept();
    return true;
}

QFont WindowFont() {
    const QString face = QString::fromUtf8(brelka::layout::kFontFace);
    static const bool substituted = [&face] {
        if (!QFontDatabase::hasFamily(face))
            QFont::insertSubstitution(face, QStringLiteral("IPAGothic"));
        return true;
    }();
    (void)substituted;
    QFont font(face);
    font.setPixelSize(brelka::layout::FontOf(brelka::layout::Font::Window).pixels);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}
