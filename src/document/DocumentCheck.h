#pragma once

#include "AtRuleCheck.h"
#include "DeclarationCheck.h"
#include "SelectorCheck.h"
#include "StyleSheetModel.h"
#include "SupportCheck.h"
#include "TextMap.h"

#include <QString>
#include <memory>
#include <unordered_map>
#include <vector>

// The declaration check over a document: walks the tree and hands each node's
// declarations to the check as one block, in the context the node gives them (a rule's
// properties, an at-rule's descriptors, a page's). Rules of the same selector that the
// reader merged into one catalogue node count as one block: the later declaration wins
// there as it does in the cascade. A declaration inside an @supports whose condition asks
// for that very declaration is not reported as unknown or invalid: the author has kept
// it from the browsers that lack it.
//
// For the window: checkDocument after a read, checkNode or checkDeclaration after an
// edit. An edit of a declaration can change its own finding and that of the previous
// declaration of the same property in its node (which it may now override or no longer
// override); a deletion, that of the previous one of the deleted property.
//
// Beyond declarations, the document's check reads what stands around them: each rule's
// selectors, each at-rule's name and prelude, the descriptors of @font-face and its kin,
// and the statements that browsers take only at the start (@charset, @import,
// @namespace). Those findings belong to a node (attribute -1). Hints, lighter marks a
// user may switch off kind by kind, come only when asked for.
//
// One check is used from one thread at a time.
class DocumentCheck
{
public:
    struct Finding
    {
        const ElementNode *node = nullptr;
        int attribute = 0; // the declaration's position in its node; -1: the node itself
        int line = 0;      // the declaration's place in its file; 0 when made in the editor
        int column = 0;
        DeclarationCheck::Kind kind = DeclarationCheck::Kind::None;
        QString reason;
    };

    // Reads the value syntaxes from syntax.db in `folder` (the program folder); a missing
    // or damaged file is a Failure naming it.
    void open(const QString &folder);
    DeclarationCheck &declarations() { return m_check; }

    static DeclarationCheck::Context contextOf(const ElementNode &node);
    static DeclarationCheck::Form formOf(DocumentForm form);

    // What the document's check reports beside the declarations' own findings.
    struct Options
    {
        bool nodes = true; // selectors, at-rules, descriptors, statements
        // The hint kinds reported (DeclarationCheck::isHint); none by default.
        std::vector<DeclarationCheck::Kind> hints;
        // The Baseline target: what falls outside it is reported as Kind::Unsupported
        // (declarations always; selectors and at-rules with `nodes`). Off by default.
        SupportCheck::Target support;
    };
    static std::vector<DeclarationCheck::Kind> allHints();

    // Every finding, in tree order (each node's own, its declarations', then its child
    // nodes').
    std::vector<Finding> checkDocument(const StyleSheetModel &model) const;
    std::vector<Finding> checkDocument(const StyleSheetModel &model, const Options &options) const;

    // The document's check made a slice at a time, so that a window stays responsive
    // while it checks a large document: each step checks top-level nodes (with all they
    // hold) until its time is up; the last one adds what needs the whole document (the
    // order of statements, the hints over contexts). The findings are those of
    // checkDocument. The document must not change while a run goes on: a changed one is
    // checked by a new run.
    class Run
    {
    public:
        Run(const DocumentCheck &check, const StyleSheetModel &model, Options options);
        ~Run();
        Run(const Run &) = delete;
        Run &operator=(const Run &) = delete;
        // Checks on for about `budgetMs` milliseconds (at least one top-level node);
        // a negative budget checks to the end. True when the document is done.
        bool step(qint64 budgetMs);
        bool done() const;
        // The findings, once done.
        std::vector<Finding> takeFindings();

    private:
        struct State;
        std::unique_ptr<State> m;
    };

    // The finding of a node itself (selector, at-rule, prelude); Kind::None when fine.
    // The order of statements needs the whole document: checkDocument tells it.
    DeclarationCheck::Finding checkNodeItself(const ElementNode &node) const;
    // The finding of `label` as the selector or at-rule of `node`, where it stands (what a
    // label edit would make of it); the descriptors it holds are not judged.
    DeclarationCheck::Finding checkLabel(const ElementNode &node, QStringView label) const;
    SelectorCheck &selectors() { return m_selectors; }
    AtRuleCheck &atRules() { return m_atRules; }
    // The Baseline statuses (for a declaration's tooltip).
    const SupportCheck &support() const { return m_support; }
    SupportCheck &support() { return m_support; }
    // The finding of each declaration of a node, in order (Kind::None when fine).
    void checkNode(const ElementNode &node, DocumentForm form,
                   std::vector<DeclarationCheck::Finding> &findings) const;
    // The finding of one declaration of a node.
    DeclarationCheck::Finding checkDeclaration(const ElementNode &node, int attribute,
                                               DocumentForm form) const;
    // The finding of a declaration `name: value` in standard CSS as if it stood in
    // `node` (what an editor would make of a declaration there), on its own.
    DeclarationCheck::Finding checkValue(const ElementNode &node, QStringView name, QStringView value) const;

private:
    struct Walk;
    void gather(const ElementNode &node) const;
    // An unknown descriptor of an at-rule with declarations (@font-face...).
    DeclarationCheck::Finding descriptorFinding(const ElementNode &node, int attribute) const;
    void checkTree(const ElementNodes &top, Walk &walk) const;
    void checkNodeIn(const ElementNode &node, Walk &walk) const;
    // A selector's pseudo-class or an at-rule outside the Baseline target.
    DeclarationCheck::Finding supportOfNode(const ElementNode &node,
                                            const SupportCheck::Target &target) const;
    void checkStatements(const ElementNodes &nodes, std::vector<Finding> &out) const;
    void checkHints(const ElementNodes &top, Walk &walk) const;
    // The custom properties that a value's var() calls without fallback name.
    const QStringList &unfallenVariables(QStringView value) const;

    DeclarationCheck m_check;
    SelectorCheck m_selectors;
    AtRuleCheck m_atRules{m_selectors};
    SupportCheck m_support;
    mutable std::vector<DeclarationCheck::Declaration> m_block;
    mutable std::vector<DeclarationCheck::Finding> m_findings;
    mutable std::vector<QString> m_names; // a rule's property names, for the shorthand hint
    mutable std::vector<int> m_overriddenBy;
    // unfallenVariables of the values already read: style sheets repeat them. Kept to a
    // bounded size.
    mutable TextMap<QStringList> m_unfallen;
};
