#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

class CodeEditor;
class QCompleter;
class QStringListModel;

// Completion in the code window: where a declaration's name can stand, the attribute
// names of the catalogue; where its value stands, that attribute's words. The list opens
// on request (Ctrl+Space) or by itself once two letters of a name or a value are typed;
// Enter or Tab puts the chosen entry in place of the letters typed, Escape closes it.
class CodeCompleter : public QObject
{
    Q_OBJECT
public:
    explicit CodeCompleter(CodeEditor *editor);

    // The attribute names, and the words of each attribute that takes a choice.
    void setLists(const QStringList &properties, const QHash<QString, QStringList> &keywords);
    bool hasLists() const { return !m_properties.isEmpty(); }

    // Shows the list that fits the caret's place; `asked` shows it for any number of
    // letters typed, otherwise two are needed.
    void complete(bool asked);
    // After a key went to the editor: opens, narrows or closes the list as it fits.
    void afterKey(const QString &text, int key);
    bool isShown() const;

    // The entries offered for the caret's place and the letters they complete, whether
    // shown or not (for the window and its tests).
    QStringList offered() const;
    QString prefix() const;
    QCompleter *completer() const { return m_completer; }

signals:
    // Asks for the lists before their first use (the catalogue is read only then).
    void listsWanted();

private:
    struct Context
    {
        QStringList list;
        QString prefix;
    };
    Context context() const;
    void insert(const QString &completion);

    CodeEditor *m_editor;
    QCompleter *m_completer;
    QStringListModel *m_model;
    QStringList m_properties;
    QHash<QString, QStringList> m_keywords; // by attribute name, lower case
    QString m_prefix;
};
