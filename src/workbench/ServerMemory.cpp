#include "workbench/ServerMemory.hpp"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace tablor::gui::ServerMemory {
namespace {

const QString kKey = QStringLiteral("Settings/Server");
const QString kGeometry = QStringLiteral("Window/Geometry");
const QString kEnd = QStringLiteral("END");

QString ConfigFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

}  // namespace

QSettings Store() {
    return QSettings(FileName(), QSettings::IniFormat);
}

// A pipe would hold the program at start until someone writes to it.
bool IsFileOrAbsent(const QString& path) {
    const QFileInfo entry(path);
    return entry.isFile() || !entry.exists();
}

void AdoptEarlierSettings() {
    const QString earlier = ConfigFolder() + QStringLiteral("/qnTablor/qnTablor.ini");
    const QFileInfo target(FileName());
    if (target.exists() || target.isSymLink() || !QFileInfo(earlier).isFile()) return;
    QDir().mkpath(target.absolutePath());
    QFile::copy(earlier, FileName());
}

QStringList Parse(const QString& stored) {
    QStringList servers;
    if (stored.isEmpty()) return servers;
    for (const QString& element : stored.split(QLatin1Char('~'), Qt::KeepEmptyParts)) {
        if (element == kEnd) break;
        servers.append(element);
    }
    return servers;
}

QString Format(const QStringList& servers) {
    QString text;
    for (const QString& server : servers) text += server + QLatin1Char('~');
    return text + kEnd;
}

QString FileName() {
    return ConfigFolder() + QStringLiteral("/tablor/tablor.ini");
}

Loaded Load() {
    const QString path = FileName();
    const QString native = QDir::toNativeSeparators(path);
    if (!IsFileOrAbsent(path))
        return {{}, "The settings file " + native + " is not a file; the list of servers starts empty."};
    QSettings store = Store();
    const QVariant value = store.value(kKey);
    // Sections are parsed when first asked for: damage elsewhere shows only once all are.
    (void)store.allKeys();
    if (store.status() == QSettings::AccessError)
        return {{}, "The settings file " + native + " could not be read; the list of servers starts empty."};
    // Part of a damaged file may still parse, but nothing in it can be trusted.
    if (store.status() == QSettings::FormatError ||
        (store.contains(kKey) && (!value.isValid() || value.typeId() != QMetaType::QString)))
        return {{},
                "The settings file " + native +
                    " is damaged; the list of servers starts empty, and the file is written anew when the "
                    "window closes."};
    return {Parse(value.toString()), {}};
}

QString Save(const QStringList& servers) {
    const QString path = FileName();
    const QString failed = "The list of servers could not be saved in " + QDir::toNativeSeparators(path);
    if (!IsFileOrAbsent(path)) return failed + ": it is not a file.";
    QSettings store = Store();
    store.setValue(kKey, Format(servers));
    store.sync();
    // A damaged file read on the way is replaced all the same: only a refused write is a failure.
    if (store.status() == QSettings::AccessError) return failed + ".";
    return {};
}

QByteArray LoadGeometry() {
    if (!IsFileOrAbsent(FileName())) return {};
    const QVariant value = Store().value(kGeometry);
    return value.typeId() == QMetaType::QByteArray ? value.toByteArray() : QByteArray();
}

void SaveGeometry(const QByteArray& geometry) {
    // A store that cannot take it says so when the servers are saved.
    if (!IsFileOrAbsent(FileName())) return;
    QSettings store = Store();
    store.setValue(kGeometry, geometry);
}

}  // namespace tablor::gui::ServerMemory
