#include "RegistryKey.h"

#include "Failure.h"
#include "RegistryStore.h"

QString RegistryKey::readString(const QString &name) const
{
    const QVariant data = value(name);
    if (!data.isValid())
        return QString();
    if (data.typeId() != QMetaType::QString)
        throw Failure(QStringLiteral("The value \"%1\" of the key %2 is not a string").arg(name, m_path));
    return data.toString();
}

QVariant RegistryKey::value(const QString &name) const
{
    return m_store->value(m_path, name);
}

void RegistryKey::writeString(const QString &name, const QString &text)
{
    m_store->setValue(m_path, name, QVariant(text));
}

void RegistryKey::writeDword(const QString &name, quint32 number)
{
    m_store->setValue(m_path, name, QVariant::fromValue(number));
}
