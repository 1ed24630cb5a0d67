// What both Qt windows share: paths between Qt's strings and the file functions, and the font.
#pragma once

#include <QFont>
#include <QString>

#include <string>
#include <vector>

class QMimeData;

// A path as the standard library's file functions take it, and back.
std::string LocalPath(const QString& path);
QString DisplayPath(const std::string& path);
// The files and folders of a drop from a file manager, in its order.
std::vector<std::string> DroppedPaths(const QMimeData* data);

// The windows' font: "MS Gothic" at 12 pixels, or the gothic font standing in for it.
QFont WindowFont();
