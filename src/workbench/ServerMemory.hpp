#pragma once
#include <QByteArray>
#include <QSettings>
#include <QString>
#include <QStringList>

namespace tablor::gui {

// The remembered servers of the server box, kept in the per-user settings store as one text:
// each server followed by "~", then "END".
namespace ServerMemory {

// Servers from a stored text: every element before "END"; a text without "END" gives all of
// its elements. Empty elements are kept, as they were stored.
QStringList Parse(const QString& stored);
// The stored text for a list of servers: "A~B~END", or "END" alone.
QString Format(const QStringList& servers);

// The settings file, in a folder named after the program (group "Settings", key "Server").
QString FileName();
// The settings store. QSettings reads its file as soon as it is made: check IsFileOrAbsent first.
QSettings Store();
// A folder or a pipe in the settings file's place must not be opened.
bool IsFileOrAbsent(const QString& path);
// The settings an earlier version kept under its old name move to FileName(), once, when
// there is nothing there yet.
void AdoptEarlierSettings();

// The stored servers. A store that cannot be read or makes no sense gives none, and
// `problem` says why, for the user.
struct Loaded {
    QStringList servers;
    QString problem;
};
Loaded Load();
// Stores the servers; what went wrong, for the user, or empty.
QString Save(const QStringList& servers);

// The window's size and place when it was last closed; empty when none is stored.
QByteArray LoadGeometry();
void SaveGeometry(const QByteArray& geometry);

}  // namespace ServerMemory
}  // namespace tablor::gui
