#pragma once

#include "StyleSheetModel.h"

#include <QByteArray>
#include <QModelIndex>
#include <QString>
#include <memory>
#include <optional>
#include <sys/resource.h>

class TMainForm;

// Shared set-up of the editor tests.
namespace EditorFixture {

// Writes a small catalogue (tags.db, css.db) into `folder`: element
// rows "!--", "!DOCTYPE", "*" (not offered), then "A", "B", "BODY", "H1", "P"; and the
// attributes color, background-color (colour), font-size (number), font-family (font),
// background-image (URL), text-align (choice: left, center, right), weird (misspelt
// marker) and plain (no kind).
void writeCatalogue(const QString &folder);

// The catalogue the tests start the editor with: the real one beside the test program
// when it is there, else the small one above, made once.
QString catalogueFolder();

// Sets up the application as the entry sequence does (title) and keeps closing the
// main window from ending the test run.
void prepareApplication();

// A main window after start-up: created, shown and activated, with `commandLineFile`
// as the pending command-line file.
// New documents take the editor's own form unless `newForm` says otherwise (nullopt:
// the stored setting decides, standard CSS by default).
std::unique_ptr<TMainForm> startMainWindow(const QString &commandLineFile = {},
                                           std::optional<DocumentForm> newForm = DocumentForm::Editor);

// An edit as the value editors and tree commands make it: a declaration added to the
// element BODY, and the document marked modified.
void editDocument(TMainForm &form, const QString &declaration = QStringLiteral("color=red"));

// The node of `Elements` for the element labelled `element` (the root for an empty
// text), or for its attribute labelled `attribute`; invalid when there is none.
QModelIndex findNode(TMainForm &form, const QString &element, const QString &attribute = {});
// The node reached from the root through the children labelled `labels` in turn (for
// example {"@media print", ".note", "color: red"}); invalid when there is none.
QModelIndex findPath(TMainForm &form, const QStringList &labels);
// The labels of an element's attribute nodes, in order.
QStringList attributeLabels(TMainForm &form, const QString &element);
// Shows the node in `Elements` and clicks it with the left button, as the user does
// (an invalid index clicks the empty space below the nodes); then lets the click
// steps run.
void clickNode(TMainForm &form, const QModelIndex &node);

// While it lives, every file write of this process beyond `bytes` fails, as on a full
// disk (also for root, whom file permissions do not stop).
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_saved{};
    void (*m_handler)(int) = nullptr;
};

// Stores `folder` as the folder the file dialogs named `name` ("Open", "Save",
// "Browse") start in next time; an empty text forgets it (they start at home).
void rememberDialogFolder(const QString &name, const QString &folder);

void writeFile(const QString &path, const QByteArray &bytes);
QByteArray readFile(const QString &path);

} // namespace EditorFixture
