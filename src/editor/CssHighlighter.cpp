#include "CssHighlighter.h"

#include "ColourSwatch.h"
#include "CssTokenizer.h"

#include <QElapsedTimer>
#include <QPalette>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>

namespace CssColouring {

namespace {

using Css::TokenType;

// The state's bits: the lexical state (2), the place in a statement (3), the block
// depth (5), then one bit per level for the first StackLevels levels.
constexpr int PositionShift = 2;
constexpr int DepthShift = 5;
constexpr int StackShift = 10;
constexpr int StackLevels = 20;
constexpr int MaxDepth = 31;

// At-rules whose block holds rules (vendor forms included); every other at-rule's
// block is read as declarations, where nested rules still show as selectors.
bool holdsRules(QStringView name)
{
    static const char *const names[] = {"@media",    "@supports", "@container",      "@layer",
                                        "@document", "@scope",    "@starting-style", "@keyframes"};
    if (name.size() > 2 && name[1] == QLatin1Char('-')) {
        const qsizetype dash = name.indexOf(QLatin1Char('-'), 2);
        if (dash > 0)
            return holdsRules(QString(QLatin1Char('@')).append(name.sliced(dash + 1)));
    }
    for (const char *known : names)
        if (name.compare(QLatin1String(known), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

bool endsInEscape(QStringView line)
{
    qsizetype backslashes = 0;
    for (qsizetype i = line.size() - 1; i >= 0 && line[i] == QLatin1Char('\\'); --i)
        ++backslashes;
    return backslashes % 2 == 1;
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if ((u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F'))
        return (u | 0x20) - 'a' + 10;
    return -1;
}

// #rgb, #rgba, #rrggbb, #rrggbbaa, read directly: hex colours are the most common colour
// texts by far, and every line painted reads its own.
ColourSwatch::Colours hexColour(QStringView digits)
{
    int v[8];
    for (qsizetype i = 0; i < digits.size() && i < 8; ++i)
        if ((v[i] = hexDigit(digits[i])) < 0)
            return {};
    switch (digits.size()) {
    case 3:
    case 4:
        return {QColor(v[0] * 17, v[1] * 17, v[2] * 17, digits.size() == 4 ? v[3] * 17 : 255), {}};
    case 6:
    case 8:
        return {QColor(v[0] * 16 + v[1], v[2] * 16 + v[3], v[4] * 16 + v[5],
                       digits.size() == 8 ? v[6] * 16 + v[7] : 255),
                {}};
    default:
        return {};
    }
}

// What the swatch of a colour text shows; invalid for a text that is no colour, or a
// colour without a fixed value (currentcolor, system colours). Colour texts are ASCII.
ColourSwatch::Colours colourOf(QStringView text)
{
    char bytes[256];
    if (text.size() >= qsizetype(sizeof bytes))
        return {};
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0x80)
            return {};
        bytes[i] = char(c);
    }
    ColorsText colour;
    if (!ColorsParse(bytes, size_t(text.size()), &colour))
        return {};
    return ColourSwatch::coloursOf(colour);
}

ColourSwatch::Colours namedColour(QStringView name)
{
    if (name.size() < 3 || name.size() > 20)
        return {};
    for (const QChar c : name)
        if (!c.isLetter() || c.unicode() >= 0x80)
            return {};
    return colourOf(name);
}

bool isColourFunction(QStringView name)
{
    for (const char *known : {"rgb(", "rgba(", "hsl(", "hsla(", "hwb(", "lab(", "lch(", "oklab(", "oklch(",
                              "color(", "color-mix(", "light-dark("})
        if (name.compare(QLatin1String(known), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// The position after the ")" that closes the bracket open at `from`, on the same line;
// -1 when the line does not close it.
qsizetype closingParen(QStringView line, qsizetype from)
{
    int depth = 1;
    for (qsizetype i = from; i < line.size(); ++i) {
        const char16_t c = line[i].unicode();
        if (c == '(')
            ++depth;
        else if (c == ')' && --depth == 0)
            return i + 1;
        else if (c == '"' || c == '\'' || c == ';' || c == '{' || c == '}')
            return -1;
    }
    return -1;
}

} // namespace

LineScanner::LineScanner(int state)
{
    if (state < 0)
        state = StartState;
    m_lexical = Lexical(state & 3);
    m_position = Position((state >> PositionShift) & 7);
    if (m_position > DeclarationValue)
        m_position = Start;
    m_depth = (state >> DepthShift) & MaxDepth;
    m_stack = quint32(state) >> StackShift;
}

int LineScanner::state() const
{
    return int(m_lexical) | (int(m_position) << PositionShift) | (m_depth << DepthShift) |
           int((m_stack & ((1u << StackLevels) - 1)) << StackShift);
}

Place LineScanner::place() const
{
    if (m_lexical != Normal)
        return Place::Other;
    switch (m_position) {
    case Start:
        return inDeclarationList() ? Place::PropertyName : Place::Other;
    case DeclarationName:
        return Place::PropertyName;
    case DeclarationValue:
        return Place::Value;
    default:
        return Place::Other;
    }
}

bool LineScanner::inDeclarationList() const
{
    if (m_depth == 0)
        return false;
    if (m_depth > StackLevels)
        return true;
    return (m_stack >> (m_depth - 1)) & 1;
}

void LineScanner::push(bool declarations)
{
    if (m_depth == MaxDepth)
        return;
    ++m_depth;
    if (m_depth <= StackLevels) {
        const quint32 bit = 1u << (m_depth - 1);
        m_stack = declarations ? (m_stack | bit) : (m_stack & ~bit);
    }
}

void LineScanner::pop()
{
    if (m_depth > 0)
        --m_depth;
}

void LineScanner::add(qsizetype start, qsizetype length, Kind kind)
{
    if (!m_spans || length <= 0 || kind == Kind::None)
        return;
    if (!m_spans->empty()) {
        Span &last = m_spans->back();
        if (last.kind == kind && last.start + last.length == start) {
            last.length += int(length);
            return;
        }
    }
    m_spans->push_back({int(start), int(length), kind});
}

void LineScanner::swatch(qsizetype start, qsizetype length, const ColourSwatch::Colours &colours)
{
    if (m_swatches && colours.isValid())
        m_swatches->push_back({int(start), int(length), colours.light, colours.dark});
}

void LineScanner::beginStatement()
{
    m_statementSpan = m_spans ? m_spans->size() : 0;
    m_statementSwatch = m_swatches ? m_swatches->size() : 0;
    m_property.clear();
}

void LineScanner::scan(QStringView line, std::vector<Span> *spans, std::vector<Swatch> *swatches)
{
    m_spans = spans;
    m_swatches = swatches;
    m_statementSpan = spans ? spans->size() : 0;
    m_statementSwatch = swatches ? swatches->size() : 0;
    m_inUrl = false;
    qsizetype from = 0;
    if (m_lexical == InComment) {
        const qsizetype close = line.indexOf(QLatin1String("*/"));
        if (close < 0) {
            add(0, line.size(), Kind::Comment);
            return;
        }
        from = close + 2;
        add(0, from, Kind::Comment);
        m_lexical = Normal;
    } else if (m_lexical == InDoubleString || m_lexical == InSingleString) {
        // A string continued from the line before with a backslash before the break.
        const QChar quote = m_lexical == InDoubleString ? QLatin1Char('"') : QLatin1Char('\'');
        qsizetype i = 0;
        while (i < line.size() && line[i] != quote)
            i += line[i] == QLatin1Char('\\') ? 2 : 1;
        if (i >= line.size()) {
            add(0, line.size(), Kind::String);
            if (!endsInEscape(line))
                m_lexical = Normal; // cut by the line break
            return;
        }
        from = i + 1;
        add(0, from, Kind::String);
        m_lexical = Normal;
    }
    Css::Tokenizer tokenizer(line, from);
    for (;;) {
        const Css::Token t = tokenizer.next();
        if (t.type == TokenType::EndOfFile)
            break;
        if (t.type == TokenType::Delim && line[t.start] == QLatin1Char('!') &&
            m_position == DeclarationValue) {
            // "!important", with white space or comments between allowed.
            Css::Tokenizer ahead(line, t.end());
            Css::Token next = ahead.next();
            while (next.type == TokenType::Whitespace || next.type == TokenType::Comment)
                next = ahead.next();
            if (next.type == TokenType::Ident &&
                Css::tokenText(line, next).compare(QLatin1String("important"), Qt::CaseInsensitive) == 0) {
                add(t.start, next.end() - t.start, Kind::Important);
                tokenizer.setPosition(next.end());
                continue;
            }
        }
        token(line, t.start, t.length, int(t.type), t.numberLength);
    }
}

void LineScanner::token(QStringView line, qsizetype start, qsizetype length, int type, qsizetype numberLength)
{
    const QStringView text = line.sliced(start, length);
    // A token that may begin a statement: at the top level and in rule lists it starts
    // a selector; in a declaration list an identifier starts a declaration, anything
    // else a nested rule's selector.
    const auto startSelector = [&] {
        beginStatement();
        m_position = InSelector;
        add(start, length, Kind::Selector);
    };
    const auto inPlace = [&](Kind valueKind) {
        switch (m_position) {
        case InSelector:
            return Kind::Selector;
        case AtPreludeRules:
        case AtPreludeDeclarations:
            return Kind::AtPrelude;
        case DeclarationName:
            return Kind::Property;
        default:
            return valueKind;
        }
    };

    switch (TokenType(type)) {
    case TokenType::Whitespace:
        return;
    case TokenType::Comment:
        add(start, length, Kind::Comment);
        if (numberLength)
            m_lexical = InComment;
        return;
    case TokenType::Cdo:
    case TokenType::Cdc:
        add(start, length, Kind::Punctuation);
        return;
    case TokenType::AtKeyword:
        if (m_position == Start) {
            beginStatement();
            m_position = holdsRules(text) ? AtPreludeRules : AtPreludeDeclarations;
            add(start, length, Kind::AtRule);
        } else {
            add(start, length, inPlace(Kind::Value));
        }
        return;
    case TokenType::OpenCurly:
        if ((m_position == DeclarationName || m_position == DeclarationValue) && m_spans) {
            // What looked like a declaration is a nested rule's selector.
            for (size_t i = m_statementSpan; i < m_spans->size(); ++i)
                if ((*m_spans)[i].kind != Kind::Comment && (*m_spans)[i].kind != Kind::String)
                    (*m_spans)[i].kind = Kind::Selector;
            if (m_swatches)
                m_swatches->resize(std::min(m_swatches->size(), m_statementSwatch));
        }
        add(start, length, Kind::Punctuation);
        push(m_position != AtPreludeRules);
        m_position = Start;
        beginStatement();
        return;
    case TokenType::CloseCurly:
        add(start, length, Kind::Punctuation);
        pop();
        m_position = Start;
        beginStatement();
        return;
    case TokenType::Semicolon:
        add(start, length, Kind::Punctuation);
        m_position = Start;
        beginStatement();
        return;
    case TokenType::Colon:
        if (m_position == DeclarationName) {
            add(start, length, Kind::Punctuation);
            m_position = DeclarationValue;
        } else if (m_position == Start) {
            startSelector();
        } else {
            add(start, length, inPlace(Kind::Punctuation));
        }
        return;
    case TokenType::Delim:
        if (text == QLatin1String("=") && m_position == DeclarationName) {
            add(start, length, Kind::Punctuation); // the editor's own name=value form
            m_position = DeclarationValue;
        } else if (m_position == Start) {
            startSelector();
        } else if (m_position == InSelector) {
            add(start, length, Kind::Selector);
        } else {
            add(start, length, Kind::Punctuation);
        }
        return;
    case TokenType::Ident:
    case TokenType::Function:
        if (m_position == Start) {
            if (!inDeclarationList()) {
                startSelector();
                return;
            }
            beginStatement();
            m_position = DeclarationName;
            m_property = text.toString();
            add(start, length, Kind::Property);
            return;
        }
        if (m_position == DeclarationValue) {
            if (TokenType(type) == TokenType::Function) {
                m_inUrl = text.compare(QLatin1String("url("), Qt::CaseInsensitive) == 0;
                add(start, length, m_inUrl ? Kind::Url : Kind::Value);
                if (m_swatches && isColourFunction(text)) {
                    const qsizetype end = closingParen(line, start + length);
                    if (end > 0)
                        swatch(start, end - start, colourOf(line.sliced(start, end - start)));
                }
            } else {
                add(start, length, Kind::Value);
                if (m_swatches)
                    swatch(start, length, namedColour(text));
            }
            return;
        }
        add(start, length, inPlace(Kind::Value));
        return;
    case TokenType::Url:
    case TokenType::BadUrl:
        add(start, length, m_position == InSelector ? Kind::Selector : Kind::Url);
        return;
    case TokenType::String:
    case TokenType::BadString:
        add(start, length, m_inUrl ? Kind::Url : Kind::String);
        if (numberLength && endsInEscape(line))
            m_lexical = text.startsWith(QLatin1Char('"')) ? InDoubleString : InSingleString;
        return;
    case TokenType::Number:
    case TokenType::Percentage:
    case TokenType::Dimension:
        if (m_position == Start) {
            startSelector(); // a keyframe selector: 50% {
            return;
        }
        add(start, length, m_position == InSelector ? Kind::Selector : inPlace(Kind::Number));
        return;
    case TokenType::Hash:
        if (m_position == Start) {
            startSelector();
            return;
        }
        if (m_position == DeclarationValue) {
            add(start, length, Kind::Number);
            if (m_swatches)
                swatch(start, length, hexColour(text.sliced(1)));
            return;
        }
        add(start, length, inPlace(Kind::Value));
        return;
    case TokenType::OpenSquare:
    case TokenType::OpenParen:
        if (m_position == Start)
            startSelector();
        else
            add(start, length, m_position == InSelector ? Kind::Selector : Kind::Punctuation);
        return;
    case TokenType::CloseParen:
        if (m_inUrl) {
            add(start, length, Kind::Url);
            m_inUrl = false;
            return;
        }
        [[fallthrough]];
    case TokenType::CloseSquare:
    case TokenType::Comma:
        add(start, length, m_position == InSelector ? Kind::Selector : Kind::Punctuation);
        return;
    case TokenType::EndOfFile:
        return;
    }
}

Kind kindAt(QStringView text, qsizetype offset)
{
    LineScanner scanner;
    qsizetype lineStart = 0;
    while (lineStart <= text.size()) {
        qsizetype lineEnd = lineStart;
        while (lineEnd < text.size() && text[lineEnd] != QLatin1Char('\n') &&
               text[lineEnd] != QLatin1Char('\r'))
            ++lineEnd;
        std::vector<Span> spans;
        scanner.scan(text.sliced(lineStart, lineEnd - lineStart), &spans);
        if (offset < lineEnd || lineEnd == text.size()) {
            for (const Span &span : spans)
                if (offset >= lineStart + span.start && offset < lineStart + span.start + span.length)
                    return span.kind;
            return Kind::None;
        }
        lineStart = lineEnd + (text.sliced(lineEnd).startsWith(QLatin1String("\r\n")) ? 2 : 1);
        if (offset < lineStart)
            return Kind::None;
    }
    return Kind::None;
}

} // namespace CssColouring

using namespace CssColouring;

namespace {

// What a block was last coloured from and with.
struct BlockColours : QTextBlockUserData
{
    int startState = -1;
    int endState = StartState;
    bool provisional = false;
    std::vector<Swatch> swatches;
};

BlockColours *coloursOf(const QTextBlock &block)
{
    return static_cast<BlockColours *>(block.userData());
}

// Slices of work from the event loop: short, so that a key press waits for none.
constexpr int IdleSliceMs = 4;
// Before a paint, this much is spent on the states of the lines above the visible ones.
constexpr int PaintBudgetMs = 6;

} // namespace

CssHighlighter::CssHighlighter(QPlainTextEdit *editor)
    : QObject(editor), m_editor(editor), m_document(editor->document())
{
    m_blockCount = m_document->blockCount();
    m_idle = new QTimer(this);
    m_idle->setSingleShot(true);
    m_idle->setInterval(0);
    connect(m_idle, &QTimer::timeout, this, &CssHighlighter::advanceStates);
    connect(m_document, &QTextDocument::contentsChange, this, &CssHighlighter::contentsChange);
    setPalette(editor->palette());
}

CssHighlighter::~CssHighlighter() = default;

void CssHighlighter::setPalette(const QPalette &palette)
{
    const bool dark = palette.color(QPalette::Base).lightness() < 128;
    // Two sets, each readable on its own background.
    static const char *const light[KindCount] = {nullptr,   "#800000", "#8e24aa", "#00838f",
                                                 "#c5400a", "#0451a5", "#0a7d4f", "#a31515",
                                                 "#795e26", "#6a737d", "#d50000", "#505050"};
    static const char *const darkSet[KindCount] = {nullptr,   "#e2c08d", "#c586c0", "#4ec9b0",
                                                   "#9cdcfe", "#6fa8f0", "#b5cea8", "#ce9178",
                                                   "#dcdcaa", "#7f9f6f", "#ff6e6e", "#c8c8c8"};
    for (int i = 1; i < KindCount; ++i) {
        QTextCharFormat format;
        format.setForeground(QColor(QLatin1String(dark ? darkSet[i] : light[i])));
        if (Kind(i) == Kind::Important)
            format.setFontWeight(QFont::Bold);
        if (Kind(i) == Kind::Comment)
            format.setFontItalic(true);
        m_formats[size_t(i)] = format;
    }
    const QFontMetrics metrics(m_editor->font());
    m_swatchSpace = metrics.height() + 2;
    m_swatchFormat = QTextCharFormat();
    m_swatchFormat.setFontLetterSpacingType(QFont::AbsoluteSpacing);
    m_swatchFormat.setFontLetterSpacing(m_swatchSpace);
    // Everything is coloured afresh.
    for (QTextBlock block = m_document->begin(); block.isValid(); block = block.next())
        if (BlockColours *colours = coloursOf(block))
            colours->startState = -1;
    m_editor->viewport()->update();
}

QColor CssHighlighter::colour(Kind kind) const
{
    return m_formats[size_t(kind)].foreground().color();
}

void CssHighlighter::contentsChange(int from, int removed, int added)
{
    Q_UNUSED(removed);
    const QTextBlock firstBlock = m_document->findBlock(from);
    QTextBlock lastBlock = m_document->findBlock(from + added);
    if (!lastBlock.isValid())
        lastBlock = m_document->lastBlock();
    const int first = firstBlock.blockNumber();
    const int last = lastBlock.blockNumber();
    const int count = m_document->blockCount();
    const int delta = count - m_blockCount;
    m_blockCount = count;
    const int oldLast = last - delta;

    // The blocks whose text changed are coloured afresh; their old formats go now, so
    // that no layout is made with formats that no longer fit the text.
    for (QTextBlock block : {firstBlock, lastBlock}) {
        if (!block.isValid())
            continue;
        if (BlockColours *colours = coloursOf(block))
            colours->startState = -1;
        if (!block.layout()->formats().isEmpty())
            block.layout()->clearFormats();
    }

    int tailEnd = 0;
    int dirtyEnd = last;
    if (m_valid > oldLast + 1) {
        tailEnd = m_valid + delta;
    } else {
        if (m_dirtyEnd > oldLast)
            dirtyEnd = m_dirtyEnd + delta;
        if (m_tailEnd > oldLast + 1)
            tailEnd = m_tailEnd + delta;
    }
    m_valid = std::min(m_valid, first);
    m_dirtyEnd = std::max(dirtyEnd, last);
    m_tailEnd = tailEnd > m_dirtyEnd + 1 && tailEnd <= count ? tailEnd : 0;
    m_idle->start();
}

bool CssHighlighter::statesComplete() const
{
    return m_valid >= m_document->blockCount();
}

bool CssHighlighter::ensureStates(int blockNumber, int budgetMs)
{
    blockNumber = std::min(blockNumber, m_document->blockCount() - 1);
    if (m_valid > blockNumber)
        return true;
    QElapsedTimer clock;
    clock.start();
    QTextBlock block = m_document->findBlockByNumber(m_valid);
    int state = m_valid == 0 ? StartState : block.previous().userState();
    int done = 0;
    while (block.isValid() && m_valid <= blockNumber) {
        const int old = block.userState();
        LineScanner scanner(state);
        scanner.scan(block.text());
        state = scanner.state();
        block.setUserState(state);
        ++m_valid;
        if (m_valid - 1 > m_dirtyEnd && m_tailEnd > m_valid && state == old) {
            // The edit's effect has died out: the states after it hold as they were.
            m_valid = m_tailEnd;
            m_tailEnd = 0;
            block = m_document->findBlockByNumber(m_valid);
            if (block.isValid())
                state = block.previous().userState();
            continue;
        }
        if (m_valid >= m_tailEnd)
            m_tailEnd = 0;
        block = block.next();
        if (budgetMs > 0 && ++done % 64 == 0 && clock.elapsed() >= budgetMs)
            break;
    }
    return m_valid > blockNumber;
}

int CssHighlighter::stateBefore(const QTextBlock &block, bool *exact)
{
    const int number = block.blockNumber();
    const bool known = number == 0 || ensureStates(number - 1, PaintBudgetMs);
    if (exact)
        *exact = known;
    if (number == 0)
        return StartState;
    return known ? block.previous().userState() : StartState;
}

void CssHighlighter::advanceStates()
{
    ensureStates(m_document->blockCount() - 1, IdleSliceMs);
    if (!statesComplete()) {
        m_idle->start();
        return;
    }
    if (m_provisionalShown) {
        m_provisionalShown = false;
        emit exactColoursReady();
    }
}

void CssHighlighter::colourBlock(const QTextBlock &block, int state, bool provisional)
{
    std::vector<Span> spans;
    std::vector<Swatch> swatches;
    LineScanner scanner(state);
    scanner.scan(block.text(), &spans, &swatches);
    QList<QTextLayout::FormatRange> ranges;
    ranges.reserve(qsizetype(spans.size() + swatches.size()));
    for (const Span &span : spans)
        ranges.append({span.start, span.length, m_formats[size_t(span.kind)]});
    for (const Swatch &swatch : swatches)
        ranges.append({swatch.start + swatch.length - 1, 1, m_swatchFormat});
    BlockColours *colours = coloursOf(block);
    if (!colours) {
        colours = new BlockColours;
        QTextBlock(block).setUserData(colours);
    }
    colours->startState = state;
    colours->endState = scanner.state();
    colours->provisional = provisional;
    colours->swatches = std::move(swatches);
    block.layout()->setFormats(ranges);
    // The block is laid out again with its formats, as for any change of its look.
    m_document->markContentsDirty(block.position(), block.length());
}

void CssHighlighter::prepare(const QTextBlock &first, const QTextBlock &last)
{
    if (!first.isValid())
        return;
    ensureStates(last.isValid() ? last.blockNumber() : first.blockNumber(), PaintBudgetMs);
    int state = StartState;
    bool exact = true;
    for (QTextBlock block = first; block.isValid(); block = block.next()) {
        const int number = block.blockNumber();
        if (number < m_valid + 1) {
            state = number == 0 ? StartState : block.previous().userState();
            exact = true;
        } else if (block == first) {
            state = StartState;
            exact = false;
        }
        BlockColours *colours = coloursOf(block);
        if (!colours || colours->startState != state || (colours->provisional && exact)) {
            colourBlock(block, state, !exact);
            colours = coloursOf(block);
        }
        if (!exact)
            m_provisionalShown = true;
        state = colours->endState;
        if (last.isValid() && block == last)
            break;
    }
    if (!statesComplete())
        m_idle->start();
}

const std::vector<Swatch> *CssHighlighter::swatches(const QTextBlock &block) const
{
    const BlockColours *colours = coloursOf(block);
    return colours ? &colours->swatches : nullptr;
}

std::vector<Span> CssHighlighter::spans(const QTextBlock &block)
{
    std::vector<Span> spans;
    LineScanner scanner(stateBefore(block));
    scanner.scan(block.text(), &spans);
    return spans;
}

Kind CssHighlighter::kindAt(int position)
{
    const QTextBlock block = m_document->findBlock(position);
    ensureStates(block.blockNumber() - 1);
    const int offset = position - block.position();
    for (const Span &span : spans(block))
        if (offset >= span.start && offset < span.start + span.length)
            return span.kind;
    return Kind::None;
}
