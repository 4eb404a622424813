#include "FindBar.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

FindBar::FindBar(QWidget *parent) : QWidget(parent)
{
    FindEdit = new QLineEdit;
    FindEdit->setPlaceholderText(QStringLiteral("Find"));
    FindEdit->setClearButtonEnabled(true);
    ReplaceEdit = new QLineEdit;
    ReplaceEdit->setPlaceholderText(QStringLiteral("Replace with"));
    CaseBox = new QCheckBox(QStringLiteral("Match c&ase"));
    WordBox = new QCheckBox(QStringLiteral("&Whole words"));
    Previous = new QToolButton;
    Previous->setArrowType(Qt::UpArrow);
    Previous->setToolTip(QStringLiteral("Previous (Shift+F3)"));
    Next = new QToolButton;
    Next->setArrowType(Qt::DownArrow);
    Next->setToolTip(QStringLiteral("Next (F3)"));
    ReplaceOne = new QPushButton(QStringLiteral("Replace"));
    ReplaceAll = new QPushButton(QStringLiteral("Replace All"));
    for (QPushButton *button : {ReplaceOne, ReplaceAll}) {
        button->setAutoDefault(false);
        button->setFocusPolicy(Qt::TabFocus);
    }
    CloseBar = new QToolButton;
    CloseBar->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    CloseBar->setAutoRaise(true);
    CloseBar->setToolTip(QStringLiteral("Close (Esc)"));
    Result = new QLabel;

    auto *findRow = new QHBoxLayout;
    findRow->addWidget(FindEdit, 1);
    findRow->addWidget(Previous);
    findRow->addWidget(Next);
    findRow->addWidget(CaseBox);
    findRow->addWidget(WordBox);
    findRow->addWidget(Result);
    findRow->addWidget(CloseBar);
    m_replaceRow = new QWidget;
    auto *replaceRow = new QHBoxLayout(m_replaceRow);
    replaceRow->setContentsMargins(0, 0, 0, 0);
    replaceRow->addWidget(ReplaceEdit, 1);
    replaceRow->addWidget(ReplaceOne);
    replaceRow->addWidget(ReplaceAll);
    replaceRow->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 3, 4, 3);
    layout->setSpacing(3);
    layout->addLayout(findRow);
    layout->addWidget(m_replaceRow);

    connect(FindEdit, &QLineEdit::textChanged, this, &FindBar::searchChanged);
    connect(CaseBox, &QCheckBox::toggled, this, &FindBar::searchChanged);
    connect(WordBox, &QCheckBox::toggled, this, &FindBar::searchChanged);
    connect(Next, &QToolButton::clicked, this, &FindBar::nextWanted);
    connect(Previous, &QToolButton::clicked, this, &FindBar::previousWanted);
    connect(ReplaceOne, &QPushButton::clicked, this, &FindBar::replaceWanted);
    connect(ReplaceAll, &QPushButton::clicked, this, &FindBar::replaceAllWanted);
    connect(CloseBar, &QToolButton::clicked, this, &FindBar::close);
    hide();
}

void FindBar::open(bool replace, const QString &text)
{
    m_replaceRow->setVisible(replace);
    if (!text.isEmpty())
        FindEdit->setText(text);
    show();
    FindEdit->setFocus(Qt::ShortcutFocusReason);
    FindEdit->selectAll();
}

void FindBar::close()
{
    if (isHidden())
        return;
    hide();
    emit closed();
}

bool FindBar::isReplacing() const
{
    return isVisible() && m_replaceRow->isVisible();
}

QString FindBar::findText() const
{
    return FindEdit->text();
}

QString FindBar::replaceText() const
{
    return ReplaceEdit->text();
}

bool FindBar::caseSensitive() const
{
    return CaseBox->isChecked();
}

bool FindBar::wholeWords() const
{
    return WordBox->isChecked();
}

void FindBar::setResult(const QString &text, bool found)
{
    Result->setText(text);
    QPalette colours = palette();
    if (!found && !text.isEmpty())
        colours.setColor(QPalette::WindowText, QColor(0xc0, 0x20, 0x20));
    Result->setPalette(colours);
}

void FindBar::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        close();
        event->accept();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (ReplaceEdit->hasFocus())
            emit replaceWanted();
        else if (event->modifiers() & Qt::ShiftModifier)
            emit previousWanted();
        else
            emit nextWanted();
        event->accept();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}
