#pragma once
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

// The settings file (application "qnTablor", group "Settings", key "Server").
QString FileName();

// The stored servers. A store that cannot be read or makes no sense gives none, and
// `problem` says why, for the user.
struct Loaded {
    QStringList servers;
    QString problem;
};
Loaded Load();
// Stores the servers; what went wrong, for the user, or empty.
QString Save(const QStringList& servers);

}  // namespace ServerMemory
}  // namespace tablor::gui
