#include "Application.h"

#include <QMessageBox>

#include <exception>

#include "Version.h"

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // No display name: the platform would append it to every window title. Message boxes
    // take the application name in its place.
    setApplicationName(QString::fromStdString(platform::VersionString("ProductName")));
    setApplicationVersion(QString::fromStdString(platform::VersionString("FileVersion")));
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
