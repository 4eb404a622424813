#include "SaveQuestionBoxes.h"

#include "EncodingChoice.h"
#include "Messages.h"

bool SaveQuestionBoxes::mayReplaceChangedFile(const QString &path, bool removed)
{
    return Messages::mayReplaceChangedFile(m_parent, path, removed);
}

bool SaveQuestionBoxes::mayWriteReadOnlyFile(const QString &path)
{
    return Messages::mayWriteReadOnlyFile(m_parent, path);
}

std::optional<SaveQuestions::Encoding>
SaveQuestionBoxes::encodingFor(const QString &text, TextFile::Encoding encoding, bool byteOrderMark)
{
    return EncodingChoice::forSave(m_parent, text, encoding, byteOrderMark);
}
