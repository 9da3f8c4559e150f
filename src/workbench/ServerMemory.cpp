#include "workbench/ServerMemory.hpp"

#include <QSettings>

namespace tablor::gui::ServerMemory {
namespace {

QSettings Store() { return QSettings(QSettings::IniFormat, QSettings::UserScope, "qnTablor", "qnTablor"); }

const QString kKey = QStringLiteral("Settings/Server");
const QString kEnd = QStringLiteral("END");

}  // namespace

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

QStringList Load() {
    QSettings store = Store();
    return Parse(store.value(kKey).toString());
}

void Save(const QStringList& servers) {
    QSettings store = Store();
    store.setValue(kKey, Format(servers));
    store.sync();
}

}  // namespace tablor::gui::ServerMemory
