#include "CodeCompleter.h"

#include "CodeEditor.h"
#include "CssHighlighter.h"
#include "CssTokenizer.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QScrollBar>
#include <QStringListModel>
#include <QTextBlock>

using CssColouring::Kind;
using CssColouring::Place;

namespace {

// A value on lines of its own still belongs to the name some lines up.
constexpr int NameSearchLines = 10;

} // namespace

CodeCompleter::CodeCompleter(CodeEditor *editor)
    : QObject(editor), m_editor(editor), m_completer(new QCompleter(this)),
      m_model(new QStringListModel(this))
{
    m_completer->setWidget(editor);
    m_completer->setModel(m_model);
    m_completer->setCompletionMode(QCompleter::PopupCompletion);
    m_completer->setCaseSensitivity(Qt::CaseInsensitive);
    m_completer->setModelSorting(QCompleter::UnsortedModel);
    m_completer->setMaxVisibleItems(12);
    connect(m_completer, qOverload<const QString &>(&QCompleter::activated), this, &CodeCompleter::insert);
    editor->setCompleter(this);
}

void CodeCompleter::setLists(const QStringList &properties, const QHash<QString, QStringList> &keywords)
{
    m_properties = properties;
    m_keywords.clear();
    for (auto it = keywords.begin(); it != keywords.end(); ++it)
        m_keywords.insert(it.key().toLower(), it.value());
}

bool CodeCompleter::isShown() const
{
    return m_completer->popup()->isVisible();
}

CodeCompleter::Context CodeCompleter::context() const
{
    const QTextCursor cursor = m_editor->textCursor();
    if (cursor.hasSelection())
        return {};
    const QTextBlock block = cursor.block();
    const QString text = block.text();
    const int column = cursor.positionInBlock();
    int start = column;
    while (start > 0 && Css::isNameCharacter(text[start - 1]))
        --start;
    Context context;
    context.prefix = text.mid(start, column - start);

    CssHighlighter *highlighter = m_editor->highlighter();
    CssColouring::LineScanner scanner(highlighter->stateBefore(block));
    scanner.scan(QStringView(text).first(column));
    switch (scanner.place()) {
    case Place::PropertyName:
        context.list = m_properties;
        break;
    case Place::Value: {
        QString property = scanner.property();
        QTextBlock line = block.previous();
        for (int n = 0; property.isEmpty() && line.isValid() && n < NameSearchLines;
             ++n, line = line.previous()) {
            const std::vector<CssColouring::Span> spans = highlighter->spans(line);
            for (auto it = spans.rbegin(); it != spans.rend(); ++it) {
                if (it->kind == Kind::Property) {
                    property = line.text().mid(it->start, it->length);
                    break;
                }
            }
        }
        context.list = m_keywords.value(property.trimmed().toLower());
        break;
    }
    case Place::Other:
        break;
    }
    return context;
}

QStringList CodeCompleter::offered() const
{
    const Context now = context();
    QStringList offered;
    for (const QString &entry : now.list)
        if (entry.startsWith(now.prefix, Qt::CaseInsensitive))
            offered.append(entry);
    return offered;
}

QString CodeCompleter::prefix() const
{
    return context().prefix;
}

void CodeCompleter::complete(bool asked)
{
    if (!hasLists())
        emit listsWanted();
    const Context now = context();
    QAbstractItemView *popup = m_completer->popup();
    if (now.list.isEmpty() || (!asked && now.prefix.size() < 2)) {
        popup->hide();
        return;
    }
    if (m_model->stringList() != now.list)
        m_model->setStringList(now.list);
    m_prefix = now.prefix;
    m_completer->setCompletionPrefix(now.prefix);
    const int count = m_completer->completionCount();
    // Nothing to offer, or only the very word already typed.
    if (count == 0 || (!asked && count == 1 &&
                       m_completer->currentCompletion().compare(now.prefix, Qt::CaseInsensitive) == 0)) {
        popup->hide();
        return;
    }
    popup->setCurrentIndex(m_completer->completionModel()->index(0, 0));
    QRect place = m_editor->cursorRect();
    place.translate(-m_editor->fontMetrics().horizontalAdvance(now.prefix), 0);
    place.setWidth(popup->sizeHintForColumn(0) + popup->verticalScrollBar()->sizeHint().width() + 8);
    m_completer->complete(place);
}

void CodeCompleter::afterKey(const QString &text, int key)
{
    if (isShown()) {
        // Typing narrows the list; a character that ends the word closes it.
        if (context().prefix.isEmpty() && key != Qt::Key_Backspace)
            m_completer->popup()->hide();
        else
            complete(true);
        return;
    }
    if (!text.isEmpty() && Css::isNameCharacter(text.back()) && text.back().isLetter())
        complete(false);
}

void CodeCompleter::insert(const QString &completion)
{
    QTextCursor cursor = m_editor->textCursor();
    cursor.movePosition(QTextCursor::Left, QTextCursor::KeepAnchor, int(context().prefix.size()));
    cursor.insertText(completion);
    m_editor->setTextCursor(cursor);
}
