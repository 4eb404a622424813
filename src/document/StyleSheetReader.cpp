#include "StyleSheetReader.h"

#include "Catalogue.h"
#include "Document.h"
#include "Failure.h"
#include "TextFile.h"

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
    const QChar *s = text.constData();
    const qsizetype n = text.size();
    qsizetype first = 1;
    while (first < n && !(s[first] == QLatin1Char('*') && s[first - 1] == QLatin1Char('/')))
        ++first;
    if (first >= n)
        return text;
    QString out;
    out.reserve(n);
    qsizetype run = 0; // start of the text not yet copied
    qsizetype i = 0;
    while (i < n) {
        if (s[i] == QLatin1Char('/') && i + 1 < n && s[i + 1] == QLatin1Char('*')) {
            out.append(s + run, i - run);
            const qsizetype close = text.indexOf(QLatin1String("*/"), i + 2);
            i = run = close < 0 ? n : close + 2;
        } else {
            // The character before, as the text without comments has it.
            const QChar before = i > run ? s[i - 1] : out.isEmpty() ? QChar() : out.back();
            i = step(s, n, i, before);
        }
    }
    out.append(s + run, n - run);
    return out;
}

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

// A hash that agrees with comparing while ignoring case: equal texts give equal hashes.
// (Surrogates are left out: a pair may fold to another pair.)
size_t foldedHash(QStringView text, quint64 seed)
{
    quint64 h = 0xcbf29ce484222325ULL ^ seed;
    for (const QChar c : text) {
        char16_t u = c.unicode();
        if (u < 128) {
            if (u >= 'A' && u <= 'Z')
                u = char16_t(u + 32);
        } else if (c.isSurrogate()) {
            continue;
        } else {
            u = c.toCaseFolded().unicode();
        }
        h = (h ^ u) * 0x100000001b3ULL;
    }
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
// every read starts. The user's element nodes are left out.
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

// Where a declaration's name ends and its value begins.
struct DeclarationParts
{
    QStringView name;         // for the value kind's look-up
    qsizetype colon = -1;     // the colon of the colon form, or -1
    qsizetype nameEnd = 0;    // colon form: the name without the spaces before the colon
    qsizetype valueStart = 0; // colon form: the value without the spaces after it
};

// Throws Malformed for a colon form with no name or no value.
DeclarationParts partsOf(QStringView declaration)
{
    DeclarationParts parts;
    const qsizetype equals = declaration.indexOf(QLatin1Char('='));
    if (equals >= 0) {
        parts.name = declaration.first(equals);
        return parts;
    }
    parts.colon = declaration.indexOf(QLatin1Char(':'));
    if (parts.colon < 0)
        return parts;
    // name: value becomes name=value, without the spaces next to the colon.
    parts.valueStart = parts.colon + 1;
    while (parts.valueStart < declaration.size() && declaration[parts.valueStart] == QLatin1Char(' '))
        ++parts.valueStart;
    parts.nameEnd = parts.colon;
    while (parts.nameEnd > 0 && declaration[parts.nameEnd - 1] == QLatin1Char(' '))
        --parts.nameEnd;
    if (parts.valueStart >= declaration.size() || parts.nameEnd == 0)
        throw Malformed();
    parts.name = declaration.first(parts.nameEnd);
    return parts;
}

class Reader
{
public:
    // A reader that checks only finds every fault that would end a read, and builds
    // nothing.
    enum class Mode { Check, Build };

    Reader(const Document &document, Catalogue &catalogue, const StyleSheetReader::ProcessEvents &events,
           Mode mode)
        : m_document(document), m_catalogue(catalogue), m_events(events), m_checkOnly(mode == Mode::Check)
    {
        if (!m_checkOnly)
            m_nodes = fixedNodes(document);
        m_fixed = std::min(document.fixedElementCount(), document.elements().elementCount());
        if (!m_checkOnly)
            m_labels.resize(size_t(m_fixed));
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
            const int element = elementFor(trimmedView(QStringView(s + pos, open - pos)));

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
            pos = close + 1;
            if (m_checkOnly) {
                for (const auto &[from, to] : declarations) {
                    processEvents();
                    partsOf(trimmedView(QStringView(s + from, to - from)));
                }
                continue;
            }
            if (std::vector<AttributeNode> &attributes = m_nodes[size_t(element)]->attributes;
                attributes.empty())
                attributes.reserve(declarations.size());
            if (element >= m_fixed) {
                size_t tableSize = 8;
                while (tableSize < 2 * (declarations.size() + 1))
                    tableSize *= 2;
                m_ruleLabels.assign(tableSize, LabelSlot{0, 0});
            }
            for (const auto &[from, to] : declarations)
                addDeclaration(element, trimmedView(QStringView(s + from, to - from)));
        }
    }

    ElementNodes takeNodes() { return std::move(m_nodes); }

private:
    void processEvents()
    {
        if (m_events)
            m_events();
    }

    // The position of the element node that receives a rule's declarations. A selector
    // is looked up once; later rules with the same selector text reuse the answer.
    int elementFor(QStringView selector)
    {
        const size_t hash = exactHash(selector);
        const SelectorEntry *known =
            m_selectors.find(hash, [&](const SelectorEntry &entry) { return entry.selector == selector; });
        if (!known)
            known = &m_selectors.insert({hash, selector.toString(), fixedPosition(selector.toString())});
        if (known->position >= 0 || m_checkOnly)
            return known->position;
        // Every rule whose selector has no fixed node gets a node of its own.
        auto node = std::make_unique<ElementNode>();
        node->label = known->selector;
        node->picture = 0;
        m_nodes.push_back(std::move(node));
        return int(m_nodes.size()) - 1;
    }

    // The catalogue or pseudo-class node a selector names, or -1 for none. A catalogue
    // row of that name (ignoring case) counts when exactly one matches; the first rows
    // of the catalogue are no selectors and have no node, so such a selector names none.
    int fixedPosition(const QString &selector)
    {
        const Catalogue::ElementMatch match = m_catalogue.findElementRow(selector);
        if (match.count == 1) {
            const int position = m_document.positionOfRow(match.row);
            if (position >= m_fixed)
                throw Malformed();
            if (position >= 0)
                return position;
        } else if (m_document.hasPseudoClassNodes()) {
            for (int i = 0; i < int(Document::PseudoClassLabels.size()); ++i)
                if (selector.compare(Document::PseudoClassLabels.at(i), Qt::CaseInsensitive) == 0)
                    return m_document.pseudoClassPosition() + i;
        }
        return -1;
    }

    int kindOf(QStringView name)
    {
        const size_t hash = exactHash(name);
        if (const KindEntry *known =
                m_kinds.find(hash, [&](const KindEntry &entry) { return entry.name == name; }))
            return known->kind;
        const QString text = name.toString();
        return m_kinds.insert({hash, text, m_catalogue.findAttributeKind(text)}).kind;
    }

    void addDeclaration(int element, QStringView declaration)
    {
        if (declaration.isEmpty())
            return;
        processEvents();
        const DeclarationParts parts = partsOf(declaration);
        QString label;
        if (parts.colon >= 0) {
            label.reserve(parts.nameEnd + 1 + declaration.size() - parts.valueStart);
            label.append(parts.name);
            label.append(QLatin1Char('='));
            label.append(declaration.sliced(parts.valueStart));
        } else {
            label = declaration.toString();
        }
        // A declaration the element already has, ignoring case, is skipped.
        std::vector<AttributeNode> &attributes = m_nodes[size_t(element)]->attributes;
        if (!addLabel(element, label))
            return;
        const int kind = kindOf(parts.name);
        attributes.push_back({std::move(label), kind});
    }

    // Adds a label to its element's set of labels unless the element already has it,
    // ignoring case. Each catalogue and pseudo-class node has a small open-addressing
    // table of its own, which stays in the cache while its rule is read; a node made for
    // a rule receives that rule only, and uses one table that each such rule empties.
    bool addLabel(int element, QStringView label)
    {
        LabelSet &set = element < m_fixed ? m_labels[size_t(element)] : m_ruleLabels;
        const std::vector<AttributeNode> &attributes = m_nodes[size_t(element)]->attributes;
        const auto hash = quint32(foldedHash(label, 0));
        if (!set.empty()) {
            const size_t mask = set.size() - 1;
            for (size_t i = hash & mask; set[i].attribute != 0; i = (i + 1) & mask)
                if (set[i].hash == hash &&
                    QStringView(attributes[set[i].attribute - 1].label).compare(label, Qt::CaseInsensitive) ==
                        0)
                    return false;
        }
        if ((attributes.size() + 1) * 2 > set.size()) {
            LabelSet grown(std::max<size_t>(8, set.size() * 2));
            for (const LabelSlot &slot : set)
                if (slot.attribute != 0)
                    place(grown, slot);
            set.swap(grown);
        }
        place(set, {hash, quint32(attributes.size() + 1)});
        return true;
    }

    struct LabelSlot
    {
        quint32 hash;
        quint32 attribute; // attribute index + 1; 0 marks a free slot
    };
    using LabelSet = std::vector<LabelSlot>;

    static void place(LabelSet &set, LabelSlot slot)
    {
        const size_t mask = set.size() - 1;
        size_t i = slot.hash & mask;
        while (set[i].attribute != 0)
            i = (i + 1) & mask;
        set[i] = slot;
    }

    struct SelectorEntry
    {
        size_t hash;
        QString selector;
        int position; // the fixed node it names, or -1
    };
    struct KindEntry
    {
        size_t hash;
        QString name;
        int kind;
    };
    const Document &m_document;
    Catalogue &m_catalogue;
    const StyleSheetReader::ProcessEvents &m_events;
    const bool m_checkOnly;
    ElementNodes m_nodes;
    int m_fixed = 0;
    FlatTable<SelectorEntry> m_selectors;
    FlatTable<KindEntry> m_kinds;
    std::vector<LabelSet> m_labels; // per catalogue and pseudo-class node, by position
    LabelSet m_ruleLabels;          // of the node made for the rule being read
};

// Whether the document has anything a read replaces: declarations or the user's
// element nodes.
bool holdsDeclarations(const Document &document)
{
    const StyleSheetModel &model = document.elements();
    if (model.elementCount() > document.fixedElementCount())
        return true;
    for (const auto &element : model.elements())
        if (!element->attributes.empty())
            return true;
    return false;
}

} // namespace

bool StyleSheetReader::readText(Document &document, Catalogue &catalogue, const QString &text,
                                const ProcessEvents &processEvents)
{
    try {
        // A document that holds declarations has the text checked first: one that
        // cannot be read leaves the document as it was. Then the old declarations go
        // before the new ones are made, so that a large style sheet is never held
        // twice. An empty document is built beside at once.
        Reader reader(document, catalogue, processEvents, Reader::Mode::Build);
        if (holdsDeclarations(document)) {
            Reader(document, catalogue, processEvents, Reader::Mode::Check).read(text);
            document.elements().replaceContent(fixedNodes(document));
        }
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
