#pragma once

#include "DocumentCheck.h"

#include <QDockWidget>
#include <QModelIndex>
#include <QSet>
#include <functional>

class QComboBox;
class QLabel;
class QSortFilterProxyModel;
class QStandardItemModel;
class QTimer;
class QToolButton;
class QTreeView;
class StyleSheetModel;

// The problems list: every finding of the document's check (declarations, selectors,
// at-rules, statements, and the hint kinds the user keeps on) with its kind, line,
// label and reason. Sortable by each column, filtered by kind; choosing a row tells
// the window which node or declaration to select. It follows the document: a read or an
// edit checks it again a moment later. Its count shows in a label the window places in
// its status line. A dock pane that can float beside the window and return to it.
class ProblemsPane : public QDockWidget
{
    Q_OBJECT
public:
    // The check the list comes from, asked for when first needed (the window's, which
    // the tree's marks use too: the value syntaxes are read once); none: an empty list.
    using CheckSource = std::function<const DocumentCheck *()>;

    ProblemsPane(StyleSheetModel &model, CheckSource check, QWidget *parent = nullptr);

    // "Problems: N" (hints counted apart), for the window's status line.
    QLabel *countLabel() const { return m_count; }
    int problemCount() const { return m_problems; }
    // The list checked anew at once (the window's edits start a short wait instead).
    void refresh();

    // The short name of a kind as the list shows it ("Unknown property").
    static QString kindTitle(DeclarationCheck::Kind kind);

signals:
    // A row was chosen: the index of its node or declaration in the document's model.
    void chosen(const QModelIndex &index);
    void countChanged(int problems);

private:
    // An empty list of `count` findings with the columns' titles.
    QStandardItemModel *newRows(int count);
    void scheduleRefresh();
    void rowChosen(const QModelIndex &current);
    void applyFilter();
    void readHintSettings();
    void writeHintSettings() const;

    StyleSheetModel &m_model;
    CheckSource m_check;
    QStandardItemModel *m_rows = nullptr;
    QSortFilterProxyModel *m_sorted = nullptr;
    QTreeView *m_view = nullptr;
    QComboBox *m_kinds = nullptr;
    QToolButton *m_hintsButton = nullptr;
    QLabel *m_count = nullptr;
    QTimer *m_timer = nullptr;
    QSet<DeclarationCheck::Kind> m_hints; // the hint kinds kept on
    int m_problems = 0;
};
