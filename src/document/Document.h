#pragma once

#include "Catalogue.h"
#include "StyleSheetModel.h"
#include "TextFile.h"

#include <QString>
#include <QUndoStack>
#include <functional>

// The style sheet being edited and its values. There is one per run, owned by the
// document session (DocumentSession) with its file: the element tree (shown by the `Elements` view), the
// current file, the modified flag, the row number of the catalogue element "A", and where the element nodes
// of the catalogue stand.
//
// Element-node order: the catalogue element nodes in row order from the fourth row,
// the pseudo-class nodes "A:Active", "A:Hover", "A:Visited" directly after "A", then
// the element nodes that do not come from the catalogue (picture 0) in the order added.
class Document
{
public:
    static const QString NotSaved; // "Not Saved"
    static constexpr int PseudoClassPicture = 9;
    static const QStringList PseudoClassLabels; // "A:Active", "A:Hover", "A:Visited"

    Document();
    Document(const Document &) = delete;
    Document &operator=(const Document &) = delete;

    // The style sheet: every change goes to it (DocumentEdits, the reader).
    StyleSheet &sheet() { return m_sheet; }
    const StyleSheet &sheet() const { return m_sheet; }
    // The item model that shows it in the `Elements` view.
    StyleSheetModel &elements() { return m_elements; }
    const StyleSheetModel &elements() const { return m_elements; }

    const QString &currentFileName() const { return m_currentFileName; }
    void setCurrentFileName(const QString &name) { m_currentFileName = name; }
    bool hasFile() const { return m_currentFileName != NotSaved; }

    // The form Save writes and the value editors write in.
    DocumentForm form() const { return m_elements.form(); }
    void setForm(DocumentForm form) { m_sheet.setForm(form); }

    bool isModified() const { return m_modified; }
    void setModified(bool modified);
    // Called with the new value whenever the modified flag changes (the window's title).
    void setModifiedObserver(std::function<void(bool)> listener) { m_modifiedObserver = std::move(listener); }

    // The history of the user's edits. Each edit is one step (DocumentEdits pushes
    // them); undoing or redoing back to the history's clean state (where it began, or
    // the last save) gives the modified flag of that state, and any other step leaves
    // the document modified.
    QUndoStack &undoStack() { return m_undoStack; }
    // Starts a fresh history at the document as it is (New, Open, a read-back from the
    // code window); `modified` is the flag that goes with this state.
    void resetHistory(bool modified);
    // The document as it stands is what its file now holds (a save succeeded): it is no
    // longer modified, and the history's clean state moves here, so that an undo past
    // this step makes it modified again and a redo back to it clears the flag.
    void markSaved();
    // Sets the modified flag from where the history stands (done after every step; a
    // step that merges away to nothing does not report itself).
    void followHistory();
    // Called after an undo or redo with the node the step changed, so that the
    // selection can follow it.
    void setFocusListener(std::function<void(const QModelIndex &)> listener)
    {
        m_focusListener = std::move(listener);
    }
    void focus(const QModelIndex &index) const
    {
        if (m_focusListener)
            m_focusListener(index);
    }

    // The encoding the file was read in; saving writes back in it.
    TextFile::Encoding encoding() const { return m_encoding; }
    bool byteOrderMark() const { return m_byteOrderMark; }
    void setEncoding(TextFile::Encoding encoding, bool byteOrderMark = false)
    {
        m_encoding = encoding;
        m_byteOrderMark = byteOrderMark;
    }

    // The row number of the catalogue element "A" (0 until a build finds one).
    int aPosition() const { return m_aPosition; }

    // The form of a new document. The window makes it standard CSS unless the user's
    // setting says the editor's own; a bare document keeps the editor's own form.
    DocumentForm newDocumentForm() const { return m_newForm; }
    void setNewDocumentForm(DocumentForm form) { m_newForm = form; }

    // Replaces the whole tree by a freshly built element list (start-up and New): all
    // declarations and the user's element nodes go; the document takes the form of a
    // new document. Sets aPosition when the list has
    // a row "A", and forgets the pseudo-class nodes until they are added again.
    void applyElementList(const Catalogue::ElementList &list);

    // Inserts "A:Active", "A:Hover", "A:Visited" (picture 9) directly after the node of
    // the catalogue row "A"; when the catalogue has no such row, or it is among the
    // first three rows (which have no node), after the last catalogue node.
    void addPseudoClassNodes();
    bool hasPseudoClassNodes() const { return m_pseudoPosition >= 0; }
    // Position of "A:Active"; the other two follow it. -1 before they are added.
    int pseudoClassPosition() const { return m_pseudoPosition; }
    // Number of element nodes that come from the catalogue or are pseudo-class nodes;
    // the user's element nodes stand after them.
    int fixedElementCount() const { return m_catalogueNodes + (hasPseudoClassNodes() ? 3 : 0); }

    // Position of the element node of catalogue row `row` (1-based, index order);
    // -1 when that row has no node.
    int positionOfRow(int row) const;

private:
    StyleSheet m_sheet;
    StyleSheetModel m_elements{m_sheet};
    QUndoStack m_undoStack;
    QString m_currentFileName;
    bool m_modified = false;
    bool m_modifiedAtClean = false; // the flag that goes with the history's clean state
    std::function<void(bool)> m_modifiedObserver;
    std::function<void(const QModelIndex &)> m_focusListener;
    TextFile::Encoding m_encoding = TextFile::Encoding::Utf8;
    bool m_byteOrderMark = false;
    int m_aPosition = 0;
    int m_catalogueNodes = 0; // catalogue element nodes from the last build
    int m_hiddenRows = 0;     // leading rows of the last build that have no node
    int m_pseudoPosition = -1;
    DocumentForm m_newForm = DocumentForm::Editor;
};
