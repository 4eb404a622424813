#pragma once

#include "ColourSwatch.h"

#include <QColor>
#include <QObject>
#include <QString>
#include <QStringView>
#include <QTextCharFormat>
#include <array>
#include <vector>

class QPalette;
class QPlainTextEdit;
class QTextBlock;
class QTextDocument;
class QTimer;

// The code window's reading of CSS, one line at a time, through the css/ tokenizer: the
// kind of every token for its colour, the colour values for their swatches, and where
// a caret stands for completion. What one line leaves open for the next (a comment, a
// string continued with a backslash, the blocks and what they hold, the part of a
// statement reached) is carried as a whole number, the line's end state.
namespace CssColouring {

enum class Kind : quint8 {
    None, // white space, and text no other kind covers
    Selector,
    AtRule,    // the at-keyword: @media, @import...
    AtPrelude, // what follows the at-keyword up to its block or ";"
    Property,
    Value,
    Number, // numbers, percentages and dimensions with their units; hex colours
    String,
    Url,
    Comment,
    Important,
    Punctuation, // { } ; : = , ( ) and the like
};
constexpr int KindCount = int(Kind::Punctuation) + 1;

struct Span
{
    int start = 0;
    int length = 0;
    Kind kind = Kind::None;
};

// A colour written in a value: a hex colour, a colour name or a colour function.
struct Swatch
{
    int start = 0;
    int length = 0;
    QColor color;
    QColor dark; // light-dark(): its dark side (`color` is the light one); else invalid
};

// Where a caret stands, for completion.
enum class Place { Other, PropertyName, Value };

// The state before the first line of a text.
constexpr int StartState = 0;

class LineScanner
{
public:
    explicit LineScanner(int state = StartState);

    // Reads one line (without its line break) that begins in the state given or left
    // by the previous call. Spans and swatches, when asked for, are appended in order.
    void scan(QStringView line, std::vector<Span> *spans = nullptr, std::vector<Swatch> *swatches = nullptr);

    // The state at the end of what was read.
    int state() const;
    // Where the end of what was read stands: a declaration's name, its value, or
    // elsewhere (a selector, an at-rule, a comment or a string).
    Place place() const;
    // The declaration's name when the end stands in its value and the name is on the
    // line read; empty otherwise.
    QString property() const { return m_property; }

private:
    enum Lexical : int { Normal, InComment, InDoubleString, InSingleString };
    enum Position : int {
        Start,
        InSelector,
        AtPreludeRules,
        AtPreludeDeclarations,
        DeclarationName,
        DeclarationValue
    };

    void token(QStringView line, qsizetype start, qsizetype length, int type, qsizetype numberLength);
    void add(qsizetype start, qsizetype length, Kind kind);
    void beginStatement();
    void push(bool declarations);
    void pop();
    bool inDeclarationList() const;
    void swatch(qsizetype start, qsizetype length, const ColourSwatch::Colours &colours);

    Lexical m_lexical = Normal;
    Position m_position = Start;
    int m_depth = 0;
    quint32 m_stack = 0; // one bit per level: 1 for a declaration list
    std::vector<Span> *m_spans = nullptr;
    std::vector<Swatch> *m_swatches = nullptr;
    size_t m_statementSpan = 0;
    size_t m_statementSwatch = 0;
    bool m_inUrl = false;
    QString m_property;
};

// The kind of the token at `offset` of `text` (lines separated by LF, CR LF or CR),
// read from the first line on.
Kind kindAt(QStringView text, qsizetype offset);

} // namespace CssColouring

// Colours a code editor's text as the user sees it: only the lines about to be painted
// are coloured (formats on their layouts, never changing the text), from the end
// states of the lines before them, which are worked out a slice at a time from the
// event loop and after an edit only as far as they change. A large text is therefore
// never coloured whole, and typing never waits for lines far away.
class CssHighlighter : public QObject
{
    Q_OBJECT
public:
    explicit CssHighlighter(QPlainTextEdit *editor);
    ~CssHighlighter() override;

    // The colour set: one for light backgrounds, one for dark ones.
    void setPalette(const QPalette &palette);

    // Colours the blocks from `first` to `last` whose colours are out of date. Lines
    // whose start state is not known yet are coloured from a guess (the top level) and
    // coloured again once it is.
    void prepare(const QTextBlock &first, const QTextBlock &last);

    // The colour values of a block as last coloured.
    const std::vector<CssColouring::Swatch> *swatches(const QTextBlock &block) const;
    // The room after a colour value for its swatch, in pixels.
    int swatchSpace() const { return m_swatchSpace; }

    // The state entering a block: exact when the lines before it have been read,
    // otherwise the top level. `exact`, when given, says which.
    int stateBefore(const QTextBlock &block, bool *exact = nullptr);
    // Makes the end states known up to the block `blockNumber` (within `budgetMs`
    // milliseconds when positive); true when they are.
    bool ensureStates(int blockNumber, int budgetMs = 0);
    bool statesComplete() const;

    // The kind at a document position, read afresh from the exact state of its line.
    CssColouring::Kind kindAt(int position);
    // The spans of a block read from its start state.
    std::vector<CssColouring::Span> spans(const QTextBlock &block);

    QColor colour(CssColouring::Kind kind) const;

signals:
    // Lines coloured from a guess can now be coloured exactly: they need a repaint.
    void exactColoursReady();

private:
    void contentsChange(int from, int removed, int added);
    void advanceStates();
    void colourBlock(const QTextBlock &block, int state, bool provisional);

    QPlainTextEdit *m_editor;
    QTextDocument *m_document;
    std::array<QTextCharFormat, CssColouring::KindCount> m_formats;
    QTextCharFormat m_swatchFormat;
    int m_swatchSpace = 14;
    // Blocks [0, m_valid) hold their correct end states. After an edit, the blocks after
    // m_dirtyEnd up to m_tailEnd still do if the state entering them has not changed.
    int m_valid = 0;
    int m_dirtyEnd = -1;
    int m_tailEnd = 0;
    int m_blockCount = 1;
    bool m_provisionalShown = false;
    QTimer *m_idle = nullptr;
};
