#pragma once

#include "MatchedRules.h"

#include <QDockWidget>
#include <QModelIndex>

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;
class StyleSheetModel;

// The "Matched rules" list: the rules of the style sheet that apply to the element last
// clicked in the preview in Inspect mode, in cascade order (the winner first), each with
// its selector, specificity and the blocks and layer that hold it; under each its
// declarations, struck out where another one wins. Choosing a rule tells the window
// which node to select. A dock pane, like the problems list.
class MatchedRulesPane : public QDockWidget
{
    Q_OBJECT
public:
    explicit MatchedRulesPane(StyleSheetModel &model, QWidget *parent = nullptr);

    // Lists a report; the rules are found among the document's nodes now (a rule the
    // document no longer has is listed but leads nowhere). Returns the index of the
    // first rule found, invalid when none is.
    QModelIndex showReport(const MatchedRules &report);
    void clear();

    QTreeWidget *list() const { return m_list; }

signals:
    // A rule was chosen: its node's index in the document's model.
    void chosen(const QModelIndex &index);

private:
    void itemChosen(QTreeWidgetItem *item);

    StyleSheetModel &m_model;
    QLabel *m_element = nullptr;
    QTreeWidget *m_list = nullptr;
};
