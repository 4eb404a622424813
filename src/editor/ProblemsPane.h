#pragma once

#include "DocumentCheck.h"

#include <QDockWidget>
#include <QModelIndex>
#include <QSet>
#include <functional>
#include <memory>

class CheckMarks;
class QComboBox;
class QLabel;
class QSortFilterProxyModel;
class QTimer;
class QToolButton;
class QTableView;
class StyleSheetModel;

// The problems list: every finding of the document's check (declarations, selectors,
// at-rules, statements, and the hint kinds the user keeps on) with its kind, line,
// label and reason. Sortable by each column, filtered by kind; choosing a row tells
// the window which node or declaration to select. It follows the document: a read is
// checked once for the tree's marks and this list together (the marks' check is given
// the list's options and hands over its findings); an edit checks it again a moment
// later. Its count shows in a label the window places in its status line. A dock pane
// that can float beside the window and return to it.
class ProblemsPane : public QDockWidget
{
    Q_OBJECT
public:
    // `marks` are the tree's: their check is the one the list comes from (the value
    // syntaxes are read once), and their check of a read is the list's too. Without a
    // readable check the list is empty.
    ProblemsPane(StyleSheetModel &model, CheckMarks &marks, QWidget *parent = nullptr);

    // "Problems: N" (hints counted apart), for the window's status line.
    QLabel *countLabel() const { return m_count; }
    int problemCount() const { return m_problems; }
    // The Baseline target the support marks follow (off: no support marks); kept in the
    // settings beside the hint kinds.
    SupportCheck::Target supportTarget() const { return m_support; }
    void setSupportTarget(const SupportCheck::Target &target);
    // The list checked anew at once (the window's edits start a short wait instead).
    void refresh();
    // Whether a check of the document is under way (started by a read or an edit, made
    // a slice at a time).
    bool checking() const { return bool(m_run); }

    // The short name of a kind as the list shows it ("Unknown property").
    static QString kindTitle(DeclarationCheck::Kind kind);

signals:
    // A row was chosen: the index of its node or declaration in the document's model.
    void chosen(const QModelIndex &index);
    void countChanged(int problems);

private:
    class Rows;
    void scheduleRefresh();
    // A read: the findings of the marks' check of it, or a check a moment later.
    void documentReplaced();
    // What the list asks of the check: the hint kinds kept on, the support target.
    DocumentCheck::Options checkOptions() const;
    void optionsChanged();
    // The check started by a read or an edit: a slice per pass of the event loop, so that
    // the window answers while a large document is checked.
    void startRun();
    void continueRun();
    void showFindings(std::vector<DocumentCheck::Finding> findings);
    // A read whose check goes on after it is shown: no rows (those of the sheet before
    // would name its nodes) until the check's findings come.
    void showChecking();
    void rowChosen(const QModelIndex &current);
    void applyFilter();
    void readHintSettings();
    void writeHintSettings() const;
    void writeSupportTarget() const;

    StyleSheetModel &m_model;
    CheckMarks &m_marks;
    Rows *m_rows = nullptr;
    QSortFilterProxyModel *m_sorted = nullptr;
    QTableView *m_view = nullptr;
    QComboBox *m_kinds = nullptr;
    QToolButton *m_hintsButton = nullptr;
    QLabel *m_count = nullptr;
    QTimer *m_timer = nullptr;
    QTimer *m_slices = nullptr;
    std::unique_ptr<DocumentCheck::Run> m_run;
    QSet<DeclarationCheck::Kind> m_hints; // the hint kinds kept on
    QToolButton *m_supportButton = nullptr;
    SupportCheck::Target m_support; // the Baseline target of the support marks
    int m_problems = 0;
};
