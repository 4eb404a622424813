#pragma once

#include "DocumentCheck.h"

#include <QHash>
#include <QIcon>
#include <QObject>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QTimer;
class StyleSheetModel;

// Keeps the declaration check's marks in the `Elements` tree up to date: the whole
// document is checked when it is replaced (every read), and after an edit only the
// declarations whose finding the edit can change are checked again. It gives the model
// the marks: a struck-out font for a dropped declaration, its kind picture with a small
// warning sign for it and for the nodes that hold one.
//
// The check at a read can be the problems list's too: given the list's options, it
// reads selectors, at-rules, hints and support as well, and keeps every finding for the
// list to take, so that a read is checked in one pass over the document. The marks are
// the declarations' findings of that pass that a browser drops or overrides (no hints,
// no support notes), the same as a check of the declarations alone gives.
//
// A read is shown with its marks when its check takes no longer than a moment; the
// check of a larger one goes on in slices after it is shown, so that the window answers
// meanwhile, and its marks come when it is done. A change made meanwhile starts it anew.
class CheckMarks : public QObject
{
    Q_OBJECT
public:
    using Decoration = std::function<QVariant(int picture)>;
    using Folder = std::function<QString()>;

    // `folder` gives the program folder with syntax.db, read when first needed; without
    // a readable one there are no marks. `decoration` gives a picture's plain icon.
    CheckMarks(StyleSheetModel &model, Folder folder, Decoration decoration, QObject *parent = nullptr);

    // The whole document checked anew.
    void checkAll();
    // Whether the whole-document check of the last read or change is still going on.
    bool checking() const { return bool(m_run); }
    // How long the check of a read may hold it back from being shown (milliseconds);
    // the rest goes on after. 150 by default.
    void setFirstCheckBudget(qint64 ms) { m_firstCheckMs = ms; }
    // The time the whole-document check of the last read has taken so far, its steps
    // added up (nanoseconds): what checking adds to opening a file.
    qint64 readCheckNs() const { return m_readCheckNs; }
    // The options of the whole-document check made at each read beside the marks (the
    // problems list's); none: the declarations alone are checked.
    void setDocumentOptions(const DocumentCheck::Options &options);
    // Every finding of the whole-document check of the last read, moved out, when the
    // document has not changed since and options were given; false otherwise.
    bool takeDocumentFindings(std::vector<DocumentCheck::Finding> &findings);
    // The icon with the warning sign drawn over a kind picture's icon.
    QIcon markedIcon(int picture);
    static QIcon warningSign();
    // The check the marks come from, for the labels typed into the tree; none when the
    // value syntaxes cannot be read.
    const DocumentCheck *check() { return ready() ? &m_check : nullptr; }

signals:
    // The whole-document check that went on after a read or change was shown is done:
    // its marks are in the tree (findings for the problems list to take, when it gave
    // its options). A check done at once is not announced: the read's modelReset is.
    void documentChecked();

private:
    void startRun();
    void continueRun();
    void finishRun(bool announce); // announce: emit documentChecked
    // One step of the run, timed into m_readCheckNs; true when the document is done.
    bool stepRun(qint64 budgetMs);
    // A change while the whole-document check goes on: it starts anew (the check must
    // not read a document that changed under it). True when there was one.
    bool restartedRun();
    bool ready();
    void checkDeclaration(const ElementNode *node, int attribute);
    void checkNode(const ElementNode *node);  // its own declarations
    void checkNodes(const ElementNode *node); // and those of its child nodes, at any depth
    void checkEarlierOfName(const ElementNode *node, int before, QStringView name);
    void forgetDocumentFindings();
    void declarationsChanged(const QModelIndex &first, const QModelIndex &last, const QList<int> &roles);
    void rowsInserted(const QModelIndex &parent, int first, int last);
    void rowsAboutToBeRemoved(const QModelIndex &parent, int first, int last);
    void rowsRemoved(const QModelIndex &parent, int first, int last);
    QVariant mark(int role, int picture);

    StyleSheetModel &m_model;
    Folder m_folder;
    Decoration m_decoration;
    DocumentCheck m_check;
    enum class State { Closed, Open, Unavailable } m_state = State::Closed;
    QHash<int, QIcon> m_icons;
    std::vector<QString> m_removedNames; // names of the declarations a removal takes
    std::vector<DeclarationCheck::Finding> m_findings;
    std::optional<DocumentCheck::Options> m_documentOptions;
    std::vector<DocumentCheck::Finding> m_documentFindings;
    bool m_documentFresh = false;              // m_documentFindings are those of the document as it is
    std::unique_ptr<DocumentCheck::Run> m_run; // the whole-document check going on
    QTimer *m_slices = nullptr;
    qint64 m_firstCheckMs;
    qint64 m_readCheckNs = 0;
};
