#pragma once

#include "StyleSheetModel.h"
#include "ValueKind.h"

#include <QModelIndex>
#include <QString>
#include <QStringList>

class Catalogue;
class Document;
class DocumentCheck;

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

// "New Rule" and "New At-rule": a new node `selector` (with the picture given), empty,
// at the end of the node `context` is (or holds the selected declaration), when CSS
// lets that node hold it; else of the nearest node around it that can; else at the end
// of the sheet (Structure::placeFor). The catalogue's own nodes hold no nested rules.
// An empty `selector` for a rule gives the label a new rule starts with there
// (Structure::newRuleLabel). `kind` makes an at-rule block or an at-rule with
// declarations instead (its label as the selector), with its picture. One step.
// Returns the new node.
QModelIndex newRule(Document &document, const QModelIndex &context, const QString &selector, int picture = 0,
                    NodeKind kind = NodeKind::Rule);

// Why the node `selected` is (or holds, for a declaration) takes no declarations, for the
// user to read; empty when it takes them, and for the root or no selection.
QString declarationsRefusal(const Document &document, const QModelIndex &selected);

// A drag in the element tree: the declaration or node `source` dropped on `target`
// (invalid: empty space, the end of the sheet). `Into` puts it at the end of the target
// node (a declaration dropped on a declaration goes after it); `Before` and `After` put a
// node beside the target node, and a declaration beside the target declaration. A
// declaration goes only into a node that takes declarations, a node only where CSS lets
// it stand (Structure); nodes move only in standard-CSS documents, where the catalogue's
// own nodes stay where they are. One step; what moved is written anew where it lands.
// Returns the moved item, or invalid with `refusal` saying why nothing moved (empty when
// the drop leaves everything where it was).
enum class DropPlace { Before, After, Into };
QModelIndex move(Document &document, const QModelIndex &source, const QModelIndex &target, DropPlace place,
                 QString &refusal);

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

// What the Del key deletes with `selected`: the declaration; a rule or block of the
// sheet with everything in it; the declarations of one of the catalogue's own nodes
// (the node itself stays, as the catalogue's nodes always do); or nothing (the root, a
// catalogue node without declarations, no selection).
enum class Deletion { None, Declaration, Rule, Declarations };
Deletion deletionFor(const Document &document, const QModelIndex &selected);
// Del: deletes what deletionFor names, as one step of the history.
void deleteSelected(Document &document, const QModelIndex &selected);

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

// Why `text` cannot become the label of the node `index`, as a sentence for the user;
// empty when it can. Any label: it must read back as one declaration or one selector
// (ValueText::labelProblem). In a standard-CSS document a node's label must also keep
// the node what it is (Structure::kindRefusal) and, with a `check` at hand, read as a
// selector or at-rule prelude that a browser keeps where the node stands (vendor
// selectors are taken: each engine keeps its own).
QString labelRefusal(const Document &document, const QModelIndex &index, const QString &text,
                     const DocumentCheck *check);

// Pushes the step that replaces a declaration (unless it changes nothing and merges
// into no session).
void pushReplace(Document &document, ElementNode *node, int row, AttributeNode attribute, int session,
                 const QString &text);

// Switches the form the document is shown and saved in (standard CSS or the editor's
// own); a change of form is a step and sets the modified flag.
void setForm(Document &document, Catalogue &catalogue, DocumentForm form);

// What the number editor writes for `number` in the declaration `index`: its value with
// the first number set (ValueText::withNumber). In standard CSS a number that stands
// without a unit where the property takes none (`padding: 0` stepped up) gets the first
// of px, deg and s that makes a value the property takes, as browsers drop `padding: 1`;
// where the property takes the bare number (line-height, z-index), a unit already
// stands, the number is 0, or no `check` is at hand, the number stays bare.
QString numberWritten(const Document &document, const QModelIndex &index, double number,
                      const DocumentCheck *check);

// A number editor's value: decimal, with a minus sign when negative, no unit, no quotes.
QString numberValue(int value);
// A font, choice or file editor's text: enclosed in double quotes, whatever it is.
QString quotedValue(const QString &text);

// The kind the catalogue gives a declaration's property (the node's picture): colour,
// URL, font, number or choice; KindNone for any other kind, for the root, an element
// or no selection. The editor a click enables is presetFor's kind, which the value
// decides where the property does not.
ValueKind editorKind(const QModelIndex &selected);

// Whether a colour picked for the document is written with upper-case hex letters: as
// most hex colours of its declarations are written (upper case when they are as many,
// or there are none, as the colour library writes them).
bool hexUpperCase(const Document &document);

// What a click on an attribute node presets its editor with.
struct EditorPreset
{
    ValueKind kind = KindNone; // the editor to enable (ValueText::editorKind)
    QString text;              // the value without its enclosing quotes; Number: the number's text
    bool hasNumber = false;    // Number: whether the value holds a number
    double number = 0;         // Number: the first number of the value (its unit and the rest stay)
    QString unit;              // Number: that number's unit as written (`px`, `%`); empty for none
    QString name;              // Choice: the attribute's name
    QStringList choices;       // Choice: the allowed words (empty for an unknown name)
};

// The preset for a click on `selected`. A Number's preset is the first number of the
// value, whatever unit and other values stand beside it; a value without a number
// gives none (no failure).
EditorPreset presetFor(const Document &document, Catalogue &catalogue, const QModelIndex &selected);

} // namespace DocumentEdits
