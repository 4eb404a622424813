#pragma once

#include "StyleSheetModel.h"
#include "ValueKind.h"

#include <QModelIndex>
#include <QString>
#include <QStringList>

class Catalogue;
class Document;

// The changes that the user makes through the element tree and the value editors, in
// the product's terms: the one door through which the user's edits reach the document.
// Each change is one step of the document's undo history (QUndoStack). Every index
// passed in is an index of the document's element model (an index of any other model
// counts as no selection). Each change sets the document's modified flag as stated per
// function; undoing back to where the history began clears it again.
namespace DocumentEdits {

// A drop of a catalogue node onto the element tree at `target` (the node under the
// drop point; invalid for empty space). The target element is `target` itself or, for
// an attribute node, its element. A new last attribute node is appended to it,
// labelled `attributeLabel` + "=" with picture `kind`; for a dragged choice word,
// `choiceParentLabel` names its attribute and the label becomes
// choiceParentLabel + "=" + attributeLabel. Nothing is added for the root or empty
// space. In a standard-CSS document a property dropped without a value gets `initial`,
// and a drop on one of the catalogue's nodes makes a rule for its selector at the end of
// the sheet. The modified flag is set on every drop. Returns the new node, or invalid.
QModelIndex dropOnElements(Document &document, const QModelIndex &target, const QString &attributeLabel,
                           int kind, const QString &choiceParentLabel = {});

// "New Element": appends the element node "New Element" (picture 0) after the last
// element node and sets the modified flag. Returns the new node.
QModelIndex newElement(Document &document);

// A new rule `selector` (with the picture given), empty: at the end of the block or
// rule `context` is (any rule but the catalogue's own nodes takes nested rules), else at the end of the
// sheet. One step. Returns the new node.
// `kind` makes an at-rule block or an at-rule with declarations instead (its prelude as
// the selector), with its picture.
QModelIndex newRule(Document &document, const QModelIndex &context, const QString &selector, int picture = 0,
                    NodeKind kind = NodeKind::Rule);

// "New Property": appends "New Property" (picture 0, no value) to the selected element,
// to the element of the selected attribute, or with the root selected to the first
// element node (nothing when there is none, or without a selection). Sets the modified
// flag in every case. Returns the new node, or invalid.
QModelIndex newProperty(Document &document, const QModelIndex &selected);

// Whether "Delete Property" is enabled when the menu opens: only for an attribute node.
bool deletePropertyEnabled(const QModelIndex &selected);

// "Delete Property": with an element selected all of its attribute nodes go (the
// element stays); with an attribute selected that node goes; otherwise nothing.
// Sets the modified flag in every case.
void deleteProperty(Document &document, const QModelIndex &selected);

// Writes an editor's value into the selected attribute node: its label becomes its
// prefix (up to and including the first "=") followed by `valueText`, which the caller
// gives in the editor's form (numberValue, quotedValue, or a colour's text as is).
// Writes only into an attribute node, never into the root or an element; returns
// whether it wrote. The modified flag is set on every write, also when the label
// stays the same.
// Writes of one editing `session` (non-zero: the characters typed into one editor while
// one node stays selected) merge into one step; session 0 never merges.
bool writeValue(Document &document, const QModelIndex &selected, const QString &valueText, int session = 0);

// A label edited in place: a node's selector or prelude, or a declaration's label in the
// document's form (split again at its separator). Gives false for an index that is
// not part of the document.
bool editLabel(Document &document, const QModelIndex &index, const QString &text);

// Pushes the step that replaces a declaration (unless it changes nothing and merges
// into no session).
void pushReplace(Document &document, ElementNode *node, int row, AttributeNode attribute, int session,
                 const QString &text);

// Switches the form the document is shown and saved in (standard CSS or the editor's
// own); a change of form is a step and sets the modified flag.
void setForm(Document &document, Catalogue &catalogue, DocumentForm form);

// A number editor's value: decimal, with a minus sign when negative, no unit, no quotes.
QString numberValue(int value);
// A font, choice or file editor's text: enclosed in double quotes, whatever it is.
QString quotedValue(const QString &text);

// The editor that a click on `selected` enables: the attribute node's value kind for a
// colour, URL, font, number or choice; KindNone for any other kind, for the root, an
// element or no selection.
ValueKind editorKind(const QModelIndex &selected);

// What a click on an attribute node presets its editor with.
struct EditorPreset
{
    ValueKind kind = KindNone; // the editor to enable (editorKind)
    QString text;              // the value without its enclosing quotes; Number: the number's text
    bool hasNumber = false;    // Number: whether the value holds a number
    double number = 0;         // Number: the first number of the value (its unit and the rest stay)
    QString name;              // Choice: the attribute's name
    QStringList choices;       // Choice: the allowed words (empty for an unknown name)
};

// The preset for a click on `selected`. A Number's preset is the first number of the
// value, whatever unit and other values stand beside it; a value without a number
// gives none (no failure).
EditorPreset presetFor(const Document &document, Catalogue &catalogue, const QModelIndex &selected);

} // namespace DocumentEdits
