#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

class StyleSheetModel;
struct ElementNode;

// What a page in Inspect mode reports of a click: the element, and the rules of the
// style sheet that apply to it as the page's browser matched them, in cascade order (the
// rule that wins first), each declaration marked when another one wins its property.
struct MatchedRules
{
    struct Declaration
    {
        QString property;
        QString value;
        bool important = false;
        bool overridden = false;
    };
    // One step on the way to a rule in the browser's object model of the sheet: the
    // rule's position among the rules the browser kept at that level, its kind ("rule"
    // or an at-rule's name: "media", "supports", "layer"...) and its text (the
    // selector, or the at-rule's condition or name).
    struct Step
    {
        int index = 0;
        QString kind;
        QString text;
        // How many rules of the same kind and text the browser kept before it at that
        // level (-1: not reported).
        int occurrence = -1;
    };
    struct Rule
    {
        QString selector;     // as the browser writes it
        QString fullSelector; // a nested rule's selector resolved against its parents'
        QList<Step> chain;    // from the top of the sheet down to the rule
        int specificity[3] = {0, 0, 0};
        QString layer;      // dotted; empty when the rule is in no layer
        QStringList blocks; // the @media, @supports and @layer blocks that hold it
        QList<Declaration> declarations;
    };

    QString element; // "p#intro.lead"
    QList<Rule> rules;

    // Reads a report; false for a text that is not one (the report comes from a page,
    // so every part of it is checked, and strings are taken only as strings).
    static bool fromJson(const QByteArray &json, MatchedRules &out);

    // The document's node of a reported rule. The browser leaves out what it does not
    // keep (@charset, rules it cannot read, such as a selector of another browser's
    // prefix), so the positions can be smaller than the document's. At each level the
    // node taken is the one that agrees with the step (the same at-rule, or the same
    // selector written either way) and has as many agreeing nodes before it as the
    // browser counted (a rule is dropped for its text, so rules of the same text share
    // their fate); failing that, the first agreeing node at or after the reported
    // position, or the first node of the same kind there. Null when the document has no
    // such node.
    static ElementNode *findNode(const StyleSheetModel &model, const Rule &rule);

    // Whether a node's label and a selector the browser wrote are the same selector:
    // compared without the differences of writing (blanks, quotes, case, "::" of the
    // older pseudo-elements, the "& " the browser puts before a nested relative
    // selector).
    static bool sameSelector(const QString &label, const QString &browserText);

    // A rule node's selector as the browser applies it: a nested rule's resolved against
    // its parent rules' ("&" read as :is(parent), a selector without "&" as a
    // descendant of it), for outlining the elements it matches in the page. Empty for a
    // node that is not a rule.
    static QString resolvedSelector(const ElementNode *node);
};
