#include "CheckMarks.h"

#include "Failure.h"
#include "StyleSheetModel.h"

#include <QElapsedTimer>
#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QTimer>
#include <algorithm>

namespace {

constexpr int IconSize = 16;
// How long the check of a read may keep it from being shown, and how long each slice of
// the rest keeps the window from answering.
constexpr qint64 FirstCheckMs = 150;
constexpr qint64 SliceMs = 8;

bool sameName(QStringView a, QStringView b)
{
    // Custom properties are told apart by case; properties are not.
    a = a.trimmed();
    b = b.trimmed();
    if (a.startsWith(u"--"))
        return a == b;
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// A yellow triangle with an exclamation mark, `size` pixels wide, at (x, y).
void drawWarning(QPainter &painter, qreal x, qreal y, qreal size)
{
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath triangle;
    triangle.moveTo(x + size / 2, y + 0.5);
    triangle.lineTo(x + size - 0.5, y + size - 0.5);
    triangle.lineTo(x + 0.5, y + size - 0.5);
    triangle.closeSubpath();
    painter.setPen(QPen(QColor(0x80, 0x50, 0x00), 1));
    painter.setBrush(QColor(0xFF, 0xC8, 0x20));
    painter.drawPath(triangle);
    painter.setPen(QPen(Qt::black, size >= 12 ? 2 : 1.2, Qt::SolidLine, Qt::FlatCap));
    const qreal middle = x + size / 2;
    painter.drawLine(QPointF(middle, y + size * 0.35), QPointF(middle, y + size * 0.68));
    painter.drawPoint(QPointF(middle, y + size * 0.82));
}

} // namespace

CheckMarks::CheckMarks(StyleSheetModel &model, Folder folder, Decoration decoration, QObject *parent)
    : QObject(parent), m_model(model), m_folder(std::move(folder)), m_decoration(std::move(decoration)),
      m_firstCheckMs(FirstCheckMs)
{
    m_slices = new QTimer(this);
    m_slices->setSingleShot(true);
    m_slices->setInterval(0);
    connect(m_slices, &QTimer::timeout, this, &CheckMarks::continueRun);
    connect(&model, &QAbstractItemModel::modelAboutToBeReset, this, &CheckMarks::forgetDocumentFindings);
    connect(&model, &QAbstractItemModel::modelReset, this, &CheckMarks::checkAll);
    connect(&model, &QAbstractItemModel::dataChanged, this, &CheckMarks::declarationsChanged);
    connect(&model, &QAbstractItemModel::rowsInserted, this, &CheckMarks::rowsInserted);
    connect(&model, &QAbstractItemModel::rowsAboutToBeRemoved, this, &CheckMarks::rowsAboutToBeRemoved);
    connect(&model, &QAbstractItemModel::rowsRemoved, this, &CheckMarks::rowsRemoved);
    model.setFindingMarkProvider([this](int role, int picture) { return mark(role, picture); });
    model.setSupportNoteProvider([this](QStringView name, QStringView value) {
        return ready() ? m_check.support().note(name, value) : QString();
    });
    checkAll();
}

bool CheckMarks::ready()
{
    if (m_state == State::Closed) {
        try {
            m_check.open(m_folder());
            m_state = State::Open;
        } catch (const Failure &) {
            // Without the value syntaxes there is nothing to check against: no marks.
            m_state = State::Unavailable;
        }
    }
    return m_state == State::Open;
}

void CheckMarks::checkAll()
{
    m_icons.clear(); // a rebuilt element list may bring other pictures
    forgetDocumentFindings();
    m_slices->stop();
    m_run.reset();
    m_readCheckNs = 0;
    if (m_model.elementCount() == 0 || !ready())
        return;
    startRun();
    // Done at once, the findings are taken as the read is announced (modelReset).
    if (stepRun(m_firstCheckMs))
        finishRun(false);
    else
        m_slices->start();
}

void CheckMarks::startRun()
{
    DocumentCheck::Options marksOnly;
    marksOnly.nodes = false; // the tree marks declarations; the problems list shows the rest
    m_run = std::make_unique<DocumentCheck::Run>(m_check, m_model,
                                                 m_documentOptions ? *m_documentOptions : marksOnly);
}

void CheckMarks::continueRun()
{
    if (!m_run)
        return;
    if (stepRun(SliceMs))
        finishRun(true);
    else
        m_slices->start();
}

bool CheckMarks::stepRun(qint64 budgetMs)
{
    QElapsedTimer timer;
    timer.start();
    const bool done = m_run->step(budgetMs);
    m_readCheckNs += timer.nsecsElapsed();
    return done;
}

bool CheckMarks::restartedRun()
{
    if (!m_run)
        return false;
    forgetDocumentFindings();
    startRun();
    m_slices->start();
    return true;
}

void CheckMarks::finishRun(bool announce)
{
    m_slices->stop();
    std::vector<DocumentCheck::Finding> findings = m_run->takeFindings();
    m_run.reset();
    // A declaration's hint or support note is found only where the check has nothing
    // else to say of it: the rest of its findings are those of the declarations alone.
    std::vector<StyleSheet::FindingMark> marks;
    for (const DocumentCheck::Finding &finding : findings)
        if (finding.attribute >= 0 && !DeclarationCheck::isHint(finding.kind))
            marks.push_back({finding.node, finding.attribute, finding.reason});
    m_model.sheet().replaceFindings(std::move(marks));
    if (m_documentOptions) {
        m_documentFindings = std::move(findings);
        m_documentFresh = true;
    }
    if (announce)
        emit documentChecked();
}

void CheckMarks::setDocumentOptions(const DocumentCheck::Options &options)
{
    m_documentOptions = options;
    m_documentOptions->nodes = true;
    if (!restartedRun())
        forgetDocumentFindings();
}

bool CheckMarks::takeDocumentFindings(std::vector<DocumentCheck::Finding> &findings)
{
    if (!m_documentFresh)
        return false;
    findings = std::move(m_documentFindings);
    forgetDocumentFindings();
    return true;
}

void CheckMarks::forgetDocumentFindings()
{
    m_documentFresh = false;
    m_documentFindings = {};
}

void CheckMarks::checkDeclaration(const ElementNode *node, int attribute)
{
    const DeclarationCheck::Finding finding = m_check.checkDeclaration(*node, attribute, m_model.form());
    m_model.sheet().setFinding(node, attribute, finding ? finding.reason : QString());
}

void CheckMarks::checkNode(const ElementNode *node)
{
    if (node->attributes.empty())
        return;
    m_check.checkNode(*node, m_model.form(), m_findings);
    for (size_t i = 0; i < m_findings.size(); ++i)
        m_model.sheet().setFinding(node, int(i), m_findings[i] ? m_findings[i].reason : QString());
}

void CheckMarks::checkNodes(const ElementNode *top)
{
    // The node and every node under it, in file order.
    checkNode(top);
    forEachNode(top->children, [this](const ElementNode &node) {
        checkNode(&node);
        return true;
    });
}

// The declaration of `name` before row `before`: the one an edit at `before` may now
// override, or no longer override.
void CheckMarks::checkEarlierOfName(const ElementNode *node, int before, QStringView name)
{
    for (int i = std::min(before, int(node->attributes.size())) - 1; i >= 0; --i) {
        if (sameName(node->attributes[size_t(i)].name(), name)) {
            checkDeclaration(node, i);
            return;
        }
    }
}

void CheckMarks::declarationsChanged(const QModelIndex &first, const QModelIndex &last,
                                     const QList<int> &roles)
{
    // The marks' own announcements change no text.
    if (!roles.isEmpty() && !roles.contains(Qt::DisplayRole))
        return;
    if (restartedRun())
        return;
    forgetDocumentFindings();
    if (m_state != State::Open || !first.isValid())
        return;
    const int level = StyleSheetModel::levelOf(first);
    const ElementNode *node = m_model.nodeOf(first);
    if (!node)
        return;
    if (level == StyleSheetModel::ElementLevel) {
        // A node's label decides how its declarations are read (@page...); a block's
        // label, how those at any depth in it are (an @supports guards what it asks for).
        if (first == last) {
            if (node->kind == NodeKind::Block)
                checkNodes(node);
            else
                checkNode(node);
        }
        return;
    }
    if (level != StyleSheetModel::AttributeLevel)
        return;
    if (first.row() != last.row()) {
        // Many declarations at once (the document's form changed): the node anew.
        checkNode(node);
        return;
    }
    const int row = first.row();
    checkDeclaration(node, row);
    checkEarlierOfName(node, row, node->attributes[size_t(row)].name());
    // A renamed declaration may leave an earlier one of its old name marked as
    // overridden by it: the earlier marked ones are checked again, in one pass.
    const auto begin = node->attributes.begin();
    if (std::any_of(begin, begin + row, [](const AttributeNode &a) { return bool(a.finding); })) {
        m_check.checkNode(*node, m_model.form(), m_findings);
        for (int i = 0; i < row; ++i)
            if (node->attributes[size_t(i)].finding)
                m_model.sheet().setFinding(node, i,
                                           m_findings[size_t(i)] ? m_findings[size_t(i)].reason : QString());
    }
}

void CheckMarks::rowsInserted(const QModelIndex &parent, int first, int last)
{
    if (restartedRun())
        return;
    forgetDocumentFindings();
    if (m_state != State::Open || !parent.isValid())
        return;
    if (StyleSheetModel::levelOf(parent) == StyleSheetModel::RootLevel) {
        for (int i = first; i <= last; ++i)
            checkNodes(&m_model.element(i));
        return;
    }
    const ElementNode *node = m_model.nodeOf(parent);
    const int declarations = int(node->attributes.size());
    for (int row = first; row <= last; ++row) {
        if (row < declarations) {
            checkDeclaration(node, row);
            checkEarlierOfName(node, row, node->attributes[size_t(row)].name());
        } else {
            checkNodes(node->children[size_t(row - declarations)].get());
        }
    }
}

void CheckMarks::rowsAboutToBeRemoved(const QModelIndex &parent, int first, int last)
{
    m_removedNames.clear();
    if (m_run || m_state != State::Open || !parent.isValid() ||
        StyleSheetModel::levelOf(parent) == StyleSheetModel::RootLevel)
        return;
    const ElementNode *node = m_model.nodeOf(parent);
    for (int row = first; row <= last && row < int(node->attributes.size()); ++row)
        m_removedNames.push_back(node->attributes[size_t(row)].name().toString());
}

void CheckMarks::rowsRemoved(const QModelIndex &parent, int first, int)
{
    if (restartedRun())
        return;
    forgetDocumentFindings();
    if (m_removedNames.empty())
        return;
    const ElementNode *node = m_model.nodeOf(parent);
    // The declarations the removed ones overrode may stand in force again.
    for (const QString &name : m_removedNames)
        checkEarlierOfName(node, first, name);
    m_removedNames.clear();
}

QVariant CheckMarks::mark(int role, int picture)
{
    if (role == Qt::FontRole) {
        QFont font;
        font.setStrikeOut(true);
        return font;
    }
    if (role == Qt::DecorationRole)
        return markedIcon(picture);
    return {};
}

QIcon CheckMarks::markedIcon(int picture)
{
    auto it = m_icons.constFind(picture);
    if (it != m_icons.constEnd())
        return *it;
    const QVariant plain = m_decoration ? m_decoration(picture) : QVariant();
    const QIcon base = plain.value<QIcon>();
    QIcon icon;
    if (base.isNull()) {
        icon = warningSign();
    } else {
        QPixmap pixmap = base.pixmap(IconSize, IconSize);
        if (pixmap.isNull())
            pixmap = QPixmap(IconSize, IconSize);
        pixmap.setDevicePixelRatio(1);
        pixmap = pixmap.scaled(IconSize, IconSize);
        QPainter painter(&pixmap);
        drawWarning(painter, IconSize - 10, IconSize - 10, 10);
        painter.end();
        icon = QIcon(pixmap);
    }
    m_icons.insert(picture, icon);
    return icon;
}

QIcon CheckMarks::warningSign()
{
    QPixmap pixmap(IconSize, IconSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    drawWarning(painter, 0, 0, IconSize);
    painter.end();
    return QIcon(pixmap);
}
