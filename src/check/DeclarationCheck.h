#pragma once

#include "ValueChecker.h"

#include <QString>
#include <QStringView>
#include <span>
#include <vector>

// Checks the declarations of one block as a browser would take them: an unknown
// property, a value that does not match the property's syntax, a value quoted in the
// editor's own form that standard CSS wants bare, and a declaration that a later one of
// the same property in the same block overrides. It works on plain records (name,
// value, line), so it knows nothing of the document: the document's check walks its
// tree and hands each block over.
//
// One check is used from one thread at a time (its value checker keeps working memory).
class DeclarationCheck
{
public:
    enum class Kind : quint8 {
        None,
        UnknownProperty, // "unknown property colr (did you mean color?)"
        InvalidValue,    // the value does not match the property's syntax
        QuotedValue,     // editor's form: display="flex", which is valid unquoted
        Overridden,      // "overridden by line 14"
        // What stands around declarations (the document's check finds these):
        InvalidSelector,   // "a browser drops this whole rule: unknown pseudo-class :hovr"
        VendorSelector,    // a vendor pseudo-class in a list: the other engines drop the rule
        UnknownAtRule,     // "@medai"
        InvalidPrelude,    // an @media, @supports, @import... prelude a browser cannot read
        UnknownDescriptor, // a name that @font-face, @property... do not take
        IgnoredStatement,  // "ignored by browsers: @import after rules"
        // Hints: lighter marks, each of which can be switched off.
        ShorthandOverride, // "padding on line 3 overrides padding-top"
        DuplicateSelector, // the same selector twice in one context
        EmptyRule,
        ImportantInKeyframes,
        UndefinedVariable, // var(--x) without fallback, --x defined nowhere in the sheet
        // Support: outside the chosen Baseline target ("not in Safari"); as light as a
        // hint, governed by the target rather than switched off on its own.
        Unsupported,
    };
    // Whether a kind is a hint rather than something a browser drops or overrides.
    static bool isHint(Kind kind) { return kind >= Kind::ShorthandOverride; }
    // The kind's short name in reports ("unknown", "selector", "empty-rule"...).
    static const char *kindName(Kind kind);

    struct Finding
    {
        Kind kind = Kind::None;
        QString reason; // empty for None
        explicit operator bool() const { return kind != Kind::None; }
    };

    // Where a block's declarations stand. In a style rule (or an at-rule block nested in
    // one, or a keyframe) they are properties. Directly in an at-rule with descriptors
    // (@font-face, @counter-style, @property...) they are descriptors: the catalogue has
    // no syntaxes for those, so they are accepted as they are. Directly in @page the
    // names that are properties are checked as properties (a page box takes margins...)
    // and any other name is taken for one of its descriptors.
    enum class Context : quint8 { Style, Descriptors, Page };

    // The form the values are written in: in the editor's own form (name=value) a value
    // keeps its text as the editors wrote it, quotes included.
    enum class Form : quint8 { Standard, Editor };

    struct Declaration
    {
        QStringView name;
        QStringView value;
        bool hasValue = true; // false: a name without value ("New Property"), never reported
        int line = 0;         // where it stands in its file; 0 when made in the editor
    };

    DeclarationCheck() = default;
    DeclarationCheck(const DeclarationCheck &) = delete;
    DeclarationCheck &operator=(const DeclarationCheck &) = delete;

    // The value syntaxes: syntax.db, or rows given to values() directly.
    void open(const QString &path) { m_values.open(path); }
    ValueChecker &values() { return m_values; }

    // The finding of one declaration on its own: unknown property, invalid value or a
    // quoted value. Overriding needs the block: see checkBlock.
    Finding check(const Declaration &declaration, Context context, Form form) const;

    // The finding of every declaration of a block, in order: its own, or else whether
    // the next declaration of the same property overrides it. `findings` is resized to
    // the block's size.
    void checkBlock(std::span<const Declaration> block, Context context, Form form,
                    std::vector<Finding> &findings) const;

    // The finding of the declaration at `index` of a block, as checkBlock would give it,
    // at the cost of that declaration and the next one of its property: after an edit
    // of one declaration, it and the previous declaration of the same property are the
    // only ones whose finding can change.
    Finding checkOne(std::span<const Declaration> block, qsizetype index, Context context, Form form) const;

    // Whether an earlier declaration of a property is a fallback for the next one of the
    // same property in its block rather than overridden by it (see DeclarationCheck.cpp).
    bool isFallback(QStringView earlier, QStringView later) const;

    // Whether the condition of an @supports (its prelude, with or without "@supports")
    // asks for this very declaration: a test "(name: value)" with the same name and the
    // same value tokens (blanks, comments and case aside), not directly under "not".
    // Inside such a block the author has kept the declaration from browsers without it,
    // so it is not reported as one they drop.
    static bool supportsAsksFor(QStringView condition, QStringView name, QStringView value);

private:
    struct Own
    {
        Finding finding;
        bool decided = false; // the value is valid by its syntax (not merely undecided)
    };
    Own own(const Declaration &declaration, Context context, Form form) const;
    Finding overriddenFinding(const Declaration &earlier, const Own &earlierOwn, const Declaration &later,
                              const Own &laterOwn) const;
    static qsizetype nextOfSameName(std::span<const Declaration> block, qsizetype index);

    ValueChecker m_values;
    // Working memory of checkBlock, kept between blocks.
    mutable std::vector<Own> m_owns;
    mutable std::vector<qsizetype> m_next;
    mutable std::vector<QStringView> m_names;
};
