#include "StyleSheetReader.h"

#include "Catalogue.h"
#include "CssTokenizer.h"
#include "Document.h"
#include "Failure.h"
#include "Structure.h"
#include "StyleSheetWriter.h"
#include "TextFile.h"

#include <algorithm>
#include <utility>
#include <vector>

const QString StyleSheetReader::FailureMessage = QStringLiteral("Invalid or corrupt style sheet file");

QString StyleSheetReader::ReadError::describe() const
{
    if (line <= 0)
        return reason;
    return QStringLiteral("line %1, column %2: %3").arg(line).arg(column).arg(reason);
}

namespace {

using Css::Token;
using Css::TokenType;

// Text that cannot be placed ends the read; nothing of it reaches the document.
struct Malformed
{
    qsizetype position;
    QString reason;
};

// Spreads a hash over all bits, so that its low bits can pick a slot.
size_t mixed(quint64 h)
{
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    return size_t(h);
}

size_t exactHash(QStringView text)
{
    quint64 h = 0xcbf29ce484222325ULL;
    for (const QChar c : text)
        h = (h ^ c.unicode()) * 0x100000001b3ULL;
    return mixed(h);
}

// An open-addressing hash table whose entries carry their own hash. Look-ups take the
// hash and an equality test, so that keys are compared as views of the text without
// being copied out of it. A pointer to an entry holds until the next insert.
template<typename Entry> class FlatTable
{
public:
    template<typename Equal> Entry *find(size_t hash, Equal equal)
    {
        if (m_slots.empty())
            return nullptr;
        const size_t mask = m_slots.size() - 1;
        for (size_t i = hash & mask;; i = (i + 1) & mask) {
            const quint32 slot = m_slots[i];
            if (slot == 0)
                return nullptr;
            Entry &entry = m_entries[slot - 1];
            if (entry.hash == hash && equal(entry))
                return &entry;
        }
    }

    Entry &insert(Entry entry)
    {
        if ((m_entries.size() + 1) * 2 > m_slots.size()) {
            m_slots.assign(std::max<size_t>(16, m_slots.size() * 2), 0);
            for (size_t i = 0; i < m_entries.size(); ++i)
                place(i);
        }
        m_entries.push_back(std::move(entry));
        place(m_entries.size() - 1);
        return m_entries.back();
    }

private:
    void place(size_t index)
    {
        const size_t mask = m_slots.size() - 1;
        size_t i = m_entries[index].hash & mask;
        while (m_slots[i] != 0)
            i = (i + 1) & mask;
        m_slots[i] = quint32(index + 1);
    }

    std::vector<Entry> m_entries;
    std::vector<quint32> m_slots; // entry index + 1; 0 marks a free slot
};

// The catalogue and pseudo-class nodes of the document without declarations: where
// every read starts. The user's nodes are left out.
ElementNodes fixedNodes(const Document &document)
{
    const int fixed = std::min(document.fixedElementCount(), document.elements().elementCount());
    ElementNodes nodes;
    nodes.reserve(size_t(fixed));
    for (int i = 0; i < fixed; ++i) {
        const ElementNode &source = document.elements().element(i);
        auto node = std::make_unique<ElementNode>();
        node->label = source.label;
        node->picture = source.picture;
        nodes.push_back(std::move(node));
    }
    return nodes;
}

// Whether a statement is the at-rule `name` (with or without a prelude).
bool isStatementNamed(const ElementNode &node, QLatin1String name)
{
    if (node.kind != NodeKind::Statement || !node.label.startsWith(name, Qt::CaseInsensitive))
        return false;
    return node.label.size() == name.size() || !Css::isNameCharacter(node.label[name.size()]);
}

bool isLeadingStatement(const ElementNode &node)
{
    for (const char *name : {"@charset", "@import", "@namespace", "@layer"})
        if (isStatementNamed(node, QLatin1String(name)))
            return true;
    return false;
}

bool isDelim(QStringView text, const Token &token, char c)
{
    return token.type == TokenType::Delim && text[token.start] == QLatin1Char(c);
}

class Parser
{
public:
    Parser(const Document &document, Catalogue &catalogue, const StyleSheetReader::ProcessEvents &events,
           QStringView text)
        : m_document(&document), m_catalogue(&catalogue), m_events(events), m_text(text), m_tokens(text),
          m_keep(true)
    {
        m_nodes = fixedNodes(document);
        m_fixed = int(m_nodes.size());
    }

    // A check of the text: read the same way, with the same failures, but each node is
    // let go once it is read, and no selector or name is looked up in the catalogue
    // (which decides where a rule goes and how a declaration shows, never a failure of
    // the text).
    explicit Parser(QStringView text) : m_events(noEvents()), m_text(text), m_tokens(text), m_keep(false) {}

    // Reads the whole text. Blocks are read with a stack of their own, not by calls
    // within calls, so that a file nested however deep cannot exhaust the program's
    // stack; past MaxDepth open blocks the file is refused.
    void parse()
    {
        m_open.clear();
        m_open.push_back(Open{});
        for (;;) {
            if (m_open.size() > 1) {
                readBlockItem();
                continue;
            }
            Open &sheet = m_open.back();
            const Token token = m_tokens.next();
            switch (token.type) {
            case TokenType::EndOfFile:
                finishSheet();
                return;
            case TokenType::Whitespace:
            case TokenType::Cdo:
            case TokenType::Cdc:
                continue;
            case TokenType::Delim:
                // A lone backslash (before a line break) stands for nothing, as in a label:
                // what follows it starts the rule or at-rule.
                if (isDelim(m_text, token, '\\'))
                    continue;
                break;
            case TokenType::Comment:
                appendComment(sheet.pending, commentText(token));
                continue;
            case TokenType::CloseCurly:
                throw Malformed{token.start, QStringLiteral("\"}\" closes no block")};
            case TokenType::AtKeyword:
                readAtRule(token);
                continue;
            default:
                break;
            }
            processEvents();
            // A qualified rule: its prelude runs to the next "{" (a ";" is part of it).
            const Token stop = collect(token, Collect::TopLevelPrelude);
            if (stop.type == TokenType::EndOfFile) {
                // Text without "{" after the last rule is ignored (and kept as it stands).
                finishSheet();
                return;
            }
            openRule(token, stop);
        }
    }

    qsizetype tailStart() const { return m_tailStart; }
    // How many declarations read kept their name and value in the text (keepInSource).
    qsizetype declarationsInSource() const { return m_declarationsInSource; }

    ElementNodes takeNodes() { return std::move(m_nodes); }
    std::unique_ptr<QStringList> takeEndComments() { return std::move(m_endComments); }
    DocumentForm form() const
    {
        // Files the editor wrote hold name=value declarations (and may hold a colon-form
        // one it kept as written); files written by hand hold name: value.
        // A file without declarations is standard CSS: its text is kept as it stands.
        if (m_colonDeclarations > m_equalsDeclarations)
            return DocumentForm::Standard;
        return m_equalsDeclarations > 0 ? DocumentForm::Editor : DocumentForm::Standard;
    }

    // Line and column of a position; positions are asked for in increasing order.
    std::pair<int, int> place(qsizetype position)
    {
        position = std::min(position, m_text.size());
        if (position < m_linePosition) {
            m_linePosition = 0;
            m_line = 1;
            m_lineStart = 0;
        }
        // A line ends at LF, CR LF or a CR alone, as the code window shows the text.
        for (qsizetype i = m_linePosition; i < position; ++i) {
            if (m_text[i] == QLatin1Char('\n') ||
                (m_text[i] == QLatin1Char('\r') &&
                 (i + 1 == m_text.size() || m_text[i + 1] != QLatin1Char('\n')))) {
                ++m_line;
                m_lineStart = i + 1;
            }
        }
        m_linePosition = position;
        return {m_line, int(position - m_lineStart) + 1};
    }

private:
    // A token of the item being collected, with the depth of brackets it stands in.
    struct Item
    {
        Token token;
        int depth;
    };

    enum class Collect {
        TopLevelPrelude, // up to "{"; "}" closes no block
        AtPrelude,       // up to ";", "{" or "}"
        Item,            // in a block: up to ";", "}" or a "{" that opens a nested rule
    };

    void processEvents()
    {
        if (m_events)
            m_events();
    }

    // A comment's text; one left open at the end of the file is closed, so that it is
    // written back as a comment that closes.
    QString commentText(const Token &token) const
    {
        QString text = Css::tokenText(m_text, token).toString();
        if (token.numberLength == 1)
            text += QLatin1String("*/");
        return text;
    }

    std::unique_ptr<ElementNode> makeNode(NodeKind kind, QString label, qsizetype position)
    {
        auto node = std::make_unique<ElementNode>();
        node->kind = kind;
        node->label = sharedLabel(std::move(label));
        // Only a node that is kept needs its place; a check that keeps nothing would
        // pay for a walk over the whole text.
        if (m_keep) {
            const auto [line, column] = place(position);
            node->line = line;
            node->column = column;
        }
        switch (kind) {
        case NodeKind::Block:
            node->picture = BlockPicture;
            break;
        case NodeKind::AtRule:
            node->picture = AtRulePicture;
            break;
        case NodeKind::Statement:
            node->picture = StatementPicture;
            break;
        case NodeKind::Rule:
            break;
        }
        return node;
    }

    // The label itself, or the same text given to an earlier node: a large sheet repeats
    // its selectors (in each @media block, in each theme), and nodes with equal labels
    // then hold one text between them.
    QString sharedLabel(QString label)
    {
        if (!m_keep || label.isEmpty())
            return label;
        const size_t hash = exactHash(label);
        if (const LabelEntry *known =
                m_labels.find(hash, [&](const LabelEntry &entry) { return entry.label == label; }))
            return known->label;
        return m_labels.insert({hash, std::move(label)}).label;
    }

    // Collects the tokens from `first` up to the stop of `mode` into m_items, keeping
    // track of brackets: a stop counts only outside them. A "}" ends the item also
    // inside "(" and "[" (an unbalanced bracket cannot swallow the rest of the file).
    // Returns the stop token (not collected), or EndOfFile.
    Token collect(Token first, Collect mode)
    {
        m_items.clear();
        m_stack.clear();
        bool customProperty = false;
        Token token = first;
        for (;; token = m_tokens.next()) {
            const TokenType type = token.type;
            if (type == TokenType::EndOfFile) {
                m_unclosed = m_stack;
                return token;
            }
            int depth = int(m_stack.size());
            const bool inCurly = !m_stack.empty() && m_stack.back() == TokenType::CloseCurly;
            if (type == TokenType::CloseCurly && !inCurly) {
                if (mode == Collect::TopLevelPrelude)
                    throw Malformed{token.start, QStringLiteral("\"}\" closes no block")};
                // Closes the item and the block it stands in.
                m_unclosed = m_stack;
                return token;
            }
            if (depth == 0) {
                if (type == TokenType::OpenCurly) {
                    if (mode != Collect::Item || !customProperty) {
                        m_unclosed.clear();
                        return token;
                    }
                } else if (type == TokenType::Semicolon && mode != Collect::TopLevelPrelude) {
                    m_unclosed.clear();
                    return token;
                } else if (mode == Collect::Item && !customProperty &&
                           (type == TokenType::Colon || isDelim(m_text, token, '=')) &&
                           isCustomPropertyName()) {
                    // A custom property's value may hold blocks of its own.
                    customProperty = true;
                }
            }
            switch (type) {
            case TokenType::Function:
            case TokenType::OpenParen:
                m_stack.push_back(TokenType::CloseParen);
                break;
            case TokenType::OpenSquare:
                m_stack.push_back(TokenType::CloseSquare);
                break;
            case TokenType::OpenCurly:
                m_stack.push_back(TokenType::CloseCurly);
                break;
            case TokenType::CloseParen:
            case TokenType::CloseSquare:
            case TokenType::CloseCurly:
                if (!m_stack.empty() && m_stack.back() == type) {
                    m_stack.pop_back();
                    depth = int(m_stack.size());
                }
                break;
            default:
                break;
            }
            m_items.push_back({token, depth});
        }
    }

    // Whether the items so far are a custom property's name (`--x`), blanks aside.
    bool isCustomPropertyName() const
    {
        const Item *name = nullptr;
        for (const Item &item : m_items) {
            if (item.token.type == TokenType::Whitespace || item.token.type == TokenType::Comment)
                continue;
            if (name)
                return false;
            name = &item;
        }
        return name && name->token.type == TokenType::Ident &&
               Css::tokenText(m_text, name->token).startsWith(QLatin1String("--"));
    }

    // The end of the last collected item in [from, to) that is text of its own (no
    // blank, comment or lone backslash); `otherwise` when there is none.
    qsizetype significantEnd(size_t from, size_t to, qsizetype otherwise) const
    {
        for (size_t i = to; i > from; --i) {
            const TokenType type = m_items[i - 1].token.type;
            if (type != TokenType::Whitespace && type != TokenType::Comment && !leavesNothing(i - 1))
                return m_items[i - 1].token.end();
        }
        return otherwise;
    }

    qsizetype significantStart(size_t from, size_t to, qsizetype otherwise) const
    {
        for (size_t i = from; i < to; ++i) {
            const TokenType type = m_items[i].token.type;
            if (type != TokenType::Whitespace && type != TokenType::Comment && !leavesNothing(i))
                return m_items[i].token.start;
        }
        return otherwise;
    }

    // Where comments that follow `at` on the same line end (the remark on a declaration
    // after its ";" belongs to it: a new declaration goes after it, a deletion takes it);
    // `at` itself when none stands there.
    qsizetype sameLineComments(qsizetype at) const
    {
        qsizetype end = at;
        qsizetype i = at;
        for (;;) {
            while (i < m_text.size() && (m_text[i] == QLatin1Char(' ') || m_text[i] == QLatin1Char('\t')))
                ++i;
            if (i + 1 >= m_text.size() || m_text[i] != QLatin1Char('/') || m_text[i + 1] != QLatin1Char('*'))
                return end;
            const qsizetype close = m_text.indexOf(QLatin1String("*/"), i + 2);
            if (close < 0)
                return end;
            for (qsizetype j = i + 2; j < close; ++j)
                if (m_text[j] == QLatin1Char('\n') || m_text[j] == QLatin1Char('\r') ||
                    m_text[j] == QLatin1Char('\f'))
                    return end;
            i = end = close + 2;
        }
    }

    // A node's place in the source up to its "{" (`stop`), its label made of the items
    // collected from `labelStart`.
    void placeHead(ElementNode &node, qsizetype itemStart, qsizetype labelStart, const Token &stop) const
    {
        node.sourceStart = qint32(itemStart);
        node.labelStart = qint32(labelStart);
        node.labelEnd = qint32(significantEnd(0, m_items.size(), labelStart));
        node.innerStart = qint32(stop.end());
    }

    // A rule's selector: the collected items' text (a check keeps no text).
    QString selectorText(std::unique_ptr<QStringList> &comments)
    {
        return m_keep ? buildText(0, m_items.size(), comments) : QString();
    }

    // Whether buildText(from, to) gives any text: an item that is no blank, comment or
    // token that leaves nothing.
    bool holdsText(size_t from, size_t to) const
    {
        for (size_t i = from; i < to; ++i) {
            const TokenType type = m_items[i].token.type;
            if (type != TokenType::Whitespace && type != TokenType::Comment && !leavesNothing(i))
                return true;
        }
        return false;
    }

    // The text of items [from, to): every run of blanks and line breaks becomes one
    // space and none stands at either end. A comment next to a blank (or at either
    // end) is taken out into `comments`; one between two other tokens stays in place.
    // When the range runs to the end of the item, brackets left open are closed.
    QString buildText(size_t from, size_t to, std::unique_ptr<QStringList> &comments)
    {
        const bool toEnd = to == m_items.size();
        // Trim blanks, comments and what leaves nothing from both ends.
        const auto trimmed = [this](size_t i) {
            const TokenType type = m_items[i].token.type;
            return type == TokenType::Whitespace || type == TokenType::Comment || leavesNothing(i);
        };
        while (from < to && trimmed(from)) {
            if (m_items[from].token.type == TokenType::Comment)
                appendComment(comments, commentText(m_items[from].token));
            ++from;
        }
        size_t trailing = to;
        while (to > from && trimmed(to - 1))
            --to;
        QString out;
        if (from < to) {
            // Most texts need no change: one view of the source.
            bool plain = true;
            for (size_t i = from; i < to && plain; ++i) {
                const Token &token = m_items[i].token;
                if (token.type == TokenType::Comment)
                    plain = false;
                else if (token.type == TokenType::Whitespace)
                    plain = token.length == 1 && m_text[token.start] == QLatin1Char(' ');
                else
                    plain = !needsNormalising(token);
            }
            if (plain) {
                const qsizetype start = m_items[from].token.start;
                out = m_text.sliced(start, m_items[to - 1].token.end() - start).toString();
            } else {
                out.reserve(m_items[to - 1].token.end() - m_items[from].token.start);
                // A blank is written only between two pieces of text, so that a token
                // that leaves nothing (a lone backslash) leaves no blank either.
                bool blank = false;
                QString piece;
                for (size_t i = from; i < to; ++i) {
                    const Token &token = m_items[i].token;
                    if (token.type == TokenType::Whitespace) {
                        blank = true;
                        continue;
                    }
                    piece.clear();
                    if (token.type == TokenType::Comment) {
                        if (besideBlank(i, from, to))
                            appendComment(comments, commentText(token));
                        else
                            piece = Css::tokenText(m_text, token).toString();
                    } else {
                        appendToken(piece, token);
                    }
                    if (piece.isEmpty())
                        continue;
                    if (blank && !out.isEmpty())
                        out += QLatin1Char(' ');
                    blank = false;
                    out += piece;
                }
                // A hex escape at the end keeps no blank after it (the writer adds one
                // where the next character would continue the escape); an escaped
                // blank (`\ `) stays.
                if (out.endsWith(QLatin1Char(' ')) && Css::endsInHexEscape(QStringView(out).chopped(1)))
                    out.chop(1);
            }
        }
        takeComments(to, trailing, comments);
        if (toEnd)
            closeBrackets(out);
        return out;
    }

    // Whether item i leaves nothing in a label: a lone backslash (before a line break).
    bool leavesNothing(size_t i) const { return isDelim(m_text, m_items[i].token, '\\'); }

    // Whether the comment at item i stands next to a blank or at an end of items
    // [from, to), past other comments and what leaves nothing: taken out of a label
    // there (with the comments beside it), it reads back the same from the label
    // without it.
    bool besideBlank(size_t i, size_t from, size_t to) const
    {
        const auto passed = [this](size_t j) {
            return m_items[j].token.type == TokenType::Comment || leavesNothing(j);
        };
        size_t before = i;
        while (before > from && passed(before - 1))
            --before;
        size_t after = i + 1;
        while (after < to && passed(after))
            ++after;
        return before == from || after >= to || m_items[before - 1].token.type == TokenType::Whitespace ||
               m_items[after].token.type == TokenType::Whitespace;
    }

    // Brackets the item left open are closed, so that the text written back is read
    // the same way (an open bracket would take in what the writer puts after it).
    void closeBrackets(QString &out) const
    {
        for (auto i = m_unclosed.rbegin(); i != m_unclosed.rend(); ++i)
            out += *i == TokenType::CloseParen    ? QLatin1Char(')')
                   : *i == TokenType::CloseSquare ? QLatin1Char(']')
                                                  : QLatin1Char('}');
    }

    void takeComments(size_t from, size_t to, std::unique_ptr<QStringList> &comments)
    {
        for (size_t i = from; i < to; ++i)
            if (m_items[i].token.type == TokenType::Comment)
                appendComment(comments, commentText(m_items[i].token));
    }

    // The source text of items [from, to) with comments next to blanks taken out and
    // nothing else changed (a declaration in the editor's own form keeps its text as
    // written).
    QString rawText(size_t from, size_t to, std::unique_ptr<QStringList> &comments)
    {
        QString out;
        for (size_t i = from; i < to; ++i) {
            const Token &token = m_items[i].token;
            if (token.type != TokenType::Comment) {
                appendToken(out, token);
                continue;
            }
            if (besideBlank(i, from, to))
                appendComment(comments, commentText(token));
            else
                out += Css::tokenText(m_text, token);
        }
        if (to == m_items.size())
            closeBrackets(out);
        return out;
    }

    bool needsNormalising(const Token &token) const
    {
        switch (token.type) {
        case TokenType::BadString:
        case TokenType::BadUrl:
            return true;
        case TokenType::String:
        case TokenType::Url:
            if (token.numberLength == 1)
                return true;
            break;
        default:
            break;
        }
        for (const QChar c : Css::tokenText(m_text, token))
            if (c == QLatin1Char('\\') || Css::isWhitespace(c))
                return true;
        return false;
    }

    // A token as a single-line label holds it, read back the same way: a string cut by
    // a line break is closed where the line ends, and one left open at the end of the
    // file where the file ends (written on one line it would run on into what follows);
    // an escaped line break inside a string goes (it stands for nothing); a url() is
    // closed (a lone backslash at its end dropped); the line break that ends an escape becomes a space; a
    // lone backslash (an escape of nothing, before a line break or the end) goes.
    void appendToken(QString &out, const Token &token) const
    {
        const QStringView text = Css::tokenText(m_text, token);
        switch (token.type) {
        case TokenType::String:
        case TokenType::BadString: {
            QString value;
            value.reserve(text.size() + 1);
            for (qsizetype i = 0; i < text.size(); ++i) {
                if (text[i] == QLatin1Char('\\') && i + 1 < text.size() && isLineBreak(text[i + 1])) {
                    ++i;
                    if (text[i] == QLatin1Char('\r') && i + 1 < text.size() &&
                        text[i + 1] == QLatin1Char('\n'))
                        ++i;
                    continue;
                }
                value += text[i];
                if (text[i] != QLatin1Char('\\') || i + 1 >= text.size())
                    continue;
                if (!isHex(text[i + 1])) {
                    value += text[++i];
                    continue;
                }
                // A hex escape, and the blank that ends it as one space.
                for (int digits = 0; digits < 6 && i + 1 < text.size() && isHex(text[i + 1]); ++digits)
                    value += text[++i];
                if (i + 1 < text.size() && Css::isWhitespace(text[i + 1])) {
                    ++i;
                    if (text[i] == QLatin1Char('\r') && i + 1 < text.size() &&
                        text[i + 1] == QLatin1Char('\n'))
                        ++i;
                    value += QLatin1Char(' ');
                } else if (i + 2 < text.size() && text[i + 1] == QLatin1Char('\\') &&
                           isLineBreak(text[i + 2])) {
                    // The escaped line break after it goes: a blank ends the escape in its
                    // place, or a blank or hex digit after the line break would go on with it.
                    value += QLatin1Char(' ');
                }
            }
            if (token.type == TokenType::BadString || token.numberLength == 1) {
                if (value.endsWith(QLatin1Char('\\')) && !isEscaped(value, value.size() - 1))
                    value.chop(1);
                value += text[0];
            }
            out += value;
            return;
        }
        case TokenType::Url:
        case TokenType::BadUrl: {
            bool blank = false;
            for (const QChar c : text) {
                if (Css::isWhitespace(c)) {
                    blank = true;
                    continue;
                }
                if (blank)
                    out += QLatin1Char(' ');
                blank = false;
                out += c;
            }
            const bool closed = out.endsWith(QLatin1Char(')')) && !isEscaped(out, out.size() - 1) &&
                                !(token.type == TokenType::Url && token.numberLength == 1);
            if (!closed) {
                // A backslash where the file ends escapes nothing; left there it would
                // escape the ")" that closes the url().
                if (out.endsWith(QLatin1Char('\\')) && !isEscaped(out, out.size() - 1))
                    out.chop(1);
                out += QLatin1Char(')');
            }
            return;
        }
        case TokenType::Delim:
            if (text[0] == QLatin1Char('\\'))
                return;
            break;
        default:
            break;
        }
        if (std::none_of(text.begin(), text.end(), isLineBreak)) {
            out += text;
            return;
        }
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (isLineBreak(text[i])) {
                if (text[i] == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                    ++i;
                out += QLatin1Char(' ');
            } else {
                out += text[i];
            }
        }
    }

    // A text quoted in a reason, on one line: each line break (CR LF, CR, LF or FF, as a
    // comment in it may hold) becomes a space, so that the reason reads the same whatever
    // line breaks the file has (the code window's check sees LF alone).
    static QString oneLine(QString text)
    {
        text.replace(QLatin1String("\r\n"), QLatin1String(" "));
        for (QChar &c : text)
            if (isLineBreak(c))
                c = QLatin1Char(' ');
        return text;
    }

    // Whether the character at `at` is escaped by the backslashes before it.
    static bool isEscaped(QStringView text, qsizetype at)
    {
        qsizetype backslashes = 0;
        for (qsizetype i = at - 1; i >= 0 && text[i] == QLatin1Char('\\'); --i)
            ++backslashes;
        return backslashes % 2 == 1;
    }

    static bool isHex(QChar c)
    {
        const char16_t u = c.unicode();
        return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
    }

    static bool isLineBreak(QChar c)
    {
        return c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\f');
    }

    // An at-rule in the innermost open block (or the sheet): its prelude, then ";" (a
    // statement, placed at once) or a block, which is opened. The comments before it and
    // those in its prelude stand before the node.
    void readAtRule(const Token &atKeyword)
    {
        processEvents();
        const bool inBlock = m_open.size() > 1;
        std::unique_ptr<QStringList> comments = std::move(m_open.back().pending);
        const qsizetype itemStart = m_open.back().itemStart;
        ++m_atRules;
        const QStringView name = Css::tokenText(m_text, atKeyword);
        const Token stop = collect(m_tokens.next(), Collect::AtPrelude);
        QString prelude = buildText(0, m_items.size(), comments);
        // A name that ends in a hex escape keeps a blank to end it, or the blank before
        // the prelude (or the one the writer puts before "{") would. The line break that
        // ends an escape inside the name becomes a space, as in any label.
        QString label;
        appendToken(label, atKeyword);
        if (Css::endsInHexEscape(label))
            label += QLatin1Char(' ');
        if (!prelude.isEmpty())
            label += QLatin1Char(' ') + prelude;
        const qsizetype labelEnd = significantEnd(0, m_items.size(), atKeyword.end());
        if (stop.type != TokenType::OpenCurly) {
            if (stop.type == TokenType::CloseCurly) {
                if (!inBlock)
                    throw Malformed{stop.start, QStringLiteral("\"}\" closes no block")};
                m_tokens.setPosition(stop.start); // it closes the block the statement stands in
            }
            auto node = makeNode(NodeKind::Statement, std::move(label), atKeyword.start);
            node->comments = std::move(comments);
            node->sourceStart = qint32(itemStart);
            node->labelStart = qint32(atKeyword.start);
            node->labelEnd = qint32(labelEnd);
            node->sourceEnd = qint32(stop.type == TokenType::Semicolon ? stop.end() : labelEnd);
            node->innerStart = node->tailStart = node->innerEnd = node->sourceEnd;
            place(std::move(node));
            return;
        }
        const NodeKind kind = Structure::isRuleBlockName(name)          ? NodeKind::Block
                              : Structure::isDeclarationBlockName(name) ? NodeKind::AtRule
                                                                        : NodeKind::Block;
        auto node = makeNode(kind, std::move(label), atKeyword.start);
        node->comments = std::move(comments);
        node->sourceStart = qint32(itemStart);
        node->labelStart = qint32(atKeyword.start);
        node->labelEnd = qint32(labelEnd);
        node->innerStart = qint32(stop.end());
        // An unknown at-rule is placed by what its block holds.
        openBlock(std::move(node), stop,
                  !Structure::isRuleBlockName(name) && !Structure::isDeclarationBlockName(name));
    }

    static void addEndComments(ElementNode &node, std::unique_ptr<QStringList> comments)
    {
        if (!comments)
            return;
        for (QString &comment : *comments)
            appendComment(node.endComments, std::move(comment));
    }

    // A rule whose prelude was collected up to its "{" (`stop`): opened, in the innermost
    // open block or the sheet.
    void openRule(const Token &first, const Token &stop)
    {
        Open &outer = m_open.back();
        auto node = makeNode(NodeKind::Rule, selectorText(outer.pending), first.start);
        node->comments = std::move(outer.pending);
        placeHead(*node, outer.itemStart, first.start, stop);
        openBlock(std::move(node), stop, false);
    }

    // Makes `node`, whose "{" is `brace`, the innermost open block; refused past MaxDepth.
    void openBlock(std::unique_ptr<ElementNode> node, const Token &brace, bool placedByContent)
    {
        if (m_open.size() > size_t(StyleSheetReader::MaxDepth))
            throw Malformed{brace.start,
                            QStringLiteral("blocks nested deeper than %1").arg(StyleSheetReader::MaxDepth)};
        Open open;
        open.itemStart = node->innerStart;
        open.declarationsStart = m_declarations.size();
        open.node = std::move(node);
        open.placedByContent = placedByContent;
        m_open.push_back(std::move(open));
    }

    // Places a node read whole in the innermost open block, or the sheet.
    void place(std::unique_ptr<ElementNode> node)
    {
        Open &outer = m_open.back();
        outer.itemStart = node->sourceEnd;
        if (!outer.node) {
            if (m_keep)
                m_topLevel.push_back(std::move(node));
            return;
        }
        addChild(*outer.node, std::move(node));
    }

    // The innermost open block ends at its "}", or where the text ends; it is placed in
    // the block around it.
    void closeBlock(const Token &token)
    {
        Open open = std::move(m_open.back());
        m_open.pop_back();
        ElementNode &node = *open.node;
        // Its declarations, gathered apart while it was read, go in at their number.
        const auto first = m_declarations.begin() + std::ptrdiff_t(open.declarationsStart);
        node.attributes.reserve(size_t(m_declarations.end() - first));
        node.attributes.insert(node.attributes.end(), std::make_move_iterator(first),
                               std::make_move_iterator(m_declarations.end()));
        m_declarations.erase(first, m_declarations.end());
        addEndComments(node, std::move(open.pending));
        node.tailStart = qint32(open.itemStart);
        node.innerEnd = qint32(token.start);
        node.sourceEnd = qint32(token.end());
        if (open.placedByContent && !node.attributes.empty()) {
            node.kind = NodeKind::AtRule;
            node.picture = AtRulePicture;
        }
        place(std::move(open.node));
    }

    // The end of the text, outside every block.
    void finishSheet()
    {
        m_endComments = std::move(m_open.back().pending);
        m_tailStart = m_open.back().itemStart;
        m_open.clear();
        arrange();
    }

    // The next item of the innermost open block: a declaration, a nested rule or
    // at-rule, or its end.
    void readBlockItem()
    {
        Open &open = m_open.back();
        const Token token = m_tokens.next();
        switch (token.type) {
        case TokenType::EndOfFile:
        case TokenType::CloseCurly:
            closeBlock(token);
            return;
        case TokenType::Whitespace:
        case TokenType::Semicolon:
            return;
        case TokenType::Delim:
            if (isDelim(m_text, token, '\\'))
                return; // stands for nothing, as at the top level
            break;
        case TokenType::Comment:
            appendComment(open.pending, commentText(token));
            return;
        case TokenType::AtKeyword:
            readAtRule(token);
            return;
        default:
            break;
        }
        processEvents();
        const Token stop = collect(token, Collect::Item);
        if (stop.type == TokenType::OpenCurly) {
            openRule(token, stop);
            return;
        }
        addDeclaration(open.pending, token.start, open.itemStart, stop);
        if (stop.type == TokenType::CloseCurly || stop.type == TokenType::EndOfFile)
            closeBlock(stop);
    }

    void addChild(ElementNode &parent, std::unique_ptr<ElementNode> child) const
    {
        if (!m_keep)
            return;
        child->parent = &parent;
        child->row = int(parent.children.size());
        parent.children.push_back(std::move(child));
    }

    // The collected items as one declaration of the innermost open block. Name and value part at the first
    // ":" or "=" outside brackets: name: value is standard CSS (blanks collapsed), while
    // name=value, the editor's own form, keeps its text as written.
    void addDeclaration(std::unique_ptr<QStringList> &pending, qsizetype position, qsizetype &itemStart,
                        const Token &stop)
    {
        size_t separator = m_items.size();
        for (size_t i = 0; i < m_items.size(); ++i) {
            const Item &item = m_items[i];
            if (item.depth == 0 &&
                (item.token.type == TokenType::Colon || isDelim(m_text, item.token, '='))) {
                separator = i;
                break;
            }
        }
        AttributeNode attribute;
        if (separator == m_items.size()) {
            const QString name = buildText(0, m_items.size(), pending);
            if (name.isEmpty())
                return;
            attribute = AttributeNode::nameOnly(name);
        } else if (m_items[separator].token.type == TokenType::Colon) {
            ++m_colonDeclarations;
            // Only checking: a name and a value that each hold text are all there is to
            // know, without making their texts.
            if (!m_keep && holdsText(0, separator) && holdsText(separator + 1, m_items.size()))
                return;
            const QString name = buildText(0, separator, pending);
            const QString value = buildText(separator + 1, m_items.size(), pending);
            if (name.isEmpty())
                throw Malformed{position, QStringLiteral("the declaration \"%1\" has no name")
                                              .arg(oneLine(QStringLiteral(":") + value))};
            if (value.isEmpty() && !name.startsWith(QLatin1String("--")))
                throw Malformed{position,
                                QStringLiteral("the declaration \"%1:\" has no value").arg(oneLine(name))};
            attribute = AttributeNode(name, value);
        } else {
            // The editor's own form: the text as written, trimmed at both ends only.
            ++m_equalsDeclarations;
            if (!m_keep)
                return;
            const QString name = rawText(0, separator, pending);
            const QString value = rawText(separator + 1, m_items.size(), pending);
            attribute = AttributeNode(trimmedBlanks(name, true, false), trimmedBlanks(value, false, true));
            attribute.picture = EqualsMark;
        }
        if (!m_keep)
            return;
        attribute.picture |= kindOf(attribute.name());
        const auto [line, column] = place(position);
        attribute.line = line;
        attribute.column = column;
        attribute.comments = std::move(pending);
        const qsizetype end = significantEnd(0, m_items.size(), position);
        attribute.sourceStart = qint32(itemStart);
        attribute.nameStart = qint32(position);
        if (separator == m_items.size()) {
            attribute.valueStart = attribute.valueEnd = qint32(end);
        } else {
            const qsizetype afterSeparator = m_items[separator].token.end();
            attribute.valueStart = qint32(significantStart(separator + 1, m_items.size(), afterSeparator));
            attribute.valueEnd = qint32(significantEnd(separator + 1, m_items.size(), afterSeparator));
        }
        // A name and value that read as written stay in the source, not in a copy.
        if (m_keep && attribute.hasValue() && position + attribute.name().size() <= m_text.size() &&
            attribute.name() == m_text.sliced(position, attribute.name().size()) &&
            attribute.value() ==
                m_text.sliced(attribute.valueStart, attribute.valueEnd - attribute.valueStart)) {
            attribute.keepInSource(m_text.data());
            ++m_declarationsInSource;
        }
        attribute.semicolon = stop.type == TokenType::Semicolon;
        attribute.sourceEnd = qint32(attribute.semicolon ? sameLineComments(stop.end()) : end);
        itemStart = attribute.sourceEnd;
        m_declarations.push_back(std::move(attribute));
    }

public:
    // In a document read as standard CSS, a declaration written name=value becomes
    // name: value (its name and value trimmed), or a name without value when either
    // part is empty, so that what Save writes is read back the same.
    void settleEqualsDeclarations() { settle(m_nodes, form() == DocumentForm::Standard); }

private:
    // Marks a declaration read in the name=value form while the form is undecided (a
    // bit above every value kind).
    static constexpr qint16 EqualsMark = 1 << 14;

    void settle(ElementNodes &top, bool standard)
    {
        forEachNode(top, [&](ElementNode &node) {
            settleNode(node, standard);
            return true;
        });
    }

    void settleNode(ElementNode &node, bool standard)
    {
        for (AttributeNode &attribute : node.attributes) {
            if (!(attribute.picture & EqualsMark))
                continue;
            attribute.picture &= ~EqualsMark;
            if (!standard)
                continue;
            const QString name = collapsedBlanks(attribute.name());
            const QString value = collapsedBlanks(attribute.value());
            AttributeNode settled = name.isEmpty() || value.isEmpty()
                                        ? AttributeNode::nameOnly(attribute.label(DocumentForm::Editor))
                                        : AttributeNode(name, value);
            settled.picture = kindOf(settled.hasValue() ? settled.name() : QStringView());
            // It keeps its place in the text: unedited, it is written as it stands there.
            settled.takePlaceOf(attribute, SourceEdit::None);
            settled.comments = std::move(attribute.comments);
            attribute = std::move(settled);
        }
    }

    // A text as the name: value form reads it: every run of blanks and line breaks
    // between tokens becomes one space, and none stands at either end.
    static QString collapsedBlanks(QStringView text)
    {
        QString out;
        out.reserve(text.size());
        Css::Tokenizer tokens(text);
        bool blank = false;
        for (Token token = tokens.next(); token.type != TokenType::EndOfFile; token = tokens.next()) {
            if (token.type == TokenType::Whitespace) {
                blank = !out.isEmpty();
                continue;
            }
            if (blank)
                out += QLatin1Char(' ');
            blank = false;
            out += Css::tokenText(text, token);
        }
        return out;
    }

    // A text without blanks and line breaks at its start and/or end (other control
    // characters are text of their own, kept as the name: value form keeps them); an
    // escaped blank (`\ `) at the end is part of the text and stays.
    static QStringView trimmedBlanks(QStringView text, bool start, bool end)
    {
        while (start && !text.isEmpty() && Css::isWhitespace(text.front()))
            text = text.sliced(1);
        while (end && !text.isEmpty() && Css::isWhitespace(text.back()) && !isEscaped(text, text.size() - 1))
            text.chop(1);
        return text;
    }

    int kindOf(QStringView name)
    {
        const size_t hash = exactHash(name);
        if (const KindEntry *known =
                m_kinds.find(hash, [&](const KindEntry &entry) { return entry.name == name; }))
            return known->kind;
        const QString text = name.toString();
        return m_kinds.insert({hash, text, m_catalogue->findAttributeKind(text)}).kind;
    }

    // Places the top-level nodes read. In standard CSS every one stands after the fixed
    // nodes in file order, as written. In the editor's own form rules for the catalogue's
    // selectors go into their nodes, and the statements that count only before every
    // rule stand first.
    void arrange()
    {
        if (form() == DocumentForm::Standard) {
            // A rule for a catalogue selector shows that selector's picture.
            for (auto &node : m_topLevel) {
                if (node->kind == NodeKind::Rule)
                    if (const int fixed = fixedPositionOf(node->label); fixed >= 0)
                        node->picture = m_nodes[size_t(fixed)]->picture;
                addTopLevel(std::move(node));
            }
        } else {
            for (auto &node : m_topLevel) {
                if (isLeadingStatement(*node))
                    m_leading.push_back(std::move(node));
                else if (node->kind == NodeKind::Rule)
                    addTopLevelRule(std::move(node));
                else
                    addTopLevel(std::move(node));
            }
            placeLeadingStatements();
            // The catalogue's nodes took the declarations of every rule for them; they
            // keep no room for more.
            for (int i = 0; i < m_fixed; ++i)
                m_nodes[size_t(i)]->attributes.shrink_to_fit();
        }
        m_topLevel.clear();
    }

    // @charset, @import, @namespace and @layer statements count only before every rule:
    // they stand first among the user's nodes, where Save writes them, @charset first.
    void placeLeadingStatements()
    {
        if (m_leading.empty())
            return;
        std::stable_partition(m_leading.begin(), m_leading.end(), [](const auto &node) {
            return isStatementNamed(*node, QLatin1String("@charset"));
        });
        m_nodes.insert(m_nodes.begin() + m_fixed, std::make_move_iterator(m_leading.begin()),
                       std::make_move_iterator(m_leading.end()));
        m_leading.clear();
        for (size_t i = size_t(m_fixed); i < m_nodes.size(); ++i)
            m_nodes[i]->row = int(i);
    }

    void addTopLevel(std::unique_ptr<ElementNode> node)
    {
        node->parent = nullptr;
        node->row = int(m_nodes.size());
        m_nodes.push_back(std::move(node));
    }

    // A top-level rule whose selector names a catalogue or pseudo-class node gives that
    // node its declarations; any other stands after the fixed nodes in file order.
    void addTopLevelRule(std::unique_ptr<ElementNode> node)
    {
        if (!m_keep)
            return;
        const int fixed = fixedPositionOf(node->label);
        if (fixed < 0) {
            addTopLevel(std::move(node));
            return;
        }
        ElementNode &target = *m_nodes[size_t(fixed)];
        if (node->comments) {
            if (target.attributes.empty() && !target.comments)
                target.comments = std::move(node->comments);
            else if (!node->attributes.empty()) {
                // Placed before the first declaration it came with.
                auto &first = node->attributes.front().comments;
                if (first)
                    node->comments->append(*first);
                first = std::move(node->comments);
            } else {
                addEndComments(target, std::move(node->comments));
            }
        }
        if (target.attributes.empty()) {
            target.line = node->line;
            target.column = node->column;
        }
        for (AttributeNode &attribute : node->attributes)
            target.attributes.push_back(std::move(attribute));
        for (auto &child : node->children)
            addChild(target, std::move(child));
        addEndComments(target, std::move(node->endComments));
    }

    // The catalogue or pseudo-class node a selector names, or -1 for none. A catalogue
    // row of that name (ignoring case) counts when exactly one matches; the first rows
    // of the catalogue are no selectors and have no node, so such a selector names none.
    // A selector is looked up once; later rules with the same selector reuse the answer.
    int fixedPositionOf(const QString &selector)
    {
        const size_t hash = exactHash(selector);
        if (const SelectorEntry *known = m_selectors.find(
                hash, [&](const SelectorEntry &entry) { return entry.selector == selector; }))
            return known->position;
        return m_selectors.insert({hash, selector, lookUpFixed(selector)}).position;
    }

    int lookUpFixed(const QString &selector)
    {
        // A document without the catalogue's nodes (a piece of CSS read on its own) keeps
        // every rule as its own.
        if (m_fixed == 0)
            return -1;
        const Catalogue::ElementMatch match = m_catalogue->findElementRow(selector);
        if (match.count == 1) {
            const int position = m_document->positionOfRow(match.row);
            if (position >= m_fixed)
                throw Malformed{-1, QStringLiteral("the catalogue has no node for %1").arg(selector)};
            if (position >= 0)
                return position;
        } else if (m_document->hasPseudoClassNodes()) {
            for (int i = 0; i < int(Document::PseudoClassLabels.size()); ++i)
                if (selector.compare(Document::PseudoClassLabels.at(i), Qt::CaseInsensitive) == 0)
                    return m_document->pseudoClassPosition() + i;
        }
        return -1;
    }

    struct SelectorEntry
    {
        size_t hash;
        QString selector;
        int position; // the fixed node it names, or -1
    };
    struct LabelEntry
    {
        size_t hash;
        QString label;
    };
    struct KindEntry
    {
        size_t hash;
        QString name;
        int kind;
    };

    static const StyleSheetReader::ProcessEvents &noEvents()
    {
        static const StyleSheetReader::ProcessEvents none;
        return none;
    }

    const Document *m_document = nullptr; // none in a check
    Catalogue *m_catalogue = nullptr;
    const StyleSheetReader::ProcessEvents &m_events;
    QStringView m_text;
    Css::Tokenizer m_tokens;
    ElementNodes m_nodes;
    // A block being read: its node (none for the sheet itself), the comments waiting for
    // its next item, and where that item's span begins (the end of the one before).
    struct Open
    {
        std::unique_ptr<ElementNode> node;
        std::unique_ptr<QStringList> pending;
        qsizetype itemStart = 0;
        bool placedByContent = false; // an unknown at-rule, made one with declarations when it holds some
        size_t declarationsStart = 0; // its first declaration in m_declarations
    };
    std::vector<Open> m_open; // the sheet, then the blocks open in it, innermost last
    // The declarations of the open blocks, innermost last: a block's go into its node,
    // in a vector of their exact number, when it closes.
    std::vector<AttributeNode> m_declarations;
    ElementNodes m_topLevel; // the top-level nodes in file order, placed when the text is read
    ElementNodes m_leading;  // leading statements, placed when the text is read
    qsizetype m_tailStart = 0;
    std::unique_ptr<QStringList> m_endComments;
    int m_fixed = 0;
    std::vector<Item> m_items;
    std::vector<TokenType> m_stack;
    std::vector<TokenType> m_unclosed; // the closers an item's open brackets lacked
    FlatTable<SelectorEntry> m_selectors;
    FlatTable<KindEntry> m_kinds;
    FlatTable<LabelEntry> m_labels; // the labels of the nodes read so far
    const bool m_keep;
    qsizetype m_declarationsInSource = 0; // declarations that read name and value from the text
    qsizetype m_colonDeclarations = 0;
    qsizetype m_equalsDeclarations = 0;
    qsizetype m_atRules = 0;
    qsizetype m_linePosition = 0;
    qsizetype m_lineStart = 0;
    int m_line = 1;
};

// Runs the parser; on a failure fills `error` (when given) and returns false.
bool parse(Parser &parser, StyleSheetReader::ReadError *error)
{
    try {
        parser.parse();
    } catch (const Malformed &malformed) {
        if (error) {
            *error = StyleSheetReader::ReadError{};
            if (malformed.position >= 0) {
                const auto [line, column] = parser.place(malformed.position);
                error->line = line;
                error->column = column;
            }
            error->reason = malformed.reason;
        }
        return false;
    } catch (const StyleSheetReader::Cancelled &) {
        if (error) {
            *error = StyleSheetReader::ReadError{};
            error->reason = QStringLiteral("cancelled");
            error->cancelled = true;
        }
        return false;
    } catch (const Failure &failure) {
        // A failed catalogue look-up: the catalogue has said why.
        if (error) {
            *error = StyleSheetReader::ReadError{};
            error->reason = failure.message();
            error->catalogue = true;
        }
        return false;
    }
    return true;
}

} // namespace

bool StyleSheetReader::readContent(Document &document, Catalogue &catalogue, const QString &text,
                                   StyleSheet::Content &content, const ProcessEvents &processEvents,
                                   ReadError *error)
{
    Parser parser(document, catalogue, processEvents, text);
    if (!parse(parser, error))
        return false;
    parser.settleEqualsDeclarations();
    // A standard-CSS text is kept whole: Save copies what is not edited through. Of the
    // editor's own form only the line break is kept, for the text a change of form makes.
    content.form = parser.form();
    content.source = {};
    content.source.form = parser.form();
    content.source.lineBreak = DocumentSource::lineBreakOf(text);
    if (content.source.isStandard()) {
        content.source.text = text;
        content.source.tailStart = qint32(parser.tailStart());
    }
    content.elements = parser.takeNodes();
    content.endComments = parser.takeEndComments();
    // In the editor's own form the declarations read as written go on reading from the
    // text: one copy of it rather than a text of their own each.
    if (!content.source.isStandard() && parser.declarationsInSource() > 0)
        content.source.declarationText = text;
    return true;
}

bool StyleSheetReader::readText(Document &document, Catalogue &catalogue, const QString &text,
                                const ProcessEvents &processEvents, ReadError *error)
{
    StyleSheet::Content content;
    if (!readContent(document, catalogue, text, content, processEvents, error))
        return false;
    document.sheet().exchangeContent(std::move(content));
    return true;
}

bool StyleSheetReader::convertForm(Document &document, Catalogue &catalogue, DocumentForm form,
                                   ReadError *error)
{
    const DocumentForm was = document.form();
    document.setForm(form);
    const QString text = StyleSheetWriter::styleSheetText(document);
    document.setForm(was);
    if (!readText(document, catalogue, text, {}, error))
        return false;
    // A text without declarations reads as standard CSS; it stands in the form asked for.
    document.setForm(form);
    return true;
}

bool StyleSheetReader::checkText(QStringView text, ReadError *error)
{
    Parser parser(text);
    return parse(parser, error);
}

bool StyleSheetReader::checkText(QStringView text, ReadError *error, DocumentForm &form)
{
    Parser parser(text);
    if (!parse(parser, error))
        return false;
    form = parser.form();
    return true;
}

bool StyleSheetReader::readStyleSheet(Document &document, Catalogue &catalogue, const QString &path,
                                      const ProcessEvents &processEvents, ReadError *error)
{
    return readStyleSheet(document, catalogue, path, TextFile::LoadOptions(), processEvents, error);
}

bool StyleSheetReader::readStyleSheet(Document &document, Catalogue &catalogue, const QString &path,
                                      const TextFile::LoadOptions &options,
                                      const ProcessEvents &processEvents, ReadError *error)
{
    TextFile::Loaded loaded;
    try {
        TextFile::LoadOptions keepingLineBreaks = options;
        keepingLineBreaks.lineBreaks = TextFile::LineBreaks::Keep;
        loaded = TextFile::load(path, keepingLineBreaks);
    } catch (const Failure &failure) {
        if (error) {
            *error = ReadError{};
            error->reason = failure.message();
        }
        return false;
    }
    if (!readText(document, catalogue, loaded.text, processEvents, error))
        return false;
    document.setCurrentFileName(path);
    document.setEncoding(loaded.encoding, loaded.byteOrderMark);
    return true;
}
