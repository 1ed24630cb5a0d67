#include "Application.h"

#include <QIcon>
#include <QMessageBox>

#include <exception>

#include "Version.h"
#include "WindowIcons.h"

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // No display name: the platform would append it to every window title. Message boxes
    // take the application name in its place.
    setApplicationName(QString::fromStdString(platform::VersionString("ProductName")));
    setApplicationVersion(QString::fromStdString(platform::VersionString("FileVersion")));
    // The desktop's menu entry and icon belong to this program (brelka.desktop, brelka.svg);
    // the icon is also the windows' own where the toolkit can draw SVG.
    setDesktopFileName(QStringLiteral("brelka"));
    setWindowIcon(ProgramIcon());
}

bool TApplication::notify(QObject* receiver, QEvent* e) {
    try {
        return QApplication::notify(receiver, e);
    } catch (const std::exception& ex) {
        ShowException(QString::fromLocal8Bit(ex.what()));
    } catch (...) {
        ShowException(QString());
    }
    return false;
}

void TApplication::ShowException(const QString& message) {
    QMessageBox box(QMessageBox::Critical, applicationDisplayName(), message, QMessageBox::Ok);
    box.setObjectName(QStringLiteral("ExceptionMessage"));
    box.exec();
}
