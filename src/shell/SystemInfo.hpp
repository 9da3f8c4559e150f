#pragma once
#include <QDialog>
#include <QString>
#include <QStringList>
#include <optional>

class QTreeWidget;

namespace tablor::gui {

// What the About box's "System Info..." shows.
struct SystemInfo {
    QString operatingSystem;
    QString processor;
    QString memory;
    QString qtVersion;
    QStringList odbcDrivers;  // the installed ODBC drivers, by the names connections use
};

// Where the facts are read from; tests point these at files of their own.
struct SystemInfoSources {
    QString cpuInfo = QStringLiteral("/proc/cpuinfo");
    QString memInfo = QStringLiteral("/proc/meminfo");
    // The ODBC installer's driver registries, in the order unixODBC reads them. Empty (the
    // default where the live adapter is built in): the installer itself is asked.
    QStringList odbcInstFiles = DefaultOdbcInstFiles();

    // $ODBCSYSINI/$ODBCINSTINI (defaults /etc and odbcinst.ini), then ~/.odbcinst.ini.
    static QStringList OdbcInstFiles();
    static QStringList DefaultOdbcInstFiles();
};

// Gathers the facts; nothing when neither the processor nor the memory can be read, since a
// window of the toolkit's own facts alone would tell nothing.
std::optional<SystemInfo> ReadSystemInfo(const SystemInfoSources& sources = {});

// The driver names registered in odbcinst.ini files: their section names, except the
// installer's own [ODBC] section, each name once, in file order.
QStringList InstalledOdbcDrivers(const QStringList& odbcInstFiles);

// A window listing the facts.
class SystemInfoWindow : public QDialog {
    Q_OBJECT
  public:
    explicit SystemInfoWindow(const SystemInfo& info, QWidget* parent = nullptr);

    QTreeWidget* lvInfo = nullptr;
};

}  // namespace tablor::gui
