#include "workbench/OptionsDialog.hpp"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>
#include <string>
#include <vector>

#include "workbench/ServerMemory.hpp"

namespace tablor::gui {
namespace {

struct Kind {
    const char* caption;
    const char* objectName;
};
// In CompareKind bit order.
constexpr std::array<Kind, 11> kKinds = {{
    {"&Tables", "chkOnlyTables"},
    {"C&olumns", "chkOnlyColumns"},
    {"&Views", "chkOnlyViews"},
    {"&Procedures", "chkOnlyProcedures"},
    {"&Functions", "chkOnlyFunctions"},
    {"Co&nstraints", "chkOnlyConstraints"},
    {"C&hanged column types and sizes", "chkOnlyChanges"},
    {"Inde&xes", "chkOnlyIndexes"},
    {"T&riggers", "chkOnlyTriggers"},
    {"S&equences", "chkOnlySequences"},
    {"T&ypes", "chkOnlyTypes"},
}};
// The kinds before Indexes are read without definitions.
constexpr std::size_t kNameKinds = 7;

// Property names, one list for a line of text: separated by commas or blanks.
std::vector<std::string> Words(const QString& text) {
    std::vector<std::string> words;
    for (const QString& word : text.split(QRegularExpression(QStringLiteral("[,\\s]+")), Qt::SkipEmptyParts))
        words.push_back(word.toStdString());
    return words;
}

QString WordLine(const std::vector<std::string>& words) {
    QStringList line;
    for (const std::string& word : words) line.append(QString::fromStdString(word));
    return line.join(QStringLiteral(", "));
}

std::vector<std::string> Patterns(const QString& text) {
    std::vector<std::string> patterns;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const QString pattern = line.trimmed();
        if (!pattern.isEmpty()) patterns.push_back(pattern.toStdString());
    }
    return patterns;
}

QString Lines(const std::vector<std::string>& patterns) {
    QStringList lines;
    for (const std::string& pattern : patterns) lines.append(QString::fromStdString(pattern));
    return lines.join(QLatin1Char('\n'));
}

QPlainTextEdit* PatternBox(QWidget* parent, const std::vector<std::string>& patterns) {
    auto* box = new QPlainTextEdit(Lines(patterns), parent);
    box->setTabChangesFocus(true);
    box->setLineWrapMode(QPlainTextEdit::NoWrap);
    // Room for a few patterns before it scrolls, in whatever font and scale.
    const int frame = 2 * box->frameWidth() + 2 * static_cast<int>(box->document()->documentMargin());
    box->setMinimumHeight(box->fontMetrics().lineSpacing() * 5 + frame);
    box->setMinimumWidth(box->fontMetrics().averageCharWidth() * 22 + frame);
    return box;
}

const QString kGroup = QStringLiteral("ComparisonOptions");

}  // namespace

OptionsDialog::OptionsDialog(const CompareOptions& options, UserPrompt& prompt, QWidget* parent)
    : QDialog(parent), prompt_(prompt) {
    setObjectName("OptionsDialog");
    setWindowTitle("Comparison Options");

    chkIgnoreCase = new QCheckBox("Ignore letter &case in names", this);
    chkIgnoreCase->setObjectName("chkIgnoreCase");
    chkIgnoreCase->setChecked(options.ignoreCase);
    chkIgnoreGeneratedNames = new QCheckBox("Ignore &generated constraint names", this);
    chkIgnoreGeneratedNames->setObjectName("chkIgnoreGeneratedNames");
    chkIgnoreGeneratedNames->setChecked(options.ignoreGeneratedNames);

    chkDefinitions = new QCheckBox("Compare &definitions", this);
    chkDefinitions->setObjectName("chkDefinitions");
    chkDefinitions->setChecked(options.definitions);
    chkDefinitions->setToolTip(
        "Databases are read with what their catalogues tell beyond names: each column's and object's "
        "properties and bodies are compared, and indexes, triggers, sequences and types too");
    txtIgnoreProperties = new QLineEdit(WordLine(options.ignoreProperties), this);
    txtIgnoreProperties->setObjectName("txtIgnoreProperties");
    txtIgnoreProperties->setPlaceholderText("comment, collation");
    auto* ignoreLabel = new QLabel("Properties to &ignore:", this);
    ignoreLabel->setBuddy(txtIgnoreProperties);
    auto* ignoreLine = new QHBoxLayout;
    // Set in from the box it belongs to.
    ignoreLine->addSpacing(chkDefinitions->style()->pixelMetric(QStyle::PM_IndicatorWidth) + 4);
    ignoreLine->addWidget(ignoreLabel);
    ignoreLine->addWidget(txtIgnoreProperties, 1);
    txtIgnoreProperties->setEnabled(options.definitions);
    ignoreLabel->setEnabled(options.definitions);
    connect(chkDefinitions, &QCheckBox::toggled, txtIgnoreProperties, &QWidget::setEnabled);
    connect(chkDefinitions, &QCheckBox::toggled, ignoreLabel, &QWidget::setEnabled);

    txtInclude = PatternBox(this, options.include);
    txtInclude->setObjectName("txtInclude");
    txtExclude = PatternBox(this, options.exclude);
    txtExclude->setObjectName("txtExclude");
    auto* includeLabel = new QLabel("Compare only names &matching:", this);
    includeLabel->setBuddy(txtInclude);
    auto* excludeLabel = new QLabel("&Leave out names matching:", this);
    excludeLabel->setBuddy(txtExclude);
    // Broken by hand: a wrapping label leaves the dialog's first size to the window system.
    auto* hint = new QLabel(
        "One pattern per line, letter case ignored: * stands for any characters, ? for one.\n"
        "TABLE.COLUMN leaves out a column.",
        this);
    hint->setObjectName("lblPatternHint");
    auto* patterns = new QGridLayout;
    patterns->addWidget(includeLabel, 0, 0);
    patterns->addWidget(excludeLabel, 0, 1);
    patterns->addWidget(txtInclude, 1, 0);
    patterns->addWidget(txtExclude, 1, 1);
    patterns->addWidget(hint, 2, 0, 1, 2);

    auto* kinds = new QGroupBox("Show these kinds", this);
    kinds->setObjectName("grpOnly");
    auto* kindGrid = new QGridLayout(kinds);
    constexpr int kRows = 4;
    for (std::size_t bit = 0; bit < kKinds.size(); ++bit) {
        auto* box = new QCheckBox(kKinds[bit].caption, kinds);
        box->setObjectName(kKinds[bit].objectName);
        box->setChecked(options.Shows(1u << bit));
        // Changed columns are looked for only when they are to be shown.
        if ((1u << bit) == CompareKind::Changes) {
            box->setChecked(options.columnChanges && options.Shows(CompareKind::Changes));
            box->setToolTip(
                "Lists a column that both sides have with another type or size once, as Field "
                "changed");
        }
        if (bit >= kNameKinds) {
            box->setEnabled(options.definitions);
            connect(chkDefinitions, &QCheckBox::toggled, box, &QWidget::setEnabled);
        }
        chkOnly[bit] = box;
        kindGrid->addWidget(box, static_cast<int>(bit) % kRows, static_cast<int>(bit) / kRows);
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName("buttonBox");
    buttons->button(QDialogButtonBox::Ok)->setObjectName("btnOK");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("btnCancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &OptionsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &OptionsDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(chkIgnoreCase);
    layout->addWidget(chkIgnoreGeneratedNames);
    layout->addWidget(chkDefinitions);
    layout->addLayout(ignoreLine);
    layout->addSpacing(layout->spacing());
    layout->addLayout(patterns, 1);
    layout->addWidget(kinds);
    layout->addWidget(buttons);
    // A text box asks for far more room than a few patterns need.
    resize(minimumSizeHint());
}

CompareOptions OptionsDialog::Options() const {
    CompareOptions options;
    options.ignoreCase = chkIgnoreCase->isChecked();
    options.ignoreGeneratedNames = chkIgnoreGeneratedNames->isChecked();
    options.include = Patterns(txtInclude->toPlainText());
    options.exclude = Patterns(txtExclude->toPlainText());
    options.definitions = chkDefinitions->isChecked();
    // Properties matter only to definitions: kept off, they would name an option that does nothing.
    if (options.definitions) options.ignoreProperties = Words(txtIgnoreProperties->text());
    options.only = 0;
    // The kinds read only with definitions count only with them.
    const std::size_t kinds = options.definitions ? chkOnly.size() : kNameKinds;
    for (std::size_t bit = 0; bit < kinds; ++bit)
        if (chkOnly[bit]->isChecked()) options.only |= 1u << bit;
    // One box for changed columns: they are looked for only when shown, and every other kind is
    // then the plain comparison's every kind.
    options.columnChanges = (options.only & CompareKind::Changes) != 0;
    // Every box ticked is every kind, those without a box of their own too.
    const unsigned boxes = (1u << kinds) - 1;
    if ((options.only | CompareKind::Changes) == boxes) options.only = CompareKind::All;
    return options;
}

void OptionsDialog::accept() {
    if (Options().only == 0) {
        PromptMessage message;
        message.text = "Please tick at least one kind to show.";
        message.icon = PromptIcon::Warning;
        prompt_.Ask(message);
        return;
    }
    QDialog::accept();
}

namespace OptionsMemory {

CompareOptions Load() {
    CompareOptions options;
    if (!ServerMemory::IsFileOrAbsent(ServerMemory::FileName())) return options;
    QSettings store = ServerMemory::Store();
    store.beginGroup(kGroup);
    options.columnChanges = store.value("ColumnChanges", false).toBool();
    options.ignoreCase = store.value("IgnoreCase", false).toBool();
    options.ignoreGeneratedNames = store.value("IgnoreGeneratedNames", false).toBool();
    options.include = Patterns(store.value("Include").toString());
    options.exclude = Patterns(store.value("Exclude").toString());
    options.definitions = store.value("Definitions", false).toBool();
    options.ignoreProperties = Words(store.value("IgnoreProperties").toString());
    std::string error;
    const auto only = ParseCompareKinds(store.value("Only").toString().toStdString(), error);
    // Nothing to show would make every comparison empty: take it as damage too.
    if (only && *only != 0) options.only = *only;
    return options;
}

QString Save(const CompareOptions& options) {
    const QString path = ServerMemory::FileName();
    const QString failed = "The comparison options could not be saved in " + QDir::toNativeSeparators(path);
    if (!ServerMemory::IsFileOrAbsent(path)) return failed + ": it is not a file.";
    QSettings store = ServerMemory::Store();
    store.beginGroup(kGroup);
    store.setValue("ColumnChanges", options.columnChanges);
    store.setValue("IgnoreCase", options.ignoreCase);
    store.setValue("IgnoreGeneratedNames", options.ignoreGeneratedNames);
    store.setValue("Include", Lines(options.include));
    store.setValue("Exclude", Lines(options.exclude));
    store.setValue("Definitions", options.definitions);
    store.setValue("IgnoreProperties", WordLine(options.ignoreProperties));
    store.setValue("Only", QString::fromStdString(CompareKindsText(options.only)));
    store.endGroup();
    store.sync();
    if (store.status() == QSettings::AccessError) return failed + ".";
    return {};
}

}  // namespace OptionsMemory
}  // namespace tablor::gui
