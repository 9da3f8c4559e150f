#include "shell/SystemInfo.hpp"

#ifdef TABLOR_HAVE_ODBC
#include "sources/odbc/OdbcDrivers.hpp"
#endif

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QPushButton>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtGlobal>

namespace tablor::gui {
namespace {

std::optional<QString> ReadText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return std::nullopt;
    // /proc files report no size: read until the end.
    return QString::fromUtf8(file.readAll());
}

// "key : value" lines, as /proc/cpuinfo and /proc/meminfo write them.
QString ValueOf(const QString& text, const QString& key) {
    for (const QString& line : text.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed() == key) return line.mid(colon + 1).trimmed();
    }
    return {};
}

QString ProcessorOf(const QString& cpuInfo) {
    QString model = ValueOf(cpuInfo, "model name");
    if (model.isEmpty()) model = ValueOf(cpuInfo, "Model");
    if (model.isEmpty()) model = ValueOf(cpuInfo, "Hardware");
    const qsizetype count =
        cpuInfo.count(QRegularExpression("^processor\\s*:", QRegularExpression::MultilineOption));
    QString text = model.isEmpty() ? QSysInfo::currentCpuArchitecture() : model;
    QStringList details;
    if (count > 0) details << QString("%1 logical processor%2").arg(count).arg(count == 1 ? "" : "s");
    if (!model.isEmpty()) details << QSysInfo::currentCpuArchitecture();
    if (!details.isEmpty()) text += " (" + details.join(", ") + ")";
    return text;
}

QString Megabytes(const QString& kilobytes) {
    bool ok = false;
    const qulonglong value = kilobytes.section(' ', 0, 0).toULongLong(&ok);
    return ok ? QString("%1 MB").arg(value / 1024) : kilobytes;
}

QString MemoryOf(const QString& memInfo) {
    const QString total = ValueOf(memInfo, "MemTotal");
    const QString available = ValueOf(memInfo, "MemAvailable");
    if (total.isEmpty()) return {};
    QString text = Megabytes(total) + " total";
    if (!available.isEmpty()) text += ", " + Megabytes(available) + " available";
    return text;
}

}  // namespace

QStringList SystemInfoSources::OdbcInstFiles() {
    const QString folder = qEnvironmentVariableIsEmpty("ODBCSYSINI") ? QStringLiteral("/etc")
                                                                     : qEnvironmentVariable("ODBCSYSINI");
    const QString name = qEnvironmentVariableIsEmpty("ODBCINSTINI") ? QStringLiteral("odbcinst.ini")
                                                                    : qEnvironmentVariable("ODBCINSTINI");
    QStringList files{QDir(folder).filePath(name)};
    if (!qEnvironmentVariableIsEmpty("HOME"))
        files << QDir(qEnvironmentVariable("HOME")).filePath(".odbcinst.ini");
    return files;
}

QStringList SystemInfoSources::DefaultOdbcInstFiles() {
#ifdef TABLOR_HAVE_ODBC
    return {};
#else
    return OdbcInstFiles();
#endif
}

QStringList InstalledOdbcDrivers(const QStringList& odbcInstFiles) {
    QStringList drivers;
    for (const QString& path : odbcInstFiles) {
        const auto text = ReadText(path);
        if (!text) continue;
        for (const QString& raw : text->split('\n')) {
            const QString line = raw.trimmed();
            if (line.size() < 3 || !line.startsWith('[') || !line.endsWith(']')) continue;
            const QString name = line.mid(1, line.size() - 2).trimmed();
            if (name.isEmpty() || name.compare("ODBC", Qt::CaseInsensitive) == 0) continue;
            if (!drivers.contains(name)) drivers << name;
        }
    }
    return drivers;
}

std::optional<SystemInfo> ReadSystemInfo(const SystemInfoSources& sources) {
    const auto cpuInfo = ReadText(sources.cpuInfo);
    const auto memInfo = ReadText(sources.memInfo);
    if (!cpuInfo && !memInfo) return std::nullopt;

    SystemInfo info;
    info.operatingSystem =
        QSysInfo::prettyProductName() + " (" + QSysInfo::kernelType() + " " + QSysInfo::kernelVersion() + ")";
    info.processor = cpuInfo ? ProcessorOf(*cpuInfo) : QSysInfo::currentCpuArchitecture();
    info.memory = memInfo ? MemoryOf(*memInfo) : QString();
    if (info.memory.isEmpty()) info.memory = "unknown";
    info.qtVersion = QString::fromLatin1(qVersion());
    info.odbcDrivers = InstalledOdbcDrivers(sources.odbcInstFiles);
#ifdef TABLOR_HAVE_ODBC
    if (sources.odbcInstFiles.isEmpty())
        for (const auto& name : odbc::InstalledDrivers()) info.odbcDrivers << QString::fromStdString(name);
#endif
    return info;
}

SystemInfoWindow::SystemInfoWindow(const SystemInfo& info, QWidget* parent) : QDialog(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("System Info");
    lvInfo = new QTreeWidget(this);
    lvInfo->setColumnCount(2);
    lvInfo->setHeaderLabels({"Item", "Value"});
    lvInfo->setRootIsDecorated(false);
    lvInfo->setSelectionMode(QAbstractItemView::NoSelection);
    lvInfo->setFocusPolicy(Qt::NoFocus);
    const auto add = [this](const QString& item, const QString& value) {
        new QTreeWidgetItem(lvInfo, {item, value});
    };
    add("Operating system", info.operatingSystem);
    add("Processor", info.processor);
    add("Memory", info.memory);
    add("Qt version", info.qtVersion);
    if (info.odbcDrivers.isEmpty()) add("ODBC drivers", "none installed");
    for (qsizetype i = 0; i < info.odbcDrivers.size(); ++i)
        add(i == 0 ? "ODBC drivers" : QString(), info.odbcDrivers[i]);
    lvInfo->resizeColumnToContents(0);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lvInfo);
    layout->addWidget(buttons);
    resize(560, 300);
}

}  // namespace tablor::gui
