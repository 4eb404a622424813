#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

// The code window's find and replace bar, shown under the text: the text to find, with
// switches for case and whole words, next and previous, and (in its replace form) the
// replacement with Replace and Replace All. Escape closes it.
class FindBar : public QWidget
{
    Q_OBJECT
public:
    explicit FindBar(QWidget *parent = nullptr);

    // Shows the bar, with the replace row or without, and puts the caret in the text to
    // find (all of it selected); `text`, when not empty, becomes that text.
    void open(bool replace, const QString &text = {});
    void close();
    bool isReplacing() const;

    QString findText() const;
    QString replaceText() const;
    bool caseSensitive() const;
    bool wholeWords() const;
    // Shows how the search went: "3 of 120", "No matches"...
    void setResult(const QString &text, bool found);

    QLineEdit *FindEdit = nullptr;
    QLineEdit *ReplaceEdit = nullptr;
    QCheckBox *CaseBox = nullptr;
    QCheckBox *WordBox = nullptr;
    QToolButton *Previous = nullptr;
    QToolButton *Next = nullptr;
    QPushButton *ReplaceOne = nullptr;
    QPushButton *ReplaceAll = nullptr;
    QToolButton *CloseBar = nullptr;
    QLabel *Result = nullptr;

signals:
    // The text to find or a switch changed.
    void searchChanged();
    void nextWanted();
    void previousWanted();
    void replaceWanted();
    void replaceAllWanted();
    void closed();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QWidget *m_replaceRow = nullptr;
};
