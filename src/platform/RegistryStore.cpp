#include "RegistryStore.h"

#include "Failure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

namespace {

const QLatin1String header("Windows Registry Editor Version 5.00");
const QLatin1String rootNames[] = {QLatin1String("HKEY_CLASSES_ROOT"), QLatin1String("HKEY_CURRENT_USER"),
                                   QLatin1String("HKEY_LOCAL_MACHINE"), QLatin1String("HKEY_USERS"),
                                   QLatin1String("HKEY_CURRENT_CONFIG")};

// A key path in its stored form: root name, then the parts joined by single backslashes.
// Returns an empty text when the path is not valid.
QString normalisedKeyPath(const QString &rootName, const QString &path)
{
    QString result = rootName;
    for (const QString &part : path.split(QLatin1Char('\\'), Qt::SkipEmptyParts)) {
        for (const QChar c : part)
            if (c.unicode() < 32 || c == QLatin1Char('[') || c == QLatin1Char(']'))
                return QString();
        result += QLatin1Char('\\') + part;
    }
    return result;
}

// A key line's text between the brackets, checked and normalised; empty when invalid.
QString keyPathFromFile(const QString &text)
{
    const qsizetype slash = text.indexOf(QLatin1Char('\\'));
    const QString root = text.left(slash < 0 ? text.size() : slash);
    for (const QLatin1String name : rootNames)
        if (root == name)
            return normalisedKeyPath(root, slash < 0 ? QString() : text.mid(slash + 1));
    return QString();
}

QString quoted(const QString &text)
{
    QString result;
    result.reserve(text.size() + 2);
    result += QLatin1Char('"');
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\':
            result += QLatin1String("\\\\");
            break;
        case '"':
            result += QLatin1String("\\\"");
            break;
        case '\r':
            result += QLatin1String("\\r");
            break;
        case '\n':
            result += QLatin1String("\\n");
            break;
        default:
            result += c;
        }
    }
    result += QLatin1Char('"');
    return result;
}

// Reads one quoted string starting at line[pos] (the opening quote); advances pos past
// the closing quote. Returns false when the string is not closed or holds an unknown
// escape.
bool readQuoted(const QString &line, qsizetype &pos, QString &text)
{
    if (pos >= line.size() || line[pos] != QLatin1Char('"'))
        return false;
    text.clear();
    for (++pos; pos < line.size(); ++pos) {
        const QChar c = line[pos];
        if (c == QLatin1Char('"')) {
            ++pos;
            return true;
        }
        if (c != QLatin1Char('\\')) {
            text += c;
            continue;
        }
        if (++pos >= line.size())
            return false;
        switch (line[pos].unicode()) {
        case '\\':
            text += QLatin1Char('\\');
            break;
        case '"':
            text += QLatin1Char('"');
            break;
        case 'r':
            text += QLatin1Char('\r');
            break;
        case 'n':
            text += QLatin1Char('\n');
            break;
        default:
            return false;
        }
    }
    return false;
}

[[noreturn]] void parseFailure(const QString &fileName, qsizetype lineNumber, const QString &reason)
{
    throw Failure(QStringLiteral("The settings file %1 cannot be read at line %2: %3")
                      .arg(QDir::toNativeSeparators(fileName))
                      .arg(lineNumber)
                      .arg(reason));
}

[[noreturn]] void writeFailure(const QString &fileName, const QString &reason)
{
    throw Failure(QStringLiteral("Cannot write the settings file %1: %2")
                      .arg(QDir::toNativeSeparators(fileName), reason));
}

void skipBlanks(const QString &line, qsizetype &pos)
{
    while (pos < line.size() && (line[pos] == QLatin1Char(' ') || line[pos] == QLatin1Char('\t')))
        ++pos;
}

} // namespace

RegistryStore::RegistryStore(QString programFolder) : m_programFolder(std::move(programFolder)) {}

QString RegistryStore::filePath()
{
    const QString explicitPath = qEnvironmentVariable("LOOMWRIGHT_REGISTRY");
    if (!explicitPath.isEmpty())
        return explicitPath;
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::home().filePath(QStringLiteral(".config"));
    return QDir(config).filePath(QStringLiteral("Loomwright 99/registry.reg"));
}

QString RegistryStore::defaultsFilePath() const
{
    return QDir(m_programFolder).filePath(QStringLiteral("registry-defaults.reg"));
}

RegistryKey RegistryStore::openKey(Root root, const QString &path)
{
    const QString rootName =
        root == Root::CurrentUser ? QStringLiteral("HKEY_CURRENT_USER") : QStringLiteral("HKEY_CLASSES_ROOT");
    const QString keyPath = normalisedKeyPath(rootName, path);
    if (keyPath.isEmpty())
        throw Failure(QStringLiteral("Invalid registry key \"%1\"").arg(path));
    Contents contents = load();
    if (!findKey(contents, keyPath)) {
        findOrAddKey(contents, keyPath);
        save(contents);
    }
    return RegistryKey(this, keyPath);
}

RegistryStore::Contents RegistryStore::load() const
{
    QString name = filePath();
    if (!QFileInfo::exists(name)) {
        name = defaultsFilePath();
        if (!QFileInfo::exists(name))
            return {};
    }
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("Cannot read the settings file %1: %2")
                          .arg(QDir::toNativeSeparators(name), file.errorString()));
    return parse(file.readAll(), name);
}

void RegistryStore::save(const Contents &contents) const
{
    const QString name = filePath();
    const auto fail = [&name](const QString &reason) { writeFailure(name, reason); };
    const QFileInfo info(name);
    if (!QDir().mkpath(info.absolutePath()))
        fail(QStringLiteral("the folder %1 cannot be created")
                 .arg(QDir::toNativeSeparators(info.absolutePath())));
    // Unbuffered, so that a write cut short (a full disk) is seen here and the settings
    // file kept whole: a buffered one fails only when commit() flushes it, and that
    // failure goes unnoticed, putting the cut file in place of the old one.
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        fail(file.errorString());
    const QByteArray bytes = serialise(contents);
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        fail(reason);
    }
    if (!file.commit())
        fail(file.errorString());
}

RegistryStore::Contents RegistryStore::parse(const QByteArray &bytes, const QString &fileName)
{
    Contents contents;
    Key *current = nullptr;
    bool seenHeader = false;
    const QList<QByteArray> lines = bytes.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const qsizetype lineNumber = i + 1;
        const auto fail = [&fileName, lineNumber](const QString &reason) {
            parseFailure(fileName, lineNumber, reason);
        };
        QByteArray raw = lines[i];
        if (raw.endsWith('\r'))
            raw.chop(1);
        if (i == 0 && raw.startsWith("\xEF\xBB\xBF"))
            raw.remove(0, 3);
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString line = decoder.decode(raw);
        if (decoder.hasError())
            fail(QStringLiteral("the text is not valid UTF-8"));
        while (!line.isEmpty() && (line.back() == QLatin1Char(' ') || line.back() == QLatin1Char('\t')))
            line.chop(1);
        qsizetype pos = 0;
        skipBlanks(line, pos);
        if (pos == line.size() || line[pos] == QLatin1Char(';'))
            continue;
        if (!seenHeader) {
            if (line.mid(pos) != header)
                fail(QStringLiteral("the first line must be \"%1\"").arg(header));
            seenHeader = true;
            continue;
        }
        if (line[pos] == QLatin1Char('[')) {
            if (!line.endsWith(QLatin1Char(']')))
                fail(QStringLiteral("a key line must end with \"]\""));
            const QString inside = line.mid(pos + 1, line.size() - pos - 2);
            if (inside.startsWith(QLatin1Char('-')))
                fail(QStringLiteral("deleting keys is not supported"));
            const QString path = keyPathFromFile(inside);
            if (path.isEmpty())
                fail(QStringLiteral("\"%1\" is not a valid key").arg(inside));
            current = &findOrAddKey(contents, path);
            continue;
        }
        if (!current)
            parseFailure(fileName, lineNumber, QStringLiteral("a value must follow a key"));
        QString name;
        if (line[pos] == QLatin1Char('@')) {
            ++pos;
        } else if (!readQuoted(line, pos, name)) {
            fail(QStringLiteral("expected a quoted value name or \"@\""));
        }
        skipBlanks(line, pos);
        if (pos >= line.size() || line[pos] != QLatin1Char('='))
            fail(QStringLiteral("expected \"=\" after the value name"));
        ++pos;
        skipBlanks(line, pos);
        QVariant data;
        const QLatin1String dwordPrefix("dword:");
        if (pos < line.size() && line[pos] == QLatin1Char('"')) {
            QString text;
            if (!readQuoted(line, pos, text))
                fail(QStringLiteral("the string is not closed or holds an unknown escape"));
            if (pos != line.size())
                fail(QStringLiteral("unexpected text after the string"));
            data = text;
        } else if (QStringView(line).mid(pos).startsWith(dwordPrefix, Qt::CaseInsensitive)) {
            const QString digits = line.mid(pos + dwordPrefix.size());
            bool ok = false;
            const uint number = digits.toUInt(&ok, 16);
            if (!ok || digits.isEmpty() || digits.size() > 8 || digits.startsWith(QLatin1Char('+')) ||
                digits.startsWith(QLatin1Char('-')))
                fail(QStringLiteral("a dword value must be 1 to 8 hexadecimal digits"));
            data = QVariant::fromValue(quint32(number));
        } else {
            fail(QStringLiteral("only string and dword values are supported"));
        }
        bool replaced = false;
        for (Value &value : current->values)
            if (value.name.compare(name, Qt::CaseInsensitive) == 0) {
                value.data = data;
                replaced = true;
            }
        if (!replaced)
            current->values.push_back({name, data});
    }
    if (!seenHeader)
        parseFailure(fileName, 1, QStringLiteral("the first line must be \"%1\"").arg(header));
    return contents;
}

QByteArray RegistryStore::serialise(const Contents &contents)
{
    QString text = header + QLatin1Char('\n');
    for (const Key &key : contents) {
        text += QLatin1String("\n[") + key.path + QLatin1String("]\n");
        for (const Value &value : key.values) {
            text += value.name.isEmpty() ? QStringLiteral("@") : quoted(value.name);
            text += QLatin1Char('=');
            if (value.data.typeId() == QMetaType::QString)
                text += quoted(value.data.toString());
            else
                text += QStringLiteral("dword:%1").arg(value.data.value<quint32>(), 8, 16, QLatin1Char('0'));
            text += QLatin1Char('\n');
        }
    }
    return text.toUtf8();
}

RegistryStore::Key *RegistryStore::findKey(Contents &contents, const QString &path)
{
    for (Key &key : contents)
        if (key.path.compare(path, Qt::CaseInsensitive) == 0)
            return &key;
    return nullptr;
}

RegistryStore::Key &RegistryStore::findOrAddKey(Contents &contents, const QString &path)
{
    if (Key *key = findKey(contents, path))
        return *key;
    contents.push_back({path, {}});
    return contents.back();
}

QVariant RegistryStore::value(const QString &keyPath, const QString &name) const
{
    Contents contents = load();
    if (const Key *key = findKey(contents, keyPath))
        for (const Value &value : key->values)
            if (value.name.compare(name, Qt::CaseInsensitive) == 0)
                return value.data;
    return QVariant();
}

void RegistryStore::setValue(const QString &keyPath, const QString &name, const QVariant &data)
{
    Contents contents = load();
    Key &key = findOrAddKey(contents, keyPath);
    for (Value &value : key.values)
        if (value.name.compare(name, Qt::CaseInsensitive) == 0) {
            value.data = data;
            save(contents);
            return;
        }
    key.values.push_back({name, data});
    save(contents);
}
