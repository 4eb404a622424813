#include "ValueText.h"

#include "AttributeLabel.h"
#include "CssTokenizer.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cctype>
#include <cmath>

using Css::Token;
using Css::TokenType;

namespace {

bool isNumeric(TokenType type)
{
    return type == TokenType::Number || type == TokenType::Percentage || type == TokenType::Dimension;
}

bool opensBracket(TokenType type)
{
    return type == TokenType::Function || type == TokenType::OpenParen || type == TokenType::OpenSquare ||
           type == TokenType::OpenCurly;
}

bool closesBracket(TokenType type)
{
    return type == TokenType::CloseParen || type == TokenType::CloseSquare || type == TokenType::CloseCurly;
}

bool isUrlFunction(QStringView text, const Token &token)
{
    return token.type == TokenType::Function &&
           Css::tokenText(text, token).compare(QLatin1String("url("), Qt::CaseInsensitive) == 0;
}

// Skips the tokens up to and including the bracket that closes one just opened.
void skipToClose(Css::Tokenizer &tokens)
{
    int depth = 1;
    for (Token token = tokens.next(); token.type != TokenType::EndOfFile; token = tokens.next()) {
        if (opensBracket(token.type))
            ++depth;
        else if (closesBracket(token.type) && --depth == 0)
            return;
    }
}

// The next token that is neither white space nor a comment.
Token nextSignificant(Css::Tokenizer &tokens)
{
    Token token = tokens.next();
    while (token.type == TokenType::Whitespace || token.type == TokenType::Comment)
        token = tokens.next();
    return token;
}

// Where the value's "!important" tail begins: the white space before a "!" that
// stands outside brackets and functions; the value's length when there is none.
qsizetype tailStart(QStringView value)
{
    Css::Tokenizer tokens(value);
    int depth = 0;
    qsizetype whitespaceStart = -1;
    for (Token token = tokens.next(); token.type != TokenType::EndOfFile; token = tokens.next()) {
        if (opensBracket(token.type))
            ++depth;
        else if (closesBracket(token.type) && depth > 0)
            --depth;
        if (depth == 0 && token.type == TokenType::Delim && value[token.start] == QLatin1Char('!'))
            return whitespaceStart >= 0 ? whitespaceStart : token.start;
        if (token.type == TokenType::Whitespace) {
            if (whitespaceStart < 0)
                whitespaceStart = token.start;
        } else {
            whitespaceStart = -1;
        }
    }
    return value.size();
}

QStringView withoutTail(QStringView value)
{
    return value.first(tailStart(value));
}

QStringView tailOf(QStringView value)
{
    return value.sliced(tailStart(value));
}

// The text inside the quotes when the value, white space aside, is one quoted text
// (closed or not); a null view otherwise. Its start in the value goes to `offset`.
QStringView quotedInner(QStringView value, qsizetype &offset)
{
    const QStringView trimmed = value.trimmed();
    if (trimmed.isEmpty() || (trimmed.front() != QLatin1Char('"') && trimmed.front() != QLatin1Char('\'')))
        return {};
    Css::Tokenizer tokens(trimmed);
    const Token token = tokens.next();
    if (token.type != TokenType::String || token.end() != trimmed.size())
        return {};
    const bool closed = token.numberLength == 0 && token.length >= 2;
    offset = (trimmed.data() - value.data()) + 1;
    return trimmed.sliced(1, token.length - (closed ? 2 : 1));
}

// Digits after the decimal point of a number's characters; 0 for exponent forms.
int decimalsOf(QStringView number)
{
    if (number.contains(QLatin1Char('e')) || number.contains(QLatin1Char('E')))
        return 0;
    const qsizetype point = number.indexOf(QLatin1Char('.'));
    return point < 0 ? 0 : int(number.size() - point - 1);
}

bool isKeyword(QStringView text, std::initializer_list<const char *> keywords)
{
    for (const char *keyword : keywords)
        if (text.compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

bool isCssWideKeyword(QStringView text)
{
    return isKeyword(text, {"inherit", "initial", "unset", "revert", "revert-layer"});
}

bool isGenericFamily(QStringView text)
{
    return isKeyword(text, {"serif", "sans-serif", "monospace", "cursive", "fantasy", "system-ui", "ui-serif",
                            "ui-sans-serif", "ui-monospace", "ui-rounded", "math", "emoji", "fangsong"});
}

// A family that reads back as itself unquoted: ASCII letters, digits, "-" and "_",
// beginning with a letter or "_", and no keyword that would mean something else.
bool isPlainFamily(QStringView family)
{
    if (family.isEmpty())
        return false;
    const char16_t first = family.front().unicode();
    if (!((first >= u'a' && first <= u'z') || (first >= u'A' && first <= u'Z') || first == u'_'))
        return false;
    for (const QChar c : family) {
        const char16_t u = c.unicode();
        if (!((u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') || u == u'-' ||
              u == u'_'))
            return false;
    }
    return !isCssWideKeyword(family) && !isKeyword(family, {"default"});
}

// A CSS string in double quotes: quotes and backslashes escaped, line breaks as
// hexadecimal escapes (a string cannot hold them as they are).
QString cssString(QStringView text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('"');
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"':
        case '\\':
            out += QLatin1Char('\\');
            out += c;
            break;
        case '\n':
            out += QLatin1String("\\a ");
            break;
        case '\r':
            out += QLatin1String("\\d ");
            break;
        case '\f':
            out += QLatin1String("\\c ");
            break;
        default:
            out += c;
        }
    }
    out += QLatin1Char('"');
    return out;
}

// A url() at the start of a value (white space before it allowed): quoted
// (`url("a.png")`) or not (`url(a.png)`). Gives its start and end in the value and the
// address it names; false when the value does not begin with one.
bool leadingUrl(QStringView value, qsizetype &start, qsizetype &end, QString &address)
{
    Css::Tokenizer tokens(value);
    const Token first = nextSignificant(tokens);
    if (first.type == TokenType::Url) {
        QStringView inner = Css::tokenText(value, first).sliced(4); // after "url("
        if (inner.endsWith(QLatin1Char(')')))
            inner.chop(1);
        start = first.start;
        end = first.end();
        address = Css::unescaped(inner.trimmed());
        return true;
    }
    if (!isUrlFunction(value, first))
        return false;
    const Token string = nextSignificant(tokens);
    if (string.type != TokenType::String)
        return false;
    const Token close = nextSignificant(tokens);
    if (close.type != TokenType::CloseParen && close.type != TokenType::EndOfFile)
        return false;
    start = first.start;
    end = close.end();
    address = Css::stringValue(Css::tokenText(value, string));
    return true;
}

} // namespace

// ---- Numbers -------------------------------------------------------------------

ValueText::NumberPart ValueText::firstNumber(QStringView value)
{
    NumberPart part;
    qsizetype offset = 0;
    QStringView body = quotedInner(value, offset);
    part.quoted = !body.isNull();
    if (!part.quoted)
        body = value;
    Css::Tokenizer tokens(body);
    for (Token token = tokens.next(); token.type != TokenType::EndOfFile; token = tokens.next()) {
        if (isUrlFunction(body, token)) {
            skipToClose(tokens);
            continue;
        }
        if (!isNumeric(token.type))
            continue;
        const QStringView number = body.sliced(token.start, token.numberLength);
        part.found = true;
        part.value = Css::numberValue(body, token);
        part.decimals = decimalsOf(number);
        part.start = offset + token.start;
        part.length = token.numberLength;
        part.unit = Css::unit(body, token).toString();
        return part;
    }
    part.quoted = false;
    return part;
}

QString ValueText::numberText(double number, int minDecimals, int maxDecimals)
{
    minDecimals = std::max(minDecimals, 0);
    const int places = std::max(minDecimals, maxDecimals);
    QString text = QString::number(number, 'f', places);
    if (places > 0) {
        const qsizetype point = text.indexOf(QLatin1Char('.'));
        qsizetype keep = text.size();
        while (keep > point + 1 + minDecimals && text[keep - 1] == QLatin1Char('0'))
            --keep;
        if (keep == point + 1)
            keep = point; // no decimals left: no point either
        text.truncate(keep);
    }
    // A negative number that rounds to nothing is written without its sign.
    if (text.startsWith(QLatin1Char('-')) &&
        std::all_of(text.begin() + 1, text.end(), [](QChar c) { return c == u'0' || c == u'.'; }))
        text.remove(0, 1);
    return text;
}

QString ValueText::withNumber(QStringView value, double number)
{
    if (!std::isfinite(number))
        return value.toString();
    const NumberPart part = firstNumber(value);
    if (!part.found)
        return numberText(number);
    QString text = numberText(number, 0, std::max(MaxDecimals, part.decimals));
    // A written "+" stays: it also keeps the number apart from a name before it.
    if (value[part.start] == QLatin1Char('+') && !text.startsWith(QLatin1Char('-')))
        text.prepend(QLatin1Char('+'));
    QString result = value.toString();
    result.replace(part.start, part.length, text);
    if (part.quoted) {
        // Drop the enclosing quotes: the number is written bare.
        qsizetype offset = 0;
        const QStringView inner = quotedInner(result, offset);
        return inner.toString();
    }
    return result;
}

QString ValueText::stepped(QStringView value, double delta)
{
    const NumberPart part = firstNumber(value);
    if (!part.found)
        return value.toString();
    return withNumber(value, part.value + delta);
}

QString ValueText::numberPreset(QStringView value)
{
    const NumberPart part = firstNumber(value);
    if (!part.found || !std::isfinite(part.value))
        return {};
    return numberText(part.value, 0, std::max(MaxDecimals, part.decimals));
}

// ---- Choices -------------------------------------------------------------------

QString ValueText::choiceValue(QStringView oldValue, QStringView word, DocumentForm form)
{
    if (form == DocumentForm::Editor)
        return AttributeLabel::quote(word);
    if (word.trimmed().isEmpty())
        return {};
    return word.toString() + tailOf(oldValue).toString();
}

QString ValueText::choicePreset(QStringView value, DocumentForm form)
{
    return AttributeLabel::unquote(form == DocumentForm::Standard ? withoutTail(value) : value);
}

// ---- Fonts ---------------------------------------------------------------------

QString ValueText::familyText(QStringView family)
{
    if (isGenericFamily(family))
        return family.toString().toLower();
    if (isPlainFamily(family))
        return family.toString();
    return cssString(family);
}

namespace {

// The first family of a font value: from its first significant token to the last
// token before a comma or "!" that stands outside brackets.
void firstFamilySpan(QStringView value, qsizetype &start, qsizetype &end)
{
    Css::Tokenizer tokens(value);
    start = end = -1;
    int depth = 0;
    for (Token token = tokens.next(); token.type != TokenType::EndOfFile; token = tokens.next()) {
        if (depth == 0 && (token.type == TokenType::Comma ||
                           (token.type == TokenType::Delim && value[token.start] == QLatin1Char('!'))))
            break;
        if (opensBracket(token.type))
            ++depth;
        else if (closesBracket(token.type) && depth > 0)
            --depth;
        if (token.type == TokenType::Whitespace || token.type == TokenType::Comment)
            continue;
        if (start < 0)
            start = token.start;
        end = token.end();
    }
    if (start < 0)
        start = end = 0;
}

} // namespace

QString ValueText::firstFamily(QStringView value)
{
    qsizetype start = 0;
    qsizetype end = 0;
    firstFamilySpan(value, start, end);
    const QStringView family = value.sliced(start, end - start);
    // One string, or identifiers separated by white space (joined by one space);
    // anything else (a var(), say) is shown as written.
    Css::Tokenizer tokens(family);
    const Token first = tokens.next();
    if (first.type == TokenType::String && first.end() == family.size())
        return Css::stringValue(family);
    QStringList names;
    for (Token token = first; token.type != TokenType::EndOfFile; token = tokens.next()) {
        if (token.type == TokenType::Ident)
            names << Css::unescaped(Css::tokenText(family, token));
        else if (token.type != TokenType::Whitespace)
            return family.toString();
    }
    return names.join(QLatin1Char(' '));
}

QString ValueText::fontValue(QStringView oldValue, QStringView family, DocumentForm form)
{
    if (form == DocumentForm::Editor)
        return AttributeLabel::quote(family);
    if (isCssWideKeyword(family))
        return family.toString().toLower();
    qsizetype start = 0;
    qsizetype end = 0;
    firstFamilySpan(oldValue, start, end);
    const QStringView first = oldValue.sliced(start, end - start);
    if (isCssWideKeyword(first))
        end = oldValue.size(); // a keyword stood alone: the family replaces the whole value
    QString result = oldValue.first(start).toString();
    result += familyText(family);
    // A generic family stays as the fallback behind a named one put before it
    // (`monospace` becomes `"DejaVu Sans", monospace`).
    if (isGenericFamily(first) && !isGenericFamily(family)) {
        result += QLatin1String(", ");
        result += oldValue.sliced(start);
    } else {
        result += oldValue.sliced(end);
    }
    return result;
}

QString ValueText::fontPreset(QStringView value, DocumentForm form)
{
    return form == DocumentForm::Standard ? firstFamily(value) : AttributeLabel::unquote(value);
}

// ---- Files ---------------------------------------------------------------------

QString ValueText::relativePath(QStringView path, QStringView styleSheetPath)
{
    const QString file = path.toString();
    const QString sheet = styleSheetPath.toString();
    if (sheet.isEmpty() || !QDir::isAbsolutePath(sheet) || !QDir::isAbsolutePath(file))
        return file;
    const QString folder = QFileInfo(sheet).absolutePath();
    const QString relative = QDir(folder).relativeFilePath(QDir::cleanPath(file));
    if (relative.isEmpty() || relative == QLatin1String("..") || relative.startsWith(QLatin1String("../")) ||
        QDir::isAbsolutePath(relative))
        return file;
    return relative;
}

QString ValueText::urlText(QStringView path)
{
    return QLatin1String("url(") + cssString(path) + QLatin1Char(')');
}

QString ValueText::fileValue(QStringView oldValue, QStringView path, QStringView styleSheetPath,
                             DocumentForm form)
{
    const QStringView trimmedPath = path.trimmed();
    if (isKeyword(trimmedPath, {"none"}) || isCssWideKeyword(trimmedPath))
        return trimmedPath.toString();
    const QString address =
        form == DocumentForm::Standard ? relativePath(path, styleSheetPath) : path.toString();
    qsizetype start = 0;
    qsizetype end = 0;
    QString oldAddress;
    if (leadingUrl(oldValue, start, end, oldAddress)) {
        QString result = oldValue.toString();
        result.replace(start, end - start, urlText(address));
        return result;
    }
    if (form == DocumentForm::Editor)
        return AttributeLabel::quote(path);
    return urlText(address) + tailOf(oldValue).toString();
}

QString ValueText::filePreset(QStringView value)
{
    qsizetype start = 0;
    qsizetype end = 0;
    QString address;
    if (leadingUrl(value, start, end, address))
        return address;
    return AttributeLabel::unquote(value);
}

// ---- Colours -------------------------------------------------------------------

namespace {

// The alpha a colour function gives: after a "/" among its arguments, or as the
// fourth of comma-separated ones.
Token functionAlpha(Css::Tokenizer &tokens)
{
    int commas = 0;
    bool slash = false;
    for (Token token = tokens.next(); token.type != TokenType::EndOfFile; token = tokens.next()) {
        if (opensBracket(token.type)) {
            skipToClose(tokens);
            continue;
        }
        if (closesBracket(token.type))
            return {};
        if (token.type == TokenType::Whitespace || token.type == TokenType::Comment)
            continue;
        if (slash || commas == 3)
            return token;
        if (token.type == TokenType::Delim && tokens.text()[token.start] == QLatin1Char('/'))
            slash = true;
        else if (token.type == TokenType::Comma)
            ++commas;
    }
    return {};
}

} // namespace

QString ValueText::colourAlpha(QStringView value)
{
    const QStringView colour = withoutTail(value);
    Css::Tokenizer tokens(colour);
    const Token first = nextSignificant(tokens);
    if (first.type == TokenType::Hash) {
        const QStringView digits = Css::tokenText(colour, first).sliced(1);
        bool ok = false;
        int alpha = 255;
        if (digits.size() == 8)
            alpha = digits.sliced(6).toInt(&ok, 16);
        else if (digits.size() == 4)
            alpha = digits.sliced(3).toInt(&ok, 16) * 17;
        if (!ok || alpha >= 255)
            return {};
        return numberText(alpha / 255.0, 0, 3);
    }
    if (first.type != TokenType::Function ||
        !isKeyword(Css::tokenText(colour, first).chopped(1),
                   {"rgb", "rgba", "hsl", "hsla", "hwb", "lab", "lch", "oklab", "oklch", "color"}))
        return {};
    const Token alpha = functionAlpha(tokens);
    if (alpha.type == TokenType::Number && Css::numberValue(colour, alpha) < 1)
        return Css::tokenText(colour, alpha).toString();
    if (alpha.type == TokenType::Percentage && Css::numberValue(colour, alpha) < 100)
        return Css::tokenText(colour, alpha).toString();
    return {};
}

QString ValueText::colourValue(QStringView hex, QStringView oldValue, DocumentForm form)
{
    if (form == DocumentForm::Editor)
        return hex.toString();
    QString colour = hex.toString();
    const QString alpha = colourAlpha(oldValue);
    bool ok = false;
    const uint rgb = hex.startsWith(QLatin1Char('#')) && hex.size() == 7 ? hex.sliced(1).toUInt(&ok, 16) : 0;
    if (!alpha.isEmpty() && ok)
        colour = QStringLiteral("rgb(%1 %2 %3 / %4)")
                     .arg((rgb >> 16) & 0xFF)
                     .arg((rgb >> 8) & 0xFF)
                     .arg(rgb & 0xFF)
                     .arg(alpha);
    return colour + tailOf(oldValue).toString();
}

QString ValueText::colourPreset(QStringView value, DocumentForm form)
{
    return AttributeLabel::unquote(form == DocumentForm::Standard ? withoutTail(value) : value);
}

// ---- Colours in their own form ----------------------------------------------------

namespace {

bool parseColour(QStringView text, ColorsText &out)
{
    const QByteArray bytes = text.toUtf8();
    return ColorsParse(bytes.constData(), size_t(bytes.size()), &out) == 1;
}

// The end of the bracket that closes one just opened (the text's end when none does).
qsizetype closingEnd(Css::Tokenizer &tokens, qsizetype textEnd)
{
    int depth = 1;
    for (Token token = tokens.next(); token.type != TokenType::EndOfFile; token = tokens.next()) {
        if (opensBracket(token.type))
            ++depth;
        else if (closesBracket(token.type) && --depth == 0)
            return token.end();
    }
    return textEnd;
}

ColorsValue srgbOf(int r, int g, int b)
{
    ColorsValue colour{};
    colour.kind = COLORS_KIND_VALUE;
    colour.space = COLORS_SRGB;
    colour.c[0] = std::clamp(r, 0, 255) / 255.0;
    colour.c[1] = std::clamp(g, 0, 255) / 255.0;
    colour.c[2] = std::clamp(b, 0, 255) / 255.0;
    colour.alpha = 1;
    return colour;
}

QString formatted(const ColorsValue &colour, int32_t form, uint32_t options)
{
    char buffer[160];
    const size_t length = ColorsFormat(&colour, form, -1, options, buffer, sizeof buffer);
    if (length == 0 || length >= sizeof buffer)
        return {};
    return QString::fromLatin1(buffer, qsizetype(length));
}

// The letters of a hex colour's text decide its case: upper, lower, or none (digits only).
std::optional<bool> hexLettersUpper(QStringView digits)
{
    for (const QChar c : digits) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
            return true;
        if (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
            return false;
    }
    return std::nullopt;
}

// `colour` written as the colour text `old` is: its form, its space for color(), a hex's
// length and case, rgb()'s and hsl()'s commas. Names, system colours and currentcolor
// hold no other colour: they become a hex colour.
QString inOwnForm(QStringView oldText, const ColorsText &old, const ColorsValue &colour, bool upperHex)
{
    const uint32_t commas = (old.flags & COLORS_FLAG_COMMAS) ? COLORS_WRITE_COMMAS : 0u;
    switch (old.form) {
    case COLORS_FORM_HEX: {
        const bool upper = hexLettersUpper(oldText.sliced(1)).value_or(upperHex);
        const uint32_t shortForm = (old.detail == 3 || old.detail == 4) ? COLORS_WRITE_SHORT : 0u;
        return formatted(colour, COLORS_FORM_HEX, (upper ? COLORS_WRITE_UPPERCASE : 0u) | shortForm);
    }
    case COLORS_FORM_RGB:
    case COLORS_FORM_HSL:
        return formatted(colour, old.form, commas);
    case COLORS_FORM_HWB:
    case COLORS_FORM_LAB:
    case COLORS_FORM_LCH:
    case COLORS_FORM_OKLAB:
    case COLORS_FORM_OKLCH:
        return formatted(colour, old.form,
                         (old.flags & COLORS_FLAG_PERCENT_LIGHTNESS) ? COLORS_WRITE_PERCENT_LIGHTNESS : 0u);
    case COLORS_FORM_COLOR: {
        ColorsValue inSpace{};
        if (!ColorsConvert(&colour, old.color.space, &inSpace))
            return {};
        inSpace.alpha = colour.alpha;
        inSpace.missing = colour.missing & COLORS_MISSING_ALPHA;
        return formatted(inSpace, COLORS_FORM_COLOR, 0);
    }
    default: {
        ColorsValue opaque = colour;
        opaque.alpha = 1;
        opaque.missing = 0;
        return formatted(opaque, COLORS_FORM_HEX, upperHex ? COLORS_WRITE_UPPERCASE : 0u);
    }
    }
}

QString replaced(QStringView value, const ValueText::ColourPart &part, const QString &text)
{
    QString result = value.toString();
    result.replace(part.start, part.length, text);
    return result;
}

} // namespace

ValueText::ColourPart ValueText::firstColour(QStringView value, ColourSearch search)
{
    Css::Tokenizer tokens(value);
    for (Token token = tokens.next(); token.type != TokenType::EndOfFile; token = tokens.next()) {
        ColourPart part;
        switch (token.type) {
        case TokenType::Hash:
        case TokenType::Ident:
            if (parseColour(Css::tokenText(value, token), part.colour)) {
                part.found = true;
                part.start = token.start;
                part.length = token.length;
                return part;
            }
            break;
        case TokenType::Function: {
            const QStringView name = Css::tokenText(value, token).chopped(1);
            if (isKeyword(name, {"var", "env", "attr", "url"})) {
                skipToClose(tokens);
                break;
            }
            const bool mix = isKeyword(name, {"light-dark", "color-mix"});
            if (mix && search == ColourSearch::Plain)
                break; // the colours inside come next
            if (mix || isKeyword(name, {"rgb", "rgba", "hsl", "hsla", "hwb", "lab", "lch", "oklab", "oklch",
                                        "color"})) {
                const qsizetype end = closingEnd(tokens, value.size());
                if (parseColour(value.sliced(token.start, end - token.start), part.colour)) {
                    part.found = true;
                    part.start = token.start;
                    part.length = end - token.start;
                    return part;
                }
            }
            // Any other function (a gradient, a shadow's filter, calc()) is searched inside.
            break;
        }
        default:
            break;
        }
    }
    return {};
}

std::optional<ValueText::ColourForm> ValueText::formOf(const ColorsText &colour)
{
    switch (colour.form) {
    case COLORS_FORM_HEX:
        return ColourForm::Hex;
    case COLORS_FORM_RGB:
        return ColourForm::Rgb;
    case COLORS_FORM_HSL:
        return ColourForm::Hsl;
    case COLORS_FORM_HWB:
        return ColourForm::Hwb;
    case COLORS_FORM_LAB:
        return ColourForm::Lab;
    case COLORS_FORM_LCH:
        return ColourForm::Lch;
    case COLORS_FORM_OKLAB:
        return ColourForm::Oklab;
    case COLORS_FORM_OKLCH:
        return ColourForm::Oklch;
    case COLORS_FORM_COLOR:
        if (colour.color.space == COLORS_DISPLAY_P3)
            return ColourForm::DisplayP3;
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

bool ValueText::hexUpperCase(QStringView text, bool fallback, int limit)
{
    int upper = 0;
    int lower = 0;
    countHexCase(text, upper, lower, limit);
    return upper == lower ? fallback : upper > lower;
}

void ValueText::countHexCase(QStringView text, int &upper, int &lower, int limit)
{
    qsizetype i = text.indexOf(QLatin1Char('#'));
    while (i >= 0 && upper + lower < limit) {
        qsizetype end = i + 1;
        while (end < text.size() && end - i <= 9 &&
               isxdigit(text[end].unicode() < 0x80 ? text[end].unicode() : 0))
            ++end;
        const qsizetype digits = end - i - 1;
        const bool nameGoesOn =
            end < text.size() &&
            (text[end].isLetterOrNumber() || text[end] == QLatin1Char('-') || text[end] == QLatin1Char('_'));
        if ((digits == 3 || digits == 4 || digits == 6 || digits == 8) && !nameGoesOn) {
            if (const std::optional<bool> isUpper = hexLettersUpper(text.sliced(i + 1, digits)))
                ++(*isUpper ? upper : lower);
        }
        i = text.indexOf(QLatin1Char('#'), end);
    }
}

QString ValueText::colourPicked(QStringView value, int r, int g, int b, bool upperHex)
{
    ColorsValue picked = srgbOf(r, g, b);
    const ColourPart part = firstColour(value, ColourSearch::Plain);
    if (!part.found)
        return formatted(picked, COLORS_FORM_HEX, upperHex ? COLORS_WRITE_UPPERCASE : 0u) +
               tailOf(value).toString();
    if (part.colour.color.kind == COLORS_KIND_VALUE) {
        picked.alpha = part.colour.color.alpha;
        picked.missing = part.colour.color.missing & COLORS_MISSING_ALPHA;
    }
    const QString text = inOwnForm(value.sliced(part.start, part.length), part.colour, picked, upperHex);
    return text.isEmpty() ? value.toString() : replaced(value, part, text);
}

QString ValueText::colourInForm(QStringView value, ColourForm form, bool upperHex)
{
    const ColourPart part = firstColour(value, ColourSearch::Plain);
    if (!part.found || part.colour.color.kind != COLORS_KIND_VALUE)
        return value.toString();
    const ColorsValue &colour = part.colour.color;
    QString text;
    switch (form) {
    case ColourForm::Hex:
        text = formatted(colour, COLORS_FORM_HEX, upperHex ? COLORS_WRITE_UPPERCASE : 0u);
        break;
    case ColourForm::DisplayP3: {
        ColorsValue p3{};
        if (ColorsConvert(&colour, COLORS_DISPLAY_P3, &p3)) {
            p3.alpha = colour.alpha;
            p3.missing = colour.missing & COLORS_MISSING_ALPHA;
            text = formatted(p3, COLORS_FORM_COLOR, 0);
        }
        break;
    }
    default:
        text = formatted(colour, COLORS_FORM_RGB + (int(form) - int(ColourForm::Rgb)), 0);
        break;
    }
    return text.isEmpty() ? value.toString() : replaced(value, part, text);
}

double ValueText::contrastRatio(const ColorsValue &colour, const ColorsValue &background)
{
    ColorsValue front{};
    ColorsValue back{};
    if (!ColorsToScreen(&colour, &front) || !ColorsToScreen(&background, &back))
        return 0;
    const double alpha = (colour.missing & COLORS_MISSING_ALPHA) ? 0.0 : std::clamp(colour.alpha, 0.0, 1.0);
    const auto luminance = [](const double channels[3]) {
        const double weights[3] = {0.2126, 0.7152, 0.0722};
        double sum = 0;
        for (int i = 0; i < 3; ++i) {
            const double c = std::clamp(channels[i], 0.0, 1.0);
            sum += weights[i] * (c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
        }
        return sum;
    };
    double blended[3];
    for (int i = 0; i < 3; ++i)
        blended[i] = alpha * std::clamp(front.c[i], 0.0, 1.0) + (1 - alpha) * std::clamp(back.c[i], 0.0, 1.0);
    const double a = luminance(blended);
    const double b = luminance(back.c);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

// ---- The editor a value takes ------------------------------------------------------

namespace {

// The characters that may stand on either side of a component value.
bool separatesBefore(QChar c)
{
    return c.isSpace() || c == QLatin1Char(',') || c == QLatin1Char('(') || c == QLatin1Char('/');
}

bool separatesAfter(QChar c)
{
    return c.isSpace() || c == QLatin1Char(',') || c == QLatin1Char(')') || c == QLatin1Char('/') ||
           c == QLatin1Char('!');
}

// The value's first colour when it stands as a component value of its own.
bool holdsColour(QStringView value)
{
    const ValueText::ColourPart part = ValueText::firstColour(value, ValueText::ColourSearch::Plain);
    if (!part.found)
        return false;
    const qsizetype end = part.start + part.length;
    return (part.start == 0 || separatesBefore(value[part.start - 1])) &&
           (end == value.size() || separatesAfter(value[end]));
}

// The whole text is one colour (blanks around it allowed).
bool isOneColour(QStringView text)
{
    const QStringView trimmed = text.trimmed();
    const ValueText::ColourPart part = ValueText::firstColour(trimmed, ValueText::ColourSearch::Whole);
    return part.found && part.start == 0 && part.length == trimmed.size();
}

// The whole text is one number, percentage or dimension (blanks around it allowed).
bool isOneNumber(QStringView text)
{
    Css::Tokenizer tokens(text);
    const Token first = nextSignificant(tokens);
    return isNumeric(first.type) && nextSignificant(tokens).type == TokenType::EndOfFile;
}

// A comma list of families (each one string, or identifiers apart by blanks) whose last
// one is a generic family.
bool isFamilyList(QStringView value)
{
    Css::Tokenizer tokens(value);
    int itemTokens = 0; // significant tokens of the current family
    bool string = false;
    bool lastIsGeneric = false;
    for (Token token = tokens.next();; token = tokens.next()) {
        if (token.type == TokenType::Whitespace || token.type == TokenType::Comment)
            continue;
        if (token.type == TokenType::Comma || token.type == TokenType::EndOfFile) {
            if (itemTokens == 0)
                return false; // an empty family
            if (token.type == TokenType::EndOfFile)
                return lastIsGeneric;
            itemTokens = 0;
            string = false;
            continue;
        }
        if (token.type == TokenType::String) {
            if (itemTokens > 0 || token.numberLength != 0)
                return false; // a string beside other words, or one not closed
            string = true;
        } else if (token.type != TokenType::Ident || string) {
            return false;
        }
        ++itemTokens;
        lastIsGeneric = itemTokens == 1 && token.type == TokenType::Ident &&
                        isGenericFamily(Css::tokenText(value, token));
    }
}

} // namespace

ValueKind ValueText::valueKind(QStringView value, DocumentForm form)
{
    qsizetype start = 0;
    qsizetype end = 0;
    QString address;
    if (leadingUrl(value, start, end, address))
        return KindUrl;
    if (form == DocumentForm::Editor) {
        qsizetype offset = 0;
        QStringView inner = quotedInner(value, offset);
        if (inner.isNull())
            inner = value;
        if (isOneColour(inner))
            return KindColor;
        if (isOneNumber(inner))
            return KindNumber;
        return KindNone;
    }
    const QStringView body = withoutTail(value).trimmed();
    qsizetype offset = 0;
    if (body.isEmpty() || !quotedInner(body, offset).isNull())
        return KindNone; // nothing, or one string: its digits are text, not a number
    if (holdsColour(body))
        return KindColor;
    if (isFamilyList(body))
        return KindFont;
    if (firstNumber(body).found)
        return KindNumber;
    return KindNone;
}

ValueKind ValueText::editorKind(ValueKind propertyKind, QStringView value, DocumentForm form,
                                const QStringList &choices)
{
    const ValueKind own = valueKind(value, form);
    if (own == KindNone || own == propertyKind)
        return propertyKind;
    switch (propertyKind) {
    case KindColor: {
        qsizetype offset = 0;
        QStringView inner = form == DocumentForm::Editor ? quotedInner(value, offset) : QStringView();
        if (inner.isNull())
            inner = value;
        if (firstColour(inner, ColourSearch::Plain).found)
            return propertyKind;
        break;
    }
    case KindNumber:
        if (firstNumber(value).found)
            return propertyKind;
        break;
    case KindUrl: {
        qsizetype start = 0;
        qsizetype end = 0;
        QString address;
        if (leadingUrl(value, start, end, address))
            return propertyKind;
        break;
    }
    case KindChoice: {
        const QString word = choicePreset(value, form).trimmed();
        for (const QString &choice : choices)
            if (choice.compare(word, Qt::CaseInsensitive) == 0)
                return propertyKind;
        break;
    }
    default:
        break;
    }
    return own;
}

// ---- Labels edited in place -------------------------------------------------------

QString ValueText::labelProblem(QStringView label, bool declaration)
{
    const QString what = declaration ? QStringLiteral("declaration") : QStringLiteral("selector");
    for (const QChar c : label)
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\f'))
            return QStringLiteral("A %1 cannot hold a line break.").arg(what);
    Css::Tokenizer tokens(label);
    QString open; // the brackets still open, innermost last
    for (Token token = tokens.next(); token.type != TokenType::EndOfFile; token = tokens.next()) {
        switch (token.type) {
        case TokenType::OpenCurly:
        case TokenType::CloseCurly:
        case TokenType::Semicolon:
            return QStringLiteral("A %1 cannot hold \"%2\" outside quotes.").arg(what, label[token.start]);
        case TokenType::String:
            if (token.numberLength != 0 || token.length < 2)
                return QStringLiteral("The %1 has a quote that is not closed.").arg(what);
            break;
        case TokenType::Comment:
            if (token.numberLength != 0)
                return QStringLiteral("The %1 has a comment that is not closed.").arg(what);
            break;
        case TokenType::Url:
        case TokenType::BadUrl:
            if (!label.sliced(token.start, token.length).endsWith(QLatin1Char(')')))
                return QStringLiteral("The %1 has a \"url(\" that is not closed.").arg(what);
            break;
        case TokenType::Function:
        case TokenType::OpenParen:
            open += QLatin1Char('(');
            break;
        case TokenType::OpenSquare:
            open += QLatin1Char('[');
            break;
        case TokenType::CloseParen:
        case TokenType::CloseSquare:
            if (!open.isEmpty())
                open.chop(1);
            break;
        default:
            break;
        }
    }
    if (!open.isEmpty())
        return QStringLiteral("The %1 has a \"%2\" that is not closed.").arg(what, open.back());
    // A backslash at the end would escape what is written after the label, which would
    // then be read back as part of it (`color: red\` swallows the next declaration).
    if (AttributeLabel::endsInEscape(label))
        return QStringLiteral("The %1 ends in \"\\\", which would escape what follows it.").arg(what);
    if (declaration) {
        // Likewise a name that ends in one escapes the ":" or "=" after it.
        const qsizetype colon = label.indexOf(QLatin1Char(':'));
        const qsizetype equals = label.indexOf(QLatin1Char('='));
        for (const qsizetype separator : {colon, equals})
            if (separator > 0 && AttributeLabel::endsInEscape(label.first(separator)))
                return QStringLiteral(
                           "The declaration's name ends in \"\\\", which would escape the \"%1\" after it.")
                    .arg(label[separator]);
    }
    return {};
}
