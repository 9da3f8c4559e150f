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

// Read and write the settings store (application "qnTablor", group "Settings", key "Server").
QStringList Load();
void Save(const QStringList& servers);

}  // namespace ServerMemory
}  // namespace tablor::gui
