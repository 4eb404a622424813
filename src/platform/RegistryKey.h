#pragma once

#include <QString>
#include <QVariant>

class RegistryStore;

// One key of the stored settings, as opened by RegistryStore::openKey. An empty value
// name stands for the key's default (unnamed) value. The store must outlive the key.
class RegistryKey
{
public:
    // The key's full path, root name included (HKEY_CURRENT_USER\Software\...).
    const QString &path() const { return m_path; }

    // A string value; a missing value reads as empty, a value of another type fails.
    QString readString(const QString &name) const;
    // A value with its type: a QString, a quint32, or an invalid QVariant when missing.
    QVariant value(const QString &name) const;

    void writeString(const QString &name, const QString &text);
    void writeDword(const QString &name, quint32 number);

private:
    friend class RegistryStore;
    RegistryKey(RegistryStore *store, QString path) : m_store(store), m_path(std::move(path)) {}

    RegistryStore *m_store;
    QString m_path;
};
