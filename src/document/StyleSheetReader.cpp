#include "StyleSheetReader.h"

#include "Catalogue.h"
#include "Document.h"
#include "Failure.h"
#include "TextFile.h"

#include <QSet>
#include <utility>
#include <vector>

const QString StyleSheetReader::FailureMessage = QStringLiteral("Invalid or corrupt style sheet file");

namespace {

// Any malformed text ends the read; nothing of it reaches the document.
struct Malformed
{
};

bool isBlank(QChar c)
{
    return c.unicode() <= 32;
}

bool isLineBreak(QChar c)
{
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

QStringView trimmedView(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

// Quoted text: a double or single quote opens it unless it follows a letter or digit
// (an apostrophe inside a word, as in don't, opens nothing), and it runs to the next
// quote of the same kind on the same line. Inside it ";", "{", "}" and "/*" are plain
// characters. A quote without a partner on its line is a plain character itself, so
// that a stray quote cannot swallow the rest of the file. (When a quote finds no
// partner, no later quote of its kind on that line can either: each line is searched
// at most twice in vain, and the scan stays linear.)
bool opensQuote(QChar c, QChar before)
{
    return (c == QLatin1Char('"') || c == QLatin1Char('\'')) && !before.isLetterOrNumber();
}

// The position just after the quoted text whose opening quote stands at `i`, or -1
// when the quote has no partner on its line.
qsizetype quotedEnd(const QChar *s, qsizetype n, qsizetype i)
{
    const QChar quote = s[i];
    for (++i; i < n; ++i) {
        if (s[i] == quote)
            return i + 1;
        if (isLineBreak(s[i]))
            return -1;
    }
    return -1;
}

// The position after the character at `i`, or after the quoted text that begins there.
qsizetype step(const QChar *s, qsizetype n, qsizetype i, QChar before)
{
    if (opensQuote(s[i], before))
        if (const qsizetype end = quotedEnd(s, n, i); end > 0)
            return end;
    return i + 1;
}

// The text without its comments: from "/*" to the next "*/", or to the end of the text
// when unclosed. Quoted text is kept whole, comment marks and all.
QString withoutComments(const QString &text)
{
    if (!text.contains(QLatin1String("/*")))
        return text;
    const QChar *s = text.constData();
    const qsizetype n = text.size();
    QString out;
    out.reserve(n);
    qsizetype i = 0;
    while (i < n) {
        if (s[i] == QLatin1Char('/') && i + 1 < n && s[i + 1] == QLatin1Char('*')) {
            const qsizetype close = text.indexOf(QLatin1String("*/"), i + 2);
            i = close < 0 ? n : close + 2;
        } else {
            const qsizetype end = step(s, n, i, out.isEmpty() ? QChar() : out.back());
            out.append(s + i, end - i);
            i = end;
        }
    }
    return out;
}

class Reader
{
public:
    Reader(const Document &document, Catalogue &catalogue, const StyleSheetReader::ProcessEvents &events)
        : m_document(document), m_catalogue(catalogue), m_events(events)
    {
        // The new content starts as the catalogue and pseudo-class nodes without
        // declarations; the user's element nodes are dropped.
        const int fixed = std::min(document.fixedElementCount(), document.elements().elementCount());
        m_nodes.reserve(size_t(fixed));
        for (int i = 0; i < fixed; ++i) {
            const ElementNode &source = document.elements().element(i);
            auto node = std::make_unique<ElementNode>();
            node->label = source.label;
            node->picture = source.picture;
            m_nodes.push_back(std::move(node));
        }
        m_fixed = fixed;
    }

    // Scans the whole text; throws Malformed.
    void read(const QString &source)
    {
        const QString text = withoutComments(source);
        const QChar *s = text.constData();
        const qsizetype n = text.size();
        std::vector<std::pair<qsizetype, qsizetype>> declarations;
        qsizetype pos = 0;
        while (pos < n) {
            processEvents();
            // The head of the rule runs up to the next "{".
            qsizetype open = pos;
            while (open < n && s[open] != QLatin1Char('{'))
                open = step(s, n, open, open > 0 ? s[open - 1] : QChar());
            if (open >= n)
                return; // text without "{" after the last rule is ignored
            ElementNode &element = elementFor(trimmedView(QStringView(s + pos, open - pos)));

            // The block: declarations separated by ";", the last one running up to "}".
            declarations.clear();
            qsizetype start = open + 1;
            qsizetype i = start;
            qsizetype close = -1;
            while (i < n) {
                const QChar c = s[i];
                if (c == QLatin1Char('}')) {
                    close = i;
                    break;
                }
                if (c == QLatin1Char('{'))
                    throw Malformed(); // a nested block has no place in the document
                if (c == QLatin1Char(';')) {
                    declarations.emplace_back(start, i);
                    start = ++i;
                } else {
                    i = step(s, n, i, s[i - 1]);
                }
            }
            if (close < 0)
                return; // an unclosed block adds no declarations and ends the read
            declarations.emplace_back(start, close);
            for (const auto &[from, to] : declarations)
                addDeclaration(element, trimmedView(QStringView(s + from, to - from)));
            pos = close + 1;
        }
    }

    ElementNodes takeNodes() { return std::move(m_nodes); }

private:
    void processEvents()
    {
        if (m_events)
            m_events();
    }

    ElementNode &elementFor(QStringView selectorView)
    {
        const QString selector = selectorView.toString();
        // A catalogue row of that name (ignoring case), when exactly one matches. The
        // first rows of the catalogue are no selectors and have no node: such a
        // selector gets a node of its own like any unknown one.
        const Catalogue::ElementMatch match = m_catalogue.findElementRow(selector);
        if (match.count == 1) {
            const int position = m_document.positionOfRow(match.row);
            if (position >= m_fixed)
                throw Malformed();
            if (position >= 0)
                return *m_nodes[size_t(position)];
        } else if (m_document.hasPseudoClassNodes()) {
            for (int i = 0; i < int(Document::PseudoClassLabels.size()); ++i)
                if (selector.compare(Document::PseudoClassLabels.at(i), Qt::CaseInsensitive) == 0)
                    return *m_nodes[size_t(m_document.pseudoClassPosition() + i)];
        }
        auto node = std::make_unique<ElementNode>();
        node->label = selector;
        node->picture = 0;
        m_nodes.push_back(std::move(node));
        return *m_nodes.back();
    }

    void addDeclaration(ElementNode &element, QStringView declaration)
    {
        if (declaration.isEmpty())
            return;
        processEvents();
        QString label;
        QStringView name;
        const qsizetype equals = declaration.indexOf(QLatin1Char('='));
        const qsizetype colon = equals < 0 ? declaration.indexOf(QLatin1Char(':')) : -1;
        if (colon >= 0) {
            // name: value becomes name=value, without the spaces next to the colon.
            qsizetype valueStart = colon + 1;
            while (valueStart < declaration.size() && declaration[valueStart] == QLatin1Char(' '))
                ++valueStart;
            qsizetype nameEnd = colon;
            while (nameEnd > 0 && declaration[nameEnd - 1] == QLatin1Char(' '))
                --nameEnd;
            if (valueStart >= declaration.size() || nameEnd == 0)
                throw Malformed();
            name = declaration.first(nameEnd);
            label.reserve(nameEnd + 1 + declaration.size() - valueStart);
            label.append(name);
            label.append(QLatin1Char('='));
            label.append(declaration.sliced(valueStart));
        } else {
            label = declaration.toString();
            if (equals >= 0)
                name = declaration.first(equals);
        }
        // A declaration the element already has, ignoring case, is skipped.
        const qsizetype before = m_labels.size();
        m_labels.insert({&element, label.toCaseFolded()});
        if (m_labels.size() == before)
            return;
        const int kind = m_catalogue.findAttributeKind(name.toString());
        element.attributes.push_back({std::move(label), kind});
    }

    const Document &m_document;
    Catalogue &m_catalogue;
    const StyleSheetReader::ProcessEvents &m_events;
    ElementNodes m_nodes;
    int m_fixed = 0;
    QSet<std::pair<const ElementNode *, QString>> m_labels; // case-folded labels per element
};

} // namespace

bool StyleSheetReader::readText(Document &document, Catalogue &catalogue, const QString &text,
                                const ProcessEvents &processEvents)
{
    try {
        Reader reader(document, catalogue, processEvents);
        reader.read(text);
        document.elements().replaceContent(reader.takeNodes());
        return true;
    } catch (const Malformed &) {
        return false;
    } catch (const Failure &) {
        return false; // a failed catalogue look-up
    }
}

bool StyleSheetReader::readStyleSheet(Document &document, Catalogue &catalogue, const QString &path,
                                      const ProcessEvents &processEvents)
{
    TextFile::Loaded loaded;
    try {
        loaded = TextFile::load(path);
    } catch (const Failure &) {
        return false;
    }
    if (!readText(document, catalogue, loaded.text, processEvents))
        return false;
    document.setCurrentFileName(path);
    document.setEncoding(loaded.encoding, loaded.byteOrderMark);
    return true;
}
