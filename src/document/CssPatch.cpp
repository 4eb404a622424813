#include "CssPatch.h"

#include "Catalogue.h"
#include "CssTokenizer.h"
#include "Document.h"
#include "DocumentEdits.h"
#include "StyleSheetReader.h"

namespace {

// A label with every run of blanks as one space and none at either end.
QString collapsed(QStringView label)
{
    QString out;
    out.reserve(label.size());
    bool blank = false;
    for (const QChar c : label) {
        if (c.isSpace()) {
            blank = !out.isEmpty();
            continue;
        }
        if (blank)
            out += QLatin1Char(' ');
        blank = false;
        out += c;
    }
    return out;
}

// The first text of `text` that is neither blank nor a comment; empty when there is none.
QString firstWords(QStringView text)
{
    Css::Tokenizer tokens(text);
    for (Css::Token token = tokens.next(); token.type != Css::TokenType::EndOfFile; token = tokens.next())
        if (token.type != Css::TokenType::Whitespace && token.type != Css::TokenType::Comment)
            return text.sliced(token.start).trimmed().left(40).toString();
    return {};
}

class Patcher
{
public:
    Patcher(Document &document, Catalogue &catalogue) : m_document(document), m_catalogue(catalogue) {}

    // Puts the piece's node (and what it holds) into `parent` (null: the sheet).
    void place(const ElementNode &piece, ElementNode *parent)
    {
        ElementNode *target = find(piece, parent);
        if (!target)
            target = make(piece, parent);
        for (const AttributeNode &attribute : piece.attributes)
            set(target, attribute);
        for (const auto &child : piece.children)
            place(*child, target);
    }

private:
    StyleSheetModel &model() { return m_document.elements(); }

    // The last node of the same kind and label in the context; in the editor's own form
    // a catalogue node counts whatever the case of its label.
    ElementNode *find(const ElementNode &piece, ElementNode *parent)
    {
        const QString label = collapsed(piece.label);
        const auto matches = [&](const ElementNode &node) {
            if (node.kind != piece.kind)
                return false;
            const QString other = collapsed(node.label);
            if (other == label)
                return true;
            return m_document.form() == DocumentForm::Editor &&
                   other.compare(label, Qt::CaseInsensitive) == 0;
        };
        if (parent) {
            for (auto i = parent->children.rbegin(); i != parent->children.rend(); ++i)
                if (matches(**i))
                    return i->get();
            return nullptr;
        }
        for (int i = model().elementCount() - 1; i >= 0; --i)
            if (matches(model().element(i)))
                return &model().element(i);
        return nullptr;
    }

    ElementNode *make(const ElementNode &piece, ElementNode *parent)
    {
        const QModelIndex context = parent ? model().nodeIndex(parent) : QModelIndex();
        const QModelIndex made =
            DocumentEdits::newRule(m_document, context, collapsed(piece.label), piece.picture, piece.kind);
        return model().nodeOf(made);
    }

    void set(ElementNode *target, const AttributeNode &attribute)
    {
        const QStringView name = attribute.name();
        for (int row = int(target->attributes.size()) - 1; row >= 0; --row) {
            const AttributeNode &old = target->attributes[size_t(row)];
            if (old.name().compare(name, Qt::CaseInsensitive) != 0)
                continue;
            if (old.value() != attribute.value())
                DocumentEdits::writeValue(m_document, model().attributeIndex(target, row),
                                          attribute.value().toString());
            return;
        }
        const QString nameText = name.toString();
        DocumentEdits::dropOnElements(m_document, model().nodeIndex(target), attribute.value().toString(),
                                      m_catalogue.findAttributeKind(nameText), nameText);
    }

    Document &m_document;
    Catalogue &m_catalogue;
};

} // namespace

bool CssPatch::apply(Document &document, Catalogue &catalogue, const QString &css, QString *error)
{
    Document piece;
    StyleSheetReader::ReadError readError;
    if (!StyleSheetReader::readText(piece, catalogue, css, {}, &readError)) {
        if (error)
            *error = readError.describe();
        return false;
    }
    // A piece without a rule, or with words after its last one that CSS ignores (a
    // selector without its block, a declaration outside any rule), sets nothing the user
    // meant: said, not passed over.
    const DocumentSource &source = piece.sheet().source();
    const QString rest = firstWords(QStringView(source.text).sliced(source.tailStart));
    if (!rest.isEmpty() || piece.elements().elementCount() == 0) {
        if (error)
            *error = rest.isEmpty()
                         ? QStringLiteral("it holds no rule (write SELECTOR { PROPERTY: VALUE })")
                         : QStringLiteral("\"%1\" is no rule (write SELECTOR { PROPERTY: VALUE })").arg(rest);
        return false;
    }
    Patcher patcher(document, catalogue);
    for (const auto &node : piece.elements().elements())
        patcher.place(*node, nullptr);
    return true;
}
