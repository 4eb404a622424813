#pragma once

#include <QPlainTextEdit>
#include <QString>
#include <vector>

class CodeCompleter;
class CssHighlighter;
class QTimer;

// The code window's text editor: CSS colours with a swatch after each colour value, line
// numbers in a gutter, the current line and the brace matching the one at the caret
// shown, a monospace font with tab stops of four spaces and no word wrap. It also shows
// every match of a search, and the place where the reader refuses the text, with a
// wavy red underline whose tooltip says why.
class CodeEditor : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit CodeEditor(QWidget *parent = nullptr);
    ~CodeEditor() override;

    CssHighlighter *highlighter() const { return m_highlighter; }
    void setCompleter(CodeCompleter *completer) { m_completer = completer; }

    // The width of the line-number gutter.
    int gutterWidth() const;

    // Search. The matches are document positions, in order; they follow edits and are
    // searched afresh shortly after one.
    struct FindOptions
    {
        bool caseSensitive = false;
        bool wholeWords = false; // a match may not touch a letter, digit, "_" or "-"
    };
    int findAll(const QString &pattern, FindOptions options);
    void clearFind();
    const std::vector<int> &matches() const { return m_matches; }
    int matchLength() const { return int(m_pattern.size()); }
    // Selects the next (or previous) match from the caret on, going round at the end;
    // false when there is none.
    bool findNext(bool backward = false);
    // The match the selection covers, or -1.
    int currentMatch() const;
    // Replaces the selected match and selects the next one; false when no match was
    // selected.
    bool replaceCurrent(const QString &replacement);
    // Replaces every match in one step that a single undo takes back; gives the count.
    int replaceAll(const QString &replacement);

    // Puts the caret at the start of a line (1-based; clamped to the text) and shows it.
    void goToLine(int line);

    // The braces highlighted for the caret: the one at it and its match (-1 for none).
    int braceAtCaret() const { return m_braceAt; }
    int matchingBrace() const { return m_braceMatch; }

    // The reader's refusal: underlined from `position` for `length` characters, with
    // `text` as its tooltip; a negative position takes the mark away.
    void setCheckMark(int position, int length, const QString &text);
    bool hasCheckMark() const;
    int checkMarkStart() const;
    int checkMarkEnd() const;
    const QString &checkMarkText() const { return m_checkText; }

    // The extra selections as painted: current line, matches in view, braces, mark.
    void updateSelections();

signals:
    // The matches changed (searched afresh or after an edit).
    void matchesChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    friend class LineNumberGutter;
    void paintGutter(QPaintEvent *event);
    void updateGutterWidth();
    void contentsChange(int from, int removed, int added);
    void matchBraces();
    // The first and last blocks in view.
    std::pair<QTextBlock, QTextBlock> visibleBlocks() const;
    const QString &rawText();

    CssHighlighter *m_highlighter = nullptr;
    CodeCompleter *m_completer = nullptr;
    QWidget *m_gutter = nullptr;
    int m_gutterDigits = 0;

    QString m_pattern;
    FindOptions m_options;
    std::vector<int> m_matches;
    QTimer *m_findAgain = nullptr;
    QString m_rawText;
    quint64 m_revision = 0;
    quint64 m_rawTextRevision = ~quint64(0);

    int m_braceAt = -1;
    int m_braceMatch = -1;

    QTextCursor m_checkMark;
    QString m_checkText;
};
