#pragma once

#include "RegistryKey.h"

#include <QCoreApplication>
#include <QString>
#include <QVariant>
#include <vector>

// The program's stored settings: registry roots, keys, named values and their types,
// kept in one text file in the registry export format:
//
//     Windows Registry Editor Version 5.00
//
//     [HKEY_CURRENT_USER\Software\Loomwright 99\Template]
//     "Template"="line one\r\nline two"
//     @="the key's default value"
//     "Width"=dword:00000400
//
// In strings, backslash, double quote, CR and LF are written \\, \", \r and \n. The
// file lies at $LOOMWRIGHT_REGISTRY, else at "$XDG_CONFIG_HOME/Loomwright 99/registry.reg"
// (~/.config when XDG_CONFIG_HOME is unset). While it does not exist, its content is
// that of "registry-defaults.reg" in the program folder (the installation puts the
// first-start marker there); the first write then creates it. Every write replaces the
// file atomically. A file that cannot be parsed is a Failure naming the file and line,
// and is never overwritten. Key paths and value names compare without regard to case.
//
// Each operation reads the file afresh, so several stores and keys on the same file
// always see each other's writes.
class RegistryStore
{
public:
    enum class Root { CurrentUser, ClassesRoot };

    explicit RegistryStore(QString programFolder = QCoreApplication::applicationDirPath());

    // Opens the key at path (backslash-separated; a leading backslash is allowed) under
    // root, creating it when missing. Fails when the path holds an empty or invalid part,
    // the file cannot be read or parsed, or a missing key cannot be written.
    RegistryKey openKey(Root root, const QString &path);

    // Where the settings live, and where their defaults come from.
    static QString filePath();
    QString defaultsFilePath() const;

private:
    friend class RegistryKey;

    struct Value
    {
        QString name;  // empty for the key's default value
        QVariant data; // QString or quint32
    };
    struct Key
    {
        QString path; // root name and key path, e.g. HKEY_CLASSES_ROOT\.sit
        std::vector<Value> values;
    };
    using Contents = std::vector<Key>;

    Contents load() const;
    void save(const Contents &contents) const;

    static Contents parse(const QByteArray &bytes, const QString &fileName);
    static QByteArray serialise(const Contents &contents);
    static Key *findKey(Contents &contents, const QString &path);
    static Key &findOrAddKey(Contents &contents, const QString &path);

    QVariant value(const QString &keyPath, const QString &name) const;
    void setValue(const QString &keyPath, const QString &name, const QVariant &data);

    QString m_programFolder;
};
