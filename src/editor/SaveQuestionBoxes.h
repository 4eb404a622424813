#pragma once

#include "SaveQuestions.h"

class QWidget;

// Save's questions asked of the user in message boxes over `parent`: the same boxes
// whichever window saves.
class SaveQuestionBoxes : public SaveQuestions
{
public:
    explicit SaveQuestionBoxes(QWidget *parent) : m_parent(parent) {}

    bool mayReplaceChangedFile(const QString &path, bool removed) override;
    bool mayWriteReadOnlyFile(const QString &path) override;
    std::optional<Encoding> encodingFor(const QString &text, TextFile::Encoding encoding,
                                        bool byteOrderMark) override;

private:
    QWidget *m_parent;
};
