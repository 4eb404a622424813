#include "CheckCommand.h"

#include "Catalogue.h"
#include "Document.h"
#include "DocumentCheck.h"
#include "Failure.h"
#include "StyleSheetReader.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cstdio>

namespace {

void write(FILE *stream, const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

void error(const QString &message)
{
    write(stderr, message.toUtf8() + '\n');
}

// GitHub's workflow commands: the message escapes %, CR and LF; a property also , and :.
QString githubEscaped(const QString &text, bool property)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'%':
            out += QLatin1String("%25");
            break;
        case u'\r':
            out += QLatin1String("%0D");
            break;
        case u'\n':
            out += QLatin1String("%0A");
            break;
        case u':':
            out += property ? QStringLiteral("%3A") : QStringLiteral(":");
            break;
        case u',':
            out += property ? QStringLiteral("%2C") : QStringLiteral(",");
            break;
        default:
            out += c;
        }
    }
    return out;
}

// What a finding is about: the declaration's property, or the node's selector or at-rule.
QString subjectOf(const DocumentCheck::Finding &finding)
{
    if (finding.attribute >= 0)
        return finding.node->attributes[size_t(finding.attribute)].name().trimmed().toString();
    return finding.node->label.simplified();
}

} // namespace

bool CheckOptions::take(QStringList &args)
{
    bool formatGiven = false;
    bool hintsGiven = false;
    bool baselineGiven = false;
    while (!args.isEmpty() && args[0].startsWith(QLatin1String("--"))) {
        const QString option = args.takeFirst();
        Format chosen;
        if (option == QLatin1String("--quiet"))
            chosen = Format::Quiet;
        else if (option == QLatin1String("--tab"))
            chosen = Format::Tab;
        else if (option == QLatin1String("--format=gcc"))
            chosen = Format::Gcc;
        else if (option == QLatin1String("--format=json"))
            chosen = Format::Json;
        else if (option == QLatin1String("--format=github"))
            chosen = Format::Github;
        else if (option == QLatin1String("--hints") && !hintsGiven) {
            hints = hintsGiven = true;
            continue;
        } else if (option.startsWith(QLatin1String("--baseline=")) && !baselineGiven) {
            const std::optional<SupportCheck::Target> target =
                SupportCheck::Target::parse(QStringView(option).sliced(11));
            if (!target) {
                problem = QStringLiteral("--baseline takes widely, newly or a year from 2015 on, not %1")
                              .arg(option.mid(11));
                return false;
            }
            baseline = *target;
            baselineGiven = true;
            continue;
        } else {
            problem = option.startsWith(QLatin1String("--format="))
                          ? QStringLiteral("unknown format %1 (gcc, json or github)").arg(option.mid(9))
                          : QStringLiteral("check takes no %1, or takes it once").arg(option);
            return false;
        }
        if (formatGiven) {
            problem = QStringLiteral("check takes one of --format, --tab and --quiet");
            return false;
        }
        format = chosen;
        formatGiven = true;
    }
    if (args.isEmpty())
        problem = QStringLiteral("check needs a FILE");
    return !args.isEmpty();
}

int runCheckCommand(const QStringList &files, const CheckOptions &options, Catalogue &catalogue,
                    Document &document, const QString &folder)
{
    using Format = CheckOptions::Format;
    DocumentCheck check;
    try {
        check.open(folder);
    } catch (const Failure &failure) {
        error(failure.message());
        return 2;
    }
    DocumentCheck::Options checkOptions;
    if (options.hints)
        checkOptions.hints = DocumentCheck::allHints();
    checkOptions.support = options.baseline;
    qsizetype count = 0;
    bool unreadable = false;
    bool firstJson = true;
    if (options.format == Format::Json)
        write(stdout, "[");
    for (const QString &path : files) {
        StyleSheetReader::ReadError readError;
        if (!StyleSheetReader::readStyleSheet(document, catalogue, path, {}, &readError)) {
            if (readError.line > 0)
                error(QStringLiteral("%1:%2:%3: %4")
                          .arg(path)
                          .arg(readError.line)
                          .arg(readError.column)
                          .arg(readError.reason));
            else
                error(path + QLatin1String(": ") + readError.reason);
            unreadable = true;
            continue;
        }
        std::vector<DocumentCheck::Finding> findings = check.checkDocument(document.elements(), checkOptions);
        // File order: the tree puts the rules of catalogue elements first.
        std::stable_sort(findings.begin(), findings.end(), [](const auto &a, const auto &b) {
            return a.line != b.line ? a.line < b.line : a.column < b.column;
        });
        count += qsizetype(findings.size());
        if (options.format == Format::Quiet)
            continue;
        // Written a piece at a time: the lines of many findings are never held whole.
        QString text;
        const auto flush = [&text] {
            write(stdout, text.toUtf8());
            text.resize(0);
        };
        for (const DocumentCheck::Finding &finding : findings) {
            // Support marks are as light as hints: notes, not warnings.
            const bool hint = DeclarationCheck::isHint(finding.kind);
            const QString line = QString::number(finding.line);
            const QString column = QString::number(finding.column);
            switch (options.format) {
            case Format::Tab:
                text += path + QLatin1Char('\t') + line + QLatin1Char('\t') + column + QLatin1Char('\t') +
                        QLatin1String(DeclarationCheck::kindName(finding.kind)) + QLatin1Char('\t') +
                        subjectOf(finding) + QLatin1Char('\t') + finding.reason + QLatin1Char('\n');
                break;
            case Format::Json: {
                const QJsonObject object{
                    {QStringLiteral("file"), path},
                    {QStringLiteral("line"), finding.line},
                    {QStringLiteral("column"), finding.column},
                    {QStringLiteral("kind"), QLatin1String(DeclarationCheck::kindName(finding.kind))},
                    {QStringLiteral("severity"), hint ? QStringLiteral("hint") : QStringLiteral("warning")},
                    {QStringLiteral("property"), subjectOf(finding)},
                    {QStringLiteral("message"), finding.reason}};
                text += (firstJson ? QStringLiteral("\n") : QStringLiteral(",\n")) +
                        QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
                firstJson = false;
                break;
            }
            case Format::Github:
                text += (hint ? QLatin1String("::notice file=") : QLatin1String("::warning file=")) +
                        githubEscaped(path, true) + QLatin1String(",line=") + line + QLatin1String(",col=") +
                        column + QLatin1String(",title=") +
                        QLatin1String(DeclarationCheck::kindName(finding.kind)) + QLatin1String("::") +
                        githubEscaped(finding.reason, false) + QLatin1Char('\n');
                break;
            case Format::Gcc:
            case Format::Quiet:
                text += path + QLatin1Char(':') + line + QLatin1Char(':') + column +
                        (hint ? QLatin1String(": note: ") : QLatin1String(": warning: ")) + finding.reason +
                        QLatin1Char('\n');
                break;
            }
            if (text.size() >= 1 << 16)
                flush();
        }
        flush();
    }
    if (options.format == Format::Json)
        write(stdout, firstJson ? "]\n" : "\n]\n");
    if (options.format == Format::Quiet)
        write(stdout, QByteArray::number(count) + '\n');
    if (unreadable)
        return 2;
    return count > 0 ? 1 : 0;
}
