#include "CodeEditor.h"

#include "CodeCompleter.h"
#include "ColourSwatch.h"
#include "CssHighlighter.h"

#include <QFontDatabase>
#include <QHelpEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStringMatcher>
#include <QTextBlock>
#include <QTimer>
#include <QToolTip>
#include <algorithm>

using CssColouring::Kind;

// The line numbers beside the text.
class LineNumberGutter : public QWidget
{
public:
    explicit LineNumberGutter(CodeEditor *editor) : QWidget(editor), m_editor(editor) {}
    QSize sizeHint() const override { return {m_editor->gutterWidth(), 0}; }

protected:
    void paintEvent(QPaintEvent *event) override { m_editor->paintGutter(event); }

private:
    CodeEditor *m_editor;
};

namespace {

constexpr int TabStopSpaces = 4;
// Matches shown at once; more than a screen can hold.
constexpr int MaxShownMatches = 4000;
// How far brace matching looks, in lines.
constexpr int BraceSearchLines = 20000;
// Replace All edits match by match up to this many, else replaces the text whole.
constexpr int ReplaceOneByOne = 1000;

QColor mix(const QColor &a, const QColor &b, qreal share)
{
    return QColor::fromRgbF(float(a.redF() * (1 - share) + b.redF() * share),
                            float(a.greenF() * (1 - share) + b.greenF() * share),
                            float(a.blueF() * (1 - share) + b.blueF() * share));
}

bool isWordCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('-');
}

std::vector<int> search(QStringView text, const QString &pattern, CodeEditor::FindOptions options)
{
    std::vector<int> found;
    if (pattern.isEmpty())
        return found;
    const QStringMatcher matcher(pattern, options.caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive);
    const qsizetype length = pattern.size();
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = matcher.indexIn(text, from);
        if (at < 0)
            break;
        if (options.wholeWords && ((at > 0 && isWordCharacter(text[at - 1])) ||
                                   (at + length < text.size() && isWordCharacter(text[at + length])))) {
            from = at + 1;
            continue;
        }
        found.push_back(int(at));
        from = at + length;
    }
    return found;
}

bool isBrace(QChar c)
{
    return c == QLatin1Char('{') || c == QLatin1Char('}') || c == QLatin1Char('(') || c == QLatin1Char(')') ||
           c == QLatin1Char('[') || c == QLatin1Char(']');
}

QChar partner(QChar c)
{
    switch (c.unicode()) {
    case '{':
        return QLatin1Char('}');
    case '}':
        return QLatin1Char('{');
    case '(':
        return QLatin1Char(')');
    case ')':
        return QLatin1Char('(');
    case '[':
        return QLatin1Char(']');
    default:
        return QLatin1Char('[');
    }
}

// Braces inside comments, strings and url() are text, not structure.
bool countsAsBrace(Kind kind)
{
    return kind != Kind::Comment && kind != Kind::String && kind != Kind::Url && kind != Kind::None;
}

Kind kindAtOffset(const std::vector<CssColouring::Span> &spans, int offset)
{
    for (const auto &span : spans)
        if (offset >= span.start && offset < span.start + span.length)
            return span.kind;
    return Kind::None;
}

} // namespace

CodeEditor::CodeEditor(QWidget *parent) : QPlainTextEdit(parent)
{
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setTabStopDistance(TabStopSpaces * fontMetrics().horizontalAdvance(QLatin1Char(' ')));
    m_highlighter = new CssHighlighter(this);
    m_gutter = new LineNumberGutter(this);
    m_findAgain = new QTimer(this);
    m_findAgain->setSingleShot(true);
    m_findAgain->setInterval(250);
    connect(m_findAgain, &QTimer::timeout, this, [this] {
        if (!m_pattern.isEmpty())
            findAll(m_pattern, m_options);
    });

    connect(this, &QPlainTextEdit::blockCountChanged, this, &CodeEditor::updateGutterWidth);
    connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect &rect, int dy) {
        if (dy) {
            m_gutter->scroll(0, dy);
            updateSelections(); // other matches come into view
        } else {
            m_gutter->update(0, rect.y(), m_gutter->width(), rect.height());
        }
    });
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, [this] {
        matchBraces();
        updateSelections();
        m_gutter->update();
    });
    connect(document(), &QTextDocument::contentsChange, this, &CodeEditor::contentsChange);
    connect(m_highlighter, &CssHighlighter::exactColoursReady, viewport(), qOverload<>(&QWidget::update));
    updateGutterWidth();
    updateSelections();
}

CodeEditor::~CodeEditor() = default;

int CodeEditor::gutterWidth() const
{
    int digits = 1;
    for (int max = std::max(1, blockCount()); max >= 10; max /= 10)
        ++digits;
    digits = std::max(digits, 3);
    return 8 + fontMetrics().horizontalAdvance(QLatin1Char('9')) * digits;
}

void CodeEditor::updateGutterWidth()
{
    const int width = gutterWidth();
    if (width != viewportMargins().left())
        setViewportMargins(width, 0, 0, 0);
    const QRect area = contentsRect();
    m_gutter->setGeometry(QRect(area.left(), area.top(), width, area.height()));
}

void CodeEditor::resizeEvent(QResizeEvent *event)
{
    QPlainTextEdit::resizeEvent(event);
    updateGutterWidth();
    updateSelections();
}

void CodeEditor::changeEvent(QEvent *event)
{
    QPlainTextEdit::changeEvent(event);
    if (!m_highlighter)
        return; // still being made
    if (event->type() == QEvent::FontChange) {
        setTabStopDistance(TabStopSpaces * fontMetrics().horizontalAdvance(QLatin1Char(' ')));
        m_highlighter->setPalette(palette());
        updateGutterWidth();
    } else if (event->type() == QEvent::PaletteChange) {
        m_highlighter->setPalette(palette());
        updateSelections();
    }
}

std::pair<QTextBlock, QTextBlock> CodeEditor::visibleBlocks() const
{
    const QTextBlock first = firstVisibleBlock();
    QTextBlock last = first;
    const QPointF offset = contentOffset();
    const int height = viewport()->height();
    for (QTextBlock block = first; block.isValid(); block = block.next()) {
        last = block;
        if (blockBoundingGeometry(block).translated(offset).bottom() >= height)
            break;
    }
    return {first, last};
}

void CodeEditor::paintEvent(QPaintEvent *event)
{
    const auto [first, last] = visibleBlocks();
    m_highlighter->prepare(first, last);
    QPlainTextEdit::paintEvent(event);

    // A swatch in the room left after each colour value.
    QPainter painter(viewport());
    const QPointF offset = contentOffset();
    const qreal space = m_highlighter->swatchSpace();
    const QColor frame = mix(palette().color(QPalette::Base), palette().color(QPalette::Text), 0.6);
    for (QTextBlock block = first; block.isValid(); block = block.next()) {
        const auto *swatches = m_highlighter->swatches(block);
        if (swatches && !swatches->empty()) {
            const QRectF bounds = blockBoundingGeometry(block).translated(offset);
            const QTextLayout *layout = block.layout();
            for (const CssColouring::Swatch &swatch : *swatches) {
                const int end = swatch.start + swatch.length;
                const QTextLine line = layout->lineForTextPosition(end - 1);
                if (!line.isValid())
                    continue;
                const qreal size = std::max(4.0, std::min(line.height() - 4, space - 4));
                const qreal x =
                    offset.x() + layout->position().x() + line.cursorToX(end) - space + (space - size) / 2;
                const QRectF box(x, bounds.top() + line.y() + (line.height() - size) / 2, size, size);
                ColourSwatch::paint(painter, box, {swatch.color, swatch.dark}, frame);
            }
        }
        if (block == last)
            break;
    }
}

void CodeEditor::paintGutter(QPaintEvent *event)
{
    QPainter painter(m_gutter);
    const QPalette colours = palette();
    painter.fillRect(event->rect(), mix(colours.color(QPalette::Base), colours.color(QPalette::Window), 0.7));
    painter.setFont(font());
    const int current = textCursor().blockNumber();
    QTextBlock block = firstVisibleBlock();
    const QPointF offset = contentOffset();
    int top = qRound(blockBoundingGeometry(block).translated(offset).top());
    const int width = m_gutter->width() - 4;
    const int height = fontMetrics().height();
    while (block.isValid() && top <= event->rect().bottom()) {
        const int bottom = top + qRound(blockBoundingRect(block).height());
        if (bottom >= event->rect().top()) {
            const bool isCurrent = block.blockNumber() == current;
            painter.setPen(isCurrent
                               ? colours.color(QPalette::Text)
                               : mix(colours.color(QPalette::Base), colours.color(QPalette::Text), 0.55));
            painter.drawText(0, top, width, height, Qt::AlignRight, QString::number(block.blockNumber() + 1));
        }
        block = block.next();
        top = bottom;
    }
}

void CodeEditor::keyPressEvent(QKeyEvent *event)
{
    if (m_completer && m_completer->isShown()) {
        // The list takes these keys: accept, go back, or dismiss.
        switch (event->key()) {
        case Qt::Key_Enter:
        case Qt::Key_Return:
        case Qt::Key_Escape:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            event->ignore();
            return;
        default:
            break;
        }
    }
    if (m_completer && event->key() == Qt::Key_Space && (event->modifiers() & Qt::ControlModifier)) {
        m_completer->complete(true);
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
    if (m_completer)
        m_completer->afterKey(event->text(), event->key());
}

bool CodeEditor::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const int position = cursorForPosition(help->pos()).position();
        if (hasCheckMark() && position >= checkMarkStart() && position <= checkMarkEnd())
            QToolTip::showText(help->globalPos(), m_checkText, viewport());
        else
            QToolTip::hideText();
        return true;
    }
    return QPlainTextEdit::viewportEvent(event);
}

void CodeEditor::contentsChange(int from, int removed, int added)
{
    ++m_revision;
    if (!m_matches.empty()) {
        // Matches that the edit touched go; those after it move with the text.
        const int length = matchLength();
        const int delta = added - removed;
        const auto begin = std::lower_bound(m_matches.begin(), m_matches.end(), from - length + 1);
        const auto end = std::lower_bound(begin, m_matches.end(), from + removed);
        const auto kept = m_matches.erase(begin, end);
        for (auto it = kept; it != m_matches.end(); ++it)
            *it += delta;
    }
    if (!m_pattern.isEmpty())
        m_findAgain->start();
}

const QString &CodeEditor::rawText()
{
    if (m_rawTextRevision != m_revision) {
        m_rawText = document()->toRawText();
        m_rawTextRevision = m_revision;
    }
    return m_rawText;
}

int CodeEditor::findAll(const QString &pattern, FindOptions options)
{
    m_findAgain->stop();
    m_pattern = pattern;
    m_options = options;
    m_matches = search(rawText(), pattern, options);
    updateSelections();
    emit matchesChanged();
    return int(m_matches.size());
}

void CodeEditor::clearFind()
{
    m_findAgain->stop();
    m_pattern.clear();
    m_matches.clear();
    m_rawText = QString();
    m_rawTextRevision = ~quint64(0);
    updateSelections();
    emit matchesChanged();
}

bool CodeEditor::findNext(bool backward)
{
    if (m_matches.empty())
        return false;
    const QTextCursor cursor = textCursor();
    int match = 0;
    if (backward) {
        const auto it = std::lower_bound(m_matches.begin(), m_matches.end(), cursor.selectionStart());
        match = it == m_matches.begin() ? m_matches.back() : *(it - 1);
    } else {
        const auto it = std::lower_bound(m_matches.begin(), m_matches.end(), cursor.selectionEnd());
        match = it == m_matches.end() ? m_matches.front() : *it;
    }
    QTextCursor select(document());
    select.setPosition(match);
    select.setPosition(match + matchLength(), QTextCursor::KeepAnchor);
    setTextCursor(select);
    ensureCursorVisible();
    return true;
}

int CodeEditor::currentMatch() const
{
    const QTextCursor cursor = textCursor();
    if (!cursor.hasSelection() || cursor.selectionEnd() - cursor.selectionStart() != matchLength())
        return -1;
    const auto it = std::lower_bound(m_matches.begin(), m_matches.end(), cursor.selectionStart());
    return it != m_matches.end() && *it == cursor.selectionStart() ? int(it - m_matches.begin()) : -1;
}

bool CodeEditor::replaceCurrent(const QString &replacement)
{
    if (currentMatch() < 0)
        return false;
    textCursor().insertText(replacement);
    findNext();
    return true;
}

int CodeEditor::replaceAll(const QString &replacement)
{
    const std::vector<int> matches = m_matches;
    if (matches.empty())
        return 0;
    const int length = matchLength();
    QTextCursor cursor(document());
    if (matches.size() <= size_t(ReplaceOneByOne)) {
        cursor.beginEditBlock();
        for (auto it = matches.rbegin(); it != matches.rend(); ++it) {
            cursor.setPosition(*it);
            cursor.setPosition(*it + length, QTextCursor::KeepAnchor);
            cursor.insertText(replacement);
        }
        cursor.endEditBlock();
    } else {
        // Many matches: the new text is made at once and put in as one edit.
        const QString &text = rawText();
        QString replaced;
        replaced.reserve(text.size() + qsizetype(matches.size()) * (replacement.size() - length));
        qsizetype from = 0;
        const int caret = textCursor().position();
        int newCaret = caret;
        for (const int match : matches) {
            replaced.append(QStringView(text).sliced(from, match - from));
            replaced.append(replacement);
            from = match + length;
            if (match + length <= caret)
                newCaret += int(replacement.size()) - length;
        }
        replaced.append(QStringView(text).sliced(from));
        replaced.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
        const int scroll = verticalScrollBar()->value();
        cursor.beginEditBlock();
        cursor.select(QTextCursor::Document);
        cursor.insertText(replaced);
        cursor.endEditBlock();
        QTextCursor kept(document());
        kept.setPosition(std::min(newCaret, document()->characterCount() - 1));
        setTextCursor(kept);
        verticalScrollBar()->setValue(scroll);
    }
    findAll(m_pattern, m_options);
    return int(matches.size());
}

void CodeEditor::goToLine(int line)
{
    const int number = std::clamp(line, 1, blockCount()) - 1;
    QTextCursor cursor(document()->findBlockByNumber(number));
    setTextCursor(cursor);
    centerCursor();
    setFocus();
}

void CodeEditor::setCheckMark(int position, int length, const QString &text)
{
    if (position < 0) {
        m_checkMark = QTextCursor();
        m_checkText.clear();
    } else {
        const int last = document()->characterCount() - 1;
        m_checkMark = QTextCursor(document());
        m_checkMark.setPosition(std::min(position, last));
        m_checkMark.setPosition(std::min(position + std::max(length, 1), last), QTextCursor::KeepAnchor);
        m_checkText = text;
    }
    updateSelections();
}

bool CodeEditor::hasCheckMark() const
{
    return !m_checkMark.isNull();
}

int CodeEditor::checkMarkStart() const
{
    return hasCheckMark() ? m_checkMark.selectionStart() : -1;
}

int CodeEditor::checkMarkEnd() const
{
    return hasCheckMark() ? m_checkMark.selectionEnd() : -1;
}

void CodeEditor::matchBraces()
{
    m_braceAt = m_braceMatch = -1;
    const QTextCursor cursor = textCursor();
    const QTextBlock block = cursor.block();
    const QString text = block.text();
    const int column = cursor.positionInBlock();
    const std::vector<CssColouring::Span> spans = m_highlighter->spans(block);
    int at = -1;
    for (const int candidate : {column, column - 1}) {
        if (candidate >= 0 && candidate < text.size() && isBrace(text[candidate]) &&
            countsAsBrace(kindAtOffset(spans, candidate))) {
            at = candidate;
            break;
        }
    }
    if (at < 0)
        return;
    m_braceAt = block.position() + at;
    const QChar brace = text[at];
    const QChar wanted = partner(brace);
    const bool forward = brace == QLatin1Char('{') || brace == QLatin1Char('(') || brace == QLatin1Char('[');
    int depth = 0;
    // Looks through each line's braces in reading order (or backwards), skipping
    // those in comments, strings and url().
    const auto look = [&](const QTextBlock &line, const std::vector<CssColouring::Span> &lineSpans,
                          int from) {
        const QString lineText = line.text();
        const int step = forward ? 1 : -1;
        for (int i = from; i >= 0 && i < lineText.size(); i += step) {
            const QChar c = lineText[i];
            if (c != brace && c != wanted)
                continue;
            if (!countsAsBrace(kindAtOffset(lineSpans, i)))
                continue;
            if (c == brace) {
                ++depth;
            } else if (depth == 0) {
                m_braceMatch = line.position() + i;
                return true;
            } else {
                --depth;
            }
        }
        return false;
    };
    if (look(block, spans, forward ? at + 1 : at - 1))
        return;
    if (forward) {
        CssColouring::LineScanner scanner(m_highlighter->stateBefore(block));
        scanner.scan(text);
        QTextBlock line = block.next();
        for (int n = 0; line.isValid() && n < BraceSearchLines; ++n, line = line.next()) {
            std::vector<CssColouring::Span> lineSpans;
            scanner.scan(line.text(), &lineSpans);
            if (look(line, lineSpans, 0))
                return;
        }
    } else {
        QTextBlock line = block.previous();
        for (int n = 0; line.isValid() && n < BraceSearchLines; ++n, line = line.previous()) {
            if (look(line, m_highlighter->spans(line), line.length() - 2))
                return;
        }
    }
}

void CodeEditor::updateSelections()
{
    const QPalette colours = palette();
    const QColor base = colours.color(QPalette::Base);
    const bool dark = base.lightness() < 128;
    QList<QTextEdit::ExtraSelection> selections;

    QTextEdit::ExtraSelection line;
    line.format.setBackground(mix(base, colours.color(QPalette::Highlight), dark ? 0.22 : 0.10));
    line.format.setProperty(QTextFormat::FullWidthSelection, true);
    line.cursor = textCursor();
    line.cursor.clearSelection();
    selections.append(line);

    if (!m_matches.empty()) {
        const auto [first, last] = visibleBlocks();
        const int length = matchLength();
        const int from = first.position();
        const int to = last.position() + last.length();
        QTextCharFormat format;
        format.setBackground(dark ? QColor(0x6b, 0x5a, 0x00) : QColor(0xff, 0xe0, 0x66));
        int shown = 0;
        for (auto it = std::lower_bound(m_matches.begin(), m_matches.end(), from - length);
             it != m_matches.end() && *it < to && shown < MaxShownMatches; ++it, ++shown) {
            QTextEdit::ExtraSelection match;
            match.cursor = QTextCursor(document());
            match.cursor.setPosition(*it);
            match.cursor.setPosition(*it + length, QTextCursor::KeepAnchor);
            match.format = format;
            selections.append(match);
        }
    }

    if (m_braceAt >= 0) {
        QTextCharFormat format;
        if (m_braceMatch >= 0)
            format.setBackground(mix(base, colours.color(QPalette::Highlight), dark ? 0.5 : 0.35));
        else
            format.setBackground(dark ? QColor(0x80, 0x20, 0x20) : QColor(0xff, 0xb0, 0xb0));
        for (const int position : {m_braceAt, m_braceMatch}) {
            if (position < 0)
                continue;
            QTextEdit::ExtraSelection brace;
            brace.cursor = QTextCursor(document());
            brace.cursor.setPosition(position);
            brace.cursor.setPosition(position + 1, QTextCursor::KeepAnchor);
            brace.format = format;
            selections.append(brace);
        }
    }

    if (hasCheckMark()) {
        QTextEdit::ExtraSelection mark;
        mark.cursor = m_checkMark;
        mark.format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
        mark.format.setUnderlineColor(QColor(0xe0, 0x10, 0x10));
        selections.append(mark);
    }
    setExtraSelections(selections);
}
