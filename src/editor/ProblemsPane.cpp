#include "ProblemsPane.h"

#include "CheckMarks.h"
#include "Failure.h"
#include "RegistryStore.h"
#include "StyleSheetModel.h"

#include <QAbstractTableModel>
#include <QActionGroup>
#include <QComboBox>
#include <QDate>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <span>

namespace {

// Where the hint kinds the user keeps on are stored: "Hints" lists their short names,
// comma-separated ("shorthand-override,empty-rule"); without the value all are on.
const QString CheckKey = QStringLiteral("\\Software\\Loomwright 99\\Check");
const QString HintsValue = QStringLiteral("Hints");
// The Baseline target of the support marks: "widely", "newly" or a year; empty or
// missing: no support marks.
const QString BaselineValue = QStringLiteral("Baseline");

enum Column { KindColumn, LineColumn, LabelColumn, ReasonColumn, ColumnCount };

// The list's table: Home and End go to the first and the last finding, as in a list
// (a table's own go to the first and last column of the row).
class FindingTable : public QTableView
{
protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override
    {
        if (action == MoveHome || action == MoveEnd)
            modifiers |= Qt::ControlModifier;
        return QTableView::moveCursor(action, modifiers);
    }
};

} // namespace

// The list's rows: one small record per finding (a large sheet may have tens of
// thousands), its label read from the document when it shows. A node is kept by its
// path, which outlives an edit; the list is checked anew soon after each edit. The
// paths of all rows stand one after the other in one array.
class ProblemsPane::Rows : public QAbstractTableModel
{
public:
    struct Row
    {
        quint32 pathStart = 0; // where the node's path in the tree stands in the paths
        quint32 pathLength = 0;
        int attribute = -1; // the declaration's row; -1 for the node itself
        int line = 0;
        DeclarationCheck::Kind kind = DeclarationCheck::Kind::None;
        QString reason;
    };

    Rows(const StyleSheetModel &model, QObject *parent) : QAbstractTableModel(parent), m_model(&model) {}

    void replace(std::vector<Row> rows, std::vector<int> paths)
    {
        beginResetModel();
        m_rows = std::move(rows);
        m_paths = std::move(paths);
        endResetModel();
    }
    const Row &row(int row) const { return m_rows[size_t(row)]; }
    std::span<const int> pathOf(const Row &row) const
    {
        return std::span<const int>(m_paths).subspan(row.pathStart, row.pathLength);
    }

    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_rows.size());
    }
    int columnCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : ColumnCount;
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || role != Qt::DisplayRole)
            return {};
        const Row &row = m_rows[size_t(index.row())];
        switch (index.column()) {
        case KindColumn:
            return kindTitle(row.kind);
        case LineColumn:
            return row.line;
        case LabelColumn:
            return label(row);
        case ReasonColumn:
            return row.reason;
        default:
            return {};
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        static const char *const titles[] = {"Kind", "Line", "Label", "Reason"};
        return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section]) : QVariant();
    }

private:
    QString label(const Row &row) const
    {
        // The document's model goes before the window's panes when the window closes.
        if (!m_model)
            return {};
        const ElementNode *node = m_model->sheet().nodeAt(pathOf(row));
        if (!node)
            return {};
        if (row.attribute < 0)
            return node->label.simplified();
        if (row.attribute >= int(node->attributes.size()))
            return {};
        return node->attributes[size_t(row.attribute)].label(m_model->form()).simplified();
    }

    QPointer<const StyleSheetModel> m_model;
    std::vector<Row> m_rows;
    std::vector<int> m_paths;
};

QString ProblemsPane::kindTitle(DeclarationCheck::Kind kind)
{
    using Kind = DeclarationCheck::Kind;
    switch (kind) {
    case Kind::None:
        break;
    case Kind::UnknownProperty:
        return QStringLiteral("Unknown property");
    case Kind::InvalidValue:
        return QStringLiteral("Invalid value");
    case Kind::QuotedValue:
        return QStringLiteral("Quoted value");
    case Kind::Overridden:
        return QStringLiteral("Overridden");
    case Kind::InvalidSelector:
        return QStringLiteral("Selector");
    case Kind::VendorSelector:
        return QStringLiteral("Vendor selector");
    case Kind::UnknownAtRule:
        return QStringLiteral("Unknown at-rule");
    case Kind::InvalidPrelude:
        return QStringLiteral("At-rule prelude");
    case Kind::UnknownDescriptor:
        return QStringLiteral("Unknown descriptor");
    case Kind::IgnoredStatement:
        return QStringLiteral("Ignored statement");
    case Kind::ShorthandOverride:
        return QStringLiteral("Hint: shorthand after longhand");
    case Kind::DuplicateSelector:
        return QStringLiteral("Hint: same selector twice");
    case Kind::EmptyRule:
        return QStringLiteral("Hint: empty rule");
    case Kind::ImportantInKeyframes:
        return QStringLiteral("Hint: !important in @keyframes");
    case Kind::UndefinedVariable:
        return QStringLiteral("Hint: undefined variable");
    case Kind::Unsupported:
        return QStringLiteral("Support");
    }
    return {};
}

ProblemsPane::ProblemsPane(StyleSheetModel &model, CheckMarks &marks, QWidget *parent)
    : QDockWidget(QStringLiteral("Problems"), parent), m_model(model), m_marks(marks)
{
    setObjectName(QStringLiteral("Problems"));
    setFeatures(QDockWidget::DockWidgetFloatable | QDockWidget::DockWidgetMovable);

    auto *body = new QWidget;
    auto *layout = new QVBoxLayout(body);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    auto *bar = new QHBoxLayout;
    bar->addWidget(new QLabel(QStringLiteral("Show:")));
    m_kinds = new QComboBox;
    m_kinds->setObjectName(QStringLiteral("ProblemKinds"));
    m_kinds->addItem(QStringLiteral("All kinds"));
    for (int k = int(DeclarationCheck::Kind::UnknownProperty); k <= int(DeclarationCheck::Kind::Unsupported);
         ++k)
        m_kinds->addItem(kindTitle(DeclarationCheck::Kind(k)));
    bar->addWidget(m_kinds);
    m_hintsButton = new QToolButton;
    m_hintsButton->setObjectName(QStringLiteral("ProblemHints"));
    m_hintsButton->setText(QStringLiteral("Hints"));
    m_hintsButton->setPopupMode(QToolButton::InstantPopup);
    auto *hintsMenu = new QMenu(m_hintsButton);
    readHintSettings();
    for (DeclarationCheck::Kind kind : DocumentCheck::allHints()) {
        QAction *action = hintsMenu->addAction(kindTitle(kind).mid(6)); // without "Hint: "
        action->setCheckable(true);
        action->setChecked(m_hints.contains(kind));
        connect(action, &QAction::toggled, this, [this, kind](bool on) {
            if (on)
                m_hints.insert(kind);
            else
                m_hints.remove(kind);
            writeHintSettings();
            optionsChanged();
        });
    }
    m_hintsButton->setMenu(hintsMenu);
    bar->addWidget(m_hintsButton);

    // The support target: none, Baseline widely or newly available, or a Baseline year.
    m_supportButton = new QToolButton;
    m_supportButton->setObjectName(QStringLiteral("ProblemSupport"));
    m_supportButton->setText(QStringLiteral("Support"));
    m_supportButton->setPopupMode(QToolButton::InstantPopup);
    auto *supportMenu = new QMenu(m_supportButton);
    auto *supportGroup = new QActionGroup(supportMenu);
    std::vector<SupportCheck::Target> targets{
        {}, {SupportCheck::Target::Level::Widely, 0}, {SupportCheck::Target::Level::Newly, 0}};
    for (int year = QDate::currentDate().year(); year >= 2015; --year)
        targets.push_back({SupportCheck::Target::Level::Year, year});
    for (const SupportCheck::Target &target : targets) {
        QAction *action =
            supportMenu->addAction(target.isOff() ? QStringLiteral("No support marks") : target.title());
        action->setCheckable(true);
        action->setData(target.key());
        action->setChecked(target == m_support);
        supportGroup->addAction(action);
        connect(action, &QAction::triggered, this, [this, target] { setSupportTarget(target); });
    }
    m_supportButton->setMenu(supportMenu);
    m_supportButton->setToolTip(m_support.isOff() ? QStringLiteral("No support marks") : m_support.title());
    bar->addWidget(m_supportButton);
    bar->addStretch(1);
    layout->addLayout(bar);

    m_rows = new Rows(m_model, this);
    m_sorted = new QSortFilterProxyModel(this);
    m_sorted->setSourceModel(m_rows);
    m_sorted->setFilterKeyColumn(KindColumn);
    // A table, not a tree: it keeps no record per row, and a large sheet may have tens
    // of thousands of findings. It reads as a list: rows of one line's height, no grid,
    // no row numbers, the whole row selected, Tab leaving it.
    m_view = new FindingTable;
    m_view->setObjectName(QStringLiteral("ProblemList"));
    m_view->setModel(m_sorted);
    m_view->setShowGrid(false);
    m_view->setWordWrap(false);
    m_view->setTabKeyNavigation(false);
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setMinimumSectionSize(1);
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 4);
    m_view->setSortingEnabled(true);
    m_view->sortByColumn(LineColumn, Qt::AscendingOrder);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->horizontalHeader()->setHighlightSections(false);
    m_view->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_view->horizontalHeader()->setStretchLastSection(true);
    m_view->setColumnWidth(
        KindColumn,
        m_view->fontMetrics().horizontalAdvance(QStringLiteral("Hint: !important in @keyframes")) + 12);
    m_view->setColumnWidth(LineColumn,
                           m_view->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 12);
    m_view->setColumnWidth(LabelColumn, m_view->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 32);
    layout->addWidget(m_view, 1);
    setWidget(body);

    m_count = new QLabel;
    m_count->setObjectName(QStringLiteral("ProblemCount"));

    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    m_timer->setInterval(150);
    connect(m_timer, &QTimer::timeout, this, &ProblemsPane::startRun);
    m_slices = new QTimer(this);
    m_slices->setInterval(0);
    connect(m_slices, &QTimer::timeout, this, &ProblemsPane::continueRun);
    connect(&m_model, &QAbstractItemModel::modelReset, this, &ProblemsPane::documentReplaced);
    // A large read's check goes on after it is shown: its findings come with its marks.
    connect(&m_marks, &CheckMarks::documentChecked, this, &ProblemsPane::documentReplaced);
    connect(&m_model, &QAbstractItemModel::rowsInserted, this, &ProblemsPane::scheduleRefresh);
    connect(&m_model, &QAbstractItemModel::rowsRemoved, this, &ProblemsPane::scheduleRefresh);
    connect(&m_model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &, const QModelIndex &, const QList<int> &roles) {
                // The check marks' own announcements change no text.
                if (roles.isEmpty() || roles.contains(Qt::DisplayRole))
                    scheduleRefresh();
            });
    connect(m_kinds, &QComboBox::currentIndexChanged, this, &ProblemsPane::applyFilter);
    connect(m_view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &ProblemsPane::rowChosen);
    connect(m_view, &QAbstractItemView::activated, this, &ProblemsPane::rowChosen);
    optionsChanged();
}

DocumentCheck::Options ProblemsPane::checkOptions() const
{
    DocumentCheck::Options options;
    options.hints.assign(m_hints.cbegin(), m_hints.cend());
    options.support = m_support;
    return options;
}

void ProblemsPane::optionsChanged()
{
    m_marks.setDocumentOptions(checkOptions());
    refresh();
}

void ProblemsPane::documentReplaced()
{
    // The marks are told of the read first (they were made before this list): their
    // check of it is this list's.
    std::vector<DocumentCheck::Finding> findings;
    if (!m_marks.takeDocumentFindings(findings)) {
        // The marks' check still going on gives this list its findings when done.
        if (m_marks.checking()) {
            m_timer->stop();
            m_slices->stop();
            m_run.reset();
            showChecking();
        } else {
            scheduleRefresh();
        }
        return;
    }
    m_timer->stop();
    m_slices->stop();
    m_run.reset();
    showFindings(std::move(findings));
}

void ProblemsPane::scheduleRefresh()
{
    // A run under way reads a document that has just changed: it starts again.
    m_slices->stop();
    m_run.reset();
    // The marks' check of a large read, started anew by the change, brings the findings.
    if (m_marks.checking()) {
        m_timer->stop();
        return;
    }
    m_timer->start();
}

namespace {
// The longest a slice of the check keeps the window from answering.
constexpr qint64 SliceMs = 8;
} // namespace

void ProblemsPane::startRun()
{
    m_run.reset();
    const DocumentCheck *check = m_model.elementCount() > 0 ? m_marks.check() : nullptr;
    if (!check) {
        showFindings({});
        return;
    }
    m_run = std::make_unique<DocumentCheck::Run>(*check, m_model, checkOptions());
    continueRun();
}

void ProblemsPane::continueRun()
{
    if (!m_run)
        return;
    if (!m_run->step(SliceMs)) {
        m_slices->start();
        return;
    }
    m_slices->stop();
    std::vector<DocumentCheck::Finding> findings = m_run->takeFindings();
    m_run.reset();
    showFindings(std::move(findings));
}

void ProblemsPane::refresh()
{
    m_timer->stop();
    m_slices->stop();
    m_run.reset();
    std::vector<DocumentCheck::Finding> findings;
    // Without the syntaxes there is nothing to check against: an empty list.
    const DocumentCheck *check = m_model.elementCount() > 0 ? m_marks.check() : nullptr;
    if (check)
        findings = check->checkDocument(m_model, checkOptions());
    showFindings(std::move(findings));
}

void ProblemsPane::showFindings(std::vector<DocumentCheck::Finding> findings)
{
    // The rows are replaced whole, with one reset: the sorted view sorts them once. The
    // sort and the filter stay as the user set them.
    std::vector<Rows::Row> rows;
    rows.reserve(findings.size());
    std::vector<int> paths;
    int hints = 0;
    for (DocumentCheck::Finding &finding : findings) {
        const size_t pathStart = paths.size();
        StyleSheet::appendPathOf(finding.node, paths);
        rows.push_back({quint32(pathStart), quint32(paths.size() - pathStart), finding.attribute,
                        finding.line, finding.kind, std::move(finding.reason)});
        if (DeclarationCheck::isHint(finding.kind))
            ++hints;
    }
    paths.shrink_to_fit();
    m_rows->replace(std::move(rows), std::move(paths));
    m_problems = int(findings.size()) - hints;
    m_count->setText(hints > 0 ? QStringLiteral("Problems: %1, hints: %2").arg(m_problems).arg(hints)
                               : QStringLiteral("Problems: %1").arg(m_problems));
    emit countChanged(m_problems);
}

void ProblemsPane::showChecking()
{
    m_rows->replace({}, {});
    m_problems = 0;
    m_count->setText(QStringLiteral("Problems: checking…"));
    emit countChanged(m_problems);
}

void ProblemsPane::applyFilter()
{
    const int chosen = m_kinds->currentIndex();
    if (chosen <= 0)
        m_sorted->setFilterFixedString(QString());
    else
        m_sorted->setFilterRegularExpression(QRegularExpression(
            QLatin1Char('^') + QRegularExpression::escape(m_kinds->currentText()) + QLatin1Char('$')));
}

void ProblemsPane::rowChosen(const QModelIndex &current)
{
    if (!current.isValid())
        return;
    const Rows::Row &row = m_rows->row(m_sorted->mapToSource(current).row());
    const ElementNode *node = m_model.sheet().nodeAt(m_rows->pathOf(row));
    if (!node)
        return;
    const int attribute = row.attribute;
    const QModelIndex index = attribute >= 0 && attribute < int(node->attributes.size())
                                  ? m_model.attributeIndex(node, attribute)
                                  : m_model.nodeIndex(node);
    if (index.isValid())
        emit chosen(index);
}

void ProblemsPane::setSupportTarget(const SupportCheck::Target &target)
{
    m_support = target;
    for (QAction *action : m_supportButton->menu()->actions())
        action->setChecked(action->data().toString() == target.key());
    m_supportButton->setToolTip(target.isOff() ? QStringLiteral("No support marks") : target.title());
    writeSupportTarget();
    optionsChanged();
}

void ProblemsPane::writeSupportTarget() const
{
    try {
        RegistryStore registry;
        RegistryKey key = registry.openKey(RegistryStore::Root::CurrentUser, CheckKey);
        key.writeString(BaselineValue, m_support.key());
    } catch (const Failure &) {
        // The choice holds for this run.
    }
}

void ProblemsPane::readHintSettings()
{
    m_hints.clear();
    QString stored;
    bool present = false;
    try {
        RegistryStore registry;
        const RegistryKey key = registry.openKey(RegistryStore::Root::CurrentUser, CheckKey);
        present = key.value(HintsValue).isValid();
        stored = key.readString(HintsValue);
        m_support =
            SupportCheck::Target::parse(key.readString(BaselineValue)).value_or(SupportCheck::Target{});
    } catch (const Failure &) {
        // Unreadable settings: the hints stay as they start.
    }
    for (DeclarationCheck::Kind kind : DocumentCheck::allHints())
        if (!present || stored.split(u',').contains(QLatin1String(DeclarationCheck::kindName(kind))))
            m_hints.insert(kind);
}

void ProblemsPane::writeHintSettings() const
{
    QStringList names;
    for (DeclarationCheck::Kind kind : DocumentCheck::allHints())
        if (m_hints.contains(kind))
            names << QLatin1String(DeclarationCheck::kindName(kind));
    try {
        RegistryStore registry;
        RegistryKey key = registry.openKey(RegistryStore::Root::CurrentUser, CheckKey);
        key.writeString(HintsValue, names.join(u','));
    } catch (const Failure &) {
        // The choice holds for this run.
    }
}
