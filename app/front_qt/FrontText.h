// What both Qt windows share: paths between Qt's strings and the file functions, and the font.
#pragma once

#include <QFont>
#include <QString>

#include <string>
#include <vector>

class QDropEvent;
class QMimeData;

// A path as the standard library's file functions take it, and back.
std::string LocalPath(const QString& path);
QString DisplayPath(const std::string& path);
// The files and folders of a drop from a file manager, in its order.
std::vector<std::string> DroppedPaths(const QMimeData* data);
// Takes a drag or drop of files as a copy, so that the file manager never removes what it
// offered to move. False when the event holds no files or cannot be a copy.
bool AcceptFilesAsCopy(QDropEvent* e);

// The windows' font: "MS Gothic" at 12 pixels, or the gothic font standing in for it.
QFont WindowFont();
