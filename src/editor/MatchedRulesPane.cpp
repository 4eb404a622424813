#include "MatchedRulesPane.h"

#include "StyleSheetModel.h"

#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum Column { SelectorColumn, SpecificityColumn, WhereColumn };
constexpr int PathRole = Qt::UserRole + 1; // the rule's node's path in the tree

} // namespace

MatchedRulesPane::MatchedRulesPane(StyleSheetModel &model, QWidget *parent)
    : QDockWidget(QStringLiteral("Matched rules"), parent), m_model(model)
{
    setObjectName(QStringLiteral("MatchedRules"));
    setFeatures(QDockWidget::DockWidgetFloatable | QDockWidget::DockWidgetMovable);
    auto *body = new QWidget;
    auto *layout = new QVBoxLayout(body);
    layout->setContentsMargins(2, 2, 2, 2);
    m_element = new QLabel(QStringLiteral("Inspect: click an element in the preview"));
    m_element->setObjectName(QStringLiteral("MatchedElement"));
    m_element->setTextFormat(Qt::PlainText);
    layout->addWidget(m_element);
    m_list = new QTreeWidget;
    m_list->setObjectName(QStringLiteral("MatchedRuleList"));
    m_list->setHeaderLabels({QStringLiteral("Rule"), QStringLiteral("Specificity"), QStringLiteral("In")});
    m_list->setRootIsDecorated(true);
    m_list->setUniformRowHeights(true);
    m_list->header()->setSectionResizeMode(SelectorColumn, QHeaderView::Stretch);
    m_list->header()->setStretchLastSection(false);
    layout->addWidget(m_list);
    setWidget(body);
    connect(m_list, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem *current) { itemChosen(current); });
    connect(m_list, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem *item) { itemChosen(item); });
}

void MatchedRulesPane::clear()
{
    m_list->clear();
}

QModelIndex MatchedRulesPane::showReport(const MatchedRules &report)
{
    const QSignalBlocker quiet(m_list);
    m_list->clear();
    m_element->setText(
        report.rules.isEmpty()
            ? QStringLiteral("%1: no rule of the style sheet applies").arg(report.element)
            : QStringLiteral("%1: %2 rules, the winner first").arg(report.element).arg(report.rules.size()));
    QModelIndex first;
    for (const MatchedRules::Rule &rule : report.rules) {
        auto *item = new QTreeWidgetItem(m_list);
        item->setText(SelectorColumn, rule.selector);
        item->setToolTip(SelectorColumn, rule.fullSelector);
        item->setText(SpecificityColumn, QStringLiteral("%1,%2,%3")
                                             .arg(rule.specificity[0])
                                             .arg(rule.specificity[1])
                                             .arg(rule.specificity[2]));
        QStringList where = rule.blocks;
        if (!rule.layer.isEmpty() && where.isEmpty())
            where << QStringLiteral("@layer ") + rule.layer;
        item->setText(WhereColumn, where.join(QLatin1Char(' ')));
        if (const ElementNode *node = MatchedRules::findNode(m_model, rule)) {
            const std::vector<int> path = StyleSheet::pathOf(node);
            item->setData(SelectorColumn, PathRole,
                          QVariant::fromValue(QList<int>(path.begin(), path.end())));
            if (!first.isValid())
                first = m_model.nodeIndex(node);
        } else {
            item->setToolTip(SelectorColumn, QStringLiteral("Not in the document any more"));
            item->setForeground(SelectorColumn, palette().brush(QPalette::Disabled, QPalette::Text));
        }
        for (const MatchedRules::Declaration &declaration : rule.declarations) {
            auto *line = new QTreeWidgetItem(item);
            line->setText(SelectorColumn,
                          declaration.property + QStringLiteral(": ") + declaration.value +
                              (declaration.important ? QStringLiteral(" !important") : QString()));
            if (declaration.overridden) {
                QFont font = line->font(SelectorColumn);
                font.setStrikeOut(true);
                line->setFont(SelectorColumn, font);
                line->setForeground(SelectorColumn, palette().brush(QPalette::Disabled, QPalette::Text));
                line->setToolTip(SelectorColumn, QStringLiteral("Overridden by a rule above"));
            }
        }
        item->setExpanded(true);
    }
    m_list->resizeColumnToContents(SpecificityColumn);
    m_list->resizeColumnToContents(WhereColumn);
    return first;
}

void MatchedRulesPane::itemChosen(QTreeWidgetItem *item)
{
    if (!item)
        return;
    // A declaration's row stands for its rule.
    if (item->parent())
        item = item->parent();
    const QList<int> list = item->data(SelectorColumn, PathRole).value<QList<int>>();
    if (list.isEmpty())
        return;
    if (const ElementNode *node = m_model.sheet().nodeAt(std::vector<int>(list.begin(), list.end())))
        emit chosen(m_model.nodeIndex(node));
}
