#pragma once

#include "DeclarationCheck.h"
#include "StyleSheetModel.h"

#include <QString>
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
// One check is used from one thread at a time.
class DocumentCheck
{
public:
    struct Finding
    {
        const ElementNode *node = nullptr;
        int attribute = 0; // the declaration's position in its node
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

    // Every declaration that has a finding, in tree order (each node's declarations,
    // then its child nodes).
    std::vector<Finding> checkDocument(const StyleSheetModel &model) const;
    // The finding of each declaration of a node, in order (Kind::None when fine).
    void checkNode(const ElementNode &node, DocumentForm form,
                   std::vector<DeclarationCheck::Finding> &findings) const;
    // The finding of one declaration of a node.
    DeclarationCheck::Finding checkDeclaration(const ElementNode &node, int attribute,
                                               DocumentForm form) const;

private:
    void gather(const ElementNode &node) const;
    void checkTree(const ElementNodes &nodes, DeclarationCheck::Form form, std::vector<Finding> &out) const;

    DeclarationCheck m_check;
    mutable std::vector<DeclarationCheck::Declaration> m_block;
    mutable std::vector<DeclarationCheck::Finding> m_findings;
};
